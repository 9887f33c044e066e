#include "proxysettings.h"

#include "sysutils.h"

std::string DescrambleText(std::string_view text) {
  std::string b(text);
  // First pass over the whole text, then the key pass: the second pass sees
  // only bytes the first one has already moved.
  for (char& c : b) c = static_cast<char>(static_cast<unsigned char>(c) - 40u);
  for (size_t i = 0; i < b.size(); ++i) {
    const char k = ProxyKey[i % 16];
    if (b[i] != k) b[i] = static_cast<char>(b[i] ^ k);
  }
  return b;
}

int32_t ProxyPortFromLine(std::string_view line) { return StrToIntDef(line, 80); }

ProxySettings ProxySettingsFromLines(const std::vector<std::string>& lines) {
  ProxySettings s;
  if (!lines.empty() && lines[0] == "0") return s;
  if (lines.size() < 6) return s;
  s.Host = lines[2];
  s.Port = ProxyPortFromLine(lines[3]);
  if (lines[1] == "1") {
    const std::string& user = lines[4];
    if (user.empty()) return s;
    if (user[0] == '$') s.User = DescrambleText(std::string_view(user).substr(1));
    const std::string& password = lines[5];
    if (password.empty()) return s;
    if (password[0] == '$') s.Password = DescrambleText(std::string_view(password).substr(1));
  }
  return s;
}
