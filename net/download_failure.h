// Why a download failed, from the platform's error codes: the WinINet codes are read here,
// in portable code, so that their mapping is tested natively.
#pragma once

#include <cstdint>
#include <string>

#include "net/download_task.h"

// The reason for a WinINet error code (GetLastError after InternetOpenUrl or
// InternetReadFile); DownloadConnectionFailed for any code without a reason of its own.
DownloadFailure WinInetFailure(uint32_t error);

// Whether a download asked for over https ended at a plain http address: a redirect that
// would give the user unprotected bytes as the maker's.
bool RedirectedToHttp(const std::string& requested, const std::string& final_url);
