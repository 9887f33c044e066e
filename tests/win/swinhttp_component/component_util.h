// Shared helpers of the client component's tests: the servers' addresses, a
// recorder of the component's events, bounded waits that keep the main
// thread's messages flowing, and content streams that fail.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "SwinHttp.h"
#include "driver.h"
#include "forms.h"

namespace swtest {

using driver::Env;
using driver::ReadFileText;
using driver::ServerBytes;

inline std::string HttpBase() { return "http://127.0.0.1:" + Env("CORVALLO_HTTP_PORT"); }
inline std::string TlsBase() { return "https://127.0.0.1:" + Env("CORVALLO_TLS_PORT"); }
inline int ProxyPort() { return std::atoi(Env("CORVALLO_PROXY_PORT").c_str()); }

// Runs the main thread's messages (and so the worker's events) until cond
// holds or ms pass; returns whether it holds.
template <class F>
bool PumpUntil(F cond, DWORD ms = 20000) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start >= ms) return cond();
    Application->ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

// What the handlers of one component saw, in order.
struct Events {
  struct End {
    uint32_t error = 0;
    uint32_t code = 0;
    std::string body;
    int64_t position = -1;
    TSwRequest* request = nullptr;
    int32_t tag = 0;
  };
  std::vector<std::string> log;  // "begin:<tag>", "work:<content size>", "end:<tag>"
  std::vector<End> ends;
  std::vector<TSwRequest*> requests;  // the Request argument of every event
  bool offMainThread = false;
  const DWORD mainThread = GetCurrentThreadId();

  void Attach(TSwinHttp& h) {
    h.OnWorkBegin = [this](TObject* sender, TSwRequest* r) {
      Note(r);
      log.push_back("begin:" + std::to_string(r->Tag));
      (void)sender;
    };
    h.OnWork = [this](TObject* sender, TSwRequest* r) {
      Note(r);
      log.push_back("work:" + std::to_string(static_cast<TSwinHttp*>(sender)->Response->GetContent()->Size()));
    };
    h.OnWorkEnd = [this](TObject* sender, TSwRequest* r) {
      Note(r);
      auto* http = static_cast<TSwinHttp*>(sender);
      End e;
      e.error = http->Error;
      e.code = http->Response->Code;
      e.body = http->Response->GetBody();
      e.position = http->Response->GetContent()->Position();
      e.request = r;
      e.tag = r->Tag;
      ends.push_back(e);
      log.push_back("end:" + std::to_string(r->Tag));
    };
  }
  void Reset() {
    log.clear();
    ends.clear();
    requests.clear();
    offMainThread = false;
  }
  void Note(TSwRequest* r) {
    if (GetCurrentThreadId() != mainThread) offMainThread = true;
    requests.push_back(r);
  }
  // The log with each run of OnWork collapsed into "work*<count>".
  std::vector<std::string> Shape() const {
    std::vector<std::string> out;
    for (const std::string& e : log) {
      if (e.rfind("work:", 0) == 0) {
        if (!out.empty() && out.back().rfind("work*", 0) == 0) {
          out.back() = "work*" + std::to_string(std::stoi(out.back().substr(5)) + 1);
          continue;
        }
        out.push_back("work*1");
        continue;
      }
      out.push_back(e);
    }
    return out;
  }
};

// A memory stream that takes only the first Limit bytes, as a file stream on
// a full disk does: a short write, so that WriteBuffer raises.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int64_t limit) : Limit(limit) {}
  int64_t Limit;
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t room = Limit - Position();
    if (room <= 0) return 0;
    return TMemoryStream::Write(buffer, count < room ? count : room);
  }
};

using driver::OwnedHandle;

// The worker's thread handle, to wait for its end after it was told to stop;
// empty without a worker.
inline OwnedHandle WorkerThread(const TSwinHttp& h) {
  HANDLE dup = nullptr;
  if (h.Worker)
    DuplicateHandle(GetCurrentProcess(), h.Worker->Handle(), GetCurrentProcess(), &dup, SYNCHRONIZE, FALSE, 0);
  return OwnedHandle(dup);
}
// Waits for a thread's end while the main thread's messages run.
inline bool ThreadEnds(const OwnedHandle& thread, DWORD ms = 20000) {
  if (!thread) return false;
  return PumpUntil([&] { return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }, ms);
}

// A component with its events recorded; after the test its queue is cleared
// and its worker, if any, has ended.
struct ComponentFixture : testing::Test {
  TSwinHttp http{nullptr};
  Events ev;
  void SetUp() override {
    http.Timeout = 10000;
    ev.Attach(http);
  }
  void TearDown() override {
    OwnedHandle t = WorkerThread(http);
    http.Clear();
    if (t) {
      EXPECT_TRUE(ThreadEnds(t));
    }
  }
  // Runs one request to its end in either mode.
  void Run(const std::string& url) {
    const size_t before = ev.ends.size();
    http.Get(url);
    ASSERT_TRUE(PumpUntil([&] { return ev.ends.size() > before; }));
  }
};

// The same processing on the caller's thread.
struct CallerFixture : ComponentFixture {
  void SetUp() override {
    ComponentFixture::SetUp();
    http.InThread = false;
  }
};

}  // namespace swtest
