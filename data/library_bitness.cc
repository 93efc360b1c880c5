// Reads the machine field of a PE header and words the mismatch for the user.
#include "data/library_bitness.h"

#include <cstdint>
#include <cstdio>

namespace {

uint32_t Little(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

}  // namespace

PeMachine PeMachineOf(const unsigned char* head, size_t size) {
  // "MZ", then at 0x3C the offset of "PE\0\0", after which comes the 16-bit machine.
  if (size < 0x40 || head[0] != 'M' || head[1] != 'Z') return kPeNotAnImage;
  uint32_t pe = Little(head + 0x3C, 4);
  if (pe > size || size - pe < 6) return kPeNotAnImage;
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0)
    return kPeNotAnImage;
  switch (Little(head + pe + 4, 2)) {
    case 0x014C:
      return kPeX86;
    case 0x8664:
      return kPeX64;
    default:
      return kPeOtherMachine;
  }
}

bool BitnessMismatchText(const char* dll_path, PeMachine dll, bool program_is_64_bit,
                         const char* version, char* out, size_t out_size) {
  bool dll_is_64_bit;
  if (dll == kPeX86)
    dll_is_64_bit = false;
  else if (dll == kPeX64)
    dll_is_64_bit = true;
  else
    return false;
  if (dll_is_64_bit == program_is_64_bit) return false;
  const char* dll_bits = dll_is_64_bit ? "64" : "32";
  const char* program_bits = program_is_64_bit ? "64" : "32";
  const char* zip = dll_is_64_bit ? "win64" : "win32";
  snprintf(out, out_size,
           "%s は %s ビット版です。このプログラムは %s ビット版のため、これを使えません。\r\n"
           "%s ビット版の costupdate-%s-%s.zip の CostUpdate.exe と costupdate-cli.exe を、"
           "QUPRA.dll と同じフォルダに置いてください。",
           dll_path, dll_bits, program_bits, dll_bits, version, zip);
  return true;
}
