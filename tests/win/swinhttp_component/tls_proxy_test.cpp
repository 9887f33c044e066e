// The client component against a local TLS server with a self-signed
// certificate (the platform's real "Security Warning" dialog answered by a
// driver thread) and through tinyproxy with basic authentication; the proxy
// list text and access type as WinInet holds them.
#include "component_util.h"

#include <atomic>
#include <thread>

#include "driver.h"

using namespace swtest;

namespace {

// Presses one button of the first visible dialog of this process with the
// given caption, from a thread of its own, and notes what the dialog showed.
class DialogAnswerer {
 public:
  // edits: texts typed into the dialog's edit fields, in their order, first.
  DialogAnswerer(std::string title, std::string button, std::vector<std::string> edits = {})
      : FTitle(std::move(title)), FButton(std::move(button)), FEdits(std::move(edits)), FThread([this] { Run(); }) {}
  ~DialogAnswerer() {
    FStop = true;
    FThread.join();
  }
  bool Answered() const { return FAnswered; }
  const std::vector<std::string>& Buttons() const { return FButtons; }
  const std::string& Text() const { return FText; }

 private:
  void Run() {
    const DWORD start = GetTickCount();
    while (!FStop && !FAnswered && GetTickCount() - start < 20000) {
      for (HWND dlg : driver::TopWindows(GetCurrentProcessId(), "#32770", true)) {
        if (driver::WindowText(dlg) != FTitle) continue;
        HWND press = nullptr;
        std::vector<HWND> edits;
        std::vector<std::string> buttons;
        std::string text;
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
          char cls[32] = {};
          GetClassNameA(c, cls, sizeof cls);
          std::string caption = driver::WindowText(c);
          if (lstrcmpiA(cls, "Button") == 0 && (GetWindowLongA(c, GWL_STYLE) & 0x0F) <= BS_DEFPUSHBUTTON) {
            std::string bare;
            for (char ch : caption)
              if (ch != '&') bare += ch;
            buttons.push_back(bare);
            if (bare == FButton) press = c;
          } else if (lstrcmpiA(cls, "Edit") == 0) {
            edits.push_back(c);
          } else if (lstrcmpiA(cls, "Static") == 0 && !caption.empty()) {
            text += caption + "\n";
          }
        }
        if (!press || edits.size() < FEdits.size()) continue;
        for (size_t i = 0; i < FEdits.size(); ++i)
          SendMessageTimeoutA(edits[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(FEdits[i].c_str()), SMTO_BLOCK, 5000,
                              nullptr);
        FButtons = buttons;
        FText = text;
        PostMessageA(press, BM_CLICK, 0, 0);
        FAnswered = true;
        break;
      }
      Sleep(20);
    }
  }
  std::string FTitle, FButton;
  std::vector<std::string> FEdits;
  std::vector<std::string> FButtons;
  std::string FText;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FAnswered{false};
  std::thread FThread;
};

using Fixture = CallerFixture;

TEST_F(Fixture, SilentAcceptsTheSelfSignedCertificate) {
  http.Silent = true;
  Run(TlsBase() + "/hello.txt");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].code, 200u);
  EXPECT_EQ(ev.ends[0].body, "hello tls\n");
}

