// The check-list editor dialog.
#pragma once

#include <windows.h>

// Runs the modal editor owned by owner; nonzero when the list was changed and confirmed.
int RunCheckListEditor(HWND owner);
