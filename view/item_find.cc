// Byte-wise, ASCII-case-insensitive search of code page 932 texts over the shown items.
#include "view/item_find.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "text/sjis.h"
#include "view/cell_text.h"

namespace {

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

// Whether the folded text matches at p, where a character begins. A lead byte matches only
// itself, so the two texts pass their double-byte characters in step and trail bytes are
// compared as they are.
bool MatchesAt(const unsigned char* p, const std::string& folded) {
  bool trail = false;
  for (size_t j = 0; j < folded.size(); j++) {
    const unsigned char c = p[j];
    if (static_cast<unsigned char>(folded[j]) != (trail ? c : Fold(c))) return false;
    trail = !trail && IsSjisLeadByte(c);
  }
  return true;
}

// Writes value at out with at least min_digits digits, zero-padded; returns its end.
char* PutNumber(char* out, unsigned value, int min_digits) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = char('0' + value % 10);
    value /= 10;
  } while (value);
  while (n < min_digits) digits[n++] = '0';
  while (n) *out++ = digits[--n];
  return out;
}

// The code as update files write it, "%u-%02u-%04u-%04u-%04u", without snprintf: a find may
// format the code of every shown item, and the library's call costs several times more.
size_t FileCodeText(Code code, char* out) {
  char* p = PutNumber(out, CodeCategory(code), 1);
  *p++ = '-';
  p = PutNumber(p, CodeLargeItem(code), 2);
  *p++ = '-';
  p = PutNumber(p, CodeMiddleItem(code), 4);
  *p++ = '-';
  p = PutNumber(p, CodeSmallItem(code), 4);
  *p++ = '-';
  p = PutNumber(p, CodeSubNumber(code), 4);
  return size_t(p - out);
}

// Whether the library shows codes as update files write them, judged by the first, middle
// and last shown items. When it does not, every code text comes from the library.
bool LibraryWritesFileCodes(const GridData& grid, ShownItems* shown, PriceLibrary* library) {
  const int count = shown->Count(grid);
  for (int ordinal : {0, count / 2, count - 1}) {
    const int k = shown->At(grid, ordinal);
    if (k < 0) continue;
    char text[32];
    const size_t n = FileCodeText(grid.items[k].code, text);
    if (CodeText(library, grid.items[k].code) != std::string(text, n)) return false;
  }
  return true;
}

}  // namespace

SearchText::SearchText(const std::string& text) : folded_(text) {
  bool trail = false;
  for (char& ch : folded_) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x80) ascii_ = false;
    if (!trail) ch = char(Fold(c));
    trail = !trail && IsSjisLeadByte(c);
  }
}

bool SearchText::In(const char* text, size_t size) const {
  const size_t m = folded_.size();
  if (m == 0 || m > size) return false;
  // Most texts lack the first byte in either case: a quick no before the walk.
  const unsigned char first = static_cast<unsigned char>(folded_[0]);
  const unsigned char upper = (first >= 'a' && first <= 'z') ? first - 'a' + 'A' : first;
  if (!memchr(text, first, size) && (upper == first || !memchr(text, upper, size))) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i + m <= size; i += IsSjisLeadByte(p[i]) ? 2 : 1)
    if (MatchesAt(p + i, folded_)) return true;
  return false;
}

int FindShownItem(const GridData& grid, ShownItems* shown, PriceLibrary* library,
                  const SearchText& text, int from) {
  const int count = shown->Count(grid);
  if (text.empty() || count == 0) return -1;
  if (from < 0 || from >= count) from = 0;
  const bool code_too = text.MayBeInCode();
  const bool file_codes = code_too && LibraryWritesFileCodes(grid, shown, library);
  for (int step = 0; step < count; step++) {
    const int ordinal = int((int64_t(from) + step) % count);
    const int k = shown->At(grid, ordinal);
    if (k < 0) continue;
    const PriceItem& item = grid.items[k];
    if (text.In(item.material_name, strnlen(item.material_name, sizeof item.material_name)))
      return ordinal;
    if (file_codes) {
      char code[32];
      if (text.In(code, FileCodeText(item.code, code))) return ordinal;
    } else if (code_too) {
      const std::string code = CodeText(library, item.code);
      if (text.In(code.data(), code.size())) return ordinal;
    }
  }
  return -1;
}

int NextFindStart(int top_ordinal, const FoundRow& last) {
  if (last.ordinal >= 0 && last.top == top_ordinal) return last.ordinal + 1;
  return top_ordinal + 1;
}
