// The component's published properties, set from a window template.
#include <gtest/gtest.h>

#include <any>
#include <map>

#include "http_test_util.h"
#include "persist.h"

namespace {
class TTestRoot : public TComponent {
  VCL_CLASS(TTestRoot)
 public:
  using TComponent::TComponent;
  TIdHTTP* http = nullptr;
  std::map<std::string, std::any> methods;
  std::vector<std::string> calls;

  const std::any* FindMethod(std::string_view name) const override {
    auto it = methods.find(std::string(name));
    return it == methods.end() ? nullptr : &it->second;
  }
  bool BindField(const std::string& name, TComponent* c) override {
    if (name == "http") http = dynamic_cast<TIdHTTP*>(c);
    return http != nullptr;
  }
};
}  // namespace
VCL_DEFINE_CLASS(TTestRoot, TComponent, nullptr, nullptr)

TEST(IdHTTPTemplate, TemplateSetsTheSettingsAndEvents) {
  TTestRoot root(nullptr);
  root.methods["httpWork"] = TWorkEvent::Function([&](TObject*, TWorkMode, int64_t n) { root.calls.push_back("work"); });
  root.methods["httpWorkBegin"] =
      TWorkBeginEvent::Function([&](TObject*, TWorkMode, int64_t n) { root.calls.push_back("begin:" + std::to_string(n)); });
  root.methods["httpWorkEnd"] = TWorkEndEvent::Function([&](TObject*, TWorkMode) { root.calls.push_back("end"); });
  root.methods["httpStatus"] =
      TIdStatusEvent::Function([&](TObject*, TIdStatus s, const std::string&) { root.calls.push_back("status"); });

  vcl::ReadComponent(root,
                     "object Root: TTestRoot\n"
                     "  object http: TIdHTTP\n"
                     "    MaxLineAction = maException\n"
                     "    ProxyParams.BasicAuthentication = True\n"
                     "    ProxyParams.ProxyPort = 3128\n"
                     "    ProxyParams.ProxyServer = 'proxy.example'\n"
                     "    ProxyParams.ProxyUsername = 'user'\n"
                     "    ProxyParams.ProxyPassword = 'pass'\n"
                     "    RecvBufferSize = 128000\n"
                     "    Request.Accept = 'text/html, */*'\n"
                     "    Request.UserAgent = 'Mozilla/3.0'\n"
                     "    HTTPOptions = [hoForceEncodeParams]\n"
                     "    HandleRedirects = True\n"
                     "    AllowCookies = True\n"
                     "    OnStatus = httpStatus\n"
                     "    OnWork = httpWork\n"
                     "    OnWorkBegin = httpWorkBegin\n"
                     "    OnWorkEnd = httpWorkEnd\n"
                     "  end\n"
                     "end\n");
  ASSERT_NE(root.http, nullptr);
  TIdHTTP& h = *root.http;
  EXPECT_EQ(h.Owner(), &root);
  EXPECT_EQ(h.Name(), "http");
  EXPECT_EQ(h.Request()->UserAgent, "Mozilla/3.0");
  EXPECT_TRUE(h.HandleRedirects);
  EXPECT_TRUE(h.HTTPOptions == TIdHTTPOptions{hoForceEncodeParams});
  EXPECT_EQ(h.RecvBufferSize, 128000);
  EXPECT_EQ(h.MaxLineAction, maException);
  EXPECT_TRUE(h.ProxyParams()->BasicAuthentication);
  EXPECT_EQ(h.ProxyParams()->ProxyServer, "proxy.example");
  EXPECT_EQ(h.ProxyParams()->ProxyPort, 3128);
  EXPECT_EQ(h.ProxyParams()->ProxyUsername, "user");
  EXPECT_EQ(h.ProxyParams()->ProxyPassword, "pass");
  EXPECT_EQ(vcl::GetPropertyText(h, "OnWork"), "httpWork");
  EXPECT_EQ(vcl::GetPropertyText(h, "HTTPOptions"), "[hoForceEncodeParams]");

  // Only what differs from the declared defaults is written back.
  EXPECT_EQ(vcl::WriteProperties(*h.ProxyParams()),
            "BasicAuthentication = True\r\nProxyPassword = 'pass'\r\nProxyPort = 3128\r\nProxyServer = 'proxy.example'\r\n"
            "ProxyUsername = 'user'\r\n");
  TIdHTTP plain(nullptr);
  EXPECT_EQ(vcl::WriteProperties(plain), "");

  // The bound handlers run.
  h.ProxyParams()->ProxyServer = "";
  h.Get(Base() + "/bytes/3");
  EXPECT_EQ(root.calls, (std::vector<std::string>{"status", "status", "status", "begin:3", "work", "end"}));
}
