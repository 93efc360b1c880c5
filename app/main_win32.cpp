// Process entry: program directory, database library, command line, window classes, loop.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/ansi_lead_byte.h"
#include "app/command_line.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/read_only_folder.h"
#include "data/cache_path.h"
#include "data/qupra_binding.h"

namespace {

const char kTitle[] = "単価アップデートプログラム";

void ShowStartError(const char* text) { MessageBoxA(nullptr, text, kTitle, MB_OK | MB_ICONERROR); }

int RunMainWindow(const char* arguments) {
  char cache_dir[sizeof ProgramDir + 8];
  snprintf(cache_dir, sizeof cache_dir, "%s%s", ProgramDir, kCacheDirName);
  CreateDirectoryA(cache_dir, nullptr);  // already there, or fails later where it is used
  // A folder that cannot be written is told once here rather than by each failing write.
  if (!CheckProgramDirAtStart(arguments)) return 0;

  HWND window = CreateWindowExA(0, kMainWindowClass, kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                800, 600, nullptr, nullptr, Instance, nullptr);
  if (!window) {
    ShowStartError("メインウィンドウを作成できません。");
    return 0;
  }
  // Ctrl+Z (undo) reaches the main window whichever of its children has the focus.
  HACCEL keys = LoadAcceleratorsA(Instance, "MAIN");
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (keys && TranslateAcceleratorA(window, keys, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Instance = instance;

  // The whole module path first, so that a directory too long for ProgramDir is noticed
  // rather than cut into another directory's name.
  char module_path[4096];
  DWORD length = GetModuleFileNameA(nullptr, module_path, sizeof module_path);
  bool dir_ok =
      length > 0 && length < sizeof module_path &&
      ProgramDirFromModulePath(module_path, ProgramDir, sizeof ProgramDir, IsAnsiLeadByte);

  // Not WinMain's own argument: MinGW's start-up code skips tabs before the file name.
  const char* command_line = GetCommandLineA();
  const char* arguments = SkipProgramName(command_line ? command_line : "");
  char start_file[kStartFileSize];
  CommandLineResult parsed = ParseCommandLine(arguments, start_file);

  char error[kBindingErrorSize] = "";
  if (dir_ok) {
    char dll_path[sizeof ProgramDir + 16];
    snprintf(dll_path, sizeof dll_path, "%sQUPRA.dll", ProgramDir);
    Library = OpenQupraLibrary(dll_path, error);
    if (Library) Library->InitDatabase(ProgramDir);
  }
  if (parsed == kCommandLineSwitch) return 0;
  if (!dir_ok) {
    ShowStartError("プログラムのフォルダのパスが長すぎます。");
    return 1;
  }
  if (!Library) {
    ShowStartError(error);
    return 1;
  }
  if (parsed == kCommandLineTooLong)
    ShowStartError("コマンドラインのファイル名が長すぎるため、開きません。");

  if (!RegisterWindowClasses(Instance)) return 0;
  std::strcpy(StartFile, start_file);
  return RunMainWindow(arguments);
}
