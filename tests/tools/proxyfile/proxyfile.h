// Test support for the suite's proxy settings file: the scrambler that the
// suite's settings dialog applies to the credentials, and the places where
// the update program looks for the file.
#pragma once

#include <string>

#include "classes.h"
#include "proxysettings.h"

namespace proxyfile {

// The update program's folder in the suite's layout; the settings file lies
// in the folder above it.
inline const char* const kProgramFolder = "C:\\Program Files\\Corvallo\\Update";
inline const char* const kProxyFile = "C:\\Program Files\\Corvallo\\proxy.def";

// The inverse of the two descrambling passes: the key pass maps both 0 and
// the key character to the key character, so a plain byte equal to its key
// character is written as the key character.
inline std::string Scramble(const std::string& plain) {
  std::string s = plain;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char k = static_cast<unsigned char>(ProxyKey[i % 16]);
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b != k) b ^= k;
    s[i] = static_cast<char>(static_cast<unsigned char>(b + 40));
  }
  return s;
}

inline void WriteBytes(const std::string& name, const std::string& bytes) {
  TFileStream f(name, fmCreate);
  f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace proxyfile
