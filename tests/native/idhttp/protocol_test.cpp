#include <gtest/gtest.h>

#include <random>

#include "HttpProtocol.h"

using idhttp::ResponseParser;
using idhttp::Url;

TEST(Url, ParseAndEncode) {
  struct Case {
    const char* in;
    bool force;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://www.Example.com", true, "www.example.com", 80, "/"},
      {"HTTP://h:8080/a/b?x=1", true, "h", 8080, "/a/b?x=1"},
      {"  http://h/p  ", true, "h", 80, "/p"},
      {"h.example/p", true, "h.example", 80, "/p"},
      {"http://u:pw@h:81?q", true, "h", 81, "/?q"},
      {"http://h/p#frag", true, "h", 80, "/p"},
      {"http://[::1]:99/x", true, "::1", 99, "/x"},
      {"http://h/a b?c d", false, "h", 80, "/a%20b?c%20d"},
      {"http://h/p?a=\"<x>\"&b={|}^`\\\xE9", true, "h", 80, "/p?a=%22%3Cx%3E%22&b=%7B%7C%7D%5E%60%5C%E9"},
      {"http://h/p?a=\"<x>\"&b=\xE9", false, "h", 80, "/p?a=\"<x>\"&b=\xE9"},
      {"http://h/p?already%20encoded&x=1/2", true, "h", 80, "/p?already%20encoded&x=1/2"},
      {"http://h/p?inject\r\nX: y", false, "h", 80, "/p?inject%0D%0AX:%20y"},
      {"http://h/\xC4path", false, "h", 80, "/%C4path"},
  };
  for (const auto& c : cases) {
    Url u = idhttp::ParseUrl(c.in, c.force);
    EXPECT_EQ(u.Host, c.host) << c.in;
    EXPECT_EQ(u.Port, c.port) << c.in;
    EXPECT_EQ(u.Path, c.path) << c.in;
  }
  EXPECT_EQ(idhttp::ParseUrl("http://h:8080/x", true).ToString(), "http://h:8080/x");
  EXPECT_EQ(idhttp::ParseUrl("http://h:80/x", true).Authority(), "h");
  EXPECT_EQ(idhttp::ParseUrl("http://[::1]:81/x", true).Authority(), "[::1]:81");

  for (const char* bad : {"", "   ", "https://h/", "ftp://h/", "http:///p", "http://h:0/", "http://h:65536/", "http://h:-1/",
                          "http://h:8x/", "http://a b/", "http://[::1/"}) {
    EXPECT_THROW(idhttp::ParseUrl(bad, true), EIdException) << bad;
  }
  try {
    idhttp::ParseUrl("https://secure.example/file", true);
  } catch (const EIdException& e) {
    EXPECT_EQ(e.Message(), "Unsupported protocol \"https\" in the URL https://secure.example/file");
  }
}

TEST(Url, ResolveLocation) {
  Url base = idhttp::ParseUrl("http://h:81/dir/page?q=1", true);
  struct Case {
    const char* loc;
    const char* want;
  } cases[] = {
      {"http://other/x", "http://other/x"},
      {"//other:82/y", "http://other:82/y"},
      {"/abs?z", "http://h:81/abs?z"},
      {"rel", "http://h:81/dir/rel"},
      {"../up/./x", "http://h:81/up/x"},
      {"../../../top", "http://h:81/top"},
      {"sub/", "http://h:81/dir/sub/"},
      {"?only", "http://h:81/dir/page?only"},
      {"  /spaced path  ", "http://h:81/spaced%20path"},
  };
  for (const auto& c : cases) EXPECT_EQ(idhttp::ResolveLocation(base, c.loc, true).ToString(), c.want) << c.loc;
  EXPECT_THROW(idhttp::ResolveLocation(base, "  ", true), EIdProtocolError);
  EXPECT_THROW(idhttp::ResolveLocation(base, "https://h/", true), EIdException);
}

TEST(Request, Base64) {
  const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},       {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (auto& v : vectors) EXPECT_EQ(idhttp::Base64Encode(v[0]), v[1]);
  EXPECT_EQ(idhttp::BasicAuthorization("corvallo", "s3cret"), "Basic Y29ydmFsbG86czNjcmV0");
}

