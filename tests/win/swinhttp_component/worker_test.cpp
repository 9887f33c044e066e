// The client component's worker thread: events on the main thread, order of
// queued requests, handlers that raise, Clear and destruction while a
// request is in progress (also from inside a handler), switching InThread off
// while a worker exists, and a content stream that fails on the worker.
#include "component_util.h"

#include <stdexcept>

using namespace swtest;

namespace {

using WorkerFixture = ComponentFixture;

TEST_F(WorkerFixture, GetReturnsAtOnceAndRequestsRunInOrderOnTheMainThread) {
  http.Request->Tag = 1;
  http.Get(HttpBase() + "/bytes/6000");
  TSwThread* worker = http.Worker;
  ASSERT_NE(worker, nullptr);
  http.Request->Tag = 2;
  http.Get(HttpBase() + "/bytes/100?delay=50");
  EXPECT_EQ(http.Worker, worker);  // one worker takes both
  // No handler has run yet: they run only when the main thread takes its messages.
  EXPECT_TRUE(ev.log.empty());
  EXPECT_EQ(http.Pending, 2);
  ASSERT_TRUE(PumpUntil([&] { return ev.ends.size() == 2; }));
  EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:1", "work*3", "end:1", "begin:2", "work*2", "end:2"}));
  EXPECT_FALSE(ev.offMainThread);
  EXPECT_EQ(ev.ends[0].body, ServerBytes(6000));
  EXPECT_EQ(ev.ends[1].body, ServerBytes(100));
  EXPECT_EQ(ev.ends[1].position, 0);
  ASSERT_TRUE(PumpUntil([&] { return http.Pending == 0; }));
  EXPECT_EQ(http.Queue->Count(), 0);
  // The worker stays and polls for the next request.
  EXPECT_EQ(http.Worker, worker);
  http.Request->Tag = 3;
  http.Get(HttpBase() + "/bytes/10");
  ASSERT_TRUE(PumpUntil([&] { return ev.ends.size() == 3; }));
  EXPECT_EQ(ev.ends[2].tag, 3);
  EXPECT_EQ(http.Worker, worker);
}

// In both modes a handler that raises stops nothing: every later event fires
// and the body arrives whole.
TEST(TSwinHttpEvents, HandlersThatRaiseAreDiscardedInBothModes) {
  for (bool inThread : {false, true}) {
    SCOPED_TRACE(inThread ? "worker" : "caller's thread");
    TSwinHttp http(nullptr);
    http.InThread = inThread;
    Events ev;
    ev.Attach(http);
    const auto recordBegin = http.OnWorkBegin;
    const auto recordWork = http.OnWork;
    http.OnWorkBegin = [&](TObject* s, TSwRequest* r) {
      recordBegin(s, r);
      throw Exception("begin handler failed");
    };
    http.OnWork = [&](TObject* s, TSwRequest* r) {
      recordWork(s, r);
      throw std::runtime_error("work handler failed");
    };
    http.Get(HttpBase() + "/bytes/5000");
    ASSERT_TRUE(PumpUntil([&] { return !ev.ends.empty(); }));
    EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:0", "work*3", "end:0"}));
    EXPECT_EQ(ev.ends[0].error, 0u);
    EXPECT_EQ(ev.ends[0].body, ServerBytes(5000));
    OwnedHandle t = WorkerThread(http);
    http.Clear();
    if (inThread) {
      EXPECT_TRUE(ThreadEnds(t));
    }
  }
}

// Clear and destruction while the worker is blocked on a stalled server, in
// the read of the body or in the send (no reply at all): neither waits for
// it, nothing more reaches the handlers, and the worker ends once the
// request handle's time-out frees its call.
TEST(TSwinHttpWorker, ClearOrDestroyDuringAStalledTransfer) {
  struct Case {
    const char* name;
    const char* stall;
    bool destroy;
  } cases[] = {
      {"Clear in the read", "body", false},
      {"destruction in the read", "body", true},
      {"Clear in the send", "headers", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* http = new TSwinHttp(nullptr);
    http->Timeout = 1500;
    http->BufferSize = 5;
    Events ev;
    ev.Attach(*http);
    const std::string mark = "stalled=" + std::to_string(++n);
    http->Get(HttpBase() + "/bytes/1000?cut=10&stall=" + c.stall + "&" + mark);
    if (std::string(c.stall) == "body") {
      ASSERT_TRUE(PumpUntil([&] { return ev.log.size() >= 3; }));  // begin and the two reads that got data
    } else {
      // The server has the request and answers nothing: the worker waits in the send.
      ASSERT_TRUE(PumpUntil([&] { return ReadFileText(Env("CORVALLO_HTTP_LOG")).find(mark) != std::string::npos; }));
    }
    OwnedHandle worker = WorkerThread(*http);
    ASSERT_NE(worker.get(), nullptr);
    if (c.destroy) {
      delete http;
      http = nullptr;
    } else {
      http->Clear();
      EXPECT_EQ(http->Worker, nullptr);
      EXPECT_EQ(http->Pending, 0);
      EXPECT_EQ(http->Queue->Count(), 0);
      EXPECT_EQ(http->CurrentRequest, nullptr);
      EXPECT_EQ(http->Response->GetContent()->Size(), 0);
    }
    const auto seen = ev.log;
    EXPECT_TRUE(ThreadEnds(worker));
    EXPECT_EQ(ev.log, seen);  // no event after Clear
    if (http) {
      // The component goes on with a new worker.
      http->Get(HttpBase() + "/bytes/20");
      ASSERT_TRUE(PumpUntil([&] { return !ev.ends.empty(); }));
      EXPECT_EQ(ev.ends[0].body, ServerBytes(20));
      OwnedHandle next = WorkerThread(*http);
      delete http;
      EXPECT_TRUE(ThreadEnds(next));
    }
  }
}

// From inside a handler of the request in progress: Clear (then a new Get in
// the same handler), or the component's destruction.
TEST(TSwinHttpWorker, ClearOrDestroyFromInsideAHandler) {
  enum Action { kClear, kClearAndGet, kDestroy };
  for (bool inThread : {true, false}) {
    for (Action action : {kClear, kClearAndGet, kDestroy}) {
      SCOPED_TRACE(std::string(inThread ? "worker, " : "caller's thread, ") +
                   (action == kClear ? "Clear" : action == kClearAndGet ? "Clear and Get" : "destroy"));
      auto* http = new TSwinHttp(nullptr);
      http->InThread = inThread;
      Events ev;
      ev.Attach(*http);
      const auto recordWork = http->OnWork;
      bool acted = false;
      OwnedHandle worker;
      http->OnWork = [&](TObject* s, TSwRequest* r) {
        recordWork(s, r);
        if (acted) return;
        acted = true;
        auto* h = static_cast<TSwinHttp*>(s);
        worker = WorkerThread(*h);
        if (action == kDestroy) {
          delete h;
          http = nullptr;
          return;
        }
        h->Clear();
        // The handler's request is still readable: it is freed once the handler is done.
        EXPECT_EQ(r->url->Path, "/bytes/100000");
        if (action == kClearAndGet) {
          h->Request->Tag = 2;
          h->Get(HttpBase() + "/bytes/30");
        }
      };
      http->Request->Tag = 1;
      http->BufferSize = 1000;
      http->Get(HttpBase() + "/bytes/100000");
      if (action == kClearAndGet) {
        ASSERT_TRUE(PumpUntil([&] { return !ev.ends.empty(); }));
        EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:1", "work*1", "begin:2", "work*2", "end:2"}));
        EXPECT_EQ(ev.ends[0].body, ServerBytes(30));
      } else {
        ASSERT_TRUE(PumpUntil([&] { return acted; }));
      }
      if (inThread) {
        EXPECT_TRUE(ThreadEnds(worker));
      }
      if (action != kClearAndGet) {
        // Give a lost event every chance to arrive.
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:1", "work*1"}));
      }
      if (http) {
        OwnedHandle next = WorkerThread(*http);
        delete http;
        if (next) {
          EXPECT_TRUE(ThreadEnds(next));
        }
      }
    }
  }
}

// Switching InThread off while a worker exists: the worker finishes what is
// queued and ends, then the new request runs on the caller's thread and Get
// returns after its OnWorkEnd.
TEST_F(WorkerFixture, SwitchingInThreadOffLetsTheWorkerFinishFirst) {
  http.Request->Tag = 1;
  http.Get(HttpBase() + "/bytes/3000?delay=100");
  http.Request->Tag = 2;
  http.Get(HttpBase() + "/bytes/40");
  OwnedHandle worker = WorkerThread(http);
  http.InThread = false;
  http.Request->Tag = 3;
  http.Get(HttpBase() + "/bytes/50");
  EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:1", "work*2", "end:1", "begin:2", "work*2", "end:2",
                                                  "begin:3", "work*2", "end:3"}));
  EXPECT_EQ(http.Worker, nullptr);
  EXPECT_EQ(http.Pending, 0);
  EXPECT_TRUE(ThreadEnds(worker));
  ASSERT_EQ(ev.ends.size(), 3u);
  EXPECT_EQ(ev.ends[2].body, ServerBytes(50));
}

