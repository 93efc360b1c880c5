// Reading and writing the list files, and the list operations.
#include "checklist/url_list.h"

#include <cstdio>
#include <cstring>

namespace {

Disk* ListDisk = nullptr;
Disk* CurrentDisk() { return ListDisk ? ListDisk : RealDisk(); }

// One read of the text file takes at most this many bytes of a line.
const size_t kReadChunk = 65534;
const size_t kFieldBytes = 255;

void CopyCut(char* out, const std::string& field) {
  size_t n = field.size() < kFieldBytes ? field.size() : kFieldBytes;
  std::memcpy(out, field.data(), n);
  out[n] = '\0';
}

UrlEntry MakeEntry(const char* name, const char* url) {
  UrlEntry e;
  std::memset(&e, 0, sizeof e);
  CopyCut(e.name, name);
  CopyCut(e.url, url);
  return e;
}

// A field written so that reading gives it back: a comma or a quote byte would split the
// line or start quoting, so each is written inside quotes of the other kind. Other bytes
// are written as they are, so an ordinary entry's line is plain "name,address".
void AppendField(std::string* out, const char* field) {
  for (const char* p = field; *p; ++p) {
    if (*p == ',' || *p == '\'') {
      *out += '"';
      *out += *p;
      *out += '"';
    } else if (*p == '"') {
      *out += "'\"'";
    } else {
      *out += *p;
    }
  }
}

}  // namespace

void SetListDisk(Disk* disk) { ListDisk = disk; }

std::vector<std::string> SplitListLine(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if ((c == '"' || c == '\'') && (quote == 0 || quote == c)) {
      quote = quote ? 0 : c;
    } else if (c == ',' && quote == 0) {
      fields.push_back(field);  // the line goes on after it
      field.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty()) fields.push_back(field);
  return fields;
}

void UrlList::LoadFromBytes(const std::string& bytes) {
  size_t end = bytes.find('\x1A');
  if (end == std::string::npos) end = bytes.size();
  size_t pos = 0;
  while (pos < end) {
    // A line ends at LF (a CR before it goes with the trailing CR/LF bytes) or after
    // one read's worth of bytes.
    size_t lf = bytes.find('\n', pos);
    if (lf == std::string::npos || lf > end) lf = end;
    size_t stop = lf;
    bool cut = false;
    if (stop - pos > kReadChunk) {
      stop = pos + kReadChunk;
      cut = true;
    }
    std::string line = bytes.substr(pos, stop - pos);
    pos = cut ? stop : lf + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields = SplitListLine(line);
    if (fields.size() < 2) continue;
    entries_.push_back(MakeEntry(fields[0].c_str(), fields[1].c_str()));
  }
}

int UrlList::Load() {
  entries_.clear();
  entries_.shrink_to_fit();
  std::string bytes;
  if (CurrentDisk()->ReadFile(GetFilePath().c_str(), &bytes)) LoadFromBytes(bytes);
  return 1;
}

std::string UrlList::SaveBytes() const {
  std::string bytes;
  for (const UrlEntry& e : entries_) {
    AppendField(&bytes, e.name);
    bytes += ',';
    AppendField(&bytes, e.url);
    // An empty last field, or CR bytes at the end of the line, would be lost on reading;
    // one more comma keeps the address whole (later fields are ignored).
    size_t n = std::strlen(e.url);
    if (n == 0 || e.url[n - 1] == '\r') bytes += ',';
    bytes += "\r\n";
  }
  return bytes;
}

int UrlList::Save() {
  std::string bytes = SaveBytes();
  return CurrentDisk()->ReplaceFile(GetFilePath().c_str(), bytes.data(), bytes.size()) ? 1 : 0;
}

void UrlList::GetName(int index, char* out) const {
  if (index < 0 || index >= GetCount()) {
    out[0] = '\0';
    return;
  }
  std::strcpy(out, entries_[size_t(index)].name);
}

void UrlList::GetUrl(int index, char* out) const {
  if (index < 0 || index >= GetCount()) {
    out[0] = '\0';
    return;
  }
  std::strcpy(out, entries_[size_t(index)].url);
}

int UrlList::Add(const char* name, const char* url) {
  entries_.push_back(MakeEntry(name, url));
  return 1;
}

int UrlList::InsertAt(int index, const char* name, const char* url) {
  entries_.insert(entries_.begin() + index, MakeEntry(name, url));
  return 1;
}

int UrlList::RemoveAt(int index) {
  entries_.erase(entries_.begin() + index);
  return 1;
}

int CheckList::ReplaceFile(const char*, int) { return 1; }

std::string CheckList::GetFilePath() const { return std::string(folder_) + "FavoriteList.txt"; }

int CandidateList::ReplaceFile(const char* data, int size) {
  if (size < 0) return 0;
  if (!CurrentDisk()->ReplaceFile(GetFilePath().c_str(), data, size_t(size))) return 0;
  Load();
  return 1;
}

std::string CandidateList::GetFilePath() const { return std::string(folder_) + "BaseUrlList.txt"; }

bool CandidateList::LastWrite(CalendarTime* out) const {
  return CurrentDisk()->LastWriteTime(GetFilePath().c_str(), false, out);
}

int CandidateList::IsOutdated(const CalendarTime& time) {
  CalendarTime file;
  if (!LastWrite(&file)) return 1;
  const uint16_t given[] = {time.year, time.month, time.day, time.hour, time.minute, time.second};
  const uint16_t local[] = {file.year, file.month, file.day, file.hour, file.minute, file.second};
  for (int i = 0; i < 6; ++i) {
    if (given[i] < local[i]) return 0;
    if (given[i] > local[i]) return 1;
  }
  return 1;
}
