// libFuzzer target: any bytes as an update file, then the comparison of its items.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/fake_price_library.h"
#include "data/item_compare.h"
#include "data/update_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);  // ends at its first NUL
  FakePriceLibrary library;
  PriceItem* items = nullptr;
  int count = 0;
  if (ParseUpdateText(&library, text.c_str(), &items, &count) != 0) return 0;
  // One record per code, in order, and the zero record after the last.
  for (int i = 1; i < count; ++i) {
    if (CompareCodes(items[i - 1].code, items[i].code) > 0) std::abort();
  }
  if (CodeCategory(items[count].code) != 0) std::abort();
  if (count > 0) library.Put(items[0]);
  ItemState* states = static_cast<ItemState*>(calloc(size_t(count) + 10, sizeof(ItemState)));
  ComputeItemStates(&library, items, count, states);
  if (count > 0 && states[0] != 0) std::abort();
  free(states);
  free(items);
  return 0;
}