TEST(Request, DirectAndThroughProxy) {
  idhttp::RequestParams p;
  p.Target = idhttp::ParseUrl("http://www.example.com:8080/a?b=1", true);
  p.Accept = "text/html, */*";
  p.UserAgent = "Mozilla/3.0";
  EXPECT_EQ(idhttp::BuildRequest(p),
            "GET /a?b=1 HTTP/1.1\r\nHost: www.example.com:8080\r\nAccept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0\r\nConnection: keep-alive\r\n\r\n");

  p.ViaProxy = true;
  p.Target = idhttp::ParseUrl("http://www.example.com/f", true);
  p.Accept.clear();
  p.UserAgent = "evil\r\nX-Injected: 1";
  p.Cookie = "a=1; b=2";
  p.ProxyAuthorization = idhttp::BasicAuthorization("u", "p");
  p.KeepAlive = false;
  EXPECT_EQ(idhttp::BuildRequest(p),
            "GET http://www.example.com/f HTTP/1.1\r\nHost: www.example.com\r\nUser-Agent: evil  X-Injected: 1\r\n"
            "Cookie: a=1; b=2\r\nProxy-Authorization: Basic dTpw\r\nConnection: close\r\n\r\n");
}

// ---- Response parser ----------------------------------------------------------

struct Parsed {
  std::string body;
  int code = 0;
  ResponseParser::BodyKind kind = ResponseParser::BodyKind::None;
  int64_t announced = -1;
  bool complete = false;
  bool keepAlive = false;
  size_t consumed = 0;
  std::string error;  // class and message of the exception, if any
};

