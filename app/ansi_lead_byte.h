// The lead-byte rule of the ANSI code page, in which the Win32 A functions give paths.
#pragma once

// Implemented on Windows only.
bool IsAnsiLeadByte(unsigned char byte);
