// The main window's select-all and select-new commands.
#include "app/selection.h"

void SelectAllOrClear(ItemState* states, int count, uint16_t kind_filter) {
  bool selected_any = false;
  for (int i = 0; i < count; i++) {
    if (IsShown(states[i], kind_filter) && !(states[i] & StateSelected)) {
      states[i] = ItemState(states[i] | StateSelected);
      selected_any = true;
    }
  }
  if (selected_any) return;
  for (int i = 0; i < count; i++)
    if (IsShown(states[i], kind_filter)) states[i] = ItemState(states[i] & ~StateSelected);
}

void SelectNewItems(ItemState* states, int count) {
  for (int i = 0; i < count; i++) {
    if (states[i] & StateApplied) continue;
    states[i] =
        ItemState((states[i] & ~StateSelected) | ((states[i] & StateNew) ? StateSelected : 0));
  }
}
