// libFuzzer target: any bytes as a list file; every entry fits its fields, and what is saved
// reads back as the same entries.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "checklist/url_list.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Entry i's name and address, each through a buffer of exactly the documented 256 bytes,
// on the heap so that a longer text is seen writing past it.
std::string Entry(const UrlList& list, int i) {
  std::unique_ptr<char[]> name(new char[256]), url(new char[256]);
  list.GetName(i, name.get());
  list.GetUrl(i, url.get());
  Check(strlen(name.get()) <= 255 && strlen(url.get()) <= 255);
  return std::string(name.get()) + '\0' + url.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  class CheckList list;
  list.LoadFromBytes(bytes);
  // An entry takes a line of its own, and a line no more than one read.
  size_t lines = 1 + size / 65534;
  for (char c : bytes) lines += c == '\n';
  Check(size_t(list.GetCount()) <= lines);

  std::string saved = list.SaveBytes();
  class CheckList again;
  again.LoadFromBytes(saved);
  Check(again.GetCount() == list.GetCount());
  for (int i = 0; i < list.GetCount(); ++i) Check(Entry(list, i) == Entry(again, i));
  Check(again.SaveBytes() == saved);
  // Out of range: the empty text.
  Check(Entry(list, -1) == std::string(1, '\0') && Entry(list, list.GetCount()).size() == 1);
  return 0;
}
