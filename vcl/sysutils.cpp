#include "sysutils.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  char small[256];
  int n = vsnprintf(small, sizeof small, fmt, ap);
  va_end(ap);
  std::string out;
  if (n < 0) {
    va_end(ap2);
    return out;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else {
    out.resize(static_cast<size_t>(n) + 1);
    vsnprintf(out.data(), out.size(), fmt, ap2);
    out.resize(static_cast<size_t>(n));
  }
  va_end(ap2);
  return out;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(std::string_view s, int32_t& value) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + d;
    if (v > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // Hex literals give the bit pattern, as 32-bit values are usually written.
    uint32_t bits = static_cast<uint32_t>(v);
    value = neg ? -static_cast<int32_t>(bits) : static_cast<int32_t>(bits);
    return true;
  }
  if (neg) {
    if (v > 0x80000000ull) return false;
    value = static_cast<int32_t>(-static_cast<int64_t>(v));
  } else {
    if (v > 0x7FFFFFFFull) return false;
    value = static_cast<int32_t>(v);
  }
  return true;
}

int32_t StrToIntDef(std::string_view text, int32_t def) {
  int32_t v;
  return TryStrToInt(text, v) ? v : def;
}

int32_t StrToInt(std::string_view text) {
  int32_t v;
  if (!TryStrToInt(text, v))
    throw EConvertError(Format(vcl::res::InvalidInteger, std::string(text).c_str()));
  return v;
}

std::string AsciiLower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string AsciiUpper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

static size_t LastDelimiter(std::string_view path) {
  size_t p = path.find_last_of("\\/:");
  return p;
}

std::string ExtractFilePath(std::string_view path) {
  size_t p = LastDelimiter(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t p = LastDelimiter(path);
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  size_t dot = path.find_last_of('.');
  size_t sep = LastDelimiter(path);
  if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep))
    return std::string(path) + std::string(ext);
  return std::string(path.substr(0, dot)) + std::string(ext);
}
