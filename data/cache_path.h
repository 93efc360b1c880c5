// The name of an address's cache file in the cache folder (kCacheDirName).
#pragma once

const int kCachePathSize = 512;

// The cache folder inside the program folder, with its separator.
extern const char kCacheDirName[];

// out (kCachePathSize bytes) = program_dir + "HDTMP\" + the address without "http://" or
// "https://", with ':' dropped and '/' turned into '_', + ".costupdate" ("HDTMP/" in the
// native build). Returns 1.
// Returns 0 with out empty when the address has no cache file: the path would not fit,
// or the name would leave the cache folder (a leading '\', a part between '\' separators of only
// dots and blanks with two dots or more, such as "..") or name a device such as CON or COM1.
// A '\' byte that trails a double-byte character of code page 932 is no separator.
int CachePath(char* out, const char* program_dir, const char* url);
