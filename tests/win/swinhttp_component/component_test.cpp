// The client component on the caller's thread (InThread cleared) against the
// local test server through the real WinInet: properties, what goes on the
// wire, the events, failures, copies of the request and Clear.
#include "component_util.h"

#include "persist.h"

using namespace swtest;

namespace {

TEST(TSwinHttpClass, PublishedPropertiesDefaultsRegistrationAndAssign) {
  std::vector<std::string> names;
  for (const TPropInfo* p : TSwinHttp::StaticClass().AllProps()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Error", "Silent", "InThread", "CookiesSelf",
                                             "NoAutoRedirect", "BufferSize", "Proxy", "Request", "OnWorkBegin",
                                             "OnWork", "OnWorkEnd"}));
  EXPECT_TRUE(TSwinHttp::StaticClass().FindProp("Error")->ReadOnly());
  EXPECT_EQ(TSwinHttp::StaticClass().FindProp("Response"), nullptr);  // public, not published

  TSwinHttp http(nullptr);
  EXPECT_FALSE(http.Silent);
  EXPECT_TRUE(http.InThread);
  EXPECT_FALSE(http.CookiesSelf);
  EXPECT_FALSE(http.NoAutoRedirect);
  EXPECT_EQ(http.BufferSize, 4096u);
  EXPECT_EQ(http.Error, 0u);
  EXPECT_EQ(http.Pending, 0);
  EXPECT_EQ(http.Worker, nullptr);
  EXPECT_EQ(http.CurrentRequest, nullptr);
  EXPECT_EQ(http.Queue->Count(), 0);
  EXPECT_FALSE(http.InternetHandle || http.ConnectHandle || http.RequestHandle);
  EXPECT_EQ(http.Proxy->HttpProxy->Protocol, ppAuto);
  EXPECT_EQ(http.Proxy->HttpsProxy->Protocol, ppAuto);
  EXPECT_EQ(http.Request->Agent, TSwRequest::DefaultAgent);

  // Values equal to the declared defaults are not written; the others are,
  // in published order, and read back.
  const std::string fresh = vcl::WriteProperties(http);
  EXPECT_EQ(fresh.find("Silent"), std::string::npos) << fresh;
  EXPECT_EQ(fresh.find("InThread"), std::string::npos) << fresh;
  EXPECT_EQ(fresh.find("BufferSize"), std::string::npos) << fresh;
  http.InThread = false;
  http.Silent = true;
  http.BufferSize = 65536;
  http.Proxy->HttpProxy->Protocol = ppHttp;
  http.Request->Tag = 9;
  const std::string text = vcl::WriteProperties(http);
  EXPECT_LT(text.find("Silent = True"), text.find("InThread = False")) << text;
  EXPECT_LT(text.find("InThread = False"), text.find("BufferSize = 65536")) << text;
  EXPECT_LT(text.find("BufferSize = 65536"), text.find("Proxy.HttpProxy.Protocol = ppHttp")) << text;
  EXPECT_LT(text.find("Proxy.HttpProxy.Protocol = ppHttp"), text.find("Request.Tag = 9")) << text;
  TSwinHttp back(nullptr);
  vcl::ReadProperties(back, text);
  EXPECT_TRUE(back.Silent);
  EXPECT_FALSE(back.InThread);
  EXPECT_EQ(back.BufferSize, 65536u);
  EXPECT_EQ(back.Proxy->HttpProxy->Protocol, ppHttp);
  EXPECT_EQ(back.Request->Tag, 9);

  // The designer offers it on the page "Internet" and creates it by name.
  swinhttp::Register();
  EXPECT_EQ(vcl::ComponentPage(TSwinHttp::StaticClass()), "Internet");
  const TClassInfo* cls = vcl::FindClass("TSwinHttp");
  ASSERT_NE(cls, nullptr);
  TComponent owner(nullptr);
  TComponent* made = cls->Create(&owner);
  EXPECT_EQ(made->ClassName(), "TSwinHttp");
  EXPECT_EQ(made->Owner(), &owner);

  // Assigning the component to anything does nothing and raises nothing.
  TSwRequest request;
  request.Tag = 3;
  EXPECT_NO_THROW(request.Assign(&http));
  EXPECT_EQ(request.Tag, 3);
  EXPECT_NO_THROW(back.Assign(&http));
  EXPECT_EQ(back.BufferSize, 65536u);
  EXPECT_EQ(back.Request->Tag, 9);
}

