// The client component of the SwinHttp unit: one exchange through WinInet
// (open, send with the certificate acceptance, read, close, proxy sign-in),
// the request queue, the worker thread and the events.
//
// Who touches what. The caller's thread (the main thread) appends to the
// queue, runs every event handler and may call Clear at any moment, also from
// inside a handler. The queue is processed by one processor at a time: the
// component's worker thread, or a pass of ReceiveAll on the caller's thread.
// A processor holds its run's Gate while it touches the component and lets it
// go around every call that may block: a send, a read, a dialog, a handler
// (run on the main thread, or called directly on the caller's thread) and the
// worker's idle wait. Clear takes the Gate to abandon the processor: from then
// on the processor touches nothing of the component again and leaves as soon
// as its blocking call returns, freeing the request it was processing itself.
// So Clear never waits for a transfer, may run inside a handler, and frees
// nothing the processor still uses; the component may even be destroyed while
// its abandoned worker is still blocked in a read. The request handle's
// time-outs bound how long such a worker lingers, since closing a handle does
// not abort a blocked call everywhere.
#include <windows.h>
#include <wininet.h>

#include "SwinHttp.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

// The Windows codes the component reports beyond WinInet's own.
constexpr uint32_t kUnrecognizedScheme = ERROR_INTERNET_UNRECOGNIZED_SCHEME;  // 12006
constexpr uint32_t kInternalError = ERROR_INTERNET_INTERNAL_ERROR;            // 12004

// Certificate acceptances per exchange: a platform that keeps reporting an
// untrusted authority after an acceptance would otherwise repeat the send
// for ever.
constexpr int kMaxCertificateAcceptances = 4;
// Proxy sign-in rounds per request, for the same reason.
constexpr int kMaxSignInRounds = 10;
// The worker's polling interval.
constexpr DWORD kPollMs = 30;

// Thrown inside a processor that Clear has abandoned, after a blocking call
// returned; caught where the processor leaves the component. Not an
// Exception, so that nothing that discards a caller's errors swallows it.
struct EAbandoned {};

uint32_t LastErrorOr(uint32_t fallback) {
  const DWORD e = GetLastError();
  return e ? e : fallback;
}

}  // namespace

