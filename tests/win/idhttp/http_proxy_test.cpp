// Through a real tinyproxy that asks for basic authentication.
#include <gtest/gtest.h>

#include "http_test_util.h"

namespace {
void UseProxy(TIdHTTP& http, const std::string& user, const std::string& pass, bool basic = true) {
  http.ProxyParams()->BasicAuthentication = basic;
  http.ProxyParams()->ProxyServer = "127.0.0.1";
  http.ProxyParams()->ProxyPort = std::atoi(Env("CORVALLO_PROXY_PORT").c_str());
  http.ProxyParams()->ProxyUsername = user;
  http.ProxyParams()->ProxyPassword = pass;
}
}  // namespace

TEST(IdHTTPProxy, CredentialsReachTheServerThroughTheProxy) {
  TIdHTTP http(nullptr);
  UseProxy(http, Env("CORVALLO_PROXY_USER"), Env("CORVALLO_PROXY_PASS"));
  std::string echo = http.Get(Base() + "/echo?through=proxy");
  EXPECT_EQ(echo.substr(0, echo.find("\r\n")), "GET /echo?through=proxy HTTP/1.1");
  EXPECT_NE(echo.find("\r\nVia: "), std::string::npos) << echo;
  EXPECT_EQ(echo.find("Proxy-Authorization"), std::string::npos);  // the proxy keeps it
  TMemoryStream m;
  http.HandleRedirects = true;
  http.Get(Base() + "/redirect/2?to=/bytes/100000", m);
  EXPECT_TRUE(m.DataString() == ServerBytes(100000));
  // The proxy received the absolute URL.
  std::string log = ReadFileText(Env("CORVALLO_PROXY_LOG"));
  EXPECT_NE(log.find("http://127.0.0.1:" + std::to_string(HttpPort()) + "/echo?through=proxy"), std::string::npos) << log;
}

TEST(IdHTTPProxy, RefusedCredentialsGiveTheProxysStatus) {
  // tinyproxy asks for credentials with 407 and refuses wrong ones with 401;
  // the error is the proxy's own status line either way.
  const std::string ask = "HTTP/1.0 407 Proxy Authentication Required", refuse = "HTTP/1.0 401 Unauthorized";
  struct Case {
    std::string user, pass;
    bool basic;
    std::string status;
  } cases[] = {
      {"corvallo", "wrong", true, refuse},
      {"nobody", "s3cret", true, refuse},
      {"", "", true, ask},                                                    // no user: no header
      {Env("CORVALLO_PROXY_USER"), Env("CORVALLO_PROXY_PASS"), false, ask},  // authentication off
  };
  for (const auto& c : cases) {
    TIdHTTP http(nullptr);
    UseProxy(http, c.user, c.pass, c.basic);
    TMemoryStream m;
    std::string error;
    try {
      http.Get(Base() + "/bytes/10", m);
    } catch (const EIdHTTPProtocolException& e) {
      error = std::string(e.ClassName()) + ": " + e.Message();
      EXPECT_EQ(e.ReplyErrorCode(), c.status == ask ? 407 : 401);
    }
    EXPECT_EQ(error, "EIdHTTPProtocolException: " + c.status) << c.user << "/" << c.pass;
    EXPECT_EQ(m.Size(), 0);
  }
}

TEST(IdHTTPProxy, EmptyServerGoesDirect) {
  TIdHTTP http(nullptr);
  UseProxy(http, "corvallo", "wrong");
  http.ProxyParams()->ProxyServer = "";
  std::string echo = http.Get(Base() + "/echo?direct=1");
  EXPECT_EQ(echo.substr(0, echo.find("\r\n")), "GET /echo?direct=1 HTTP/1.1");
  EXPECT_EQ(echo.find("Via:"), std::string::npos);
  EXPECT_EQ(echo.find("Proxy-Authorization"), std::string::npos);

  // A proxy that is not there is named as the proxy.
  UseProxy(http, "", "");
  http.ProxyParams()->ProxyPort = 0;
  EXPECT_EQ(ErrorOf([&] { http.Get(Base() + "/echo"); }), "EIdSocketError: Cannot connect to the proxy 127.0.0.1:0: invalid port");
}
