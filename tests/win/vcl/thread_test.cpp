#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "forms.h"
#include "thread.h"

namespace {

class TWorker : public TThread {
 public:
  TWorker() : TThread(true) {}
  std::atomic<int> steps{0};
  DWORD syncThread = 0;
  std::string caught;

 protected:
  void Execute() override {
    Synchronize([this] { syncThread = GetCurrentThreadId(); });
    try {
      Synchronize([] { throw Exception("raised on the main thread"); });
    } catch (const Exception& e) {
      caught = e.Message();
    }
    while (!Terminated()) {
      ++steps;
      Sleep(5);
    }
    ReturnValue = 7;
  }
};

TEST(TThread, SynchronizeRunsOnTheMainThreadAndCarriesExceptionsBack) {
  TWorker w;
  EXPECT_EQ(w.steps, 0);  // created suspended
  w.Start();
  // WaitFor on the main thread runs the worker's synchronised calls.
  for (int i = 0; i < 500 && w.caught.empty(); ++i) {
    Application->ProcessMessages();
    Sleep(2);
  }
  w.Terminate();
  EXPECT_EQ(w.WaitFor(), 7);
  EXPECT_EQ(w.syncThread, GetCurrentThreadId());
  EXPECT_EQ(w.caught, "raised on the main thread");
  EXPECT_TRUE(w.Finished());
}

class TSelfFreeing : public TThread {
 public:
  explicit TSelfFreeing(std::atomic<bool>* gone) : TThread(true), FGone(gone) { FreeOnTerminate = true; }
  ~TSelfFreeing() override { *FGone = true; }

 protected:
  void Execute() override { Synchronize([] {}); }

 private:
  std::atomic<bool>* FGone;
};

TEST(TThread, FreeOnTerminateDeletesItselfAfterExecute) {
  std::atomic<bool> gone{false};
  (new TSelfFreeing(&gone))->Start();
  for (int i = 0; i < 1000 && !gone; ++i) {
    Application->ProcessMessages();
    Sleep(2);
  }
  EXPECT_TRUE(gone);
}

}  // namespace
