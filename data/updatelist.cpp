#include "updatelist.h"

std::string ExtractBuildDate(const TStrings& lines) {
  const std::string& line = lines[0];
  size_t hash = line.find('#');
  size_t start = hash == std::string::npos ? 0 : hash + 1;
  return line.substr(start, kBuildDateMaxLength);
}

namespace {
// The text before the first '#', and the rest after it (all of it when there is none).
std::string_view TakeField(std::string_view& rest) {
  size_t hash = rest.find('#');
  if (hash == std::string_view::npos) return {};
  std::string_view field = rest.substr(0, hash);
  rest.remove_prefix(hash + 1);
  return field;
}
}  // namespace

TUpdateEntry SplitUpdateEntry(std::string_view line) {
  TUpdateEntry e;
  e.Type = TakeField(line);
  e.Date = TakeField(line);
  e.Description = line;
  return e;
}

std::string UpdateListIdentifier(std::string_view text) {
  size_t end = text.find("\r\n");
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end));
}
