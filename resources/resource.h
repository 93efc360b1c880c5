// Ids shared by the resource script and the code.
#pragma once

#define IDB_TOOLBAR 700

// Commands of the main window.
#define IDC_RELAYOUT_VIEW 100
#define IDC_FILE_SELECTOR 1234
#define IDC_PATROL 1563
#define IDC_APPLY 1919
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
