// ApplyProxySettings on the real HTTP client, and transfers through a real
// proxy (tinyproxy with basic authentication) to the local test server.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "IdHTTP.h"
#include "classes.h"
#include "driver.h"
#include "proxyfile.h"
#include "proxysettings.h"

namespace {

using proxyfile::kProgramFolder;
using proxyfile::kProxyFile;
using proxyfile::Scramble;
using proxyfile::WriteBytes;

std::string ReadAll(const std::string& name) {
  TMemoryStream m;
  m.LoadFromFile(name);
  return m.DataString();
}

class ProxyClient : public ::testing::Test {
 protected:
  void SetUp() override {
    char cur[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cur);
    FSaved = cur;
    ASSERT_TRUE(SetCurrentDirectoryA(kProgramFolder));
    FHttpPort = driver::Env("CORVALLO_HTTP_PORT");
    FProxyPort = driver::Env("CORVALLO_PROXY_PORT");
    FUser = driver::Env("CORVALLO_PROXY_USER");
    FPass = driver::Env("CORVALLO_PROXY_PASS");
    ASSERT_FALSE(FHttpPort.empty() || FProxyPort.empty() || FUser.empty() || FPass.empty())
        << "the http and proxy servers are not running";
  }
  void TearDown() override {
    SetCurrentDirectoryA(FSaved.c_str());
    DeleteFileA(kProxyFile);
  }

  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + FHttpPort + path; }
  // The test server's log entry of the request whose target ends with path.
  std::string LogEntry(const std::string& path) const {
    const std::string log = ReadAll(driver::EnvPath("CORVALLO_HTTP_LOG"));
    size_t at = log.find(path + " HTTP/");
    if (at == std::string::npos) return {};
    size_t start = log.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    size_t end = log.find("\nGET ", at);
    return log.substr(start, end == std::string::npos ? std::string::npos : end - start);
  }
  std::string ProxyFileText(const std::string& scrambledPassword) const {
    return "1\r\n1\r\n127.0.0.1\r\n" + FProxyPort + "\r\n$" + Scramble(FUser) + "\r\n$" + scrambledPassword + "\r\n";
  }

  std::string FSaved, FHttpPort, FProxyPort, FUser, FPass;
};

void Preset(TIdHTTP& http) {
  TIdProxyParams* p = http.ProxyParams();
  p->ProxyServer = "old.proxy";
  p->ProxyPort = 1;
  p->ProxyUsername = "old user";
  p->ProxyPassword = "old password";
  p->BasicAuthentication = false;
}

TEST_F(ProxyClient, NoFileWritesAllFiveParameters) {
  TIdHTTP http(nullptr);
  Preset(http);
  ApplyProxySettings(&http);
  const TIdProxyParams* p = http.ProxyParams();
  EXPECT_EQ(p->ProxyServer, "");
  EXPECT_EQ(p->ProxyPort, 0);
  EXPECT_EQ(p->ProxyUsername, "");
  EXPECT_EQ(p->ProxyPassword, "");
  EXPECT_TRUE(p->BasicAuthentication);
}

TEST_F(ProxyClient, AFileThatCannotBeOpenedLeavesTheClientAsItWas) {
  WriteBytes(kProxyFile, ProxyFileText(Scramble(FPass)));
  HANDLE lock = CreateFileA(kProxyFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  TIdHTTP http(nullptr);
  Preset(http);
  EXPECT_THROW(ApplyProxySettings(&http), EFOpenError);
  CloseHandle(lock);
  const TIdProxyParams* p = http.ProxyParams();
  EXPECT_EQ(p->ProxyServer, "old.proxy");
  EXPECT_EQ(p->ProxyPort, 1);
  EXPECT_EQ(p->ProxyUsername, "old user");
  EXPECT_EQ(p->ProxyPassword, "old password");
  EXPECT_FALSE(p->BasicAuthentication);
}

TEST_F(ProxyClient, ScrambledCredentialsCarryATransferThroughTheProxy) {
  WriteBytes(kProxyFile, ProxyFileText(Scramble(FPass)));
  TIdHTTP http(nullptr);
  ApplyProxySettings(&http);
  EXPECT_EQ(http.ProxyParams()->ProxyUsername, FUser);
  EXPECT_EQ(http.ProxyParams()->ProxyPassword, FPass);

  const std::string body = http.Get(Url("/bytes/1000?via=proxy"));
  ASSERT_EQ(body.size(), 1000u);
  for (size_t i = 0; i < body.size(); ++i) ASSERT_EQ(static_cast<unsigned char>(body[i]), i % 251) << i;
  EXPECT_NE(LogEntry("/bytes/1000?via=proxy").find("Via:"), std::string::npos) << "did not pass the proxy";

  // Line 1 "0" next time: the proxy set before is cleared, the transfer goes direct.
  WriteBytes(kProxyFile, "0\r\n" + ProxyFileText(Scramble(FPass)).substr(3));
  ApplyProxySettings(&http);
  EXPECT_EQ(http.ProxyParams()->ProxyServer, "");
  EXPECT_EQ(http.Get(Url("/bytes/5?via=none")).size(), 5u);
  const std::string direct = LogEntry("/bytes/5?via=none");
  ASSERT_NE(direct, "");
  EXPECT_EQ(direct.find("Via:"), std::string::npos) << direct;
}

// tinyproxy (1.11) answers a request without credentials with 407 and one
// with wrong credentials with 401; either way nothing reaches the server.
TEST_F(ProxyClient, WrongOrMissingCredentialsGetTheProxysRefusal) {
  std::string wrong = Scramble(FPass);
  wrong.back() = static_cast<char>(wrong.back() + 1);
  struct Case {
    const char* what;
    std::string file;
    const char* path;
    int status;
  } cases[] = {
      {"one wrong scrambled byte", ProxyFileText(wrong), "/bytes/10?via=wrong", 401},
      {"no credentials (line 2 \"0\")", "1\r\n0\r\n127.0.0.1\r\n" + FProxyPort + "\r\n\r\n\r\n", "/bytes/10?via=anonymous",
       407},
  };
  for (const Case& c : cases) {
    WriteBytes(kProxyFile, c.file);
    TIdHTTP http(nullptr);
    ApplyProxySettings(&http);
    try {
      http.Get(Url(c.path));
      ADD_FAILURE() << c.what << ": the transfer succeeded";
    } catch (const EIdHTTPProtocolException& e) {
      EXPECT_EQ(e.ReplyErrorCode(), c.status) << c.what << ": " << e.Message();
    }
    EXPECT_EQ(LogEntry(c.path), "") << c.what << ": the request reached the server";
  }
}

}  // namespace
