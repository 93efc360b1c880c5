// The lead-byte rule of the ANSI code page, from the system.
#include <windows.h>

#include "app/ansi_lead_byte.h"

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
