// The order of update-file records by code, and the sort that keeps one record per code.
#include "data/item_sort.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A record's place in the sorted order: its normalised code, then its place in the file.
struct SortKey {
  Code code;
  size_t index;
};

// The order of SortItems: among equal codes the later record first.
inline bool Before(const SortKey& x, const SortKey& y) {
  return x.code < y.code || (x.code == y.code && x.index > y.index);
}

// The pre-shuffle of SortItems, which breaks up ordered input for a quicksort whose pivot
// is the first element. The order is total, so no result depends on it.
template <typename T>
void ShuffleStep(T* a, size_t n) {
  for (size_t j = 0; j < n; j += 10) std::swap(a[j], a[(n / 2 + 5 + j) % n]);
}

}  // namespace

Code NormalisedCode(Code c) {
  // Bits 24-31 and 40-47: the high bytes of CodeSmallItem and CodeMiddleItem.
  const Code kIgnoredBytes = (Code(0xFF) << 24) | (Code(0xFF) << 40);
  unsigned category = CodeCategory(c);
  if (category == 0) return 0;
  if (category == 1 || category == 2) return c & ~kIgnoredBytes;
  return c;
}

size_t SortInPlace(PriceItem* items, size_t n) {
  if (n == 0) return 0;
  if (n > SIZE_MAX / sizeof(SortKey)) return SIZE_MAX;
  SortKey* keys = static_cast<SortKey*>(malloc(n * sizeof(SortKey)));
  if (!keys) return SIZE_MAX;
  for (size_t i = 0; i < n; i++) keys[i] = SortKey{NormalisedCode(items[i].code), i};
  ShuffleStep(keys, n);
  // The order is total, so any correct sort gives the same result; introsort stays
  // n log n on every input.
  std::sort(keys, keys + n, Before);
  // from[j]: the record that goes to place j. The kept records come first; the dropped
  // ones fill the places after them, so that from is a permutation. It takes the keys'
  // memory, each key read before its bytes are written.
  size_t* from = reinterpret_cast<size_t*>(keys);
  std::vector<bool> is_kept;
  std::vector<SortKey> run;
  size_t kept = 0;
  try {
    is_kept.assign(n, false);
    // A run of records equal in order, keys[s, e), is in the order of their lines from the
    // last. Codes that differ only in the ignored bytes may stand between two lines of one
    // code, so a code is dropped when it was kept anywhere in the run, not only just before.
    for (size_t s = 0, e; s < n; s = e) {
      for (e = s + 1; e < n && keys[e].code == keys[s].code; e++) {
      }
      Code first = items[keys[s].index].code;
      bool one_code = true;
      for (size_t i = s + 1; i < e && one_code; i++) one_code = items[keys[i].index].code == first;
      if (one_code) {
        size_t index = keys[s].index;
        from[kept++] = index;
        is_kept[index] = true;
        continue;
      }
      run.assign(keys + s, keys + e);
      for (SortKey& k : run) k.code = items[k.index].code;
      std::sort(run.begin(), run.end(), Before);
      for (size_t i = 0; i < run.size(); i++)
        if (i == 0 || run[i].code != run[i - 1].code) is_kept[run[i].index] = true;
      std::sort(run.begin(), run.end(),
                [](const SortKey& x, const SortKey& y) { return x.index > y.index; });
      for (const SortKey& k : run)
        if (is_kept[k.index]) from[kept++] = k.index;
    }
  } catch (const std::bad_alloc&) {
    free(keys);
    return SIZE_MAX;
  }
  for (size_t index = 0, j = kept; j < n; index++)
    if (!is_kept[index]) from[j++] = index;
  // Applies the permutation cycle by cycle, marking each finished place with itself.
  for (size_t i = 0; i < n; i++) {
    if (from[i] == i) continue;
    PriceItem held = items[i];
    size_t j = i;
    while (from[j] != i) {
      size_t k = from[j];
      items[j] = items[k];
      from[j] = j;
      j = k;
    }
    items[j] = held;
    from[j] = j;
  }
  free(keys);
  memset(items + kept, 0, (n - kept) * sizeof(PriceItem));
  return kept;
}

int CompareCodes(Code a, Code b) {
  Code x = NormalisedCode(a), y = NormalisedCode(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

void PreShuffle(PriceItem** pointers, int count) {
  if (count <= 0) return;
  ShuffleStep(pointers, size_t(count));
}

int SortItems(PriceItem* items, int count) {
  if (count <= 0) return 1;
  return SortInPlace(items, size_t(count)) == SIZE_MAX ? 0 : 1;
}