TEST_F(CallerFixture, GetReturnsAfterTheEventsWithTheBodyInChunks) {
  http.Request->Tag = 7;
  TSwRequest* queued = http.Request.get();
  http.Get(HttpBase() + "/bytes/10000");
  // Three reads of data (4096, 4096, 1808), then the read that returned nothing.
  EXPECT_EQ(ev.log, (std::vector<std::string>{"begin:7", "work:4096", "work:8192", "work:10000", "work:10000",
                                              "end:7"}));
  EXPECT_FALSE(ev.offMainThread);
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].code, 200u);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(10000));
  EXPECT_EQ(ev.ends[0].position, 0);
  // Every event got the queued object, which is freed afterwards.
  for (TSwRequest* r : ev.requests) EXPECT_EQ(r, queued);
  EXPECT_NE(http.Request.get(), queued);
  EXPECT_EQ(http.Response->Size, 10000u);
  EXPECT_EQ(http.Response->Server, "corvallo-httpd");
  EXPECT_EQ(http.Pending, 0);
  EXPECT_EQ(http.Queue->Count(), 0);
  EXPECT_EQ(http.CurrentRequest, nullptr);
  EXPECT_FALSE(http.InternetHandle || http.ConnectHandle || http.RequestHandle);
  EXPECT_EQ(http.Worker, nullptr);
}

// What goes on the wire, seen through the server's echo of the request.
TEST_F(CallerFixture, RequestLineHeadersAndPostData) {
  struct Case {
    const char* name;
    std::string post;  // PostData before the call ("keep": whatever the last request left)
    bool keep;
    std::string requestLine;
    std::string body;
  } cases[] = {
      {"empty post data is a GET", "", false, "GET /echo?a=1&b=2 HTTP/1.0", ""},
      {"post data makes it a POST", "x=1&y=2", false, "POST /echo?a=1&b=2 HTTP/1.0", "x=1&y=2"},
      {"a Get after a Post posts again", "", true, "POST /echo?a=1&b=2 HTTP/1.0", "x=1&y=2"},
      {"post data ends at its first zero byte", std::string("ab\0cd", 5), false, "POST /echo?a=1&b=2 HTTP/1.0",
       "ab"},
      {"a leading zero byte posts nothing", std::string("\0x", 2), false, "POST /echo?a=1&b=2 HTTP/1.0", ""},
  };
  http.Request->Referer = "http://referrer.example/page";
  http.Request->Headers->Add("X-One: 1");
  http.Request->Headers->Add("X-Two: two");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.keep) http.Request->PostData = c.post;
    ev.ends.clear();
    http.Get(HttpBase() + "/echo?a=1&b=2");
    ASSERT_EQ(ev.ends.size(), 1u);
    ASSERT_EQ(ev.ends[0].error, 0u);
    const std::string echo = ev.ends[0].body;
    const size_t headEnd = echo.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos) << echo;
    EXPECT_EQ(echo.substr(0, echo.find("\r\n")), c.requestLine);
    EXPECT_EQ(echo.substr(headEnd + 4), c.body);
    const std::string head = echo.substr(0, headEnd + 2);
    EXPECT_NE(head.find("\r\nReferer: http://referrer.example/page\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nX-One: 1\r\nX-Two: two\r\n"), std::string::npos) << head;
    // The agent text goes whole, its "User-Agent: " prefix included.
    EXPECT_NE(head.find("\r\nUser-Agent: " + std::string(TSwRequest::DefaultAgent) + "\r\n"), std::string::npos)
        << head;
  }
  // Post sets the data, then gets.
  ev.ends.clear();
  http.Post(HttpBase() + "/echo", "p=3");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].body.substr(0, 21), "POST /echo HTTP/1.0\r\n");
  EXPECT_EQ(ev.ends[0].body.substr(ev.ends[0].body.size() - 3), "p=3");
}

TEST_F(CallerFixture, NoHeaderLinesSendsNoExtraHeaders) {
  http.Get(HttpBase() + "/echo");
  ASSERT_EQ(ev.ends.size(), 1u);
  const std::string& echo = ev.ends[0].body;
  EXPECT_EQ(echo.find("X-"), std::string::npos) << echo;
  EXPECT_EQ(echo.find("Referer"), std::string::npos) << echo;
}

