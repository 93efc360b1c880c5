// What the check-list editor does on opening and on each command, over an abstract set of
// controls, so that the dialog's rules run and are tested without windows.
#pragma once

#include <functional>
#include <string>

#include "checklist/url_list.h"
#include "data/disk.h"

// The dialog's controls as the editor uses them. Lists are list boxes of names; ids are
// the dialog's control ids.
class EditorControls {
 public:
  virtual ~EditorControls() {}
  virtual void Enable(int id, bool enabled) = 0;
  virtual void SetText(int id, const char* text) = 0;
  // The control's text, cut to size - 1 bytes.
  virtual void GetText(int id, char* out, int size) = 0;
  virtual void LimitText(int id, int bytes) = 0;
  virtual int Selection(int list) = 0;  // -1: no row selected
  virtual int RowCount(int list) = 0;
  virtual void ClearRows(int list) = 0;
  virtual void AddRow(int list, const char* text) = 0;
  virtual void InsertRow(int list, int row, const char* text) = 0;
  virtual void DeleteRow(int list, int row) = 0;
  virtual void Select(int list, int row) = 0;
  // A message box with an OK button, owned by the dialog.
  virtual void Message(const char* text, const char* caption) = 0;
  // The dialog's window, the owner of the candidate list's download.
  virtual void* Window() = 0;
};

// What fetching the candidate list gave.
struct CandidateDownload {
  // kStopped: by the user, who needs no message. kNotModified: the server says its list has
  // not changed since the local file's last write, so no body came.
  enum Outcome { kFailed, kComplete, kStopped, kNotModified };
  Outcome outcome = kFailed;
  std::string body;
  CalendarTime last_modified = {};  // all zero when the answer had none
};
// Downloads url for the dialog owner, keeping the windows painted meanwhile; with a local
// list file, only when the server's list changed since its last write.
using CandidateFetch = std::function<CandidateDownload(const char* url, void* owner)>;

// 1 after a command changed the check list since the dialog opened.
extern int CheckListChanged;

// The list-box notification of a changed selection.
const int kSelectionChanged = 1;

// Reloads both lists and sets the controls up.
void OpenEditor(EditorControls* controls, UrlList* check_list, UrlList* candidates);

// Carries out one command. True when the dialog ends, with *end_code.
bool EditorCommand(EditorControls* controls, int id, int notification, UrlList* check_list,
                   class CandidateList* candidates, const CandidateFetch& fetch, int* end_code);

// Where the candidate list is fetched from: the update server, or COSTUPDATE_SERVER.
std::string CandidateListAddress();
