// Arbitrary proxy.def contents: the lines are read without a fault, and
// what comes out keeps the descrambler's promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "classes.h"
#include "proxysettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto lines = SplitTextLines(text);
  const ProxySettings s = ProxySettingsFromLines(lines);

  if (lines.size() < 6 || lines[0] == "0") {
    if (!(s == ProxySettings{})) std::abort();
    return 0;
  }
  if (s.Host != lines[2]) std::abort();
  for (const std::string* cred : {&s.User, &s.Password}) {
    if (cred->find('\0') != std::string::npos) std::abort();
  }
  if (!s.User.empty() && s.User.size() + 1 != lines[4].size()) std::abort();
  if (!s.Password.empty() && s.Password.size() + 1 != lines[5].size()) std::abort();

  const std::string d = DescrambleText(text);
  if (d.size() != text.size() || d.find('\0') != std::string::npos) std::abort();
  return 0;
}
