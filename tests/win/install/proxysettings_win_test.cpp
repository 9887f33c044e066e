// proxy.def as the program finds it: "..\proxy.def" from the current folder,
// here the program's folder of the suite's layout.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "classes.h"
#include "proxyfile.h"
#include "proxysettings.h"

namespace {

using proxyfile::kProgramFolder;
using proxyfile::kProxyFile;
using proxyfile::Scramble;
using proxyfile::WriteBytes;

class ProxyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char cur[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cur);
    FSaved = cur;
    ASSERT_TRUE(SetCurrentDirectoryA(kProgramFolder));
  }
  void TearDown() override {
    SetCurrentDirectoryA(FSaved.c_str());
    DeleteFileA(kProxyFile);
    RemoveDirectoryA(kProxyFile);
    DeleteFileA("C:\\Program Files\\Corvallo\\Update\\proxy.def");
  }
  std::string FSaved;
};

std::string Describe(const ProxySettings& s) {
  return "host \"" + s.Host + "\" port " + std::to_string(s.Port) + " user \"" + s.User + "\" password \"" +
         s.Password + "\"";
}

TEST_F(ProxyFile, MissingFileMeansNoProxy) { EXPECT_EQ(ReadProxySettings(), ProxySettings{}); }

TEST_F(ProxyFile, LinesOfARealFile) {
  const std::string u = "$" + Scramble("corvallo"), p = "$" + Scramble("s3cret");
  struct Case {
    const char* what;
    std::string bytes;
    ProxySettings expected;
  } cases[] = {
      {"six lines, line 1 \"0\"", "0\r\n1\r\n127.0.0.1\r\n3128\r\n" + u + "\r\n" + p + "\r\n", {}},
      {"five lines", "1\r\n1\r\n127.0.0.1\r\n3128\r\n" + u + "\r\n", {}},
      {"empty file", "", {}},
      {"port abc", "1\r\n0\r\nproxy.local\r\nabc\r\n\r\n\r\n", {"proxy.local", 80, "", ""}},
      {"port 8080", "1\r\n0\r\nproxy.local\r\n8080\r\n\r\n\r\n", {"proxy.local", 8080, "", ""}},
      {"line 1 \" 0\"", " 0\r\n0\r\nproxy.local\r\n8080\r\n\r\n\r\n", {"proxy.local", 8080, "", ""}},
      {"credentials, LF lines", "1\n1\n127.0.0.1\n3128\n" + u + "\n" + p + "\n", {"127.0.0.1", 3128, "corvallo", "s3cret"}},
      {"credentials, CR lines, no end", "1\r1\r127.0.0.1\r3128\r" + u + "\r" + p,
       {"127.0.0.1", 3128, "corvallo", "s3cret"}},
      {"line 5 empty", "1\r\n1\r\n127.0.0.1\r\n3128\r\n\r\n" + p + "\r\n", {"127.0.0.1", 3128, "", ""}},
      {"line 5 without $", "1\r\n1\r\n127.0.0.1\r\n3128\r\n" + Scramble("corvallo") + "\r\n" + p + "\r\n",
       {"127.0.0.1", 3128, "", "s3cret"}},
      {"line 5 \"$\"", "1\r\n1\r\n127.0.0.1\r\n3128\r\n$\r\n" + p + "\r\n", {"127.0.0.1", 3128, "", "s3cret"}},
      {"line 6 empty", "1\r\n1\r\n127.0.0.1\r\n3128\r\n" + u + "\r\n\r\n", {"127.0.0.1", 3128, "corvallo", ""}},
      {"line 2 \"1 \"", "1\r\n1 \r\n127.0.0.1\r\n3128\r\n" + u + "\r\n" + p + "\r\n", {"127.0.0.1", 3128, "", ""}},
      {"line 2 \"2\"", "1\r\n2\r\n127.0.0.1\r\n3128\r\n" + u + "\r\n" + p + "\r\n", {"127.0.0.1", 3128, "", ""}},
      {"NUL in line 4", "1\r\n1\r\n127.0.0.1\r\n31" + std::string(1, '\0') + "28\r\n" + u + "\r\n" + p + "\r\n", {}},
  };
  for (const Case& c : cases) {
    WriteBytes(kProxyFile, c.bytes);
    const ProxySettings got = ReadProxySettings();
    EXPECT_EQ(got, c.expected) << c.what << ": got " << Describe(got);
  }
}

TEST_F(ProxyFile, ReadAfreshFromTheParentOfTheCurrentFolder) {
  // A proxy.def in the current folder itself is not the one read.
  WriteBytes("C:\\Program Files\\Corvallo\\Update\\proxy.def", "1\r\n0\r\nwrong\r\n1\r\n\r\n\r\n");
  EXPECT_EQ(ReadProxySettings(), ProxySettings{});
  WriteBytes(kProxyFile, "1\r\n0\r\nfirst\r\n1\r\n\r\n\r\n");
  EXPECT_EQ(ReadProxySettings().Host, "first");
  WriteBytes(kProxyFile, "1\r\n0\r\nsecond\r\n2\r\n\r\n\r\n");
  EXPECT_EQ(ReadProxySettings().Host, "second");
  // From another current folder another file is read.
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Program Files\\Corvallo"));
  EXPECT_EQ(ReadProxySettings(), ProxySettings{});
}

TEST_F(ProxyFile, AFolderNamedLikeTheFileMeansNoProxy) {
  ASSERT_TRUE(CreateDirectoryA(kProxyFile, nullptr));
  EXPECT_EQ(ReadProxySettings(), ProxySettings{});
}

TEST_F(ProxyFile, AFileThatCannotBeOpenedRaises) {
  WriteBytes(kProxyFile, "1\r\n0\r\nproxy.local\r\n8080\r\n\r\n\r\n");
  HANDLE lock = CreateFileA(kProxyFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  try {
    ReadProxySettings();
    ADD_FAILURE() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file ..\\proxy.def");
  }
  CloseHandle(lock);
  EXPECT_EQ(ReadProxySettings().Host, "proxy.local");
}

}  // namespace