// A content stream that fails on the worker: that request ends with the
// failure in Error and its OnWorkEnd, the next one goes on, and the worker
// stays usable.
TEST_F(WorkerFixture, ContentStreamThatRaisesEndsOnlyThatRequest) {
  TShortStream full(1000);
  http.Response->SetContent(&full);
  http.Request->Tag = 1;
  http.Get(HttpBase() + "/bytes/5000");
  ASSERT_TRUE(PumpUntil([&] { return ev.ends.size() == 1; }));
  EXPECT_EQ(ev.Shape(), (std::vector<std::string>{"begin:1", "end:1"}));
  EXPECT_EQ(ev.ends[0].error, static_cast<uint32_t>(ERROR_WRITE_FAULT));
  EXPECT_EQ(ev.ends[0].position, 0);
  EXPECT_FALSE(http.RequestHandle);
  ASSERT_TRUE(PumpUntil([&] { return http.Pending == 0; }));
  EXPECT_EQ(http.Queue->Count(), 0);
  TSwThread* worker = http.Worker;
  ASSERT_NE(worker, nullptr);

  TMemoryStream room;
  http.Response->SetContent(&room);
  http.Request->Tag = 2;
  http.Get(HttpBase() + "/bytes/300");
  ASSERT_TRUE(PumpUntil([&] { return ev.ends.size() == 2; }));
  EXPECT_EQ(ev.ends[1].error, 0u);
  EXPECT_EQ(ev.ends[1].body, ServerBytes(300));
  EXPECT_EQ(http.Worker, worker);
}

}  // namespace
