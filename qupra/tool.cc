// The qupra-tool commands: create a price database, fill it from CSV files and list it.
#include "qupra/tool.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qupra/code_text.h"
#include "qupra/csv.h"
#include "qupra/price_store.h"

namespace {

const char kUsage[] =
    "usage: qupra-tool init DIR\n"
    "       qupra-tool import DIR ITEMS.csv\n"
    "       qupra-tool names DIR large|middle|small|unit|supplier FILE.csv\n"
    "       qupra-tool dump DIR\n";

const char* const kTableNames[] = {"large", "middle", "small", "unit", "supplier"};

struct CsvLine {
  int number;
  std::vector<std::string> fields;
};

// Reads the file's lines (LF or CRLF), leaving out empty ones; reports the malformed ones.
bool ReadCsvFile(const char* path, std::vector<CsvLine>* lines, FILE* err) {
  FILE* f = fopen(path, "rb");
  if (!f) {
    fprintf(err, "qupra-tool: cannot open %s\n", path);
    return false;
  }
  std::string data;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, got);
  bool read_error = ferror(f) != 0;
  fclose(f);
  if (read_error) {
    fprintf(err, "qupra-tool: cannot read %s\n", path);
    return false;
  }
  bool ok = true;
  int number = 0;
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    std::string text(data, start, end - start);
    start = end + 1;
    ++number;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty()) continue;
    CsvLine line;
    line.number = number;
    if (!SplitCsvLine(text, &line.fields)) {
      fprintf(err, "%s:%d: unbalanced double quotes\n", path, number);
      ok = false;
      continue;
    }
    lines->push_back(line);
  }
  return ok;
}

// Decimal digits only, at most max.
bool ParseNumber(const std::string& text, uint32_t max, uint32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + unsigned(c - '0');
  }
  if (value > max) return false;
  *out = uint32_t(value);
  return true;
}

// Copies a text into a record field that keeps at most 30 bytes and a NUL.
bool PutText(const std::string& text, char* field, const char* what, std::string* why) {
  if (text.find('\0') != std::string::npos) {
    *why = std::string(what) + " holds a NUL byte";
    return false;
  }
  if (text.size() > 30) {
    *why = std::string(what) + " is longer than 30 bytes";
    return false;
  }
  std::memcpy(field, text.data(), text.size());
  return true;
}

bool ParseItemLine(const std::vector<std::string>& f, PriceItem* item, std::string* why) {
  std::memset(item, 0, sizeof *item);
  if (f.size() != 8) {
    *why = "expected 8 fields, found " + std::to_string(f.size());
    return false;
  }
  item->code = ParseItemCode(f[0].c_str());
  if (CodeCategory(item->code) == 0 || f[0].size() != std::strlen(f[0].c_str())) {
    *why = "not an item code: " + f[0];
    return false;
  }
  if (!PutText(f[1], item->material_name, "name", why) ||
      !PutText(f[2], item->material_note, "note", why))
    return false;
  uint32_t execution, estimate, unit, work_type, supplier;
  if (!ParseNumber(f[3], UINT32_MAX, &execution) || !ParseNumber(f[4], UINT32_MAX, &estimate)) {
    *why = "a price is not a number from 0 to 4294967295";
    return false;
  }
  if (!ParseNumber(f[5], 0xFF, &unit)) {
    *why = "the unit code is not a number from 0 to 255";
    return false;
  }
  if (!ParseNumber(f[6], 0xFFFF, &work_type) || !ParseNumber(f[7], 0xFFFF, &supplier)) {
    *why = "the work type or supplier code is not a number from 0 to 65535";
    return false;
  }
  item->execution_price = execution;
  item->estimate_price = estimate;
  item->unit_code = uint8_t(unit);
  item->work_type = uint16_t(work_type);
  item->supplier_code = uint16_t(supplier);
  return true;
}

bool ParseNameLine(NameTable table, const std::vector<std::string>& f, NameEntry* entry,
                   std::string* why) {
  if (f.size() != 2) {
    *why = "expected 2 fields, found " + std::to_string(f.size());
    return false;
  }
  entry->table = table;
  entry->name = f[1];
  if (table == NameTable::kUnit || table == NameTable::kSupplier) {
    uint32_t number;
    if (!ParseNumber(f[0], 0xFFFF, &number) || number == 0) {
      *why = "not a number from 1 to 65535: " + f[0];
      return false;
    }
    entry->number = number;
  } else {
    entry->code = ParseItemCode(f[0].c_str());
    if (CodeCategory(entry->code) == 0 || f[0].size() != std::strlen(f[0].c_str())) {
      *why = "not an item code: " + f[0];
      return false;
    }
  }
  if (!IsValidNameEntry(*entry)) {
    *why = "the name is longer than 255 bytes or holds a NUL byte";
    return false;
  }
  return true;
}

