// The client against the local test server: bodies, events, redirects,
// cookies, errors.
#include <gtest/gtest.h>

#include "http_test_util.h"

namespace {
const std::string kPort = std::to_string(HttpPort());
}

TEST(IdHTTP, BodiesArriveWholeWithTheirEvents) {
  struct Case {
    size_t size;
    const char* modifier;
    int32_t recvBuffer;
  } cases[] = {
      {0, "", 32768},       {1, "", 32768},          {4300, "", 32768},        {1048576, "", 128000},
      {200000, "", 4096},   {0, "chunked=1", 32768}, {1, "chunked=1", 32768},  {4300, "chunked=1&chunk=1000", 32768},
      {1048576, "chunked=1", 128000}, {200000, "chunked=1&chunk=70000", 4096},
      {0, "close=1", 32768}, {4300, "close=1", 32768}, {1048576, "close=1", 128000}, {200000, "drip=1&piece=30000", 4096},
      {3145733, "", 128000}, {3145733, "chunked=1&chunk=100000", 128000}, {3145733, "close=1", 128000},  // several read blocks
  };
  TIdHTTP http(nullptr);
  Recorder rec;
  rec.Attach(http);
  for (const auto& c : cases) {
    std::string url = Base() + "/bytes/" + std::to_string(c.size) + "?" + c.modifier;
    SCOPED_TRACE(url);
    http.RecvBufferSize = c.recvBuffer;
    rec.Clear();
    TMemoryStream m;
    http.Get(url, m);
    EXPECT_TRUE(m.DataString() == ServerBytes(c.size)) << "size " << m.Size();
    EXPECT_EQ(http.ResponseCode(), 200);
    EXPECT_EQ(http.ResponseText(), "HTTP/1.1 200 OK");

    bool lengthKnown = std::string(c.modifier).find("chunked") == std::string::npos &&
                       std::string(c.modifier).find("close") == std::string::npos;
    EXPECT_EQ(rec.announced, lengthKnown ? static_cast<int64_t>(c.size) : 0);
    // Begin, then running totals rising to the size, then End.
    auto begin = std::find(rec.events.begin(), rec.events.end(), "begin:" + std::to_string(rec.announced));
    ASSERT_NE(begin, rec.events.end());
    EXPECT_EQ(rec.events.back(), "end");
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "end"), 1);
    if (c.size == 0) {
      EXPECT_TRUE(rec.work.empty());
    } else {
      ASSERT_FALSE(rec.work.empty());
      EXPECT_EQ(rec.work.back(), static_cast<int64_t>(c.size));
      EXPECT_TRUE(std::is_sorted(rec.work.begin(), rec.work.end()));
      EXPECT_EQ(std::adjacent_find(rec.work.begin(), rec.work.end()), rec.work.end());  // strictly rising
    }
    EXPECT_FALSE(rec.otherThread);
    // A body that runs to the close leaves no connection behind.
    EXPECT_EQ(http.Connected(), lengthKnown || std::string(c.modifier).find("chunked") != std::string::npos);
  }
}

TEST(IdHTTP, TextIsByteForByteAndTheRequestCarriesTheSettings) {
  TIdHTTP http(nullptr);
  http.Request()->Accept = "text/html, */*";
  http.Request()->UserAgent = "Mozilla/3.0";
  EXPECT_TRUE(http.Get(Base() + "/bytes/600") == ServerBytes(600));  // NUL bytes and all
  EXPECT_EQ(http.Get(Base() + "/echo?x=1"),
            "GET /echo?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + kPort +
                "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0\r\nConnection: keep-alive\r\n\r\n");

  // Unsafe characters of the query are percent-encoded with hoForceEncodeParams;
  // without it only blanks and control bytes are.
  std::string q = "/echo?q=a b\"<x>\"|{}\xE9";
  std::string line = http.Get(Base() + q);
  EXPECT_EQ(line.substr(0, line.find("\r\n")), "GET /echo?q=a%20b%22%3Cx%3E%22%7C%7B%7D%E9 HTTP/1.1");
  http.HTTPOptions = TIdHTTPOptions{};
  line = http.Get(Base() + q);
  EXPECT_EQ(line.substr(0, line.find("\r\n")), "GET /echo?q=a%20b\"<x>\"|{}\xE9 HTTP/1.1");
}

