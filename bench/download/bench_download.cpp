// One GET of a URL into a file, with progress events that do what the update
// window's handlers do: set a progress value, repaint a small window at once
// and process pending messages. Prints
//   get_ms: <wall time of the GET>
//   bytes: <body size>
//   peak_working_set_kib: <peak working set as Windows reports it>
//
//   bench_download.exe URL FILE [RECVBUFFER [bare]]   (bare: no OnWork handler)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "IdHTTP.h"
#include "msgpump.h"

namespace {
int64_t gMax = 100;
int64_t gProgress = 0;
int gWorkEvents = 0;
LARGE_INTEGER gInHandlers{};

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    RECT bar = r;
    bar.right = static_cast<LONG>(r.left + (r.right - r.left) * (gMax > 0 ? gProgress * 100 / gMax : 0) / 100);
    FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    char text[32];
    int n = snprintf(text, sizeof text, "%d%%", static_cast<int>(gMax > 0 ? gProgress * 100 / gMax : 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 4, 2, text, n);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: bench_download URL FILE [RECVBUFFER [bare]]\n");
    return 2;
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "BenchGauge";
  RegisterClassA(&wc);
  HWND gauge = CreateWindowA("BenchGauge", "Download", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 60, nullptr, nullptr,
                             wc.hInstance, nullptr);

  TIdHTTP http(nullptr);
  http.RecvBufferSize = argc > 3 ? std::atoi(argv[3]) : 128000;  // as the update window sets it
  http.HandleRedirects = true;
  http.OnWorkBegin = [](TObject*, TWorkMode, int64_t max) {
    if (max > 0) gMax = max;
  };
  http.OnWork = [gauge](TObject*, TWorkMode, int64_t count) {
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    gProgress = count;
    InvalidateRect(gauge, nullptr, FALSE);
    UpdateWindow(gauge);
    vcl::ProcessPendingMessages();
    QueryPerformanceCounter(&b);
    ++gWorkEvents;
    gInHandlers.QuadPart += b.QuadPart - a.QuadPart;
  };
  http.OnStatus = [](TObject*, TIdStatus, const std::string&) { vcl::ProcessPendingMessages(); };
  if (argc > 4) http.OnWork = nullptr;  // for comparison: no progress handling

  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  int64_t size = 0;
  try {
    TFileStream file(argv[2], fmCreate);
    QueryPerformanceCounter(&t0);
    http.Get(argv[1], file);
    QueryPerformanceCounter(&t1);
    size = file.Size();
  } catch (const Exception& e) {
    fprintf(stderr, "bench_download: %s\n", e.Message().c_str());
    return 1;
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  printf("get_ms: %.1f\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart);
  printf("bytes: %lld\n", static_cast<long long>(size));
  printf("work_events: %d\n", gWorkEvents);
  printf("in_handlers_ms: %.1f\n", gInHandlers.QuadPart * 1000.0 / freq.QuadPart);
  printf("peak_working_set_kib: %lu\n", static_cast<unsigned long>(pmc.PeakWorkingSetSize / 1024));
  DestroyWindow(gauge);
  return 0;
}
