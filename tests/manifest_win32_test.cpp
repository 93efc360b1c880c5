// The application manifest as built into CostUpdate.exe and costupdate-cli.exe beside this
// test: read as a resource, the way Windows reads it at start.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/test_dirs_win32.h"

namespace {

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// The manifest of the program, or "" with a failure when it has none.
std::string ManifestOf(const std::string& path, int* manifests) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) {
    ADD_FAILURE() << path << " cannot be loaded, error " << GetLastError();
    return "";
  }
  *manifests = 0;
  EnumResourceNamesA(module, MAKEINTRESOURCEA(24), CountName, LONG_PTR(manifests));
  std::string text;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  if (HGLOBAL loaded = found ? LoadResource(module, found) : nullptr)
    text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
  FreeLibrary(module);
  return text;
}

// The attributes of the one element named tag, as one text ("" when there is none).
std::string Element(const std::string& xml, const std::string& tag) {
  size_t at = xml.find("<" + tag + " ");
  if (at == std::string::npos || xml.find("<" + tag + " ", at + 1) != std::string::npos) return "";
  return xml.substr(at, xml.find('>', at) - at);
}

TEST(Manifest, BothProgramsRunAsInvokerOnWindows7To11) {
  for (const char* program : {"CostUpdate.exe", "costupdate-cli.exe"}) {
    SCOPED_TRACE(program);
    int manifests = -1;
    std::string xml = ManifestOf(ExeDir() + program, &manifests);
    ASSERT_FALSE(xml.empty()) << "no manifest of id 1";
    EXPECT_EQ(manifests, 1) << "a second manifest would be chosen or ignored by rules of its own";
    std::string level = Element(xml, "requestedExecutionLevel");
    EXPECT_NE(level.find("level=\"asInvoker\""), std::string::npos) << level;
    EXPECT_NE(level.find("uiAccess=\"false\""), std::string::npos) << level;
    for (const char* os : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})  // 10 and 11
      EXPECT_NE(xml.find(std::string("<supportedOS Id=\"") + os + "\""), std::string::npos) << os;
    // The texts stay code page 932 through the ANSI functions; the layout is 96 DPI only.
    for (const char* absent : {"activeCodePage", "dpiAware", "dpiAwareness", "Common-Controls"})
      EXPECT_EQ(xml.find(absent), std::string::npos) << absent;
  }
}

}  // namespace
