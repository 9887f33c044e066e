// The response record: its streams, and FillResponse against real replies of
// the local test server read through the real WinInet.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "SwinHttp.h"

namespace {

// 1994-11-06 08:49:37 as the platform's date-time.
const double kNov6 = 34644 + 31777 / 86400.0;

std::string PercentEncode(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// One GET to the local test server with plain WinInet calls, the request
// handle left open for FillResponse.
class Exchange {
 public:
  explicit Exchange(const std::string& object) {
    const char* port = std::getenv("CORVALLO_HTTP_PORT");
    if (!port) {
      ADD_FAILURE() << "CORVALLO_HTTP_PORT is not set";
      return;
    }
    FInet.Reset(InternetOpenA("swinhttp-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    FConnect.Reset(InternetConnectA(FInet.Get(), "127.0.0.1", static_cast<INTERNET_PORT>(std::atoi(port)),
                                    nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    FRequest.Reset(HttpOpenRequestA(FConnect.Get(), nullptr, object.c_str(), "HTTP/1.0", nullptr, nullptr,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!FRequest) {
      ADD_FAILURE() << "HttpOpenRequestA: " << GetLastError();
      return;
    }
    DWORD timeout = 10000;  // bounds every wait on the server
    InternetSetOptionA(FRequest.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(FRequest.Get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    if (!HttpSendRequestA(FRequest.Get(), nullptr, 0, nullptr, 0)) {
      ADD_FAILURE() << "HttpSendRequestA " << object << ": " << GetLastError();
      FRequest.Reset();
    }
  }
  HINTERNET Request() const { return FRequest.Get(); }
  explicit operator bool() const { return static_cast<bool>(FRequest); }

 private:
  TInetHandle FInet, FConnect, FRequest;
};

TEST(TSwResponse, FillResponseReadsEveryField) {
  const std::string object = "/bytes/10?header=" + PercentEncode("Set-Cookie:first=1; Path=/") +
                             "&header=" + PercentEncode("Set-Cookie:second=2") +
                             "&header=" + PercentEncode("MIME-Version:1.0") +
                             "&header=" + PercentEncode("Content-Transfer-Encoding:binary") +
                             "&lastmod=" + PercentEncode("Sun, 06 Nov 1994 08:49:37 GMT") +
                             "&date=" + PercentEncode("Sun, 06 Nov 1994 09:49:37 GMT");
  Exchange x(object);
  ASSERT_TRUE(x);
  TSwResponse r;
  r.FillResponse(x.Request());
  EXPECT_EQ(r.Code, 200u);
  EXPECT_EQ(r.StatusText, "OK");
  EXPECT_EQ(r.Size, 10u);
  EXPECT_FALSE(r.ContentType.empty());
  EXPECT_EQ(r.Server, "corvallo-httpd");
  EXPECT_EQ(r.Cookies, "first=1; Path=/");  // the first of two
  EXPECT_EQ(r.Mime, "1.0");
  EXPECT_EQ(r.TransferEncoding, "binary");
  EXPECT_DOUBLE_EQ(r.LastModifed, kNov6);
  EXPECT_DOUBLE_EQ(r.Date, kNov6 + 1 / 24.0);

  ASSERT_GT(r.Headers->Count(), 5);
  EXPECT_EQ((*r.Headers)[0], "HTTP/1.1 200 OK");
  EXPECT_GE(r.Headers->IndexOf("Set-Cookie: second=2"), 0);
  EXPECT_GE(r.Headers->IndexOf("Content-Length: 10"), 0);
  EXPECT_GE(r.Headers->IndexOf("Server: corvallo-httpd"), 0);
  EXPECT_GE(r.Headers->IndexOf("Content-Type: " + r.ContentType), 0);
}

TEST(TSwResponse, MissingHeadersGiveEmptyAndZero) {
  Exchange x("/bytes/5?close=1");
  ASSERT_TRUE(x);
  TSwResponse r;
  r.Cookies = r.Mime = r.TransferEncoding = "stale";
  r.Size = 99;
  r.LastModifed = 1;
  r.FillResponse(x.Request());
  EXPECT_EQ(r.Code, 200u);
  EXPECT_EQ(r.Size, 0u);
  EXPECT_EQ(r.LastModifed, 0.0);
  EXPECT_EQ(r.Cookies, "");
  EXPECT_EQ(r.Mime, "");
  EXPECT_EQ(r.TransferEncoding, "");
  EXPECT_GT(r.Date, 45000.0);  // the server's clock: some day after 2023
}

TEST(TSwResponse, StatusOfAnErrorReply) {
  Exchange x("/status/404");
  ASSERT_TRUE(x);
  TSwResponse r;
  r.FillResponse(x.Request());
  EXPECT_EQ(r.Code, 404u);
  EXPECT_EQ(r.StatusText, "Not Found");
  EXPECT_EQ((*r.Headers)[0], "HTTP/1.1 404 Not Found");
}

// Each HTTP date form, and values that are no date: these would kill the
// process if WinInet were asked to convert them.
TEST(TSwResponse, DateHeaders) {
  struct Case {
    const char* value;
    double expected;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", kNov6},
      {"Sunday, 06-Nov-94 08:49:37 GMT", kNov6},
      {"Sun Nov  6 08:49:37 1994", kNov6},
      {"Fri, 29 Dec 1899 06:00:00 GMT", -1.25},
      {"yesterday", 0},
      {"Sun, 31 Feb 1994 08:49:37 GMT", 0},
      {"Sun, 06 Nov 1994 25:49:37 GMT", 0},
      {"0", 0},
      {"-1", 0},
      {"Sun, 06 Nov 99999999 08:49:37 GMT", 0},
  };
  for (const auto& c : cases) {
    Exchange x("/bytes/1?date=" + PercentEncode(c.value) + "&lastmod=" + PercentEncode(c.value));
    ASSERT_TRUE(x) << c.value;
    TSwResponse r;
    r.FillResponse(x.Request());
    EXPECT_DOUBLE_EQ(r.Date, c.expected) << c.value;
    EXPECT_DOUBLE_EQ(r.LastModifed, c.expected) << c.value;
    EXPECT_EQ(r.Code, 200u);
  }
}

TEST(TSwResponse, ContentStreams) {
  TSwResponse r;
  EXPECT_EQ(r.GetContent(), r.InnerStream.get());
  r.InnerStream->WriteBuffer("inner", 5);

  TStringStream mine("caller's body");
  r.SetContent(&mine);
  EXPECT_EQ(r.GetContent(), &mine);
  mine.SetPosition(4);
  EXPECT_EQ(r.GetBody(), "caller's body");
  EXPECT_EQ(mine.Position(), 4);  // position kept

  r.SetContent(nullptr);
  EXPECT_EQ(r.GetContent(), r.InnerStream.get());
  r.InnerStream->WriteBuffer(std::string("\0\xff", 2).data(), 2);
  EXPECT_EQ(r.GetBody(), std::string("inner\0\xff", 7));  // raw bytes
  EXPECT_EQ(r.InnerStream->Position(), 7);
}

TEST(TSwResponse, ClearKeepsTheHeaderTexts) {
  Exchange x("/bytes/3");
  ASSERT_TRUE(x);
  TSwResponse r;
  r.FillResponse(x.Request());
  r.InnerStream->WriteBuffer("abc", 3);
  TStringStream mine("kept");
  r.SetContent(&mine);
  const std::string type = r.ContentType;
  ASSERT_FALSE(type.empty());
  const double date = r.Date;

  r.Clear();
  EXPECT_EQ(r.GetContent(), r.InnerStream.get());
  EXPECT_EQ(r.InnerStream->Size(), 0);
  EXPECT_EQ(r.Headers->Count(), 0);
  EXPECT_EQ(r.Code, 0u);
  EXPECT_EQ(r.ContentType, type);
  EXPECT_EQ(r.Size, 3u);
  EXPECT_EQ(r.Date, date);
  EXPECT_EQ(r.GetBody(), "");
  EXPECT_EQ(mine.DataString(), "kept");  // the caller's stream is left alone
}

}  // namespace
