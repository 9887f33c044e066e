// The HTTP client component: the blocking transfer on Winsock around the
// pure request writer and response parser (HttpProtocol.h).
//
// The socket is non-blocking; every wait for the network is a select() of at
// most 100 ms, after which the GUI thread's pending messages are processed,
// so windows repaint and their buttons work even while a server sends
// nothing. Disconnect, also from inside an event or from such a pump, sets
// the cancel flag and closes the socket; the running GET then fails at once
// with EIdTransferCancelled, so a cut-off body never looks complete.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "Cookies.h"
#include "HttpProtocol.h"
#include "IdHTTP.h"
#include "msgpump.h"

// ---- Enumerations and published properties ---------------------------------

template <>
const TEnumInfo& EnumInfoOf<TWorkMode>() {
  static const TEnumInfo info{"TWorkMode", {"wmRead", "wmWrite"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TIdStatus>() {
  static const TEnumInfo info{
      "TIdStatus", {"hsResolving", "hsConnecting", "hsConnected", "hsDisconnecting", "hsDisconnected", "hsStatusText"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TIdHTTPOption>() {
  static const TEnumInfo info{"TIdHTTPOption", {"hoInProcessAuth", "hoKeepOrigProtocol", "hoForceEncodeParams"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TIdMaxLineAction>() {
  static const TEnumInfo info{"TIdMaxLineAction", {"maException", "maSplit"}};
  return info;
}

static std::vector<TPropInfo> RequestProps() {
  return TPropBuilder<TIdHTTPRequest>()
      .Field("Accept", &TIdHTTPRequest::Accept, std::string("text/html, */*"))
      .Field("UserAgent", &TIdHTTPRequest::UserAgent, std::string("Mozilla/3.0 (compatible; Corvallo HTTP client)"))
      .Done();
}
VCL_DEFINE_CLASS(TIdHTTPRequest, TPersistent, nullptr, &RequestProps)

static std::vector<TPropInfo> ProxyProps() {
  return TPropBuilder<TIdProxyParams>()
      .Field("BasicAuthentication", &TIdProxyParams::BasicAuthentication, false)
      .Field("ProxyPassword", &TIdProxyParams::ProxyPassword)
      .Field("ProxyPort", &TIdProxyParams::ProxyPort, int32_t{0})
      .Field("ProxyServer", &TIdProxyParams::ProxyServer)
      .Field("ProxyUsername", &TIdProxyParams::ProxyUsername)
      .Done();
}
VCL_DEFINE_CLASS(TIdProxyParams, TPersistent, nullptr, &ProxyProps)

static std::vector<TPropInfo> HttpProps() {
  return TPropBuilder<TIdHTTP>()
      .Field("AllowCookies", &TIdHTTP::AllowCookies, true)
      .Field("ConnectTimeout", &TIdHTTP::ConnectTimeout, int32_t{30000})
      .Field("HandleRedirects", &TIdHTTP::HandleRedirects, false)
      .Field("HTTPOptions", &TIdHTTP::HTTPOptions, TIdHTTPOptions{hoForceEncodeParams})
      .Field("MaxLineAction", &TIdHTTP::MaxLineAction, maException)
      .Field("MaxLineLength", &TIdHTTP::MaxLineLength, int32_t{16384})
      .Object("ProxyParams", [](const TIdHTTP& h) { return h.ProxyParams(); })
      .Field("ReadTimeout", &TIdHTTP::ReadTimeout, int32_t{60000})
      .Field("RecvBufferSize", &TIdHTTP::RecvBufferSize, int32_t{32768})
      .Field("RedirectMaximum", &TIdHTTP::RedirectMaximum, int32_t{15})
      .Object("Request", [](const TIdHTTP& h) { return h.Request(); })
      .Event("OnStatus", &TIdHTTP::OnStatus)
      .Event("OnWork", &TIdHTTP::OnWork)
      .Event("OnWorkBegin", &TIdHTTP::OnWorkBegin)
      .Event("OnWorkEnd", &TIdHTTP::OnWorkEnd)
      .Done();
}
VCL_DEFINE_CLASS(TIdHTTP, TComponent, &CreateComponentOf<TIdHTTP>, &HttpProps)

namespace {
// Window templates create the component by its class name.
const bool kRegistered = (vcl::RegisterClassInfo(TIdHTTP::StaticClass()), true);

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

std::string SocketErrorText(int code) {
  switch (code) {
    case WSAECONNREFUSED: return "Connection refused";
    case WSAETIMEDOUT: return "Connection timed out";
    case WSAEHOSTUNREACH: return "No route to host";
    case WSAENETUNREACH: return "Network is unreachable";
    case WSAENETDOWN: return "Network is down";
    case WSAECONNRESET: return "Connection reset by peer";
    case WSAECONNABORTED: return "Connection aborted";
    case WSAEADDRNOTAVAIL: return "Address not available";
    case WSAEACCES: return "Permission denied";
    case WSAHOST_NOT_FOUND: return "Host not found";
    case WSATRY_AGAIN: return "Host not found, try again later";
    case WSANO_DATA: return "No address for this host name";
    case WSANO_RECOVERY: return "Name server failure";
    default: break;
  }
  char buf[256] = {0};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code),
                           0, buf, sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ' || buf[n - 1] == '.')) buf[--n] = 0;
  return n ? std::string(buf) : std::string("Socket error");
}

std::string Seconds(int32_t ms) {
  if (ms % 1000 == 0) return Format("%d s", static_cast<int>(ms / 1000));
  return Format("%.1f s", ms / 1000.0);
}

// Name resolution runs on a helper thread so that the caller can keep
// processing messages; an abandoned look-up frees its own result.
struct Lookup {
  std::mutex m;
  bool done = false;
  int error = 0;
  addrinfo* result = nullptr;
  ~Lookup() {
    if (result) freeaddrinfo(result);
  }
};

constexpr int32_t kSliceMs = 100;
constexpr ULONGLONG kWorkIntervalMs = 15;
constexpr size_t kMinReadBlock = 1024 * 1024;
constexpr size_t kMaxDrain = 64 * 1024;  // bodies of redirects and errors read to keep the connection
}  // namespace

// ---- The transfer ------------------------------------------------------------

struct TIdHTTP::Impl {
  TIdHTTP& Owner;
  SOCKET Sock = INVALID_SOCKET;
  std::string ConnHost;  // where the open connection leads
  int ConnPort = 0;
  std::string PeerText;  // "host:port" for messages
  bool PeerIsProxy = false;
  idhttp::CookieStore Cookies;
  int ResponseCode = 0;
  std::string ResponseText;
  std::atomic<bool> Cancel{false};
  bool InTransfer = false;
  DWORD TransferThread = 0;
  ULONGLONG LastPump = 0;
  std::vector<char> Buffer;

  explicit Impl(TIdHTTP& owner) : Owner(owner) {}

  void CheckCancel() {
    if (Cancel.load()) throw EIdTransferCancelled("The transfer was cancelled");
  }

  void Status(TIdStatus status, const std::string& text) {
    TIdStatusEvent ev = Owner.OnStatus;  // a handler may replace the event
    if (ev) ev(&Owner, status, text);
    if (InTransfer) CheckCancel();
  }

  void Pump() {
    LastPump = GetTickCount64();
    vcl::ProcessPendingMessages();
    CheckCancel();
  }
  void PumpIfDue() {
    if (GetTickCount64() - LastPump >= kSliceMs) Pump();
  }

  // Closes the connection, telling the status event unless quiet.
  void Close(bool notify) {
    if (Sock == INVALID_SOCKET) return;
    SOCKET s = Sock;
    Sock = INVALID_SOCKET;  // a handler that disconnects again finds nothing open
    if (notify) {
      TIdStatusEvent ev = Owner.OnStatus;
      if (ev) ev(&Owner, hsDisconnecting, "Disconnecting from " + PeerText);
    }
    closesocket(s);
    if (notify) {
      TIdStatusEvent ev = Owner.OnStatus;
      if (ev) ev(&Owner, hsDisconnected, "Disconnected");
    }
  }
  // Closes while an exception is on its way: a handler's own error must not
  // replace it.
  void CloseQuietly() {
    try {
      Close(true);
    } catch (...) {
      Close(false);
    }
  }

  [[noreturn]] void SocketError(const char* what, int code) {
    throw EIdSocketError(Format("%s %s%s: %s (socket error %d)", what, PeerIsProxy ? "the proxy " : "", PeerText.c_str(),
                                SocketErrorText(code).c_str(), code));
  }

  // Waits until the socket can be read (or written), processing messages
  // between slices of at most 100 ms. False when timeoutMs passed first
  // (timeoutMs <= 0: no limit). Raises EIdTransferCancelled after Disconnect.
  bool Wait(bool forWrite, int32_t timeoutMs, bool connecting = false) {
    ULONGLONG start = GetTickCount64();
    for (;;) {
      CheckCancel();
      if (Sock == INVALID_SOCKET) throw EIdTransferCancelled("The transfer was cancelled");
      ULONGLONG elapsed = GetTickCount64() - start;
      if (timeoutMs > 0 && elapsed >= static_cast<ULONGLONG>(timeoutMs)) return false;
      ULONGLONG slice = kSliceMs;
      if (timeoutMs > 0) slice = std::min<ULONGLONG>(slice, timeoutMs - elapsed);
      fd_set set, except;
      FD_ZERO(&set);
      FD_ZERO(&except);
      FD_SET(Sock, &set);
      FD_SET(Sock, &except);
      timeval tv{0, static_cast<long>(slice * 1000)};
      int r = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, connecting ? &except : nullptr, &tv);
      if (r == SOCKET_ERROR) SocketError("Cannot reach", WSAGetLastError());
      if (r > 0) {
        PumpIfDue();
        return true;
      }
      Pump();
    }
  }

  std::vector<sockaddr_storage> Resolve(const std::string& host, int port) {
    std::vector<sockaddr_storage> out;
    Status(hsResolving, "Resolving host " + host);
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
      sockaddr_storage ss{};
      memcpy(&ss, &v4, sizeof v4);
      out.push_back(ss);
      return out;
    }
    auto lookup = std::make_shared<Lookup>();
    std::string service = std::to_string(port);
    std::thread([lookup, host, service] {
      addrinfo hints{};
      hints.ai_family = AF_UNSPEC;
      hints.ai_socktype = SOCK_STREAM;
      hints.ai_protocol = IPPROTO_TCP;
      addrinfo* res = nullptr;
      int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
      std::lock_guard<std::mutex> lock(lookup->m);
      lookup->error = rc;
      lookup->result = rc == 0 ? res : nullptr;
      lookup->done = true;
    }).detach();
    ULONGLONG start = GetTickCount64();
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(lookup->m);
        if (lookup->done) break;
      }
      CheckCancel();
      if (Owner.ConnectTimeout > 0 && GetTickCount64() - start >= static_cast<ULONGLONG>(Owner.ConnectTimeout))
        throw EIdConnectTimeout(Format("Resolving the host %s timed out after %s", host.c_str(),
                                       Seconds(Owner.ConnectTimeout).c_str()));
      Sleep(10);
      PumpIfDue();
    }
    if (lookup->error != 0 || !lookup->result) {
      int code = lookup->error ? lookup->error : WSAHOST_NOT_FOUND;
      throw EIdSocketError(Format("Cannot resolve the host %s%s (port %d): %s (socket error %d)",
                                  PeerIsProxy ? "of the proxy " : "", host.c_str(), port, SocketErrorText(code).c_str(), code));
    }
    for (addrinfo* a = lookup->result; a; a = a->ai_next) {
      if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
      sockaddr_storage ss{};
      memcpy(&ss, a->ai_addr, a->ai_addrlen);
      out.push_back(ss);
    }
    return out;
  }

  void Connect(const std::string& host, int port, bool viaProxy) {
    Close(true);
    ConnHost = host;
    ConnPort = port;
    PeerIsProxy = viaProxy;
    PeerText = Format("%s:%d", host.c_str(), port);
    if (port < 1 || port > 65535)
      throw EIdSocketError(Format("Cannot connect to %s%s: invalid port", viaProxy ? "the proxy " : "", PeerText.c_str()));
    std::vector<sockaddr_storage> addrs = Resolve(host, port);
    Status(hsConnecting, "Connecting to " + PeerText);
    int lastError = WSAHOST_NOT_FOUND;
    for (const sockaddr_storage& addr : addrs) {
      SOCKET s = socket(addr.ss_family, SOCK_STREAM, IPPROTO_TCP);
      if (s == INVALID_SOCKET) {
        lastError = WSAGetLastError();
        continue;
      }
      u_long nonBlocking = 1;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      BOOL noDelay = TRUE;
      setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
      int len = addr.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
      Sock = s;
      if (connect(s, reinterpret_cast<const sockaddr*>(&addr), len) == 0) break;
      int e = WSAGetLastError();
      if (e == WSAEWOULDBLOCK) {
        if (!Wait(true, Owner.ConnectTimeout, true)) {
          Close(false);
          throw EIdConnectTimeout(Format("Connecting to %s%s timed out after %s", viaProxy ? "the proxy " : "",
                                         PeerText.c_str(), Seconds(Owner.ConnectTimeout).c_str()));
        }
        int soError = 0;
        int optLen = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &optLen);
        if (soError == 0) break;
        e = soError;
      }
      lastError = e;
      Close(false);
    }
    if (Sock == INVALID_SOCKET) SocketError("Cannot connect to", lastError);
    Status(hsConnected, "Connected to " + PeerText);
  }

  // True when the open connection leads to host:port and the server has not
  // closed it meanwhile.
  bool Reusable(const std::string& host, int port) {
    if (Sock == INVALID_SOCKET || ConnHost != host || ConnPort != port) return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Sock, &set);
    timeval tv{0, 0};
    int r = select(0, &set, nullptr, nullptr, &tv);
    if (r == 0) return true;
    // Readable while idle: closed by the server, or bytes nobody asked for.
    Close(true);
    return false;
  }

  void SendAll(const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
      CheckCancel();
      int n = send(Sock, data.data() + off, static_cast<int>(data.size() - off), 0);
      if (n > 0) {
        off += static_cast<size_t>(n);
        continue;
      }
      int e = WSAGetLastError();
      if (n == SOCKET_ERROR && e == WSAEWOULDBLOCK) {
        if (!Wait(true, Owner.ReadTimeout))
          throw EIdReadTimeout(Format("Sending to %s timed out after %s", PeerText.c_str(), Seconds(Owner.ReadTimeout).c_str()));
        continue;
      }
      SocketError("Cannot send to", e);
    }
  }

  // Receives up to the buffer's size; 0 when the server closed the connection.
  size_t Receive() {
    for (;;) {
      CheckCancel();
      if (Sock == INVALID_SOCKET) throw EIdTransferCancelled("The transfer was cancelled");
      int n = recv(Sock, Buffer.data(), static_cast<int>(Buffer.size()), 0);
      if (n >= 0) return static_cast<size_t>(n);
      int e = WSAGetLastError();
      if (e == WSAEWOULDBLOCK) {
        if (!Wait(false, Owner.ReadTimeout))
          throw EIdReadTimeout(Format("Read timed out: no data from %s for %s", PeerText.c_str(),
                                      Seconds(Owner.ReadTimeout).c_str()));
        continue;
      }
      if (e == WSAECONNRESET || e == WSAECONNABORTED) SocketError("The connection was reset by", e);
      SocketError("Cannot receive from", e);
    }
  }

  void FireWorkBegin(int64_t max) {
    TWorkBeginEvent ev = Owner.OnWorkBegin;
    if (ev) ev(&Owner, wmRead, max);
    CheckCancel();
  }
  void FireWork(int64_t count) {
    TWorkEvent ev = Owner.OnWork;
    if (ev) ev(&Owner, wmRead, count);
    CheckCancel();
  }
  void FireWorkEnd() {
    TWorkEndEvent ev = Owner.OnWorkEnd;
    if (ev) ev(&Owner, wmRead);
  }

  void Get(const std::string& urlText, TStream& dest);
  // One request and its response headers; early holds body bytes that
  // arrived with them.
  void Exchange(const idhttp::Url& url, idhttp::ResponseParser& parser, std::string& early);
  void ReadBody(idhttp::ResponseParser& parser, std::string& early, TStream& dest);
  // Reads and drops the body of a response the caller does not want (a
  // redirect, an error), keeping the connection when that is cheap.
  void Discard(idhttp::ResponseParser& parser);
};

void TIdHTTP::Impl::Exchange(const idhttp::Url& url, idhttp::ResponseParser& parser, std::string& early) {
  const TIdProxyParams& proxy = *Owner.ProxyParams();
  bool viaProxy = !proxy.ProxyServer.empty();
  std::string host = viaProxy ? proxy.ProxyServer : url.Host;
  int port = viaProxy ? proxy.ProxyPort : url.Port;

  idhttp::RequestParams req;
  req.Target = url;
  req.ViaProxy = viaProxy;
  req.Accept = Owner.Request()->Accept;
  req.UserAgent = Owner.Request()->UserAgent;
  if (Owner.AllowCookies) req.Cookie = Cookies.CookieHeader(url, static_cast<int64_t>(time(nullptr)));
  if (viaProxy && proxy.BasicAuthentication && !proxy.ProxyUsername.empty())
    req.ProxyAuthorization = idhttp::BasicAuthorization(proxy.ProxyUsername, proxy.ProxyPassword);
  const std::string request = idhttp::BuildRequest(req);

  idhttp::ResponseParser::Limits limits;
  limits.MaxLineLength = static_cast<size_t>(std::max<int32_t>(Owner.MaxLineLength, 64));
  limits.SplitLongLines = Owner.MaxLineAction == maSplit;

  // A kept connection may have been closed by the server in the meantime:
  // when it fails before the first byte of an answer, ask once more on a new one.
  for (int attempt = 0;; ++attempt) {
    bool reused = Reusable(host, port);
    if (!reused) Connect(host, port, viaProxy);
    parser = idhttp::ResponseParser(limits);
    parser.Start(false);
    early.clear();
    auto sink = [&early](const char* d, size_t n) { early.append(d, n); };
    try {
      SendAll(request);
      while (!parser.HeadersComplete()) {
        size_t n = Receive();
        if (n == 0) {
          parser.Eof();
          break;
        }
        size_t used = parser.Feed(Buffer.data(), n, sink);
        (void)used;  // bytes past a complete response: the connection is not reused (see ReadBody)
      }
      return;
    } catch (const EIdSocketError&) {
      if (!(reused && attempt == 0 && parser.NothingReceived())) throw;
    } catch (const EIdConnClosedGracefully&) {
      if (!(reused && attempt == 0 && parser.NothingReceived())) throw;
    }
    Close(true);
  }
}

void TIdHTTP::Impl::ReadBody(idhttp::ResponseParser& parser, std::string& early, TStream& dest) {
  int64_t total = 0;
  auto sink = [&](const char* d, size_t n) {
    dest.WriteBuffer(d, static_cast<int64_t>(n));
    total += static_cast<int64_t>(n);
  };
  FireWorkBegin(parser.Body() == idhttp::ResponseParser::BodyKind::Length ? parser.ContentLength() : 0);
  try {
    if (!early.empty()) {
      sink(early.data(), early.size());
      early.clear();
      FireWork(total);
    }
    bool extra = false;
    ULONGLONG lastWork = 0;
    int64_t reported = total;
    while (!parser.Complete()) {
      size_t n = Receive();
      if (n == 0) {
        parser.Eof();  // raises when the body is short
        break;
      }
      size_t used = parser.Feed(Buffer.data(), n, sink);
      if (used < n) extra = true;
      // Progress at most every kWorkIntervalMs while data streams in: a
      // window's handler repaints, which costs more than a read.
      if (total != reported && !parser.Complete() && GetTickCount64() - lastWork >= kWorkIntervalMs) {
        lastWork = GetTickCount64();
        reported = total;
        FireWork(total);
      }
      PumpIfDue();
    }
    // The complete body is always announced.
    if (total != reported) FireWork(total);
    if (extra || !parser.KeepAlive()) Close(true);
  } catch (...) {
    FireWorkEnd();
    throw;
  }
  FireWorkEnd();
}

void TIdHTTP::Impl::Discard(idhttp::ResponseParser& parser) {
  using K = idhttp::ResponseParser::BodyKind;
  bool cheap = parser.KeepAlive() &&
               (parser.Complete() || (parser.Body() == K::Length && parser.ContentLength() <= static_cast<int64_t>(kMaxDrain)));
  if (!cheap) {
    Close(true);
    return;
  }
  while (!parser.Complete()) {
    size_t n = Receive();
    if (n == 0) {
      Close(true);
      return;
    }
    if (parser.Feed(Buffer.data(), n, nullptr) < n) {
      Close(true);
      return;
    }
  }
}

void TIdHTTP::Impl::Get(const std::string& urlText, TStream& dest) {
  if (InTransfer) throw EIdException("The HTTP client is busy with another transfer");
  InTransfer = true;
  TransferThread = GetCurrentThreadId();
  Cancel = false;
  LastPump = GetTickCount64();
  struct Done {
    Impl& I;
    ~Done() { I.InTransfer = false; }
  } done{*this};

  // Every socket read has a fixed cost that dwarfs copying (about 0.2 ms
  // under Wine), so reads take at least kMinReadBlock; RecvBufferSize can
  // only make them larger.
  size_t bufSize = std::clamp<size_t>(static_cast<size_t>(std::max<int32_t>(Owner.RecvBufferSize, 0)), kMinReadBlock,
                                      16 * 1024 * 1024);
  if (Buffer.size() != bufSize) Buffer.assign(bufSize, 0);

  const bool encode = Owner.HTTPOptions.Contains(hoForceEncodeParams);
  idhttp::Url url = idhttp::ParseUrl(urlText, encode);
  std::set<std::string> visited;
  int redirects = 0;
  try {
    for (;;) {
      idhttp::ResponseParser parser;
      std::string early;
      Exchange(url, parser, early);
      ResponseCode = parser.StatusCode();
      ResponseText = parser.StatusLine();
      if (Owner.AllowCookies)
        for (const std::string& c : parser.HeaderValues("Set-Cookie"))
          Cookies.SetCookie(url, c, static_cast<int64_t>(time(nullptr)));

      const int code = parser.StatusCode();
      if (code >= 200 && code <= 299) {
        ReadBody(parser, early, dest);
        return;
      }
      const std::string* location = parser.Header("Location");
      bool redirect = code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
      if (!(redirect && Owner.HandleRedirects && location)) {
        Discard(parser);
        throw EIdHTTPProtocolException(code, parser.StatusLine());
      }
      idhttp::Url next = idhttp::ResolveLocation(url, *location, encode);
      Discard(parser);
      visited.insert(url.ToString() + "\n" + Cookies.CookieHeader(url, static_cast<int64_t>(time(nullptr))));
      std::string key = next.ToString() + "\n" +
                        (Owner.AllowCookies ? Cookies.CookieHeader(next, static_cast<int64_t>(time(nullptr))) : "");
      if (visited.count(key))
        throw EIdProtocolError("The server redirects in a loop, back to " + next.ToString());
      if (++redirects > Owner.RedirectMaximum)
        throw EIdProtocolError(Format("Too many redirects (more than %d), the last to %s", static_cast<int>(Owner.RedirectMaximum),
                                      next.ToString().c_str()));
      url = next;
    }
  } catch (EIdProtocolError& e) {
    if (!PeerText.empty() && e.Message().find(PeerText) == std::string::npos)
      e.SetMessage(e.Message() + " (" + (PeerIsProxy ? "through the proxy " : "from ") + PeerText + ")");
    CloseQuietly();
    throw;
  } catch (EIdConnClosedGracefully& e) {
    if (!PeerText.empty()) e.SetMessage(e.Message() + " (" + (PeerIsProxy ? "through the proxy " : "from ") + PeerText + ")");
    CloseQuietly();
    throw;
  } catch (const EIdHTTPProtocolException&) {
    throw;  // the connection is closed or ready for the next request
  } catch (...) {
    CloseQuietly();
    throw;
  }
}

// ---- The component -------------------------------------------------------------

TIdHTTP::TIdHTTP(TComponent* owner)
    : TComponent(owner),
      FRequest(std::make_unique<TIdHTTPRequest>()),
      FProxyParams(std::make_unique<TIdProxyParams>()),
      FImpl(std::make_unique<Impl>(*this)) {
  StartWinsock();
}

TIdHTTP::~TIdHTTP() { FImpl->Close(false); }

void TIdHTTP::Get(const std::string& url, TStream& dest) { FImpl->Get(url, dest); }

std::string TIdHTTP::Get(const std::string& url) {
  TStringStream s;
  FImpl->Get(url, s);
  return s.DataString();
}

void TIdHTTP::Disconnect() {
  if (FImpl->InTransfer) {
    FImpl->Cancel = true;
    // Another thread only asks; the transferring thread closes within 100 ms.
    if (GetCurrentThreadId() != FImpl->TransferThread) return;
  }
  FImpl->Close(true);
}

bool TIdHTTP::Connected() const { return FImpl->Sock != INVALID_SOCKET; }

int TIdHTTP::ResponseCode() const { return FImpl->ResponseCode; }

const std::string& TIdHTTP::ResponseText() const { return FImpl->ResponseText; }
