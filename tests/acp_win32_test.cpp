// The Wine test environment runs with code page 932, as the program's users do.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

TEST(TestEnvironment, AnsiCodePageIs932) { EXPECT_EQ(932u, GetACP()); }

TEST(TestEnvironment, LiteralsAreShiftJis) {
  const char title[] = "単価";
  EXPECT_EQ(4u, std::strlen(title));
  EXPECT_EQ(0x92, static_cast<unsigned char>(title[0]));
  EXPECT_EQ(0x50, static_cast<unsigned char>(title[1]));
  EXPECT_TRUE(IsDBCSLeadByte(static_cast<BYTE>(title[0])));
}
