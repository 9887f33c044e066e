// The suite's proxy settings file ("proxy.def") and its scrambled credentials.
//
// The pure rules (descrambling, reading the file's lines) live here without
// any Windows header; ReadProxySettings and ApplyProxySettings are the thin
// Windows side that opens the file and fills the HTTP client.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIdHTTP;

struct ProxySettings {
  std::string Host;  // empty: no proxy
  int32_t Port = 0;
  std::string User;
  std::string Password;

  bool operator==(const ProxySettings&) const = default;
};

// The suite's fixed descrambling key: byte i of a scrambled text uses key
// character i mod 16.
inline constexpr std::string_view ProxyKey = "QuillBrookMeadow";

// Returns the descrambled copy of a scrambled credential (the text after the
// "$" marker). The length never changes and the result holds no zero byte.
std::string DescrambleText(std::string_view text);

// The port line: a decimal number, optionally signed, also "$1F90" or
// "0x1F90" in hexadecimal, with no blanks around it and within 32 bits;
// anything else gives 80. No range check.
int32_t ProxyPortFromLine(std::string_view line);

// The settings that the lines of proxy.def describe (the lines exactly as
// they stand, no trimming; an empty list for a missing file).
ProxySettings ProxySettingsFromLines(const std::vector<std::string>& lines);

// Reads "..\proxy.def" relative to the current folder afresh. A missing file
// means no proxy; a file that exists but cannot be opened raises EFOpenError.
// Never reports anything to the user. (Windows only.)
ProxySettings ReadProxySettings();

// Reads the settings and writes all five proxy parameters of the client:
// BasicAuthentication true, then server, port, user name and password, on
// every call (an empty server clears a proxy set before). When reading fails
// the exception passes and the client's parameters stay as they were.
// (Windows only.)
void ApplyProxySettings(TIdHTTP* client);
inline void ApplyProxySettings(TIdHTTP& client) { ApplyProxySettings(&client); }