// Without Silent the platform asks; its answer decides, and a yes makes the
// component silent from then on.
TEST_F(Fixture, SecurityWarningDialogAnswered) {
  struct Case {
    bool inThread;
    const char* button;
    uint32_t error;
    bool silentAfter;
  } cases[] = {
      {false, "No", ERROR_INTERNET_INVALID_CA, false},
      {true, "Yes", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    http.Silent = false;
    http.InThread = c.inThread;
    ev.Reset();
    {
      DialogAnswerer answer("Security Warning", c.button);
      Run(TlsBase() + "/hello.txt");
      EXPECT_TRUE(answer.Answered());
      EXPECT_NE(answer.Text().find("The certificate is issued by an unknown or untrusted publisher."),
                std::string::npos)
          << answer.Text();
      EXPECT_EQ(answer.Buttons(), (std::vector<std::string>{"Yes", "No"}));
    }
    ASSERT_EQ(ev.ends.size(), 1u);
    EXPECT_EQ(ev.ends[0].error, c.error);
    EXPECT_EQ(ev.ends[0].body, c.error ? "" : "hello tls\n");
    EXPECT_EQ(http.Silent, c.silentAfter);
  }
}

std::string QueryText(HINTERNET h, DWORD option) {
  char buf[256] = {};
  DWORD len = sizeof buf;
  if (!InternetQueryOptionA(h, option, buf, &len)) return "<" + std::to_string(GetLastError()) + ">";
  return std::string(buf, strnlen(buf, sizeof buf));
}

struct ProxyInfo {
  DWORD access = 0;
  std::string list;
  std::string bypass;
};
ProxyInfo QueryProxy(HINTERNET h) {
  alignas(8) char buf[1024] = {};
  DWORD len = sizeof buf;
  ProxyInfo r;
  if (!InternetQueryOptionA(h, INTERNET_OPTION_PROXY, buf, &len)) {
    r.list = "<" + std::to_string(GetLastError()) + ">";
    return r;
  }
  auto* info = reinterpret_cast<INTERNET_PROXY_INFO*>(buf);
  r.access = info->dwAccessType;
  if (info->lpszProxy) r.list = reinterpret_cast<const char*>(info->lpszProxy);
  if (info->lpszProxyBypass) r.bypass = reinterpret_cast<const char*>(info->lpszProxyBypass);
  return r;
}

void UseTinyproxy(TSwProxy& entry) {
  entry.Protocol = ppHttp;
  entry.Host = "127.0.0.1";
  entry.Port = ProxyPort();
}
bool ProxyLogHas(const std::string& text) { return ReadFileText(Env("CORVALLO_PROXY_LOG")).find(text) != std::string::npos; }

// Through tinyproxy with basic authentication: the credentials travel as the
// connection's proxy user and password options; with Silent a 407 is the
// reply, read like any other.
TEST_F(Fixture, ProxyCredentialsAndSilent407) {
  struct Case {
    const char* name;
    std::string user, pass;
    uint32_t code;
  } cases[] = {
      {"no credentials", "", "", 407},
      {"user and password", Env("CORVALLO_PROXY_USER"), Env("CORVALLO_PROXY_PASS"), 200},
      // Only the user name; WinInet's retry then signs in without a password, which is refused.
      {"user only", Env("CORVALLO_PROXY_USER"), "", 401},
  };
  http.Silent = true;
  UseTinyproxy(*http.Proxy->HttpProxy);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    http.Proxy->User = c.user;
    http.Proxy->Pass = c.pass;
    std::string user, pass;
    http.OnWorkBegin = [&](TObject*, TSwRequest*) {
      user = QueryText(http.RequestHandle.Get(), INTERNET_OPTION_PROXY_USERNAME);
      pass = QueryText(http.RequestHandle.Get(), INTERNET_OPTION_PROXY_PASSWORD);
    };
    ev.Reset();
    const std::string path = "/bytes/7?proxied=" + std::to_string(++n);
    Run(HttpBase() + path);
    ASSERT_EQ(ev.ends.size(), 1u);
    EXPECT_EQ(ev.ends[0].error, 0u);
    EXPECT_EQ(ev.ends[0].code, c.code);
    if (c.code == 200) EXPECT_EQ(ev.ends[0].body, ServerBytes(7));
    else EXPECT_FALSE(ev.ends[0].body.empty());  // the proxy's own page
    EXPECT_EQ(user, c.user);
    EXPECT_EQ(pass, c.pass);
    EXPECT_TRUE(ProxyLogHas("GET " + HttpBase() + path)) << path;
    // The user's values stay as they were: no dialog wrote them.
    EXPECT_EQ(http.Proxy->User, c.user);
  }
}

