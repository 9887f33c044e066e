// The WinInet HTTP component's unit: the records that describe one HTTP
// exchange (URL, request, response) and the proxy configuration, and an
// owner of WinInet handles.
//
// The declarations need no Windows header. The proxy records are pure code
// (SwProxies.cpp) and are built natively as well; everything that calls
// WinInet lives in SwinHttp.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "classes.h"

// WinInet's handle type, as wininet.h declares it.
typedef void* HINTERNET;

// ---- WinInet handles ---------------------------------------------------

// Owns one WinInet handle and closes it with InternetCloseHandle.
class TInetHandle {
 public:
  TInetHandle() = default;
  explicit TInetHandle(HINTERNET handle) : FHandle(handle) {}
  TInetHandle(const TInetHandle&) = delete;
  TInetHandle& operator=(const TInetHandle&) = delete;
  TInetHandle(TInetHandle&& other) noexcept : FHandle(other.Release()) {}
  TInetHandle& operator=(TInetHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~TInetHandle() { Reset(); }

  HINTERNET Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }
  // Gives the handle up without closing it.
  HINTERNET Release() noexcept {
    HINTERNET h = FHandle;
    FHandle = nullptr;
    return h;
  }
  // Closes the handle held, if any, and takes `handle`.
  void Reset(HINTERNET handle = nullptr) noexcept;

 private:
  HINTERNET FHandle = nullptr;
};

// ---- URL ------------------------------------------------------------------

// WinInet's scheme numbers.
enum : int32_t { SwSchemeHttp = 3, SwSchemeHttps = 4 };

// A URL split into its parts. The text form is split and composed by WinInet.
class TSwURL : public TPersistent {
  VCL_CLASS(TSwURL)
 public:
  TSwURL();

  // WinInet's scheme number (3 HTTP, 4 HTTPS, or whatever a split reported).
  // Not published; seen through GetSSL.
  int32_t Scheme = SwSchemeHttp;
  std::string Host;
  uint32_t Port = 80;  // only the low 16 bits reach WinInet
  std::string Path;
  std::string Extra;  // query and fragment, the question mark included
  std::string User;
  std::string Pass;

  // Plain HTTP on port 80, every text empty.
  void Clear();
  bool GetSSL() const { return Scheme == SwSchemeHttps; }
  // The scheme only; the port stays as it is.
  void SetSSL(bool ssl) { Scheme = ssl ? SwSchemeHttps : SwSchemeHttp; }
  // Splits text into the fields (escapes decoded). A text that WinInet cannot
  // split changes nothing.
  void SetUrl(const std::string& text);
  // The fields as URL text; user and password only with a user. Empty when
  // WinInet cannot compose it.
  std::string GetUrl() const;

 protected:
  // Copies through the text form: the destination gets SetUrl(GetUrl()).
  void AssignTo(TPersistent* dest) const override;
};

// ---- Request --------------------------------------------------------------

// Everything that describes one request.
class TSwRequest : public TPersistent {
  VCL_CLASS(TSwRequest)
 public:
  static constexpr const char* DefaultAgent =
      "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";

  TSwRequest();
  ~TSwRequest() override;

  std::string Referer;
  std::string PostData;  // not empty: the request is a POST
  std::string Agent;     // passed whole when the Internet handle is opened
  const std::unique_ptr<TSwURL> url;
  // Extra header lines, "Name: value" each.
  const std::unique_ptr<TStringList> Headers;
  int32_t Tag = 0;  // the caller's; copied, never interpreted

  // Default agent, no referrer, no post data, cleared URL. Headers and Tag stay.
  void Clear();

 protected:
  void AssignTo(TPersistent* dest) const override;
};

// ---- Response -------------------------------------------------------------

// What came back: status, headers picked out of the reply, and the body.
// Assigning a response raises the assignment error.
class TSwResponse : public TPersistent {
  VCL_CLASS(TSwResponse)
 public:
  TSwResponse();
  ~TSwResponse() override;

  uint32_t Code = 0;  // HTTP status
  // Holds the body when the caller has given no stream of its own.
  const std::unique_ptr<TMemoryStream> InnerStream;

 private:
  TStream* Content = nullptr;  // the caller's stream, not owned

 public:
  // The whole reply header block, status line first, one line an entry.
  const std::unique_ptr<TStringList> Headers;
  std::string ContentType;
  std::string Cookies;  // the first Set-Cookie only
  std::string TransferEncoding;
  std::string Mime;
  std::string Server;
  std::string StatusText;
  uint32_t Size = 0;         // Content-Length; 0 when the reply has none
  double LastModifed = 0;    // days since 30 December 1899; 0 when absent or no date
  double Date = 0;

  // Empties the body and Headers, forgets the caller's stream, Code 0. The
  // other header fields keep the last reply's values.
  void Clear();
  // The caller's stream when one is set, otherwise InnerStream.
  TStream* GetContent() const { return Content ? Content : InnerStream.get(); }
  // The caller's stream (not owned); null goes back to InnerStream.
  void SetContent(TStream* stream) { Content = stream; }
  // The whole content stream as raw bytes; its position is kept.
  std::string GetBody() const;
  // Reads the reply's headers from an open WinInet request handle. Missing
  // headers give empty texts and zeros; raises nothing.
  void FillResponse(HINTERNET request);
};

// ---- Proxies --------------------------------------------------------------

// How requests of one kind reach the network.
enum TSwProxyProtocols : uint8_t {
  ppAuto,   // the system's preconfigured Internet settings
  ppNone,   // directly
  ppHttp,   // through an HTTP proxy
  ppHttps,  // through an HTTPS proxy
  ppSocks,  // through a SOCKS proxy
};
template <>
const TEnumInfo& EnumInfoOf<TSwProxyProtocols>();

// One proxy entry. Port declares the default 80 for persistence only: a
// stored 80 is not written out and so reads back as 0.
class TSwProxy : public TPersistent {
  VCL_CLASS(TSwProxy)
 public:
  std::string Host;
  int32_t Port = 0;  // 0: none given
  TSwProxyProtocols Protocol = ppAuto;

  // The entry as one element of a proxy list, "scheme://host[:port]";
  // empty for ppAuto and ppNone.
  std::string ProxyStr() const;

 protected:
  void AssignTo(TPersistent* dest) const override;
};

// The component's proxy configuration: one entry for HTTP requests, one for
// HTTPS requests, shared credentials and the bypass list. Assigning a whole
// set raises the assignment error.
class TSwProxies : public TPersistent {
  VCL_CLASS(TSwProxies)
 public:
  TSwProxies();
  ~TSwProxies() override;

  std::string User;
  std::string Pass;
  const std::unique_ptr<TSwProxy> HttpProxy;
  const std::unique_ptr<TSwProxy> HttpsProxy;
  std::string Bypass;  // handed to WinInet unchanged

  // The proxy list text for InternetOpenA: "http=" and the HTTP entry, then
  // the HTTPS entry unmarked, joined by a space.
  std::string List() const;
};
