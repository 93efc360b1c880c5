// Compares each loaded item with its database record and sets the item's change bits.
#include "data/item_compare.h"

#include <cstddef>
#include <cstring>

#include "data/text_compare.h"

namespace {

// A text field copied with a NUL at its end, so that a record from the database that
// fills the field without one is not read past.
struct FieldText {
  char text[33];
  FieldText(const char* field, size_t size) {
    memcpy(text, field, size);
    text[size] = '\0';
  }
};

bool TextsDiffer(const char* a, const char* b, size_t size) {
  // Fields equal to their last byte hold equal texts, whatever follows a NUL.
  if (memcmp(a, b, size) == 0) return false;
  FieldText x(a, size), y(b, size);
  // Equal bytes are equal without regard to case too; the case-insensitive comparison (a
  // conversion to UTF-16 and back under Windows) is left for the few texts that differ.
  if (strcmp(x.text, y.text) == 0) return false;
  return CompareTextNoCase(x.text, y.text) != 0;
}

// Everything after the code: the fields that are compared.
const size_t kFieldsOffset = offsetof(PriceItem, material_name);
const size_t kFieldsBytes = sizeof(PriceItem) - kFieldsOffset;

ItemState ChangeBits(const PriceItem& item, const PriceItem& stored) {
  // Most items of an update equal their records byte for byte.
  if (memcmp(reinterpret_cast<const char*>(&item) + kFieldsOffset,
             reinterpret_cast<const char*>(&stored) + kFieldsOffset, kFieldsBytes) == 0)
    return 0;
  ItemState state = 0;
  if (TextsDiffer(item.material_name, stored.material_name, sizeof item.material_name))
    state |= ChangeMaterialName;
  if (TextsDiffer(item.material_note, stored.material_note, sizeof item.material_note))
    state |= ChangeMaterialNote;
  if (item.execution_price != stored.execution_price) state |= ChangeExecutionPrice;
  if (item.estimate_price != stored.estimate_price) state |= ChangeEstimatePrice;
  if (item.unit_code != stored.unit_code) state |= ChangeUnit;
  if (item.work_type != stored.work_type) state |= ChangeWorkType;
  if (item.supplier_code != stored.supplier_code) state |= ChangeSupplier;
  return state;
}

}  // namespace

void ComputeItemStates(PriceLibrary* library, const PriceItem* items, int count,
                       ItemState* states) {
  for (int i = 0; i < count; i++) {
    PriceItem stored;
    memset(&stored, 0, sizeof stored);
    if (library->GetItem(items[i].code, &stored))
      states[i] = ChangeBits(items[i], stored);
    else
      states[i] = kNewItemState;
  }
}
