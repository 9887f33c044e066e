// The proxy records of the SwinHttp unit. Pure code: no Windows header.
#include "SwinHttp.h"

template <>
const TEnumInfo& EnumInfoOf<TSwProxyProtocols>() {
  static const TEnumInfo info{"TSwProxyProtocols", {"ppAuto", "ppNone", "ppHttp", "ppHttps", "ppSocks"}};
  return info;
}

// ---- TSwProxy ---------------------------------------------------------------

static std::vector<TPropInfo> ProxyProps() {
  return TPropBuilder<TSwProxy>()
      .Field("Protocol", &TSwProxy::Protocol)
      .Field("Host", &TSwProxy::Host)
      .Field("Port", &TSwProxy::Port, int32_t{80})
      .Done();
}
VCL_DEFINE_CLASS(TSwProxy, TPersistent, nullptr, &ProxyProps)

std::string TSwProxy::ProxyStr() const {
  std::string r;
  switch (Protocol) {
    case ppHttp: r = "http"; break;
    case ppHttps: r = "https"; break;
    case ppSocks: r = "socks"; break;
    default: return r;
  }
  r += "://";
  r += Host;
  if (Port != 0) r += ":" + std::to_string(Port);
  return r;
}

void TSwProxy::AssignTo(TPersistent* dest) const {
  if (auto* d = dynamic_cast<TSwProxy*>(dest)) {
    d->Protocol = Protocol;
    d->Host = Host;
    d->Port = Port;
    return;
  }
  TPersistent::AssignTo(dest);
}

// ---- TSwProxies -------------------------------------------------------------

static std::vector<TPropInfo> ProxiesProps() {
  return TPropBuilder<TSwProxies>()
      .Object("HttpProxy", [](const TSwProxies& p) { return p.HttpProxy.get(); })
      .Object("HttpsProxy", [](const TSwProxies& p) { return p.HttpsProxy.get(); })
      .Field("User", &TSwProxies::User)
      .Field("Pass", &TSwProxies::Pass)
      .Field("Bypass", &TSwProxies::Bypass)
      .Done();
}
VCL_DEFINE_CLASS(TSwProxies, TPersistent, nullptr, &ProxiesProps)

TSwProxies::TSwProxies() : HttpProxy(std::make_unique<TSwProxy>()), HttpsProxy(std::make_unique<TSwProxy>()) {
  HttpProxy->Protocol = ppAuto;
  HttpsProxy->Protocol = ppAuto;
}

TSwProxies::~TSwProxies() = default;

std::string TSwProxies::List() const {
  std::string list = HttpProxy->ProxyStr();
  if (!list.empty()) list = "http=" + list;
  if (HttpsProxy->Protocol == ppAuto) return list;
  if (!list.empty()) list += ' ';
  return list + HttpsProxy->ProxyStr();
}
