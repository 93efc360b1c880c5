// Start-up's reading of the command line and of the executable's directory.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct LineCase {
  const char* line;
  CommandLineResult result;
  const char* start_file;
};

TEST(ParseCommandLine, Table) {
  const LineCase cases[] = {
      {"", kCommandLineRun, ""},
      {"    ", kCommandLineRun, ""},
      {"\"C:\\a b\\x.costupdate\" more words", kCommandLineRun, "C:\\a b\\x.costupdate"},
      {"C:\\a b\\x.dat  ", kCommandLineRun, "C:\\a b\\x.dat  "},
      {"  C:\\x.dat", kCommandLineRun, "C:\\x.dat"},
      {"\"C:\\open quote", kCommandLineRun, "C:\\open quote"},
      {"\"\"", kCommandLineRun, ""},
      {"\"\" tail", kCommandLineRun, ""},
      {"\tC:\\x.dat", kCommandLineRun, "\tC:\\x.dat"},
      {"/I", kCommandLineSwitch, ""},
      {"-u", kCommandLineSwitch, ""},
      {"  /x", kCommandLineSwitch, ""},
      {"-", kCommandLineSwitch, ""},
      {"/", kCommandLineSwitch, ""},
      {"x -u", kCommandLineRun, "x -u"},
      {"\"-x\"", kCommandLineRun, "-x"},
      {"C:\\単価.dat", kCommandLineRun, "C:\\単価.dat"},
  };
  for (const LineCase& c : cases) {
    char start_file[kStartFileSize];
    std::memset(start_file, 'Z', sizeof start_file);
    EXPECT_EQ(c.result, ParseCommandLine(c.line, start_file)) << c.line;
    EXPECT_STREQ(c.start_file, start_file) << c.line;
  }
}

struct FullLineCase {
  const char* full;
  const char* arguments;
};

TEST(SkipProgramName, Table) {
  const FullLineCase cases[] = {
      {"", ""},
      {"prog.exe", ""},
      {"prog.exe x.dat", "x.dat"},
      {"prog.exe    x.dat  ", "x.dat  "},
      // Only blanks separate: a tab or another control byte belongs to the file name.
      {"prog.exe \tx.dat", "\tx.dat"},
      {"prog.exe  \t/x", "\t/x"},
      {"prog.exe\tx.dat", "\tx.dat"},
      {"prog.exe \x01x.dat", "\x01x.dat"},
      {"\"C:\\a b\\prog.exe\" /x", "/x"},
      {"\"C:\\a b\\prog.exe\"\t/x", "\t/x"},
      {"\"C:\\a b\\prog.exe\"", ""},
      {"\"C:\\open quote prog.exe", ""},
      {"C:\\\"a b\"\\prog.exe x.dat", "x.dat"},
      // A quote inside the name does not end it, as in the C runtime's argv[0].
      {"\"C:\\a b\\prog.exe\"x.dat y", "y"},
      // Wine quotes an argument that holds a tab.
      {"\"Z:\\bin\\CostUpdate.exe\" \"\t/x\"", "\"\t/x\""},
      {"C:\\単価\\prog.exe C:\\表.dat", "C:\\表.dat"},
  };
  for (const FullLineCase& c : cases) EXPECT_STREQ(c.arguments, SkipProgramName(c.full)) << c.full;
}

TEST(SkipProgramName, TabBeforeSwitchIsAFileName) {
  char start_file[kStartFileSize];
  EXPECT_EQ(kCommandLineRun, ParseCommandLine(SkipProgramName("prog.exe \t/x"), start_file));
  EXPECT_STREQ("\t/x", start_file);
  EXPECT_EQ(kCommandLineSwitch, ParseCommandLine(SkipProgramName("prog.exe   /x"), start_file));
  EXPECT_EQ(kCommandLineRun, ParseCommandLine(SkipProgramName("\"prog.exe\""), start_file));
  EXPECT_STREQ("", start_file);
}

