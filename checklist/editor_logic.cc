// The check-list editor's commands and the candidate-list refresh.
#include "checklist/editor_logic.h"

#include <cstdlib>
#include <cstring>

#include "resources/resource.h"

int CheckListChanged;

namespace {

const char kUpdateServer[] = "http://update.kelvad.co.jp";
const char kCandidatePath[] = "/newdownload/BaseURLList.csv";
// What is read from the edits: at most 63 bytes of a name, 119 of an address.
const int kNameRead = 64;
const int kUrlRead = 120;
const int kDialogOk = 1;
const int kDialogCancel = 2;

void FillRows(EditorControls* c, int list, const UrlList& entries) {
  c->ClearRows(list);
  char name[256];
  for (int i = 0; i < entries.GetCount(); ++i) {
    entries.GetName(i, name);
    c->AddRow(list, name);
  }
}

// Both edits hold text: the name and address they give. False when either is empty.
bool ReadEdits(EditorControls* c, char* name, char* url) {
  c->GetText(IDC_NAME_EDIT, name, kNameRead);
  c->GetText(IDC_URL_EDIT, url, kUrlRead);
  return name[0] != '\0' && url[0] != '\0';
}

// Entry sel's name and address into two controls; both emptied for no entry (-1).
void ShowEntry(EditorControls* c, const UrlList& list, int sel, int name_id, int url_id) {
  char name[256] = "", url[256] = "";
  if (sel >= 0) {
    list.GetName(sel, name);
    list.GetUrl(sel, url);
  }
  c->SetText(name_id, name);
  c->SetText(url_id, url);
}

void OnCheckListSelection(EditorControls* c, const UrlList& list) {
  int sel = c->Selection(IDC_CHECK_LIST);
  ShowEntry(c, list, sel, IDC_NAME_EDIT, IDC_URL_EDIT);
  if (sel < 0) {
    c->Enable(IDC_CHANGE_ENTRY, false);
    c->Enable(IDC_DELETE_ENTRY, false);
    c->Enable(IDC_MOVE_UP, false);
    return;
  }
  c->Enable(IDC_CHANGE_ENTRY, true);
  c->Enable(IDC_DELETE_ENTRY, true);
  c->Enable(IDC_MOVE_UP, sel > 0);
  c->Enable(IDC_MOVE_DOWN, sel + 1 < c->RowCount(IDC_CHECK_LIST));
}

// Moves the selected entry one row up (step -1) or down (+1), in the list box and the list.
void Move(EditorControls* c, UrlList* list, int step) {
  int sel = c->Selection(IDC_CHECK_LIST);
  int n = c->RowCount(IDC_CHECK_LIST);
  if (sel < 0 || sel + step < 0 || sel + step >= n) return;
  char name[256], url[256];
  list->GetName(sel, name);
  list->GetUrl(sel, url);
  int to = sel + step;
  c->DeleteRow(IDC_CHECK_LIST, sel);
  c->InsertRow(IDC_CHECK_LIST, to, name);
  c->Select(IDC_CHECK_LIST, to);
  if (step < 0) {
    if (to == 0) c->Enable(IDC_MOVE_UP, false);
    c->Enable(IDC_MOVE_DOWN, true);
  } else {
    c->Enable(IDC_MOVE_UP, true);
    if (sel + 2 >= n) c->Enable(IDC_MOVE_DOWN, false);
  }
  list->RemoveAt(sel);
  list->InsertAt(to, name, url);
  CheckListChanged = 1;
}

void ChangeEntry(EditorControls* c, UrlList* list) {
  int sel = c->Selection(IDC_CHECK_LIST);
  char name[kNameRead], url[kUrlRead];
  if (sel < 0 || !ReadEdits(c, name, url)) return;
  c->DeleteRow(IDC_CHECK_LIST, sel);
  c->InsertRow(IDC_CHECK_LIST, sel, name);
  list->RemoveAt(sel);
  list->InsertAt(sel, name, url);
  CheckListChanged = 1;
}

void DeleteEntry(EditorControls* c, UrlList* list) {
  int sel = c->Selection(IDC_CHECK_LIST);
  if (sel < 0) return;
  c->DeleteRow(IDC_CHECK_LIST, sel);
  list->RemoveAt(sel);
  for (int id : {IDC_MOVE_UP, IDC_MOVE_DOWN, IDC_CHANGE_ENTRY, IDC_DELETE_ENTRY})
    c->Enable(id, false);
  c->SetText(IDC_NAME_EDIT, "");
  c->SetText(IDC_URL_EDIT, "");
  CheckListChanged = 1;
}

void AddEntry(EditorControls* c, UrlList* list) {
  char name[kNameRead], url[kUrlRead];
  if (!ReadEdits(c, name, url)) return;
  c->AddRow(IDC_CHECK_LIST, name);
  list->Add(name, url);
  CheckListChanged = 1;
}

void OnCandidateSelection(EditorControls* c, const UrlList& candidates) {
  int sel = c->Selection(IDC_CANDIDATE_LIST);
  ShowEntry(c, candidates, sel, IDC_CANDIDATE_NAME, IDC_CANDIDATE_URL);
  c->Enable(IDC_COPY_CANDIDATE, sel >= 0);
}

void CopyCandidate(EditorControls* c, UrlList* list, const UrlList& candidates) {
  int sel = c->Selection(IDC_CANDIDATE_LIST);
  if (sel < 0) {
    c->Message("追加するURLを選択してください", "巡回チェックリストへ追加");
    return;
  }
  char name[256], url[256];
  candidates.GetName(sel, name);
  candidates.GetUrl(sel, url);
  list->Add(name, url);
  CheckListChanged = 1;
  c->AddRow(IDC_CHECK_LIST, name);
}

void RefreshCandidates(EditorControls* c, class CandidateList* candidates,
                       const CandidateFetch& fetch) {
  const char* text = "一覧の更新情報が取得できませんでした。";
  CandidateDownload got = fetch(CandidateListAddress().c_str(), c->Window());
  // The list and its file stay as they were.
  if (got.outcome == CandidateDownload::kStopped) return;
  if (got.outcome == CandidateDownload::kNotModified) text = "一覧に更新はありませんでした。";
  if (got.outcome == CandidateDownload::kComplete) {
    if (!candidates->IsOutdated(got.last_modified)) {
      text = "一覧に更新はありませんでした。";
    } else if (!candidates->ReplaceFile(got.body.data(), int(got.body.size()))) {
      // The old file and the rows shown from it stay as they were.
      text = "一覧を保存できませんでした。";
    } else {
      FillRows(c, IDC_CANDIDATE_LIST, *candidates);
      text = "一覧を更新しました。";
    }
  }
  c->Message(text, "一覧を更新");
}

}  // namespace

