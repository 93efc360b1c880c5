// Simple CSV lines of code page 932 bytes: fields split at ',', optionally in double quotes.
#include "qupra/csv.h"

bool SplitCsvLine(const std::string& line, std::vector<std::string>* fields) {
  fields->clear();
  size_t i = 0;
  for (;;) {
    std::string field;
    if (i < line.size() && line[i] == '"') {
      for (++i;; ++i) {
        if (i == line.size()) return false;
        if (line[i] != '"') {
          field += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      if (i < line.size() && line[i] != ',') return false;
    } else {
      size_t end = line.find(',', i);
      if (end == std::string::npos) end = line.size();
      field.assign(line, i, end - i);
      i = end;
    }
    fields->push_back(field);
    if (i == line.size()) return true;
    ++i;  // the ','
  }
}

void AppendCsvField(const std::string& field, std::string* line) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    *line += field;
    return;
  }
  *line += '"';
  for (char c : field) {
    if (c == '"') *line += '"';
    *line += c;
  }
  *line += '"';
}