TEST(ParseCommandLine, LengthLimitRefusesRatherThanCuts) {
  char start_file[kStartFileSize];
  std::string fits(511, 'a');
  EXPECT_EQ(kCommandLineRun, ParseCommandLine(fits.c_str(), start_file));
  EXPECT_EQ(fits, start_file);

  std::string too_long(512, 'a');
  EXPECT_EQ(kCommandLineTooLong, ParseCommandLine(too_long.c_str(), start_file));
  EXPECT_STREQ("", start_file);

  // Only the quoted part counts.
  std::string quoted = "\"" + fits + "\" " + std::string(600, 'b');
  EXPECT_EQ(kCommandLineRun, ParseCommandLine(quoted.c_str(), start_file));
  EXPECT_EQ(fits, start_file);
  std::string quoted_long = "\"" + too_long + "\"";
  EXPECT_EQ(kCommandLineTooLong, ParseCommandLine(quoted_long.c_str(), start_file));
}

struct DirCase {
  const char* path;
  const char* dir;
};

TEST(ProgramDirFromModulePath, Table) {
  const DirCase cases[] = {
      {"C:\\Program Files\\CostUpdate\\CostUpdate.exe", "C:\\Program Files\\CostUpdate\\"},
      {"C:CostUpdate.exe", "C:"},
      {"CostUpdate.exe", "CostUpdate.exe"},
      {"\\CostUpdate.exe", "\\CostUpdate.exe"},  // the first byte is never a cut point
      {"C:\\x\\", "C:\\x\\"},
      // 表 is 0x95 0x5C: its trail byte is not a separator.
      {"C:\\ソフト\\表.exe", "C:\\ソフト\\"},
      {"C:\\表\\a.exe", "C:\\表\\"},
      {"", ""},
  };
  for (const DirCase& c : cases) {
    char dir[kProgramDirSize];
    EXPECT_TRUE(ProgramDirFromModulePath(c.path, dir, sizeof dir)) << c.path;
    EXPECT_STREQ(c.dir, dir) << c.path;
  }
}

bool NoLeadBytes(unsigned char) { return false; }
bool LeadBytes81ToFE(unsigned char c) { return c >= 0x81 && c <= 0xFE; }  // as code page 936

struct CodePageDirCase {
  LeadBytePredicate is_lead_byte;
  const char* path;
  const char* dir;
};

TEST(ProgramDirFromModulePath, FollowsTheGivenCodePage) {
  const CodePageDirCase cases[] = {
      // 表 is 0x95 0x5C: in a single-byte code page its second byte is a separator.
      {IsSjisLeadByte, "C:\\ソフト\\表.exe", "C:\\ソフト\\"},
      {NoLeadBytes, "C:\\ソフト\\表.exe", "C:\\ソフト\\表"},
      // 0xA0 starts no character in code page 932 but does in 936.
      {IsSjisLeadByte, "C:\\d\\\xA0\\x.exe", "C:\\d\\\xA0\\"},
      {LeadBytes81ToFE, "C:\\d\\\xA0\\x.exe", "C:\\d\\"},
      {LeadBytes81ToFE, "C:\\d\\e.exe", "C:\\d\\"},
  };
  for (const CodePageDirCase& c : cases) {
    char dir[kProgramDirSize];
    EXPECT_TRUE(ProgramDirFromModulePath(c.path, dir, sizeof dir, c.is_lead_byte)) << c.path;
    EXPECT_STREQ(c.dir, dir) << c.path;
  }
}

TEST(ProgramDirFromModulePath, TooLongIsRefused) {
  char dir[kProgramDirSize];
  std::string fits = "C:\\" + std::string(251, 'd') + "\\x.exe";  // directory: 255 bytes
  ASSERT_TRUE(ProgramDirFromModulePath(fits.c_str(), dir, sizeof dir));
  EXPECT_EQ(255u, std::strlen(dir));
  std::string too_long = "C:\\" + std::string(252, 'd') + "\\x.exe";
  EXPECT_FALSE(ProgramDirFromModulePath(too_long.c_str(), dir, sizeof dir));
  EXPECT_STREQ("", dir);
  // Only the directory needs to fit, not the file name.
  std::string long_name = "C:\\d\\" + std::string(400, 'n') + ".exe";
  ASSERT_TRUE(ProgramDirFromModulePath(long_name.c_str(), dir, sizeof dir));
  EXPECT_STREQ("C:\\d\\", dir);
}

}  // namespace