TEST(IdHTTP, ConnectionStatesAndKeepAlive) {
  TIdHTTP http(nullptr);
  Recorder rec;
  rec.Attach(http);
  http.Get(Base() + "/bytes/10");
  http.Get(Base() + "/bytes/10?chunked=1");
  http.Get(Base() + "/bytes/10");
  // One connection carried the three requests.
  EXPECT_EQ(rec.Count(hsResolving), 1);
  EXPECT_EQ(rec.Count(hsConnecting), 1);
  EXPECT_EQ(rec.Count(hsConnected), 1);
  EXPECT_EQ(rec.Count(hsDisconnected), 0);
  ASSERT_GE(rec.events.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(rec.events.begin(), rec.events.begin() + 4),
            (std::vector<std::string>{"status:0", "status:1", "status:2", "begin:10"}));
  EXPECT_TRUE(http.Connected());

  rec.Clear();
  http.Disconnect();
  EXPECT_EQ(rec.events, (std::vector<std::string>{"status:3", "status:4"}));
  EXPECT_FALSE(http.Connected());
  http.Disconnect();  // nothing open: nothing happens
  EXPECT_EQ(rec.events.size(), 2u);

  // The server closing after the body ends the connection, and says so.
  rec.Clear();
  http.Get(Base() + "/bytes/10?close=1");
  EXPECT_EQ(rec.events, (std::vector<std::string>{"status:0", "status:1", "status:2", "begin:0", "work", "status:3",
                                                  "status:4", "end"}));
  // A kept connection that the server closed meanwhile is replaced unnoticed.
  http.Get(Base() + "/bytes/3");
  http.Get(Base() + "/bytes/3?cut=3&header=Connection:keep-alive");  // promised to stay, then closed
  EXPECT_TRUE(http.Connected());
  EXPECT_EQ(http.Get(Base() + "/bytes/3"), ServerBytes(3));
}

TEST(IdHTTP, RedirectsAreFollowed) {
  TIdHTTP http(nullptr);
  http.HandleRedirects = true;
  Recorder rec;
  rec.Attach(http);
  for (const char* code : {"301", "302", "303", "307", "308"}) {
    rec.Clear();
    TMemoryStream m;
    http.Get(Base() + "/redirect/3?to=/bytes/4300&code=" + code, m);
    EXPECT_TRUE(m.DataString() == ServerBytes(4300)) << code;
    // Only the final body moves the progress.
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "begin:4300"), 1) << code;
    EXPECT_EQ(rec.events.size() - std::count_if(rec.events.begin(), rec.events.end(),
                                                 [](const std::string& e) { return e.rfind("status:", 0) == 0; }),
              3u);
  }
  EXPECT_EQ(http.Get(Base() + "/redirect/2?abs=1&to=/echo"), http.Get(Base() + "/echo"));
  EXPECT_EQ(http.Get(Base() + "/redirect/15?to=/bytes/2"), ServerBytes(2));  // at the limit

  EXPECT_EQ(ErrorOf([&] { http.Get(Base() + "/loop"); }),
            "EIdProtocolError: The server redirects in a loop, back to http://127.0.0.1:" + kPort + "/loop");
  EXPECT_EQ(ErrorOf([&] { http.Get(Base() + "/redirect/16?to=/bytes/2"); }),
            "EIdProtocolError: Too many redirects (more than 15), the last to http://127.0.0.1:" + kPort + "/bytes/2");

  http.HandleRedirects = false;
  TMemoryStream m;
  EXPECT_EQ(ErrorOf([&] { http.Get(Base() + "/redirect/1", m); }), "EIdHTTPProtocolException: HTTP/1.1 302 Found");
  EXPECT_EQ(m.Size(), 0);
}

TEST(IdHTTP, CookiesAreKeptPerComponent) {
  TIdHTTP http(nullptr);
  http.HandleRedirects = true;
  EXPECT_EQ(http.Get(Base() + "/cookie/echo"), "");
  http.Get(Base() + "/cookie/set?a=1&b=2");
  EXPECT_EQ(http.Get(Base() + "/cookie/echo"), "a=1; b=2");
  // Set on a redirect, sent to its target at once.
  EXPECT_EQ(http.Get(Base() + "/cookie/set?c=3&to=/cookie/echo"), "a=1; b=2; c=3");
  http.Get(Base() + "/cookie/set?a=9&header=Set-Cookie:b=x;%20Max-Age=0;%20Path=/");
  EXPECT_EQ(http.Get(Base() + "/cookie/echo"), "a=9; c=3");  // a replaced cookie keeps its place
  // Set halfway along a chain of redirects.
  EXPECT_EQ(http.Get(Base() + "/redirect/1?to=" + "/cookie/set%3Fd%3D4%26to%3D/cookie/echo"), "a=9; c=3; d=4");

  TIdHTTP other(nullptr);
  EXPECT_EQ(other.Get(Base() + "/cookie/echo"), "");
  other.AllowCookies = false;
  other.Get(Base() + "/cookie/set?e=5");
  EXPECT_EQ(other.Get(Base() + "/cookie/echo"), "");
}

