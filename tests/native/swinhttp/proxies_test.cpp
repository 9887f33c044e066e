#include <gtest/gtest.h>

#include "SwinHttp.h"
#include "persist.h"

namespace {

void SetEntry(TSwProxy& p, TSwProxyProtocols protocol, const std::string& host, int32_t port) {
  p.Protocol = protocol;
  p.Host = host;
  p.Port = port;
}

TEST(TSwProxies, ListTable) {
  struct Entry {
    TSwProxyProtocols protocol;
    const char* host;
    int32_t port;
  };
  struct Case {
    Entry http, https;
    const char* list;
  } cases[] = {
      {{ppHttp, "h1", 8080}, {ppAuto, "h2", 3128}, "http=http://h1:8080"},
      {{ppHttp, "h1", 8080}, {ppHttps, "h2", 0}, "http=http://h1:8080 https://h2"},
      {{ppAuto, "h1", 8080}, {ppSocks, "h2", 1080}, "socks://h2:1080"},
      {{ppHttp, "h1", 0}, {ppNone, "h2", 3128}, "http=http://h1 "},
      {{ppNone, "h1", 8080}, {ppAuto, "h2", 3128}, ""},
      {{ppHttp, "", 0}, {ppAuto, "h2", 3128}, "http=http://"},
      // Each scheme word, and the entries that render empty.
      {{ppHttps, "h1", 443}, {ppHttp, "h2", 80}, "http=https://h1:443 http://h2:80"},
      {{ppSocks, "h1", 1080}, {ppNone, "", 0}, "http=socks://h1:1080 "},
      {{ppNone, "h1", 1}, {ppNone, "h2", 2}, ""},
      {{ppAuto, "h1", 1}, {ppHttps, "h2", 2}, "https://h2:2"},
  };
  for (const auto& c : cases) {
    TSwProxies set;
    SetEntry(*set.HttpProxy, c.http.protocol, c.http.host, c.http.port);
    SetEntry(*set.HttpsProxy, c.https.protocol, c.https.host, c.https.port);
    EXPECT_EQ(set.List(), c.list) << c.list;
  }
}

TEST(TSwProxies, NewSetAndEntry) {
  TSwProxies set;
  EXPECT_EQ(set.HttpProxy->Protocol, ppAuto);
  EXPECT_EQ(set.HttpsProxy->Protocol, ppAuto);
  EXPECT_NE(set.HttpProxy.get(), set.HttpsProxy.get());
  EXPECT_EQ(set.User, "");
  EXPECT_EQ(set.Pass, "");
  EXPECT_EQ(set.Bypass, "");
  EXPECT_EQ(set.List(), "");

  TSwProxy entry;
  EXPECT_EQ(entry.Port, 0);
  EXPECT_EQ(entry.Host, "");
  EXPECT_EQ(entry.Protocol, ppAuto);
  entry.Protocol = ppHttp;
  entry.Host = "p";
  EXPECT_EQ(entry.ProxyStr(), "http://p");  // the declared 80 is no value
}

TEST(TSwProxies, AssignCopiesEntriesButNotSets) {
  TSwProxy a, b;
  SetEntry(a, ppSocks, "s", 1080);
  b.Assign(&a);
  EXPECT_EQ(b.Protocol, ppSocks);
  EXPECT_EQ(b.Host, "s");
  EXPECT_EQ(b.Port, 1080);
  a.Host = "changed";
  EXPECT_EQ(b.Host, "s");

  struct Case {
    TPersistent* dest;
    const TPersistent* source;
    const char* message;
  };
  TSwProxies s1, s2;
  Case cases[] = {
      {&s2, &s1, "Cannot assign a TSwProxies to a TSwProxies"},
      {&s2, &a, "Cannot assign a TSwProxy to a TSwProxies"},
      {&a, &s1, "Cannot assign a TSwProxies to a TSwProxy"},
  };
  for (const auto& c : cases) {
    try {
      c.dest->Assign(c.source);
      ADD_FAILURE() << c.message;
    } catch (const EConvertAssignError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(TSwProxies, PersistenceLeavesTheDeclaredPortOut) {
  struct Case {
    int32_t port;
    const char* text;
    int32_t readBack;
  } cases[] = {
      {80, "Protocol = ppHttp\r\nHost = 'proxy'\r\n", 0},
      {8080, "Protocol = ppHttp\r\nHost = 'proxy'\r\nPort = 8080\r\n", 8080},
      {0, "Protocol = ppHttp\r\nHost = 'proxy'\r\nPort = 0\r\n", 0},
  };
  for (const auto& c : cases) {
    TSwProxy p;
    SetEntry(p, ppHttp, "proxy", c.port);
    std::string text = vcl::WriteProperties(p);
    EXPECT_EQ(text, c.text);
    TSwProxy back;
    vcl::ReadProperties(back, text);
    EXPECT_EQ(back.Protocol, ppHttp);
    EXPECT_EQ(back.Host, "proxy");
    EXPECT_EQ(back.Port, c.readBack);
    EXPECT_EQ(back.ProxyStr(), c.port == 8080 ? "http://proxy:8080" : "http://proxy");
  }
}

TEST(TSwProxies, SetPersistsInPublishedOrder) {
  TSwProxies set;
  SetEntry(*set.HttpProxy, ppHttp, "h1", 80);
  SetEntry(*set.HttpsProxy, ppSocks, "h2", 1080);
  set.User = "u";
  set.Pass = "it's";
  set.Bypass = "<local>";
  const std::string text = vcl::WriteProperties(set);
  EXPECT_EQ(text,
            "HttpProxy.Protocol = ppHttp\r\n"
            "HttpProxy.Host = 'h1'\r\n"
            "HttpsProxy.Protocol = ppSocks\r\n"
            "HttpsProxy.Host = 'h2'\r\n"
            "HttpsProxy.Port = 1080\r\n"
            "User = 'u'\r\n"
            "Pass = 'it''s'\r\n"
            "Bypass = '<local>'\r\n");
  TSwProxies back;
  vcl::ReadProperties(back, text);
  EXPECT_EQ(back.List(), "http=http://h1 socks://h2:1080");
  EXPECT_EQ(back.Pass, "it's");
  EXPECT_EQ(back.Bypass, "<local>");
  EXPECT_EQ(vcl::GetPropertyText(back, "HttpsProxy.Protocol"), "ppSocks");
}

}  // namespace

namespace {

// Long texts are written in pieces joined by '+'; each length must read back.
TEST(TSwProxies, LongTextsRoundTrip) {
  for (size_t len : {63u, 64u, 65u, 128u, 200u}) {
    TSwProxies set;
    set.Bypass = std::string(len, 'b');
    set.User = std::string(len - 1, 'u') + "\x01";
    TSwProxies back;
    vcl::ReadProperties(back, vcl::WriteProperties(set));
    EXPECT_EQ(back.Bypass, set.Bypass) << len;
    EXPECT_EQ(back.User, set.User) << len;
  }
}

}  // namespace
