#include "Cookies.h"

#include <algorithm>
#include <cctype>

namespace idhttp {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsIpAddress(std::string_view host) {
  if (host.find(':') != std::string_view::npos) return true;
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool DomainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return !IsIpAddress(host) && host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

std::string DefaultPath(const Url& url) {
  std::string p = url.PathOnly();
  if (p.empty() || p[0] != '/') return "/";
  size_t last = p.rfind('/');
  return last == 0 ? "/" : p.substr(0, last);
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

}  // namespace

bool ParseHttpDate(std::string_view text, int64_t& unixTime) {
  // The tolerant reading of RFC 6265 section 5.1.1: tokens between
  // delimiters give a time, a day of month, a month name and a year.
  static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  auto delimiter = [](unsigned char c) {
    return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
  };
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  int hh = 0, mm = 0, ss = 0, day = 0, month = 0, year = 0;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && delimiter(static_cast<unsigned char>(text[i]))) ++i;
    size_t start = i;
    while (i < text.size() && !delimiter(static_cast<unsigned char>(text[i]))) ++i;
    std::string_view tok = text.substr(start, i - start);
    if (tok.empty()) continue;
    auto digitsAt = [&](size_t from, size_t minN, size_t maxN, int& value, size_t& next) {
      size_t k = from;
      value = 0;
      while (k < tok.size() && k - from < maxN && isdigit(static_cast<unsigned char>(tok[k]))) value = value * 10 + (tok[k++] - '0');
      next = k;
      return k - from >= minN;
    };
    size_t next = 0;
    if (!haveTime) {
      int a, b, c;
      size_t n1, n2, n3;
      if (digitsAt(0, 1, 2, a, n1) && n1 < tok.size() && tok[n1] == ':' && digitsAt(n1 + 1, 1, 2, b, n2) &&
          n2 < tok.size() && tok[n2] == ':' && digitsAt(n2 + 1, 1, 2, c, n3)) {
        haveTime = true;
        hh = a, mm = b, ss = c;
        continue;
      }
    }
    if (!haveDay && digitsAt(0, 1, 2, day, next) && (next == tok.size() || !isdigit(static_cast<unsigned char>(tok[next])))) {
      haveDay = true;
      continue;
    }
    if (!haveMonth && tok.size() >= 3) {
      std::string m = AsciiLower(tok.substr(0, 3));
      for (int k = 0; k < 12; ++k)
        if (m == months[k]) {
          haveMonth = true;
          month = k + 1;
        }
      if (haveMonth) continue;
    }
    if (!haveYear && digitsAt(0, 2, 4, year, next) && (next == tok.size() || !isdigit(static_cast<unsigned char>(tok[next])))) {
      haveYear = true;
      continue;
    }
  }
  if (!(haveTime && haveDay && haveMonth && haveYear)) return false;
  if (year >= 70 && year <= 99) year += 1900;
  else if (year >= 0 && year <= 69) year += 2000;
  if (day < 1 || day > 31 || year < 1601 || hh > 23 || mm > 59 || ss > 59) return false;
  unixTime = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hh * 3600 + mm * 60 + ss;
  return true;
}

