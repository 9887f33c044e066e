// Drives the WinInet component for the benchmark script (run):
//
//   bench_swinhttp.exe latency URL COUNT worker|caller
//     COUNT GETs of URL one after another, each timed from the call of Get to
//     its OnWorkEnd (the main thread taking its messages meanwhile in worker
//     mode); prints "ms: <t>" per request.
//   bench_swinhttp.exe body URL BUFFERSIZE worker|caller
//     one GET of URL into a stream that keeps nothing, with a handler on each
//     event as a progress display has; prints "ms: <t>" and "bytes: <n>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "SwinHttp.h"
#include "forms.h"

namespace {

// Counts what is written, keeps nothing: the body's cost is the component's.
class TCountingStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    FPos += count;
    if (FPos > FSize) FSize = FPos;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    FPos = origin == soBeginning ? offset : origin == soCurrent ? FPos + offset : FSize + offset;
    return FPos;
  }
  void SetSize(int64_t size) override { FSize = size; }
  int64_t Size() override { return FSize; }

 private:
  int64_t FPos = 0, FSize = 0;
};

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// Takes the main thread's messages until done holds; false after 60 s.
template <class F>
bool Pump(F done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 60000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Application->ProcessMessages();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: bench_swinhttp latency URL COUNT worker|caller | body URL BUFFERSIZE worker|caller\n");
    return 2;
  }
  Application->Initialize();
  const std::string what = argv[1], url = argv[2];
  const int number = std::atoi(argv[3]);
  TSwinHttp http(nullptr);
  http.InThread = std::string(argv[4]) == "worker";
  int ends = 0;
  uint32_t error = 0;
  int64_t bytes = 0;
  int64_t progress = 0;
  http.OnWorkBegin = [&](TObject*, TSwRequest*) { progress = 0; };
  http.OnWork = [&](TObject*, TSwRequest*) { progress = http.Response->GetContent()->Size(); };
  http.OnWorkEnd = [&](TObject*, TSwRequest*) {
    error = http.Error;
    bytes = http.Response->GetContent()->Size();
    ++ends;
  };

  if (what == "latency") {
    for (int i = 0; i < number; ++i) {
      const double t0 = Now();
      http.Get(url);
      if (!Pump([&] { return ends == i + 1; })) {
        fprintf(stderr, "request %d did not end\n", i);
        return 1;
      }
      const double t = Now() - t0;
      if (error) {
        fprintf(stderr, "request %d failed: %u\n", i, error);
        return 1;
      }
      printf("ms: %.3f\n", t);
    }
  } else if (what == "body") {
    TCountingStream sink;
    http.BufferSize = static_cast<uint32_t>(number);
    http.Response->SetContent(&sink);
    const double t0 = Now();
    http.Get(url);
    if (!Pump([&] { return ends == 1; })) return 1;
    const double t = Now() - t0;
    if (error) {
      fprintf(stderr, "the GET failed: %u\n", error);
      return 1;
    }
    printf("ms: %.3f\nbytes: %lld\n", t, static_cast<long long>(bytes));
  }
  http.Clear();
  return 0;
}
