// Where the database file lies in its folder, and the name SQLite is given for it.
#pragma once

#include <string>

enum class PathStyle { kPosix, kWindows };

#ifdef _WIN32
const PathStyle kHostPathStyle = PathStyle::kWindows;
#else
const PathStyle kHostPathStyle = PathStyle::kPosix;
#endif

// folder + separator + file, adding the separator ('/', or '\' in Windows style) only when
// folder does not already end in one; an empty folder gives file alone. Windows-style
// folders are code page 932, where '\' can be the second byte of a character, and one that
// ends in a cut double-byte character names no folder: false.
bool JoinFolderFile(const char* folder, const char* file, PathStyle style, std::string* out);

// The host's path bytes as sqlite3_open_v2 takes them (UTF-8 on Windows). False when the
// bytes are no valid path in the host's code page.
bool SqliteFileName(const std::string& path, std::string* out);