TEST_F(CallerFixture, RequestBecomesACopyAndTheQueuedObjectIsProcessed) {
  http.Request->Headers->Add("X-Mark: first");
  http.Request->Tag = 1;
  http.Request->Referer = "http://r.example/";
  TSwRequest* queued = http.Request.get();
  // A handler that changes Request changes the next request, not this one.
  TSwRequest* seenByHandler = nullptr;
  http.OnWorkBegin = [&](TObject* sender, TSwRequest* r) {
    seenByHandler = r;
    auto* h = static_cast<TSwinHttp*>(sender);
    h->Request->Headers->Clear();
    h->Request->Headers->Add("X-Mark: second");
    h->Request->Tag = 2;
  };
  http.Get(HttpBase() + "/echo?n=1");
  EXPECT_EQ(seenByHandler, queued);
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_NE(ev.ends[0].body.find("X-Mark: first"), std::string::npos);
  EXPECT_EQ(ev.ends[0].tag, 1);
  // The copy carries every value on, the handler's changes included.
  EXPECT_NE(http.Request.get(), queued);
  EXPECT_EQ(http.Request->url->GetUrl(), HttpBase() + "/echo?n=1");
  EXPECT_EQ(http.Request->Referer, "http://r.example/");
  EXPECT_EQ(http.Request->Agent, TSwRequest::DefaultAgent);
  EXPECT_EQ(http.Request->Headers->Items(), std::vector<std::string>{"X-Mark: second"});
  EXPECT_EQ(http.Request->Tag, 2);

  // A text that is no URL leaves Request's URL as it was.
  http.OnWorkBegin = nullptr;
  ev.ends.clear();
  http.Get("no url at all");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].body.substr(0, 22), "GET /echo?n=1 HTTP/1.0");
  EXPECT_NE(ev.ends[0].body.find("X-Mark: second"), std::string::npos);
}

TEST_F(CallerFixture, RedirectsFollowedOrReturned) {
  http.Get(HttpBase() + "/redirect/3");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].code, 200u);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(5));

  http.NoAutoRedirect = true;
  ev.ends.clear();
  http.Get(HttpBase() + "/redirect/3");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].code, 302u);
  EXPECT_NE(http.Response->Headers->Text().find("Location: /redirect/2"), std::string::npos)
      << http.Response->Headers->Text();
}

TEST_F(CallerFixture, CookiesStoredByThePlatformUnlessCookiesSelf) {
  http.Get(HttpBase() + "/cookie/set?stored=1");
  ASSERT_EQ(ev.ends.size(), 1u);
  http.Get(HttpBase() + "/cookie/echo");
  ASSERT_EQ(ev.ends.size(), 2u);
  EXPECT_NE(ev.ends[1].body.find("stored=1"), std::string::npos) << ev.ends[1].body;

  // The caller's own handling: the reply's cookie shows in Response, WinInet
  // neither stores it nor sends the stored one.
  http.CookiesSelf = true;
  http.Get(HttpBase() + "/cookie/set?own=2");
  ASSERT_EQ(ev.ends.size(), 3u);
  EXPECT_EQ(http.Response->Cookies, "own=2; Path=/");
  http.Get(HttpBase() + "/cookie/echo");
  ASSERT_EQ(ev.ends.size(), 4u);
  EXPECT_EQ(ev.ends[3].body, "");
  http.CookiesSelf = false;
  http.Get(HttpBase() + "/cookie/echo");
  ASSERT_EQ(ev.ends.size(), 5u);
  EXPECT_NE(ev.ends[4].body.find("stored=1"), std::string::npos) << ev.ends[4].body;
  EXPECT_EQ(ev.ends[4].body.find("own=2"), std::string::npos) << ev.ends[4].body;
}

// Failed exchanges still run every event once; the reply's fields keep the
// last good reply's values, only the body is emptied.
TEST_F(CallerFixture, FailuresEndWithAllEventsAndErrorSet) {
  struct Case {
    const char* name;
    std::string url;
    uint32_t error;
  } cases[] = {
      {"refused port", "http://127.0.0.1:1/x", ERROR_INTERNET_CANNOT_CONNECT},
      {"unknown host", "http://no-such-host.invalid/x", ERROR_INTERNET_NAME_NOT_RESOLVED},
      // No scheme that WinInet can request: a failure, never Error 0.
      {"ftp scheme", "ftp://127.0.0.1:" + Env("CORVALLO_HTTP_PORT") + "/x", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ev.Reset();
    http.Get(HttpBase() + "/bytes/300");
    ASSERT_EQ(ev.ends.size(), 1u);
    ASSERT_EQ(ev.ends[0].error, 0u);
    ev.Reset();
    http.Get(c.url);
    EXPECT_EQ(ev.log, (std::vector<std::string>{"begin:0", "work:0", "end:0"}));
    ASSERT_EQ(ev.ends.size(), 1u);
    EXPECT_EQ(ev.ends[0].error, c.error);
    EXPECT_EQ(ev.ends[0].body, "");
    EXPECT_EQ(http.Error, c.error);
    EXPECT_EQ(http.Response->Code, 200u);  // the previous reply's
    EXPECT_EQ(http.Response->Size, 300u);
    EXPECT_EQ(http.Pending, 0);
  }
  // An HTTP error status is no failure.
  ev.Reset();
  http.Get(HttpBase() + "/status/404");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].code, 404u);
  EXPECT_EQ(ev.ends[0].body, "404 Not Found\n");
}