// Feeds text in pieces of the given sizes (cycled), then the end of the
// connection when eof is set.
Parsed Parse(const std::string& text, std::vector<size_t> pieces, bool eof, ResponseParser::Limits limits = {},
           bool head = false) {
  Parsed r;
  ResponseParser p(limits);
  p.Start(head);
  try {
    size_t pos = 0, k = 0;
    while (pos < text.size() && !p.Complete()) {
      size_t n = std::min(pieces[k++ % pieces.size()], text.size() - pos);
      size_t used = p.Feed(text.data() + pos, n, [&](const char* d, size_t s) { r.body.append(d, s); });
      r.consumed += used;
      pos += n;
      if (used < n) break;
    }
    if (eof && !p.Complete()) p.Eof();
  } catch (const Exception& e) {
    r.error = std::string(e.ClassName()) + ": " + e.Message();
  }
  r.code = p.StatusCode();
  r.kind = p.Body();
  r.announced = p.ContentLength();
  r.complete = p.Complete();
  r.keepAlive = p.KeepAlive();
  return r;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

TEST(ResponseParser, BodiesInAnySplit) {
  using K = ResponseParser::BodyKind;
  std::string big = Pattern(70000);
  struct Case {
    const char* name;
    std::string text;
    bool eof;
    int code;
    K kind;
    std::string body;
    bool keepAlive;
  } cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, 200, K::Length, "hello", true},
      {"empty length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, 200, K::Length, "", true},
      {"large length", "HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n" + big, false, 200, K::Length, big, true},
      {"bare LF lines", "HTTP/1.0 200 OK\nContent-Length: 2\nConnection: keep-alive\n\nhi", false, 200, K::Length, "hi", true},
      {"http/1.0 closes", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi", false, 200, K::Length, "hi", false},
      {"connection close", "HTTP/1.1 200 OK\r\nConnection: Keep-Alive, close\r\nContent-Length: 1\r\n\r\nx", false, 200,
       K::Length, "x", false},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1;ext=1\r\n \r\nA \r\n0123456789\r\n0\r\n\r\n",
       false, 200, K::Chunked, "hello 0123456789", true},
      {"chunked with trailers", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n3\r\nabc\r\n0\r\nX-T: 1\r\nY: 2\r\n\r\n",
       false, 200, K::Chunked, "abc", true},
      {"chunked wins over length", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n",
       false, 200, K::Chunked, "ok", true},
      {"until close", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nto the end", true, 200, K::UntilClose, "to the end", false},
      {"other coding runs to close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nraw", true, 200, K::UntilClose, "raw", false},
      {"interim responses skipped", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early\r\nLink: x\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!",
       false, 404, K::Length, "no!", true},
      {"no content", "HTTP/1.1 204 No Content\r\nContent-Length: 10\r\n\r\n", false, 204, K::None, "", true},
      {"not modified", "HTTP/1.1 304 Not Modified\r\n\r\n", false, 304, K::None, "", true},
      {"folded header", "HTTP/1.1 200 OK\r\nX-A: one\r\n  two\r\nContent-Length: 1\r\n\r\n!", false, 200, K::Length, "!", true},
      {"reason missing", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\n!", false, 200, K::Length, "!", true},
      {"repeated equal lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2, 2\r\nContent-Length: 2\r\n\r\nab", false, 200, K::Length, "ab", true},
  };
  for (const auto& c : cases) {
    for (std::vector<size_t> pieces : {std::vector<size_t>{1 << 20}, {1}, {2, 7, 1, 13}, {4096}}) {
      Parsed r = Parse(c.text, pieces, c.eof);
      SCOPED_TRACE(std::string(c.name) + " in pieces of " + std::to_string(pieces[0]));
      EXPECT_EQ(r.error, "");
      EXPECT_TRUE(r.complete);
      EXPECT_EQ(r.code, c.code);
      EXPECT_EQ(r.kind, c.kind);
      EXPECT_EQ(r.body, c.body);
      EXPECT_EQ(r.keepAlive, c.keepAlive);
    }
  }
  // The answer to a HEAD request has no body whatever it announces.
  Parsed head = Parse("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", {100}, false, {}, true);
  EXPECT_TRUE(head.complete);
  EXPECT_EQ(head.announced, -1);
}

TEST(ResponseParser, StopsAtTheEndOfTheResponse) {
  // Two pipelined responses: the first Feed consumes exactly the first one.
  std::string one = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc";
  std::string two = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nz\r\n0\r\n\r\n";
  std::string both = one + two;
  ResponseParser p;
  p.Start();
  std::string body;
  auto sink = [&](const char* d, size_t n) { body.append(d, n); };
  size_t used = p.Feed(both.data(), both.size(), sink);
  EXPECT_EQ(used, one.size());
  EXPECT_EQ(body, "abc");
  EXPECT_EQ(p.ContentLength(), 3);
  p.Start();
  body.clear();
  EXPECT_EQ(p.Feed(both.data() + used, both.size() - used, sink), two.size());
  EXPECT_TRUE(p.Complete());
  EXPECT_EQ(body, "z");
}

TEST(ResponseParser, CutBodiesNeverLookComplete) {
  struct Case {
    std::string text;
    const char* error;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 4300\r\n\r\n" + Pattern(1000),
       "EIdConnClosedGracefully: The connection was closed before the transfer was complete (1000 of 4300 bytes received)"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
       "EIdConnClosedGracefully: The connection was closed before the transfer was complete (5 bytes received, the chunked body has no end)"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",
       "EIdConnClosedGracefully: The connection was closed before the transfer was complete (3 bytes received, the chunked body has no end)"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n",
       "EIdConnClosedGracefully: The connection was closed before the transfer was complete (0 bytes received, the chunked body has no end)"},
      {"", "EIdConnClosedGracefully: The connection was closed before the server answered"},
      {"HTTP/1.1 200 OK\r\nContent-Len", "EIdConnClosedGracefully: The connection was closed in the middle of the response headers"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1}, size_t{1 << 20}}) {
      Parsed r = Parse(c.text, {piece}, true);
      EXPECT_EQ(r.error, c.error) << c.text.substr(0, 60);
      EXPECT_FALSE(r.complete);
    }
  }
}

