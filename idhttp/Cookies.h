// The HTTP client's in-memory cookie store. Pure code: no Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "HttpProtocol.h"

namespace idhttp {

// Seconds since 1970-01-01 00:00 UTC for a date in the forms HTTP servers
// use in Expires and Date headers (RFC 1123, RFC 850, asctime and the
// looser variants browsers accept); false when the text holds no such date.
bool ParseHttpDate(std::string_view text, int64_t& unixTime);

// Cookies set by responses and sent back to the hosts and paths that set
// them. A cookie without Expires or Max-Age lives as long as the store.
class CookieStore {
 public:
  struct Cookie {
    std::string Name, Value, Domain, Path;
    bool HostOnly = true;
    bool Secure = false;
    int64_t Expires = -1;  // unix time; -1: for the session
    uint64_t Order = 0;    // creation order
  };

  // Takes one Set-Cookie header value received from url at time now.
  void SetCookie(const Url& url, std::string_view header, int64_t now);
  // The Cookie header value for a request to url at time now (empty: none).
  std::string CookieHeader(const Url& url, int64_t now) const;
  void Clear() { FCookies.clear(); }
  const std::vector<Cookie>& Cookies() const { return FCookies; }

  static constexpr size_t MaxCookies = 1000;
  static constexpr size_t MaxPerDomain = 60;
  static constexpr size_t MaxCookieSize = 4096;

 private:
  std::vector<Cookie> FCookies;
  uint64_t FNextOrder = 0;
};

}  // namespace idhttp
