// The WinInet HTTP component's unit: the records that describe one HTTP
// exchange (URL, request, response) and the proxy configuration, an owner of
// WinInet handles, and the client component TSwinHttp with its worker thread.
//
// The records' declarations need no Windows header. The proxy records are
// pure code (SwProxies.cpp) and are built natively as well; the records that
// call WinInet live in SwinHttp.cpp, the component in SwinHttpClient.cpp. The
// worker thread class is declared for Windows builds only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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

// ---- Client component -------------------------------------------------------

class TSwThread;
struct TSwRun;  // one processor of a component's queue (SwinHttpClient.cpp)

// The component's events: Sender is the component, Request the request being
// processed (the queued object, not what the component's Request holds by then).
using TSwNotify = TEvent<void(TObject* Sender, TSwRequest* Request)>;

// HTTP and HTTPS GET and POST requests through WinInet, one at a time, oldest
// first, on the caller's thread or on a worker thread of the component, with
// the events always run on the main thread.
//
// The caller fills in Request and calls Get or Post: the object that Request
// held goes into the queue and Request becomes a copy of it. The body arrives
// in Response's content stream, the reply's headers in Response's fields, the
// outcome in Error (0, or the system error code of the failed step).
class TSwinHttp : public TComponent {
  VCL_CLASS(TSwinHttp)
 public:
  explicit TSwinHttp(TComponent* owner);
  ~TSwinHttp() override;

  bool Silent = false;  // no dialogs: certificates and proxy sign-in handled without asking
  TSwNotify OnWork;
  TSwNotify OnWorkEnd;
  TSwNotify OnWorkBegin;
  uint32_t Error = 0;  // read-only for callers
  const std::unique_ptr<TSwResponse> Response;
  std::unique_ptr<TSwRequest> Request;
  TSwRequest* CurrentRequest = nullptr;  // owned by the queue; none between requests
  bool InThread = true;
  uint32_t BufferSize = 4096;  // bytes asked for by each read of the body
  TSwThread* Worker = nullptr;
  const std::unique_ptr<TList> Queue;  // of TSwRequest, oldest first, owning them
  // Queued requests. Changed by the caller's thread and the worker; atomic,
  // so that its increments and decrements are the interlocked ones.
  std::atomic<int32_t> Pending{0};
  const std::unique_ptr<TSwProxies> Proxy;
  bool CookiesSelf = false;     // WinInet neither sends nor stores cookies
  bool NoAutoRedirect = false;  // a redirect reply is returned, not followed
  TInetHandle InternetHandle;
  TInetHandle ConnectHandle;
  TInetHandle RequestHandle;
  // Bounds every wait of an exchange on the server (connect, send, receive),
  // in milliseconds; 0 leaves WinInet's own. A stalled server, Clear and the
  // component's destruction therefore end a transfer within this time also
  // where closing a handle does not abort a blocked call. Not published.
  uint32_t Timeout = 30000;

  // Request's URL from text (SetUrl), then DoRequest.
  void Get(const std::string& url);
  // Request's post data, then Get.
  void Post(const std::string& url, const std::string& data);
  // Drops every queued request, the one in process included, and stops the
  // worker; never waits for a transfer. Request and Response are cleared;
  // Error keeps its value. Allowed inside the component's event handlers.
  void Clear();
  // Queues the request that Request describes and has it processed.
  void DoRequest();
  // Processes the request at the head of the queue.
  void ReceiveAll();
  // Runs an event handler for the request being processed, on the main thread.
  void SyncEvent(const TSwNotify& handler);

  // The steps of one exchange, on CurrentRequest.
  bool Open();
  void Close();
  void OpenRequest();
  // Body bytes of the open request; 0 at the end, without a request, or on failure.
  uint32_t Read(void* buffer, uint32_t count);
  // The retry after a 407 reply: the platform's sign-in dialog, then the
  // exchange again with what the user typed.
  void ProxySignIn();

 protected:
  // Assigning the component to anything does nothing.
  void AssignTo(TPersistent*) const override {}

 private:
  enum class TRetire { Done, Busy, Gone };
  TRetire RetireWorker();
  void ProcessHead();
  bool AcceptCertificate();
  uint32_t ReadChunk(void* buffer, uint32_t count, uint32_t& error);

  std::mutex FQueueLock;  // the caller's appends against the worker's removals
  std::shared_ptr<TSwRun> FWorkerRun;  // the worker's, while Worker is set
  std::shared_ptr<TSwRun> FCallerRun;  // a pass on the caller's thread in progress
  std::shared_ptr<char> FAlive = std::make_shared<char>();  // gone with the component
};

namespace swinhttp {
// Registers TSwinHttp for the designer on the palette page "Internet".
void Register();
}  // namespace swinhttp

#if defined(_WIN32)
#include "thread.h"

// The worker thread of one component: polls the component's queue and
// processes it until told to terminate, then frees itself.
class TSwThread : public TThread {
  VCL_CLASS(TSwThread)
 public:
  explicit TSwThread(bool createSuspended) : TThread(createSuspended) {}

  TSwNotify EventHandler;  // waiting to run on the main thread; none when idle
  TSwinHttp* OwnerComponent = nullptr;

  // Hands the handler to the main thread and waits until it has run there;
  // an exception it raised is raised again here.
  void CallEvent(const TSwNotify& handler);
  // The main-thread side: EventHandler(OwnerComponent, its CurrentRequest).
  void DoCallEvent();

 protected:
  void Execute() override;

 private:
  friend class TSwinHttp;
  std::shared_ptr<TSwRun> FRun;
};
#endif
