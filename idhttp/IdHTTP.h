// A blocking HTTP/1.1 client component on Winsock.
//
// Transfers run on the calling thread. While it waits for the network the
// client keeps the GUI thread's windows alive (vcl::ProcessPendingMessages at
// least every 100 ms), and Disconnect, also called from inside one of its own
// events or from such a pump, ends the running transfer at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "classes.h"

enum TWorkMode { wmRead, wmWrite };
enum TIdStatus { hsResolving, hsConnecting, hsConnected, hsDisconnecting, hsDisconnected, hsStatusText };
enum TIdHTTPOption { hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams };
using TIdHTTPOptions = TSet<TIdHTTPOption>;
enum TIdMaxLineAction { maException, maSplit };

template <> const TEnumInfo& EnumInfoOf<TWorkMode>();
template <> const TEnumInfo& EnumInfoOf<TIdStatus>();
template <> const TEnumInfo& EnumInfoOf<TIdHTTPOption>();
template <> const TEnumInfo& EnumInfoOf<TIdMaxLineAction>();

// Announced length (0 when the response gives none).
using TWorkBeginEvent = TEvent<void(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
// Running total of bytes received in this transfer; at most every 15 ms
// while data streams in, and always once the body is complete.
using TWorkEvent = TEvent<void(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
using TWorkEndEvent = TEvent<void(TObject* Sender, TWorkMode AWorkMode)>;
using TIdStatusEvent = TEvent<void(TObject* ASender, TIdStatus AStatus, const std::string& AStatusText)>;

// Failures of the client (connection, protocol, status, time-out).
VCL_DECLARE_EXCEPTION(EIdException, Exception)
VCL_DECLARE_EXCEPTION(EIdSocketError, EIdException)
VCL_DECLARE_EXCEPTION(EIdConnClosedGracefully, EIdException)
VCL_DECLARE_EXCEPTION(EIdReadTimeout, EIdException)
VCL_DECLARE_EXCEPTION(EIdConnectTimeout, EIdException)
VCL_DECLARE_EXCEPTION(EIdProtocolError, EIdException)
// Disconnect ended a running transfer; whatever reached the stream is incomplete.
VCL_DECLARE_EXCEPTION(EIdTransferCancelled, EIdException)

// A non-success status after redirects. The message is the status line,
// for instance "HTTP/1.1 404 Not Found".
class EIdHTTPProtocolException : public EIdException {
 public:
  EIdHTTPProtocolException(int code, std::string message) : EIdException(std::move(message)), FCode(code) {}
  const char* ClassName() const override { return "EIdHTTPProtocolException"; }
  int ReplyErrorCode() const { return FCode; }

 private:
  int FCode;
};

class TIdHTTPRequest : public TPersistent {
  VCL_CLASS(TIdHTTPRequest)
 public:
  std::string Accept = "text/html, */*";
  std::string UserAgent = "Mozilla/3.0 (compatible; Corvallo HTTP client)";
};

class TIdProxyParams : public TPersistent {
  VCL_CLASS(TIdProxyParams)
 public:
  std::string ProxyServer;  // empty: direct connection
  int32_t ProxyPort = 0;
  std::string ProxyUsername;
  std::string ProxyPassword;
  bool BasicAuthentication = false;
};

class TIdHTTP : public TComponent {
  VCL_CLASS(TIdHTTP)
 public:
  explicit TIdHTTP(TComponent* owner);
  ~TIdHTTP() override;

  TIdHTTPRequest* Request() const { return FRequest.get(); }
  TIdProxyParams* ProxyParams() const { return FProxyParams.get(); }

  bool HandleRedirects = false;
  bool AllowCookies = true;
  TIdHTTPOptions HTTPOptions{hoForceEncodeParams};
  int32_t RecvBufferSize = 32768;  // read block; the client reads at least 1 MiB at a time
  TIdMaxLineAction MaxLineAction = maException;
  int32_t MaxLineLength = 16384;  // longest status, header or chunk-size line
  int32_t RedirectMaximum = 15;
  int32_t ConnectTimeout = 30000;  // ms
  int32_t ReadTimeout = 60000;     // ms without a byte

  TWorkBeginEvent OnWorkBegin;
  TWorkEvent OnWork;
  TWorkEndEvent OnWorkEnd;
  TIdStatusEvent OnStatus;

  // GET into a stream: the body is written to dest as it arrives.
  void Get(const std::string& url, TStream& dest);
  // GET as text: the body byte for byte.
  std::string Get(const std::string& url);
  // Closes the connection if one is open, else does nothing. Called during a
  // transfer (from one of its events, or from a window message processed
  // while it waits), it ends that transfer at once: the running Get raises
  // EIdTransferCancelled. From another thread it only asks; the transfer
  // ends within 100 ms.
  void Disconnect();
  bool Connected() const;

  // Status of the last response.
  int ResponseCode() const;
  const std::string& ResponseText() const;

 private:
  struct Impl;
  std::unique_ptr<TIdHTTPRequest> FRequest;
  std::unique_ptr<TIdProxyParams> FProxyParams;
  std::unique_ptr<Impl> FImpl;
};
