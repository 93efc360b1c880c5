// Tells a 32-bit from a 64-bit DLL by its PE header, for the message when QUPRA.dll will not load.
#pragma once

#include <cstddef>

enum PeMachine {
  kPeNotAnImage,  // no PE header where the DOS header points
  kPeX86,
  kPeX64,
  kPeOtherMachine,  // ARM64 and the like: neither of our builds
};

// head: the first bytes of the file (4 KB hold every header a linker writes).
PeMachine PeMachineOf(const unsigned char* head, size_t size);

// When the DLL is of the other bitness than this program (program_is_64_bit), writes what to
// do into out (code page 932, out_size bytes) and gives true; otherwise false and out is left.
// version names the ZIP, e.g. "0.1" for costupdate-0.1-win32.zip.
bool BitnessMismatchText(const char* dll_path, PeMachine dll, bool program_is_64_bit,
                         const char* version, char* out, size_t out_size);
