// Code page 932 byte classes.
#pragma once

// First byte of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
inline bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