TEST(IdHTTP, FailuresSayWhatHappened) {
  TIdHTTP http(nullptr);
  http.ReadTimeout = 1500;
  const std::string peer = " (from 127.0.0.1:" + kPort + ")";

  // A port nobody listens on.
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);
  std::string closed = std::to_string(ntohs(a.sin_port));

  struct Case {
    std::string path;
    std::string error;
    int64_t bytes;  // what reached the stream
  } cases[] = {
      {"/status/404", "EIdHTTPProtocolException: HTTP/1.1 404 Not Found", 0},
      {"/status/500", "EIdHTTPProtocolException: HTTP/1.1 500 Internal Server Error", 0},
      {"/status/404?close=1", "EIdHTTPProtocolException: HTTP/1.1 404 Not Found", 0},
      {"/bytes/4300?cut=1000",
       "EIdConnClosedGracefully: The connection was closed before the transfer was complete (1000 of 4300 bytes received)" + peer,
       1000},
      {"/bytes/4300?chunked=1&chunk=500&cut=1000",
       "EIdConnClosedGracefully: The connection was closed before the transfer was complete (1000 bytes received, the "
       "chunked body has no end)" + peer,
       1000},
      {"/bytes/10?stall=headers", "EIdReadTimeout: Read timed out: no data from 127.0.0.1:" + kPort + " for 1.5 s", 0},
      {"/bytes/4300?stall=body&cut=100", "EIdReadTimeout: Read timed out: no data from 127.0.0.1:" + kPort + " for 1.5 s", 100},
      {"/bytes/10?longheader=20000", "EIdProtocolError: The server sent a line longer than 16384 bytes" + peer, 0},
      {"/bytes/10?garbage=1", "EIdProtocolError: The server sent no valid HTTP status line: \"HTPT/1.1 two hundred okay\"" + peer, 0},
  };
  for (const auto& c : cases) {
    TMemoryStream m;
    EXPECT_EQ(ErrorOf([&] { http.Get(Base() + c.path, m); }), c.error) << c.path;
    EXPECT_EQ(m.Size(), c.bytes) << c.path;
    EXPECT_TRUE(m.DataString() == ServerBytes(static_cast<size_t>(c.bytes))) << c.path;
    // The client is usable again at once.
    EXPECT_EQ(http.Get(Base() + "/bytes/7"), ServerBytes(7)) << c.path;
  }
  try {
    http.Get(Base() + "/status/404");
    FAIL();
  } catch (const EIdHTTPProtocolException& e) {
    EXPECT_EQ(e.ReplyErrorCode(), 404);
    EXPECT_EQ(http.ResponseCode(), 404);
  }
  EXPECT_EQ(ErrorOf([&] { http.Get("http://127.0.0.1:" + closed + "/x"); }),
            "EIdSocketError: Cannot connect to 127.0.0.1:" + closed + ": Connection refused (socket error 10061)");
  EXPECT_FALSE(http.Connected());
  EXPECT_EQ(ErrorOf([&] { http.Get("https://127.0.0.1/x"); }),
            "EIdException: Unsupported protocol \"https\" in the URL https://127.0.0.1/x");

  // An over-long line split instead of failing.
  http.MaxLineAction = maSplit;
  EXPECT_EQ(http.Get(Base() + "/bytes/10?longheader=20000"), ServerBytes(10));
}

TEST(IdHTTP, ConnectTimeOut) {
  // A listener that never accepts: once its backlog is full the system
  // drops further connection attempts, so a connect waits for its time-out.
  TIdHTTP http(nullptr);  // starts Winsock
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(listener, 0), 0);
  int len = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  std::vector<SOCKET> fillers;
  for (int i = 0; i < 4; ++i) {
    SOCKET f = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nb = 1;
    ioctlsocket(f, FIONBIO, &nb);
    connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(f);
  }
  Sleep(200);
  const std::string port = std::to_string(ntohs(a.sin_port));
  http.ConnectTimeout = 1000;
  Recorder rec;
  rec.Attach(http);
  EXPECT_EQ(ErrorOf([&] { http.Get("http://127.0.0.1:" + port + "/"); }),
            "EIdConnectTimeout: Connecting to 127.0.0.1:" + port + " timed out after 1 s");
  EXPECT_FALSE(http.Connected());
  EXPECT_EQ(rec.Count(hsConnected), 0);
  for (SOCKET f : fillers) closesocket(f);
  closesocket(listener);
}
