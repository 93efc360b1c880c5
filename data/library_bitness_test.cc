// The PE machine of a DLL's first bytes, and the message for a DLL of the other bitness.
#include "data/library_bitness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A file head with "MZ", the PE offset at 0x3C, and the signature and machine there.
std::vector<unsigned char> Head(uint32_t pe_offset, uint16_t machine, size_t size,
                                const char* signature = "PE\0\0") {
  std::vector<unsigned char> head(size, 0);
  if (size >= 2) head[0] = 'M', head[1] = 'Z';
  for (int i = 0; i < 4 && 0x3C + i < int(size); ++i)
    head[0x3C + i] = (pe_offset >> (8 * i)) & 0xFF;
  for (int i = 0; i < 4 && pe_offset + i < size; ++i) head[pe_offset + i] = signature[i];
  if (pe_offset + 5 < size)
    head[pe_offset + 4] = machine & 0xFF, head[pe_offset + 5] = machine >> 8;
  return head;
}

TEST(LibraryBitness, PeMachineOf) {
  struct Case {
    std::vector<unsigned char> head;
    PeMachine want;
  } cases[] = {
      {Head(0x80, 0x014C, 512), kPeX86},
      {Head(0x80, 0x8664, 512), kPeX64},
      {Head(0x80, 0xAA64, 512), kPeOtherMachine},  // ARM64
      {Head(0x40, 0x8664, 0x46), kPeX64},          // the machine in the last two bytes
      {Head(0x40, 0x8664, 0x45), kPeNotAnImage},   // cut inside the machine
      {Head(0x1000, 0x014C, 512), kPeNotAnImage},  // header past what was read
      {Head(0xFFFFFFFF, 0x014C, 512), kPeNotAnImage},
      {Head(0x80, 0x014C, 512, "PE\0X"), kPeNotAnImage},
      {Head(0x80, 0x014C, 0x3F), kPeNotAnImage},  // shorter than a DOS header
      {{}, kPeNotAnImage},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(cases[i].want, PeMachineOf(cases[i].head.data(), cases[i].head.size())) << i;
  std::vector<unsigned char> text = Head(0x80, 0x014C, 512);
  text[0] = 'Z';
  EXPECT_EQ(kPeNotAnImage, PeMachineOf(text.data(), text.size()));
}

TEST(LibraryBitness, MessageOnlyForTheOtherBitness) {
  struct Case {
    PeMachine dll;
    bool program_is_64_bit;
    const char* want;  // null: no message
  } cases[] = {
      {kPeX86, true,
       "C:\\P\\QUPRA.dll は 32 ビット版です。このプログラムは 64 ビット版のため、これを使えません。"
       "\r\n32 ビット版の costupdate-0.1-win32.zip の CostUpdate.exe と costupdate-cli.exe を、"
       "QUPRA.dll と同じフォルダに置いてください。"},
      {kPeX64, false,
       "C:\\P\\QUPRA.dll は 64 ビット版です。このプログラムは 32 ビット版のため、これを使えません。"
       "\r\n64 ビット版の costupdate-0.1-win64.zip の CostUpdate.exe と costupdate-cli.exe を、"
       "QUPRA.dll と同じフォルダに置いてください。"},
      {kPeX86, false, nullptr},
      {kPeX64, true, nullptr},
      {kPeOtherMachine, true, nullptr},
      {kPeNotAnImage, false, nullptr},
  };
  for (const Case& c : cases) {
    char out[512] = "untouched";
    bool told =
        BitnessMismatchText("C:\\P\\QUPRA.dll", c.dll, c.program_is_64_bit, "0.1", out, sizeof out);
    EXPECT_EQ(c.want != nullptr, told);
    EXPECT_STREQ(c.want ? c.want : "untouched", out);
  }
  // A path that fills the buffer is cut, not written past.
  std::string long_path(600, 'a');
  char small[64];
  std::memset(small, 'x', sizeof small);
  ASSERT_TRUE(BitnessMismatchText(long_path.c_str(), kPeX64, false, "0.1", small, 32));
  EXPECT_EQ(31u, std::strlen(small));
  EXPECT_EQ('x', small[32]);
}

}  // namespace