bool OpenStore(PriceStore* store, const char* dir, OpenMode mode, FILE* err) {
  if (store->Open(dir, mode)) return true;
  fprintf(err, "qupra-tool: cannot open the database %s in %s\n", kStoreFileName, dir);
  return false;
}

int Init(const char* dir, FILE* err) {
  PriceStore store;
  return OpenStore(&store, dir, OpenMode::kReadWrite, err) ? 0 : 1;
}

// Every line of a CSV file through parse; each bad line is reported with its number.
// False when the file or any of its lines could not be read.
template <typename T, typename Parse>
bool ParseCsvFile(const char* path, Parse parse, std::vector<T>* out, FILE* err) {
  std::vector<CsvLine> lines;
  bool ok = ReadCsvFile(path, &lines, err);
  for (const CsvLine& line : lines) {
    T value;
    std::string why;
    if (parse(line.fields, &value, &why)) {
      out->push_back(value);
    } else {
      fprintf(err, "%s:%d: %s\n", path, line.number, why.c_str());
      ok = false;
    }
  }
  return ok;
}

int Import(const char* dir, const char* path, FILE* err) {
  std::vector<PriceItem> items;
  if (!ParseCsvFile(path, ParseItemLine, &items, err)) return 1;
  PriceStore store;
  if (!OpenStore(&store, dir, OpenMode::kReadWrite, err)) return 1;
  if (!store.PutItems(items)) {
    fprintf(err, "qupra-tool: cannot write the items of %s\n", path);
    return 1;
  }
  return 0;
}

int Names(const char* dir, NameTable table, const char* path, FILE* err) {
  std::vector<NameEntry> entries;
  auto parse = [table](const std::vector<std::string>& fields, NameEntry* entry, std::string* why) {
    return ParseNameLine(table, fields, entry, why);
  };
  if (!ParseCsvFile(path, parse, &entries, err)) return 1;
  PriceStore store;
  if (!OpenStore(&store, dir, OpenMode::kReadWrite, err)) return 1;
  if (!store.PutNames(entries)) {
    fprintf(err, "qupra-tool: cannot write the names of %s\n", path);
    return 1;
  }
  return 0;
}

// A record text field up to its NUL, never past the field.
std::string FieldText(const char* field, size_t size) {
  const void* nul = std::memchr(field, 0, size);
  return std::string(field, nul ? size_t(static_cast<const char*>(nul) - field) : size);
}

int Dump(const char* dir, FILE* out, FILE* err) {
  PriceStore store;
  if (!OpenStore(&store, dir, OpenMode::kReadOnly, err)) return 1;
  std::vector<PriceItem> items;
  std::vector<NameEntry> names;
  if (!store.ReadAll(&items) || !store.ReadAllNames(&names)) {
    fprintf(err, "qupra-tool: cannot read the database in %s\n", dir);
    return 1;
  }
  char code[kCodeTextSize];
  for (const PriceItem& item : items) {
    std::string line;
    FormatItemCode(item.code, code);
    line += code;
    line += ',';
    AppendCsvField(FieldText(item.material_name, sizeof item.material_name), &line);
    line += ',';
    AppendCsvField(FieldText(item.material_note, sizeof item.material_note), &line);
    line += ',' + std::to_string(item.execution_price) + ',' + std::to_string(item.estimate_price);
    line += ',' + std::to_string(item.unit_code) + ',' + std::to_string(item.work_type);
    line += ',' + std::to_string(item.supplier_code) + '\n';
    fwrite(line.data(), 1, line.size(), out);
  }
  for (const NameEntry& entry : names) {
    std::string line = kTableNames[int(entry.table)];
    line += ',';
    if (entry.table == NameTable::kUnit || entry.table == NameTable::kSupplier) {
      line += std::to_string(entry.number);
    } else {
      FormatItemCode(entry.code, code);
      line += code;
    }
    line += ',';
    AppendCsvField(entry.name, &line);
    line += '\n';
    fwrite(line.data(), 1, line.size(), out);
  }
  if (fflush(out) != 0 || ferror(out)) {
    fprintf(err, "qupra-tool: cannot write the listing\n");
    return 1;
  }
  return 0;
}

}  // namespace

int RunQupraTool(int argc, const char* const* argv, FILE* out, FILE* err) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "init" && argc == 3) return Init(argv[2], err);
  if (command == "import" && argc == 4) return Import(argv[2], argv[3], err);
  if (command == "dump" && argc == 3) return Dump(argv[2], out, err);
  if (command == "names" && argc == 5) {
    for (int t = 0; t <= int(NameTable::kSupplier); ++t)
      if (std::strcmp(argv[3], kTableNames[t]) == 0)
        return Names(argv[2], NameTable(t), argv[4], err);
  }
  fputs(kUsage, err);
  return 2;
}