// A server that stops sending mid-body: the receive time-out ends the read,
// and the transfer ends as failed with what the reads before had brought.
TEST_F(CallerFixture, StalledBodyEndsAfterTheTimeOutAsAFailure) {
  http.Timeout = 1000;
  http.BufferSize = 5;  // a read waits for a full buffer
  http.Get(HttpBase() + "/bytes/1000?cut=10&stall=body");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_NE(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].code, 200u);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(10));
  EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:0", "work*3", "end:0"}));
}

TEST_F(CallerFixture, ClearKeepsHeaderLinesTagAndError) {
  http.Get("http://127.0.0.1:1/x");
  ASSERT_EQ(http.Error, static_cast<uint32_t>(ERROR_INTERNET_CANNOT_CONNECT));
  http.Get(HttpBase() + "/bytes/50");
  http.Get("http://127.0.0.1:1/x");
  http.Request->Headers->Add("X-Keep: 1");
  http.Request->Tag = 4;
  http.Request->PostData = "p";
  http.Request->Referer = "http://r/";
  http.Request->Agent = "other";
  TMemoryStream own;
  own.Write("abc", 3);
  http.Response->SetContent(&own);
  http.Clear();
  EXPECT_EQ(http.Queue->Count(), 0);
  EXPECT_EQ(http.Pending, 0);
  EXPECT_EQ(http.Response->Code, 0u);
  EXPECT_EQ(http.Response->GetContent(), http.Response->InnerStream.get());
  EXPECT_EQ(http.Response->GetContent()->Size(), 0);
  EXPECT_EQ(own.Size(), 3);  // forgotten, not emptied
  EXPECT_EQ(http.Request->Headers->Items(), std::vector<std::string>{"X-Keep: 1"});
  EXPECT_EQ(http.Request->Tag, 4);
  EXPECT_EQ(http.Request->PostData, "");
  EXPECT_EQ(http.Request->Referer, "");
  EXPECT_EQ(http.Request->Agent, TSwRequest::DefaultAgent);
  EXPECT_EQ(http.Request->url->Host, "");
  EXPECT_EQ(http.Error, static_cast<uint32_t>(ERROR_INTERNET_CANNOT_CONNECT));
}

// A content stream that fails while the body is written: the caller gets the
// error, the request stays at the head with its handles open, and the next
// call processes it again before its own request, which stays queued.
TEST_F(CallerFixture, ContentStreamThatRaisesKeepsTheRequestQueued) {
  TShortStream full(1000);
  http.Response->SetContent(&full);
  http.Request->Tag = 1;
  TSwRequest* first = http.Request.get();
  EXPECT_THROW(http.Get(HttpBase() + "/bytes/5000"), EWriteError);
  EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:1"}));
  EXPECT_EQ(http.Pending, 1);
  ASSERT_EQ(http.Queue->Count(), 1);
  EXPECT_EQ(http.Queue->First(), first);
  EXPECT_TRUE(http.RequestHandle);

  TMemoryStream room;
  http.Response->SetContent(&room);
  http.Request->Tag = 2;
  http.Get(HttpBase() + "/bytes/300");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].request, first);
  EXPECT_EQ(ev.ends[0].tag, 1);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(5000));
  EXPECT_EQ(http.Pending, 1);
  EXPECT_EQ(http.Queue->Count(), 1);
  http.Get(HttpBase() + "/bytes/10");
  ASSERT_EQ(ev.ends.size(), 2u);
  EXPECT_EQ(ev.ends[1].tag, 2);
  EXPECT_EQ(ev.ends[1].body, ServerBytes(300));
  EXPECT_EQ(http.Pending, 1);
  http.Clear();
  EXPECT_EQ(http.Pending, 0);
  EXPECT_EQ(http.Queue->Count(), 0);
}

}  // namespace
