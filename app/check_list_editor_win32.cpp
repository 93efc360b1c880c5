// The check-list editor dialog, run from its template "FavoriteEdit": the controls of the
// editor's rules.
#include <windows.h>

#include "app/busy_wait.h"
#include "app/check_list_editor.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/read_only_folder.h"
#include "checklist/editor_logic.h"
#include "net/download_task.h"

namespace {

class DialogControls : public EditorControls {
 public:
  explicit DialogControls(HWND dialog) : dialog_(dialog) {}

  void Enable(int id, bool enabled) override { EnableWindow(Item(id), enabled); }
  void SetText(int id, const char* text) override { SetDlgItemTextA(dialog_, id, text); }
  void GetText(int id, char* out, int size) override {
    out[0] = '\0';
    GetDlgItemTextA(dialog_, id, out, size);
  }
  void LimitText(int id, int bytes) override { Send(id, EM_LIMITTEXT, WPARAM(bytes), 0); }
  int Selection(int list) override { return int(Send(list, LB_GETCURSEL, 0, 0)); }
  int RowCount(int list) override { return int(Send(list, LB_GETCOUNT, 0, 0)); }
  void ClearRows(int list) override { Send(list, LB_RESETCONTENT, 0, 0); }
  void AddRow(int list, const char* text) override {
    Send(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  void InsertRow(int list, int row, const char* text) override {
    Send(list, LB_INSERTSTRING, WPARAM(row), reinterpret_cast<LPARAM>(text));
  }
  void DeleteRow(int list, int row) override { Send(list, LB_DELETESTRING, WPARAM(row), 0); }
  void Select(int list, int row) override { Send(list, LB_SETCURSEL, WPARAM(row), 0); }
  void Message(const char* text, const char* caption) override {
    MessageBoxA(dialog_, text, caption, MB_OK);
  }
  void* Window() override { return dialog_; }

 private:
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  LRESULT Send(int id, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendDlgItemMessageA(dialog_, id, message, wparam, lparam);
  }

  HWND dialog_;
};

// The task's owner number; the task keeps it and nothing reads it.
const int kRefreshOwnerNumber = 512;

// One download of the candidate list while the windows stay painted; Esc or closing the
// dialog stops it.
CandidateDownload FetchCandidates(const char* url, void* owner) {
  CandidateDownload got;
  DownloadTask* task = CreateDownloadTask(url);
  if (!task) return got;
  task->SetOwner(owner, kRefreshOwnerNumber);
  CalendarTime written;
  if (CandidateList.LastWrite(&written)) task->SetIfModifiedSince(written);
  task->Start();
  {
    BusyWait busy;
    auto ended = [&] { return DownloadEnded(task->Wait(0)); };
    while (!ended() && busy.Wait(ended, 100)) {
    }
    if (busy.Stopped()) {
      task->Cancel();
      busy.Wait(ended, kCancelGraceMs);  // painted while the worker ends
      got.outcome = CandidateDownload::kStopped;
    }
  }
  uint32_t http_status = 0;
  if (got.outcome != CandidateDownload::kStopped && task->Wait(0) == DownloadComplete) {
    const char* body = "";
    int length = task->GetData(&body);
    got.body.assign(body, size_t(length));
    task->GetLastModified(&got.last_modified);
    got.outcome = CandidateDownload::kComplete;
  } else if (got.outcome != CandidateDownload::kStopped &&
             task->GetFailure(&http_status) == DownloadNotModified) {
    got.outcome = CandidateDownload::kNotModified;
  }
  DestroyDownloadTask(task);
  return got;
}

INT_PTR CALLBACK EditorProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  DialogControls controls(dialog);
  switch (message) {
    case WM_INITDIALOG:
      OpenEditor(&controls, &CheckList, &CandidateList);
      return 0;  // no default focus
    case WM_SETCURSOR:
      if (!ShowBusyCursor()) return 0;
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return 1;
    case WM_CLOSE:
      if (!IsBusy()) return 0;
      RequestStop(dialog);  // closed once the refresh has stopped
      return 1;
    case WM_COMMAND: {
      // Nothing else runs inside the refresh's wait.
      if (IsBusy()) return 1;
      // A changed list would be lost on OK: the dialog stays open, and Cancel ends it.
      if (LOWORD(wparam) == IDOK && CheckListChanged && RefuseReadOnlyFolder(dialog)) return 1;
      int end_code = 0;
      if (!EditorCommand(&controls, LOWORD(wparam), HIWORD(wparam), &CheckList, &CandidateList,
                         FetchCandidates, &end_code))
        return 0;
      EndDialog(dialog, end_code);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int RunCheckListEditor(HWND owner) {
  INT_PTR result = DialogBoxParamA(Instance, "FavoriteEdit", owner, EditorProc, 0);
  return result > 0 ? int(result) : 0;  // -1: the dialog could not be made
}