// The proxy entry is chosen by the URL's scheme; the Internet handle is
// opened with that entry's access type and the list text of both entries.
TEST_F(Fixture, ProxyChoiceByScheme) {
  http.Silent = true;
  http.Proxy->User = Env("CORVALLO_PROXY_USER");
  http.Proxy->Pass = Env("CORVALLO_PROXY_PASS");
  http.Proxy->HttpProxy->Protocol = ppNone;
  UseTinyproxy(*http.Proxy->HttpsProxy);
  ProxyInfo info;
  http.OnWorkBegin = [&](TObject*, TSwRequest*) { info = QueryProxy(http.InternetHandle.Get()); };

  Run(HttpBase() + "/bytes/9?direct=1");
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(9));
  EXPECT_EQ(info.access, static_cast<DWORD>(INTERNET_OPEN_TYPE_DIRECT));
  EXPECT_FALSE(ProxyLogHas("direct=1"));

  Run(TlsBase() + "/hello.txt");
  ASSERT_EQ(ev.ends.size(), 2u);
  EXPECT_EQ(ev.ends[1].error, 0u);
  EXPECT_EQ(ev.ends[1].code, 200u);
  EXPECT_EQ(ev.ends[1].body, "hello tls\n");
  EXPECT_EQ(info.access, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
  EXPECT_EQ(info.list, "http://127.0.0.1:" + std::to_string(ProxyPort()));
  EXPECT_TRUE(ProxyLogHas("CONNECT 127.0.0.1:" + Env("CORVALLO_TLS_PORT")));
}

// SOCKS: WinInet here does not speak it, so only what the component hands
// over is checked: the access type, the list text and the bypass list.
TEST_F(Fixture, SocksEntryListText) {
  struct Case {
    TSwProxyProtocols http, https;
    std::string url, list;
  } cases[] = {
      {ppSocks, ppAuto, HttpBase() + "/bytes/1", "http=socks://127.0.0.1:1080"},
      {ppAuto, ppSocks, TlsBase() + "/hello.txt", "socks://127.0.0.1:1080"},
      {ppSocks, ppSocks, HttpBase() + "/bytes/1", "http=socks://127.0.0.1:1080 socks://127.0.0.1:1080"},
  };
  http.Silent = true;
  http.Timeout = 3000;
  http.Proxy->Bypass = "*.example;<local>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    for (TSwProxy* e : {http.Proxy->HttpProxy.get(), http.Proxy->HttpsProxy.get()}) {
      e->Host = "127.0.0.1";
      e->Port = 1080;
    }
    http.Proxy->HttpProxy->Protocol = c.http;
    http.Proxy->HttpsProxy->Protocol = c.https;
    ProxyInfo info;
    http.OnWorkBegin = [&](TObject*, TSwRequest*) { info = QueryProxy(http.InternetHandle.Get()); };
    ev.Reset();
    Run(c.url);
    ASSERT_EQ(ev.ends.size(), 1u);
    EXPECT_EQ(info.access, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
    EXPECT_EQ(info.list, c.list);
    EXPECT_EQ(info.bypass, "*.example;<local>");
  }
}

// Without Silent a 407 opens the platform's proxy sign-in dialog; what the
// user types there is kept in Proxy and the request goes again.
TEST_F(Fixture, ProxySignInDialog) {
  UseTinyproxy(*http.Proxy->HttpProxy);
  {
    DialogAnswerer answer("Enter Network Password", "OK", {Env("CORVALLO_PROXY_USER"), Env("CORVALLO_PROXY_PASS")});
    Run(HttpBase() + "/bytes/11?signin=1");
    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(answer.Buttons(), (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_NE(answer.Text().find("http=http://127.0.0.1:" + std::to_string(ProxyPort()) + "\nTinyproxy\n"),
              std::string::npos)
        << answer.Text();
  }
  ASSERT_EQ(ev.ends.size(), 1u);
  EXPECT_EQ(ev.ends[0].error, 0u);
  EXPECT_EQ(ev.ends[0].code, 200u);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(11));
  EXPECT_EQ(http.Proxy->User, Env("CORVALLO_PROXY_USER"));
  EXPECT_EQ(http.Proxy->Pass, Env("CORVALLO_PROXY_PASS"));
  EXPECT_TRUE(ProxyLogHas("GET " + HttpBase() + "/bytes/11?signin=1"));
  // Kept for the next request, which then needs no dialog.
  Run(HttpBase() + "/bytes/12");
  ASSERT_EQ(ev.ends.size(), 2u);
  EXPECT_EQ(ev.ends[1].code, 200u);
}

}  // namespace