void CookieStore::SetCookie(const Url& url, std::string_view header, int64_t now) {
  if (header.size() > MaxCookieSize) return;
  size_t semi = header.find(';');
  std::string_view pair = header.substr(0, semi);
  size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  Cookie c;
  c.Name = std::string(Trim(pair.substr(0, eq)));
  c.Value = std::string(Trim(pair.substr(eq + 1)));
  if (c.Name.empty()) return;
  for (unsigned char ch : c.Name + c.Value)
    if (ch < 0x20 || ch == 0x7F) return;

  std::string domainAttr;
  std::string pathAttr;
  bool haveMaxAge = false;
  int64_t expires = -1;
  std::string_view attrs = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
  while (!attrs.empty()) {
    size_t next = attrs.find(';');
    std::string_view a = attrs.substr(0, next);
    attrs = next == std::string_view::npos ? std::string_view() : attrs.substr(next + 1);
    size_t aeq = a.find('=');
    std::string name = AsciiLower(Trim(a.substr(0, aeq)));
    std::string_view value = aeq == std::string_view::npos ? std::string_view() : Trim(a.substr(aeq + 1));
    if (name == "domain") {
      std::string d = AsciiLower(value);
      while (!d.empty() && d[0] == '.') d.erase(0, 1);
      if (!d.empty()) domainAttr = d;
    } else if (name == "path") {
      if (!value.empty() && value[0] == '/') pathAttr = std::string(value);
      else pathAttr.clear();
    } else if (name == "max-age") {
      bool neg = !value.empty() && value[0] == '-';
      std::string_view digits = neg ? value.substr(1) : value;
      if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        continue;
      int64_t secs = 0;
      for (char ch : digits) {
        secs = secs * 10 + (ch - '0');
        if (secs > (int64_t{1} << 40)) break;
      }
      haveMaxAge = true;
      expires = (neg || secs == 0) ? 0 : now + secs;
    } else if (name == "expires") {
      int64_t t;
      if (!haveMaxAge && ParseHttpDate(value, t)) expires = t;
    } else if (name == "secure") {
      c.Secure = true;
    }
  }

  if (!domainAttr.empty()) {
    if (!DomainMatches(url.Host, domainAttr)) return;  // a cookie for someone else
    // A bare top-level name is not a domain anyone may set for.
    if (domainAttr != url.Host && domainAttr.find('.') == std::string::npos) return;
    c.Domain = domainAttr;
    c.HostOnly = domainAttr == url.Host;
  } else {
    c.Domain = url.Host;
  }
  c.Path = pathAttr.empty() ? DefaultPath(url) : pathAttr;
  c.Expires = expires;

  auto same = std::find_if(FCookies.begin(), FCookies.end(), [&](const Cookie& o) {
    return o.Name == c.Name && o.Domain == c.Domain && o.Path == c.Path;
  });
  if (same != FCookies.end()) {
    c.Order = same->Order;
    FCookies.erase(same);
  } else {
    c.Order = FNextOrder++;
  }
  if (c.Expires >= 0 && c.Expires <= now) return;  // set to expire: removed

  // Drop expired cookies, then the oldest of the domain or of the store.
  FCookies.erase(std::remove_if(FCookies.begin(), FCookies.end(),
                                [&](const Cookie& o) { return o.Expires >= 0 && o.Expires <= now; }),
                 FCookies.end());
  auto oldestWhere = [&](auto pred) {
    auto oldest = FCookies.end();
    for (auto it = FCookies.begin(); it != FCookies.end(); ++it)
      if (pred(*it) && (oldest == FCookies.end() || it->Order < oldest->Order)) oldest = it;
    return oldest;
  };
  size_t inDomain = std::count_if(FCookies.begin(), FCookies.end(), [&](const Cookie& o) { return o.Domain == c.Domain; });
  if (inDomain >= MaxPerDomain) FCookies.erase(oldestWhere([&](const Cookie& o) { return o.Domain == c.Domain; }));
  if (FCookies.size() >= MaxCookies) FCookies.erase(oldestWhere([](const Cookie&) { return true; }));
  FCookies.push_back(std::move(c));
}

std::string CookieStore::CookieHeader(const Url& url, int64_t now) const {
  std::vector<const Cookie*> matches;
  std::string path = url.PathOnly();
  for (const Cookie& c : FCookies) {
    if (c.Expires >= 0 && c.Expires <= now) continue;
    if (c.Secure && url.Scheme != "https") continue;
    if (c.HostOnly ? url.Host != c.Domain : !DomainMatches(url.Host, c.Domain)) continue;
    if (!PathMatches(path, c.Path)) continue;
    matches.push_back(&c);
  }
  // Longer paths first, then the older cookie first.
  std::stable_sort(matches.begin(), matches.end(), [](const Cookie* a, const Cookie* b) {
    if (a->Path.size() != b->Path.size()) return a->Path.size() > b->Path.size();
    return a->Order < b->Order;
  });
  std::string r;
  for (const Cookie* c : matches) {
    if (!r.empty()) r += "; ";
    r += c->Name + "=" + c->Value;
  }
  return r;
}

}  // namespace idhttp