// One processor of a component's queue. Shared by the component and the
// processor, so that it outlives whichever of them goes first.
struct TSwRun {
  TSwRun(TSwinHttp* owner, TSwThread* thread)
      : Owner(owner),
        Thread(thread),
        Wake(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
        Done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~TSwRun() {
    if (Wake) CloseHandle(Wake);
    if (Done) CloseHandle(Done);
  }
  TSwRun(const TSwRun&) = delete;
  TSwRun& operator=(const TSwRun&) = delete;

  TSwinHttp* const Owner;
  TSwThread* const Thread;  // none: a pass on the caller's thread
  std::mutex Gate;
  std::atomic<bool> Abandoned{false};  // written under Gate
  bool Retire = false;                 // under Gate: the worker ends once the queue is empty
  TSwRequest* InProcess = nullptr;     // under Gate
  std::unique_ptr<TSwRequest> Orphan;  // the request in process when abandoned; the processor frees it
  int HandlerDepth = 0;                // main thread only: this worker's handlers running now
  HANDLE Wake;                         // a request was queued, or the worker is to end
  HANDLE Done;                         // the worker has left for good
};

namespace {

// The run whose Gate this thread holds right now, if any.
thread_local TSwRun* tRun = nullptr;

TSwRun* RunOf(const TSwinHttp* owner) { return tRun && tRun->Owner == owner ? tRun : nullptr; }

// Runs a call that may block with the processor's Gate released. Afterwards
// the processor holds the Gate again, or leaves through EAbandoned when Clear
// abandoned it meanwhile. f must capture nothing of the component that it
// reads after the call.
template <class F>
auto Unlocked(const TSwinHttp* owner, F&& f) {
  TSwRun* run = RunOf(owner);
  if (!run) return f();
  tRun = nullptr;
  run->Gate.unlock();
  struct Relock {
    TSwRun* run;
    ~Relock() {
      run->Gate.lock();
      tRun = run;
    }
  };
  decltype(f()) result;
  {
    Relock relock{run};
    result = f();
  }
  if (run->Abandoned) throw EAbandoned{};
  return result;
}

}  // namespace

// ---- Class information and registration --------------------------------------

static std::vector<TPropInfo> SwinHttpProps() {
  return TPropBuilder<TSwinHttp>()
      .FieldRO("Error", &TSwinHttp::Error)
      .Field("Silent", &TSwinHttp::Silent, false)
      .Field("InThread", &TSwinHttp::InThread, true)
      .Field("CookiesSelf", &TSwinHttp::CookiesSelf, false)
      .Field("NoAutoRedirect", &TSwinHttp::NoAutoRedirect, false)
      .Field("BufferSize", &TSwinHttp::BufferSize, uint32_t{4096})
      .Object("Proxy", [](const TSwinHttp& h) { return h.Proxy.get(); })
      .Object("Request", [](const TSwinHttp& h) { return h.Request.get(); })
      .Event("OnWorkBegin", &TSwinHttp::OnWorkBegin)
      .Event("OnWork", &TSwinHttp::OnWork)
      .Event("OnWorkEnd", &TSwinHttp::OnWorkEnd)
      .Done();
}
VCL_DEFINE_CLASS(TSwinHttp, TComponent, &CreateComponentOf<TSwinHttp>, &SwinHttpProps)
VCL_DEFINE_CLASS(TSwThread, TThread, nullptr, nullptr)

namespace swinhttp {
void Register() { vcl::RegisterComponents("Internet", {&TSwinHttp::StaticClass()}); }
}  // namespace swinhttp

// ---- Construction ---------------------------------------------------------------

TSwinHttp::TSwinHttp(TComponent* owner)
    : TComponent(owner),
      Response(std::make_unique<TSwResponse>()),
      Request(std::make_unique<TSwRequest>()),
      Queue(std::make_unique<TList>()),
      Proxy(std::make_unique<TSwProxies>()) {
  Clear();
}

// Clear abandons a worker without waiting for it; the records go with the
// members afterwards.
TSwinHttp::~TSwinHttp() { Clear(); }

// ---- One exchange ---------------------------------------------------------------

bool TSwinHttp::Open() {
  if (InternetHandle) Close();
  const TSwURL& url = *CurrentRequest->url;
  const TSwProxy* entry = nullptr;
  if (url.Scheme == SwSchemeHttp) entry = Proxy->HttpProxy.get();
  else if (url.Scheme == SwSchemeHttps) entry = Proxy->HttpsProxy.get();
  if (!entry) {
    // Nothing can be opened for it; say so rather than leave Error at 0.
    Error = kUnrecognizedScheme;
    return false;
  }

  DWORD access = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string list;
  switch (entry->Protocol) {
    case ppAuto: break;
    case ppNone: access = INTERNET_OPEN_TYPE_DIRECT; break;
    default:
      access = INTERNET_OPEN_TYPE_PROXY;
      list = Proxy->List();
      break;
  }
  InternetHandle.Reset(InternetOpenA(CurrentRequest->Agent.c_str(), access,
                                     access == INTERNET_OPEN_TYPE_PROXY ? list.c_str() : nullptr,
                                     Proxy->Bypass.c_str(), 0));
  if (!InternetHandle) {
    Error = LastErrorOr(kInternalError);
    return false;
  }

  const bool withUser = !url.User.empty();
  ConnectHandle.Reset(InternetConnectA(InternetHandle.Get(), url.Host.c_str(),
                                       static_cast<INTERNET_PORT>(url.Port & 0xFFFF),
                                       withUser ? url.User.c_str() : nullptr, withUser ? url.Pass.c_str() : nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  // The connect call's own error, before the option calls overwrite it.
  const uint32_t connectError = ConnectHandle ? 0 : LastErrorOr(kInternalError);
  if (!Proxy->User.empty())
    InternetSetOptionA(ConnectHandle.Get(), INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(Proxy->User.c_str()),
                       static_cast<DWORD>(Proxy->User.size()));
  // A user name without a password still gets the password option, set to
  // the empty text: Wine's WinInet crashes on a proxy's Basic challenge when
  // it holds a proxy user name but no password at all.
  if (!Proxy->Pass.empty() || !Proxy->User.empty())
    InternetSetOptionA(ConnectHandle.Get(), INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(Proxy->Pass.c_str()),
                       static_cast<DWORD>(Proxy->Pass.size()));
  if (!ConnectHandle) {
    Error = connectError;
    return false;
  }
  return true;
}

void TSwinHttp::Close() {
  RequestHandle.Reset();
  ConnectHandle.Reset();
  InternetHandle.Reset();
}

void TSwinHttp::OpenRequest() {
  SetLastError(0);
  Response->GetContent()->SetSize(0);
  Error = 0;
  if (!Open()) return;

  const TSwURL& url = *CurrentRequest->url;
  DWORD flags = INTERNET_FLAG_RELOAD;
  if (url.Scheme == SwSchemeHttps)
    flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  if (CookiesSelf) flags |= INTERNET_FLAG_NO_COOKIES;
  if (NoAutoRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  const char* verb = CurrentRequest->PostData.empty() ? nullptr : "POST";
  const std::string object = url.Path + url.Extra;

  SetLastError(0);
  RequestHandle.Reset(HttpOpenRequestA(ConnectHandle.Get(), verb, object.c_str(), "HTTP/1.0",
                                       CurrentRequest->Referer.c_str(), nullptr, flags, 0));
  if (!RequestHandle) {
    Error = LastErrorOr(kInternalError);
    return;
  }
  if (Timeout) {
    DWORD ms = Timeout;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
      InternetSetOptionA(RequestHandle.Get(), option, &ms, sizeof ms);
  }

  // The texts go to the send as copies: the send may block, and the request
  // must not be reached through the component meanwhile.
  const std::string headers = CurrentRequest->Headers->Text();
  const std::string post = CurrentRequest->PostData;
  // Both are sent as texts: up to their first zero byte.
  const DWORD headersLength = static_cast<DWORD>(std::strlen(headers.c_str()));
  const DWORD postLength = static_cast<DWORD>(std::strlen(post.c_str()));
  const HINTERNET request = RequestHandle.Get();
  for (int accepted = 0;;) {
    Error = Unlocked(this, [&]() -> uint32_t {
      SetLastError(0);
      const BOOL ok = HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(), headersLength,
                                       post.empty() ? nullptr : const_cast<char*>(post.c_str()), postLength);
      return ok ? 0 : LastErrorOr(kInternalError);
    });
    if (Error != ERROR_INTERNET_INVALID_CA) break;
    if (accepted++ == kMaxCertificateAcceptances || !AcceptCertificate()) return;  // Error stays 12045
  }
  if (Error == 0) Response->FillResponse(RequestHandle.Get());
}

// An untrusted certificate authority: silently, or after the user's yes in
// the platform's dialog, which then changes the request's options itself.
bool TSwinHttp::AcceptCertificate() {
  const HINTERNET request = RequestHandle.Get();
  if (Silent) {
    DWORD flags = 0;
    DWORD length = sizeof flags;
    InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    return true;
  }
  const DWORD answer = Unlocked(this, [&] {
    void* data = nullptr;
    return InternetErrorDlg(GetDesktopWindow(), request, ERROR_INTERNET_INVALID_CA,
                            FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                            &data);
  });
  if (answer != ERROR_SUCCESS) return false;
  Silent = true;
  return true;
}

uint32_t TSwinHttp::ReadChunk(void* buffer, uint32_t count, uint32_t& error) {
  error = 0;
  const HINTERNET request = RequestHandle.Get();
  if (!request) return 0;
  DWORD got = 0;
  const BOOL ok = Unlocked(this, [&] {
    const BOOL r = InternetReadFile(request, buffer, count, &got);
    if (!r) error = LastErrorOr(kInternalError);
    return r;
  });
  return ok ? got : 0;
}

uint32_t TSwinHttp::Read(void* buffer, uint32_t count) {
  uint32_t ignored;
  return ReadChunk(buffer, count, ignored);
}

void TSwinHttp::ProxySignIn() {
  if (Silent) return;
  for (int round = 0; round < kMaxSignInRounds; ++round) {
    const HINTERNET request = RequestHandle.Get();
    const DWORD answer = Unlocked(this, [&] {
      void* data = nullptr;
      return InternetErrorDlg(GetDesktopWindow(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
                              FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                  FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                              &data);
    });
    if (answer != ERROR_SUCCESS && answer != ERROR_INTERNET_FORCE_RETRY) return;
    auto option = [&](DWORD which) {
      char text[128] = {};
      DWORD length = sizeof text;
      InternetQueryOptionA(RequestHandle.Get(), which, text, &length);
      return std::string(text, strnlen(text, sizeof text));
    };
    Proxy->User = option(INTERNET_OPTION_PROXY_USERNAME);
    Proxy->Pass = option(INTERNET_OPTION_PROXY_PASSWORD);
    Close();
    OpenRequest();
    // A retry that failed before the reply keeps the old 407 in Code; it is
    // no reason to ask again.
    if (Error != 0 || Response->Code != 407) return;
  }
}

// ---- The caller's operations ------------------------------------------------------

void TSwinHttp::Get(const std::string& url) {
  Request->url->SetUrl(url);
  DoRequest();
}

void TSwinHttp::Post(const std::string& url, const std::string& data) {
  Request->PostData = data;
  Get(url);
}

void TSwinHttp::DoRequest() {
  bool useWorker = InThread;
  if (!useWorker && Worker) {
    // InThread was switched off while a worker exists: let it finish what is
    // queued and end before this request runs here, so that two processors
    // never work on one queue.
    switch (RetireWorker()) {
      case TRetire::Gone: return;         // a handler destroyed the component meanwhile
      case TRetire::Busy: useWorker = true; break;  // called from one of its handlers: it keeps the queue
      case TRetire::Done: break;
    }
  }

  auto copy = std::make_unique<TSwRequest>();
  copy->Assign(Request.get());
  {
    std::lock_guard<std::mutex> lock(FQueueLock);
    Queue->Add(Request.get());
  }
  Request.release();  // the queue owns it now
  Request = std::move(copy);
  ++Pending;

  if (useWorker) {
    if (Worker) {
      SetEvent(FWorkerRun->Wake);
      return;
    }
    auto* worker = new TSwThread(true);
    worker->FreeOnTerminate = true;
    worker->OwnerComponent = this;
    FWorkerRun = std::make_shared<TSwRun>(this, worker);
    worker->FRun = FWorkerRun;
    Worker = worker;
    worker->Resume();
    return;
  }
  Worker = nullptr;
  ReceiveAll();
}

TSwinHttp::TRetire TSwinHttp::RetireWorker() {
  std::shared_ptr<TSwRun> run = FWorkerRun;
  if (!run) {
    Worker = nullptr;
    return TRetire::Done;
  }
  // Inside one of its handlers the worker waits for us: it cannot be waited for.
  if (run->HandlerDepth > 0) return TRetire::Busy;
  {
    std::lock_guard<std::mutex> lock(run->Gate);
    run->Retire = true;
  }
  SetEvent(run->Wake);
  // Its events still need the main thread while it finishes.
  const std::weak_ptr<char> alive = FAlive;
  for (;;) {
    vcl::CheckSynchronize();
    const DWORD r = MsgWaitForMultipleObjects(1, &run->Done, FALSE, kPollMs, QS_POSTMESSAGE | QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) break;
  }
  if (alive.expired()) return TRetire::Gone;
  if (FWorkerRun == run) {  // not replaced by a handler's Clear and Get meanwhile
    FWorkerRun.reset();
    Worker = nullptr;
  }
  return TRetire::Done;
}

void TSwinHttp::ReceiveAll() {
  if (TSwRun* run = RunOf(this); run && run->Thread) {
    ProcessHead();  // the worker's pass; it holds the Gate
    return;
  }
  // A pass already under way (a handler of it calling in, or a worker)
  // would otherwise process the same head twice.
  if (FCallerRun || Worker) return;

  auto run = std::make_shared<TSwRun>(this, nullptr);
  FCallerRun = run;
  TSwRun* const outer = tRun;
  run->Gate.lock();
  tRun = run.get();
  auto leave = [&] {
    tRun = outer;
    run->Gate.unlock();
  };
  try {
    ProcessHead();
  } catch (const EAbandoned&) {
    // Cleared or destroyed from a handler: touch nothing of the component.
    leave();
    run->Orphan.reset();
    return;
  } catch (...) {
    leave();
    FCallerRun.reset();
    throw;
  }
  leave();
  FCallerRun.reset();
}

// One request from its exchange to its events; the processor holds its Gate.
void TSwinHttp::ProcessHead() {
  if (Pending <= 0) return;
  TSwRun* const run = RunOf(this);
  const bool onWorker = run && run->Thread;
  {
    std::lock_guard<std::mutex> lock(FQueueLock);
    if (Queue->Count() == 0) return;
    CurrentRequest = static_cast<TSwRequest*>(Queue->First());
  }
  if (run) run->InProcess = CurrentRequest;

  try {
    std::vector<char> buffer(BufferSize);
    OpenRequest();
    if (Response->Code == 407) ProxySignIn();
    SyncEvent(OnWorkBegin);
    uint32_t readError = 0;
    for (;;) {
      const uint32_t n = ReadChunk(buffer.data(), BufferSize, readError);
      if (n) Response->GetContent()->WriteBuffer(buffer.data(), n);
      SyncEvent(OnWork);
      if (n == 0) break;
    }
    // A read that failed ended the body early: the transfer failed, even
    // though the exchange itself succeeded.
    if (readError && Error == 0) Error = readError;
    try {
      Response->GetContent()->SetPosition(0);
    } catch (...) {
      Close();
      throw;
    }
  } catch (const EAbandoned&) {
    throw;
  } catch (...) {
    // On the caller's thread the caller gets the error, and the request stays
    // at the head of the queue for the next call. No one would get it on the
    // worker: the request ends there with the failure in Error and its
    // OnWorkEnd, and the worker goes on with the queue.
    if (!onWorker) throw;
    Error = ERROR_WRITE_FAULT;
    try {
      throw;
    } catch (const std::bad_alloc&) {
      Error = ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
    }
    try {
      Response->GetContent()->SetPosition(0);
    } catch (...) {
    }
  }
  Close();
  SyncEvent(OnWorkEnd);

  TSwRequest* done = CurrentRequest;
  CurrentRequest = nullptr;
  if (run) run->InProcess = nullptr;
  {
    std::lock_guard<std::mutex> lock(FQueueLock);
    Queue->Remove(done);
  }
  delete done;
  --Pending;
}

void TSwinHttp::SyncEvent(const TSwNotify& handler) {
  if (!handler) return;
  const TSwNotify call = handler;  // a handler may reassign the event it runs for
  TSwRun* const run = RunOf(this);
  if (run && run->Thread) {
    TSwThread* const worker = run->Thread;
    Unlocked(this, [&] {
      try {
        worker->CallEvent(call);
      } catch (...) {
      }
      return 0;
    });
  } else {
    TSwinHttp* const self = this;
    TSwRequest* const request = CurrentRequest;
    Unlocked(this, [&] {
      try {
        call(self, request);
      } catch (...) {
      }
      return 0;
    });
  }
}

void TSwinHttp::Clear() {
  Pending = 0;
  // Abandon the processors: they leave at their next step without touching
  // the component, and free the request in process themselves.
  for (std::shared_ptr<TSwRun>* slot : {&FWorkerRun, &FCallerRun}) {
    const std::shared_ptr<TSwRun> run = std::move(*slot);
    slot->reset();
    if (!run) continue;
    std::lock_guard<std::mutex> gate(run->Gate);
    run->Abandoned = true;
    if (run->InProcess) {
      std::lock_guard<std::mutex> lock(FQueueLock);
      Queue->Remove(run->InProcess);
      run->Orphan.reset(run->InProcess);
      run->InProcess = nullptr;
    }
    if (run->Thread) {
      run->Thread->Terminate();
      SetEvent(run->Wake);
    }
  }
  Worker = nullptr;
  CurrentRequest = nullptr;
  Close();
  Request->Clear();
  Response->Clear();
  std::lock_guard<std::mutex> lock(FQueueLock);
  while (Queue->Count() > 0) {
    auto* r = static_cast<TSwRequest*>(Queue->Last());
    Queue->Delete(Queue->Count() - 1);
    delete r;
  }
}

// ---- The worker thread --------------------------------------------------------------

void TSwThread::CallEvent(const TSwNotify& handler) {
  EventHandler = handler;
  struct Reset {
    TSwThread* self;
    ~Reset() { self->EventHandler = nullptr; }
  } reset{this};
  if (EventHandler) Synchronize([this] { DoCallEvent(); });
}

void TSwThread::DoCallEvent() {
  // Cleared or destroyed since the worker asked: nothing to call it for.
  if (!FRun || FRun->Abandoned || !EventHandler) return;
  TSwRun& run = *FRun;
  ++run.HandlerDepth;
  struct Depth {
    TSwRun& run;
    ~Depth() { --run.HandlerDepth; }
  } depth{run};
  EventHandler(OwnerComponent, OwnerComponent->CurrentRequest);
}

void TSwThread::Execute() {
  TSwRun& run = *FRun;
  for (;;) {
    bool idle = true;
    {
      std::unique_lock<std::mutex> gate(run.Gate);
      if (run.Abandoned || Terminated()) break;
      TSwinHttp* const owner = OwnerComponent;
      if (owner->Pending > 0) {
        tRun = &run;
        try {
          owner->ReceiveAll();
        } catch (const EAbandoned&) {
          tRun = nullptr;
          break;
        } catch (...) {
          // ReceiveAll ends the worker's failed requests itself; nothing else
          // may end the worker and leave the component pointing at it.
        }
        tRun = nullptr;
        idle = owner->Pending <= 0;
      }
      if (idle && run.Retire) break;
    }
    // Another request waiting is taken up at once; otherwise the worker polls,
    // woken early when a request is queued or it is told to end.
    if (idle) WaitForSingleObject(run.Wake, kPollMs);
  }
  run.Orphan.reset();
  SetEvent(run.Done);
}
