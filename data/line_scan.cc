// Lines and comma-separated fields of update-file text, and the decimal numbers in them.
#include "data/line_scan.h"

namespace {

// Bytes that end a line (CR, LF, NUL) or matter inside one (comma, double quote); the
// scanners run over everything else with one table look-up per byte.
enum ByteClass : uint8_t { kPlainByte, kLineEndByte, kCommaByte, kQuoteByte };

struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of() {
    of[0] = kLineEndByte;
    of[unsigned('\r')] = kLineEndByte;
    of[unsigned('\n')] = kLineEndByte;
    of[unsigned(',')] = kCommaByte;
    of[unsigned('"')] = kQuoteByte;
  }
};
constexpr ByteClasses kClasses;

inline uint8_t ClassOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }

}  // namespace

const char* ScanLine(const char* p, Span fields[kItemFields], bool* quoted) {
  const char* c = p;
  const char* start = p;
  int k = 0;
  bool quote = false;
  if (ClassOf(*c) == kLineEndByte) c++;
  for (;;) {
    uint8_t cls;
    while ((cls = ClassOf(*c)) == kPlainByte) c++;
    if (cls == kLineEndByte) break;
    if (cls == kQuoteByte) {
      quote |= k < kItemFields;
    } else if (k < kItemFields) {
      // A comma ends field k; the one after field 7 ends what is read of the line.
      fields[k++] = Span{start, size_t(c - start)};
      start = c + 1;
    }
    c++;
  }
  if (k < kItemFields) {
    fields[k] = Span{start, size_t(c - start)};
    // Past the line's last comma every field is its last one.
    for (int i = k + 1; i < kItemFields; i++) fields[i] = fields[k];
  }
  *quoted = quote;
  return c;
}

void SplitQuotedLine(const char* p, const char* q, char* buffer, Span fields[kItemFields]) {
  int k = 0;
  size_t o = 0, start = 0;
  bool quoted = false;
  for (const char* c = p; c < q; c++) {
    if (!quoted && *c == ',') {
      fields[k] = Span{buffer + start, o - start};
      if (++k == kItemFields) return;
      start = o;
    } else if (*c == '"') {
      quoted = !quoted;
    } else {
      buffer[o++] = *c;
    }
  }
  fields[k] = Span{buffer + start, o - start};
  for (int i = k + 1; i < kItemFields; i++) fields[i] = fields[k];
}

size_t ReadLine(const char* text, char* line) {
  size_t n = 0;
  if (text[0] != '\0') {
    line[n++] = text[0];
    while (n < size_t(kMaxLineBytes) && text[n] != '\r' && text[n] != '\n' && text[n] != '\0') {
      line[n] = text[n];
      n++;
    }
  }
  line[n] = '\0';
  size_t used = n;
  while (text[used] == '\r' || text[used] == '\n') used++;
  return used;
}

void GetField(const char* line, int k, char* field) {
  size_t o = 0;
  bool quoted = false;
  for (const char* p = line; *p != '\0'; p++) {
    char c = *p;
    if (!quoted && c == ',') {
      if (k <= 0) break;
      k--;
      o = 0;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (o < size_t(kLineBufferSize) - 1) {
      field[o++] = c;
    }
  }
  field[o] = '\0';
}

uint32_t ParseDecimal(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (IsSpacing(*p)) p++;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; p++) value = value * 10u + uint32_t(*p - '0');
  return negative ? 0u - value : value;
}
