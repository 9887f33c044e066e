// The data files are outside input: lines, entries and the build date from
// any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updatelist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TStringList lines;
  lines.SetText(text);
  size_t total = 0;
  for (const std::string& l : lines.Items()) {
    if (l.find_first_of("\r\n") != std::string::npos || l.find('\0') != std::string::npos) __builtin_trap();
    TUpdateEntry e = SplitUpdateEntry(l);
    if (e.Type.size() + e.Date.size() + e.Description.size() > l.size()) __builtin_trap();
    total += l.size();
  }
  if (total > size) __builtin_trap();
  try {
    std::string date = ExtractBuildDate(lines);
    if (date.size() > kBuildDateMaxLength) __builtin_trap();
  } catch (const EStringListError&) {
    if (lines.Count() != 0) __builtin_trap();
  }
  (void)UpdateListIdentifier(text);
  return 0;
}