TEST(ResponseParser, MalformedResponsesFail) {
  struct Case {
    std::string text;
    const char* error;
  } cases[] = {
      {"HTPT/1.1 two hundred okay\r\n\r\n", "EIdProtocolError: The server sent no valid HTTP status line: \"HTPT/1.1 two hundred okay\""},
      {"HTTP/1.1 20 OK\r\n\r\n", "EIdProtocolError: The server sent no valid HTTP status line: \"HTTP/1.1 20 OK\""},
      {"HTTP/2.0 200 OK\r\n\r\n", "EIdProtocolError: The server sent no valid HTTP status line: \"HTTP/2.0 200 OK\""},
      {"HTTP/1.1 200 OK\x01\r\n\r\n", ""},  // control bytes in the reason are shown as '?'
      {"\x16\x03\x01\x02\x05\x01\r\n", "EIdProtocolError: The server sent no valid HTTP status line: \"??????\""},
      {"HTTP/1.1 099 Low\r\n\r\n", "EIdProtocolError: The server sent an invalid status: \"HTTP/1.1 099 Low\""},
      {"HTTP/1.1 101 Switching\r\n\r\n", "EIdProtocolError: The server switched protocols unasked"},
      {"HTTP/1.1 200 OK\r\nno colon here\r\n\r\n", "EIdProtocolError: The server sent an invalid header line: \"no colon here\""},
      {"HTTP/1.1 200 OK\r\n: empty name\r\n\r\n", "EIdProtocolError: The server sent an invalid header line: \": empty name\""},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", "EIdProtocolError: The server sent an invalid Content-Length: \"-1\""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n", "EIdProtocolError: The server sent an invalid Content-Length: \"12abc\""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
       "EIdProtocolError: The server sent an invalid Content-Length: \"99999999999999999999\""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", "EIdProtocolError: The server sent conflicting Content-Length headers"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", "EIdProtocolError: The server sent an invalid chunk size: \"zz\""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000000\r\n", "EIdProtocolError: The server sent an invalid chunk size"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n", "EIdProtocolError: The server sent a chunk longer than announced"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1}, size_t{1 << 20}}) {
      Parsed r = Parse(c.text, {piece}, false);
      if (*c.error) EXPECT_EQ(r.error, c.error) << c.text.substr(0, 60);
      else EXPECT_EQ(r.error, "") << c.text.substr(0, 60);
    }
  }
  ResponseParser p;
  p.Start();
  std::string bad = "HTTP/1.1 200 OK\x01\r\n\r\n";
  p.Feed(bad.data(), bad.size(), nullptr);
  EXPECT_EQ(p.StatusLine(), "HTTP/1.1 200 OK?");
}

TEST(ResponseParser, LineLimit) {
  ResponseParser::Limits lim;
  lim.MaxLineLength = 64;
  auto response = [](size_t headerLength) {
    std::string h = "X-Long: ";
    h.append(headerLength - h.size(), 'a');
    return "HTTP/1.1 200 OK\r\n" + h + "\r\nContent-Length: 2\r\n\r\nok";
  };
  // A line of exactly the limit passes, also when its CR and LF arrive apart.
  for (size_t piece : {size_t{1}, size_t{82}, size_t{83}, size_t{1000}}) {
    Parsed r = Parse(response(64), {piece}, false, lim);
    EXPECT_EQ(r.error, "") << piece;
    EXPECT_EQ(r.body, "ok");
    Parsed over = Parse(response(65), {piece}, false, lim);
    EXPECT_EQ(over.error, "EIdProtocolError: The server sent a line longer than 64 bytes") << piece;
  }
  // Without the limit's error, the line is cut and the response goes on.
  lim.SplitLongLines = true;
  ResponseParser p(lim);
  p.Start();
  std::string text = response(100000);
  std::string body;
  for (size_t pos = 0; pos < text.size(); pos += 1000)
    p.Feed(text.data() + pos, std::min<size_t>(1000, text.size() - pos), [&](const char* d, size_t n) { body.append(d, n); });
  EXPECT_TRUE(p.Complete());
  EXPECT_EQ(body, "ok");
  ASSERT_NE(p.Header("X-Long"), nullptr);
  EXPECT_EQ(p.Header("X-Long")->size(), 64u - 8u);

  // Endless headers fail once the header count is reached.
  ResponseParser many;
  many.Start();
  std::string h = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 600; ++i) h += "X: 1\r\n";
  EXPECT_THROW(many.Feed(h.data(), h.size(), nullptr), EIdProtocolError);
}

TEST(ResponseParser, RandomSplitsAgree) {
  std::string body = Pattern(20000);
  std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t pos = 0; pos < body.size();) {
    size_t n = std::min<size_t>(1 + pos % 3001, body.size() - pos);
    char size[16];
    snprintf(size, sizeof size, "%zx", n);
    chunked += std::string(size) + "\r\n" + body.substr(pos, n) + "\r\n";
    pos += n;
  }
  chunked += "0\r\n\r\n";
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<size_t> pieces;
    for (int i = 0; i < 20; ++i) pieces.push_back(1 + rng() % 700);
    Parsed r = Parse(chunked, pieces, false);
    ASSERT_EQ(r.error, "");
    ASSERT_TRUE(r.complete);
    ASSERT_EQ(r.body, body);
  }
}
