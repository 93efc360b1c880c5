// Ids shared by the resource script and the code.
#pragma once

#define IDB_TOOLBAR 700

// Commands of the main window.
#define IDC_FILE_SELECTOR 1234
#define IDC_PATROL 1563
#define IDC_APPLY 1919
#define IDC_UNDO 1920  // Ctrl+Z in the main window
// Ctrl+C, Ctrl+F and F3 in the main window: copy the grid's rows, find box, find again.
#define IDC_COPY 1921
#define IDC_FIND 1922
#define IDC_FIND_NEXT 1923
#define IDC_SELECT_ALL 2000
#define IDC_SELECT_NEW 2001
#define IDC_HELP_PAGE 5959
#define IDC_EDIT_CHECKLIST 7200
#define IDC_KIND_FIRST 10001
#define IDC_KIND_LAST 10007
#define IDC_ITEM_NAME_COLUMNS 20000
#define IDC_OVERWRITE_PRICES 20001
#define IDC_SHOW_CHANGES 20002

#define IDC_ITEM_VIEW 500

// The check-list editor dialog "FavoriteEdit" (OK and Cancel are 1 and 2).
#define IDC_CHECK_LIST 100
#define IDC_MOVE_UP 101
#define IDC_MOVE_DOWN 102
#define IDC_CHANGE_ENTRY 103
#define IDC_DELETE_ENTRY 104
#define IDC_ADD_ENTRY 105
#define IDC_CANDIDATE_LIST 200
#define IDC_COPY_CANDIDATE 201
#define IDC_CANDIDATE_NAME 202
#define IDC_CANDIDATE_URL 203
#define IDC_REFRESH_CANDIDATES 204
#define IDC_NAME_EDIT 300
#define IDC_URL_EDIT 301

// The find box "FindBox" (次を検索 and キャンセル are IDOK and IDCANCEL).
#define IDC_FIND_TEXT 400