std::string CandidateListAddress() {
  const char* server = std::getenv("COSTUPDATE_SERVER");
  return std::string(server && *server ? server : kUpdateServer) + kCandidatePath;
}

void OpenEditor(EditorControls* c, UrlList* check_list, UrlList* candidates) {
  candidates->Load();
  check_list->Load();
  CheckListChanged = 0;
  c->LimitText(IDC_NAME_EDIT, 50);
  c->LimitText(IDC_URL_EDIT, 100);
  FillRows(c, IDC_CANDIDATE_LIST, *candidates);
  FillRows(c, IDC_CHECK_LIST, *check_list);
  c->Enable(IDC_MOVE_UP, false);
  c->Enable(IDC_MOVE_DOWN, false);
  c->Enable(IDC_COPY_CANDIDATE, false);
  c->Enable(IDC_DELETE_ENTRY, true);
  c->SetText(IDC_CANDIDATE_NAME, "");
  c->SetText(IDC_CANDIDATE_URL, "");
}

bool EditorCommand(EditorControls* c, int id, int notification, UrlList* check_list,
                   class CandidateList* candidates, const CandidateFetch& fetch, int* end_code) {
  switch (id) {
    case IDC_CHECK_LIST:
      if (notification == kSelectionChanged) OnCheckListSelection(c, *check_list);
      break;
    case IDC_MOVE_UP:
      Move(c, check_list, -1);
      break;
    case IDC_MOVE_DOWN:
      Move(c, check_list, +1);
      break;
    case IDC_CHANGE_ENTRY:
      ChangeEntry(c, check_list);
      break;
    case IDC_DELETE_ENTRY:
      DeleteEntry(c, check_list);
      break;
    case IDC_ADD_ENTRY:
      AddEntry(c, check_list);
      break;
    case IDC_CANDIDATE_LIST:
      if (notification == kSelectionChanged) OnCandidateSelection(c, *candidates);
      break;
    case IDC_COPY_CANDIDATE:
      CopyCandidate(c, check_list, *candidates);
      break;
    case IDC_REFRESH_CANDIDATES:
      RefreshCandidates(c, candidates, fetch);
      break;
    case kDialogOk:
      // A list that could not be saved keeps the dialog open, so the edits are not lost
      // and the end code never claims a saved list.
      if (CheckListChanged && !check_list->Save()) {
        c->Message("巡回チェックリストを保存できませんでした。", "巡回チェックリストの編集");
        return false;
      }
      *end_code = CheckListChanged;
      return true;
    case kDialogCancel:
      if (CheckListChanged) check_list->Load();
      *end_code = 0;
      return true;
  }
  return false;
}
