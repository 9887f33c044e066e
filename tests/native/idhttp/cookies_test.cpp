#include <gtest/gtest.h>

#include "Cookies.h"

using idhttp::CookieStore;
using idhttp::ParseUrl;

namespace {
const int64_t kNow = 1'700'000'000;  // 2023-11-14
idhttp::Url U(const char* s) { return ParseUrl(s, true); }
}  // namespace

TEST(Cookies, HttpDates) {
  struct Case {
    const char* text;
    int64_t want;  // -1: not a date
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {"Sun Nov  6 08:49:37 1994", 784111777},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"Wed, 29 Feb 2040 23:59:59 GMT", 2214172799},
      {"06 nov 2001 1:2:3", 1005008523},
      {"not a date", -1},
      {"Sun, 32 Nov 1994 08:49:37 GMT", -1},
      {"Sun, 06 Nov 1994 25:00:00 GMT", -1},
      {"", -1},
  };
  for (const auto& c : cases) {
    int64_t t = -1;
    bool ok = idhttp::ParseHttpDate(c.text, t);
    EXPECT_EQ(ok, c.want >= 0) << c.text;
    if (ok) EXPECT_EQ(t, c.want) << c.text;
  }
}

TEST(Cookies, SentBackToTheHostAndPathThatSetThem) {
  CookieStore s;
  s.SetCookie(U("http://www.example.com/docs/page"), "a=1", kNow);            // path /docs
  s.SetCookie(U("http://www.example.com/x"), "b=2; Path=/; HttpOnly", kNow);
  s.SetCookie(U("http://www.example.com/x"), "c=3; Domain=.example.com; Path=/", kNow);
  s.SetCookie(U("http://www.example.com/x"), "d=4; Domain=other.com", kNow);  // refused
  s.SetCookie(U("http://www.example.com/x"), "e=5; Domain=com", kNow);        // refused
  s.SetCookie(U("http://www.example.com/x"), "f=6; Secure", kNow);            // never over http
  s.SetCookie(U("http://www.example.com/x"), "=7", kNow);                     // no name
  s.SetCookie(U("http://www.example.com/x"), "novalue", kNow);

  EXPECT_EQ(s.CookieHeader(U("http://www.example.com/docs/page2"), kNow), "a=1; b=2; c=3");
  EXPECT_EQ(s.CookieHeader(U("http://www.example.com/docs"), kNow), "a=1; b=2; c=3");
  EXPECT_EQ(s.CookieHeader(U("http://www.example.com/docsX"), kNow), "b=2; c=3");
  EXPECT_EQ(s.CookieHeader(U("http://WWW.EXAMPLE.COM:8080/"), kNow), "b=2; c=3");  // ports do not matter
  EXPECT_EQ(s.CookieHeader(U("http://sub.example.com/"), kNow), "c=3");
  EXPECT_EQ(s.CookieHeader(U("http://example.com/"), kNow), "c=3");
  EXPECT_EQ(s.CookieHeader(U("http://badexample.com/"), kNow), "");
  EXPECT_EQ(s.CookieHeader(U("http://127.0.0.1/"), kNow), "");
}

TEST(Cookies, ReplacedExpiredAndRemoved) {
  CookieStore s;
  auto url = U("http://127.0.0.1:8080/cookie/set");
  s.SetCookie(url, "id=old; Path=/", kNow);
  s.SetCookie(url, "id=new; Path=/", kNow);
  s.SetCookie(url, "short=1; Path=/; Max-Age=10", kNow);
  s.SetCookie(url, "dated=1; Path=/; Expires=Sun, 06 Nov 2050 08:49:37 GMT", kNow);
  s.SetCookie(url, "ageWins=1; Path=/; Max-Age=100; Expires=Sun, 06 Nov 1994 08:49:37 GMT", kNow);
  s.SetCookie(url, "badDate=1; Path=/; Expires=whenever", kNow);
  EXPECT_EQ(s.CookieHeader(U("http://127.0.0.1:8080/"), kNow), "id=new; short=1; dated=1; ageWins=1; badDate=1");
  EXPECT_EQ(s.CookieHeader(U("http://127.0.0.1:8080/"), kNow + 11), "id=new; dated=1; ageWins=1; badDate=1");

  s.SetCookie(url, "id=x; Path=/; Max-Age=0", kNow);
  s.SetCookie(url, "dated=x; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT", kNow);
  EXPECT_EQ(s.CookieHeader(U("http://127.0.0.1:8080/"), kNow), "short=1; ageWins=1; badDate=1");
}

TEST(Cookies, StoreIsBounded) {
  CookieStore s;
  auto url = U("http://h.example/");
  for (int i = 0; i < 500; ++i) s.SetCookie(url, "n" + std::to_string(i) + "=v", kNow);
  EXPECT_EQ(s.Cookies().size(), CookieStore::MaxPerDomain);
  EXPECT_EQ(s.Cookies().front().Name, "n440");  // the oldest went first
  s.SetCookie(url, "big=" + std::string(5000, 'x'), kNow);
  EXPECT_EQ(s.CookieHeader(url, kNow).find("big="), std::string::npos);
  for (int d = 0; d < 40; ++d)
    for (int i = 0; i < 30; ++i)
      s.SetCookie(U(("http://d" + std::to_string(d) + ".example/").c_str()), "c" + std::to_string(i) + "=1", kNow);
  EXPECT_LE(s.Cookies().size(), CookieStore::MaxCookies);
}
