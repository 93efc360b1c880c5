// The box about a program folder that cannot be written, and the restart as administrator.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "app/globals.h"
#include "app/read_only_folder.h"
#include "data/disk.h"
#include "data/folder_check.h"

const char kRestartedVariable[] = "COSTUPDATE_RESTARTED_AS_ADMIN";

namespace {

const char kCaption[] = "単価アップデートプログラム";

std::string Reason() {
  return std::string("このフォルダには書き込めません: ") + ProgramDir +
         "\n更新（巡回）、データベースへの書き込み、チェックリストの編集はできません。";
}

// The same program with the same arguments, through the consent prompt; the variable tells
// it that it was restarted, so that its command line stays as the user gave it.
bool RestartAsAdministrator(const char* arguments) {
  char module_path[4096];
  DWORD length = GetModuleFileNameA(nullptr, module_path, sizeof module_path);
  if (length == 0 || length >= sizeof module_path) return false;
  SetEnvironmentVariableA(kRestartedVariable, "1");
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.lpVerb = "runas";
  info.lpFile = module_path;
  info.lpParameters = arguments[0] ? arguments : nullptr;
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExA(&info)) return true;
  SetEnvironmentVariableA(kRestartedVariable, nullptr);  // cancelled, or it failed
  return false;
}

}  // namespace

bool CheckProgramDirAtStart(const char* command_line_arguments) {
  std::string reason;
  if (CanWriteProgramDir(RealDisk(), ProgramDir, &reason)) return true;
  ProgramDirWritable = 0;
  const char* restarted = std::getenv(kRestartedVariable);
  if (restarted && restarted[0]) {
    MessageBoxA(nullptr, Reason().c_str(), kCaption, MB_OK | MB_ICONWARNING);
    return true;
  }
  std::string text = Reason() + "\n管理者として起動し直しますか？";
  if (MessageBoxA(nullptr, text.c_str(), kCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return true;
  return !RestartAsAdministrator(command_line_arguments);
}

bool RefuseReadOnlyFolder(HWND owner) {
  if (ProgramDirWritable) return false;
  MessageBoxA(owner, Reason().c_str(), kCaption, MB_OK | MB_ICONWARNING);
  return true;
}
