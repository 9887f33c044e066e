// Disconnect ends a running GET: from inside OnWork, and from a window's
// button while the server sends nothing at all.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "http_test_util.h"

TEST(IdHTTPCancel, DisconnectInsideOnWork) {
  TIdHTTP http(nullptr);
  http.RecvBufferSize = 8192;
  Recorder rec;
  rec.Attach(http);
  int calls = 0;
  http.OnWork = [&](TObject*, TWorkMode, int64_t count) {
    rec.work.push_back(count);
    if (++calls == 2) http.Disconnect();
  };
  TMemoryStream m;
  EXPECT_EQ(ErrorOf([&] { http.Get(Base() + "/bytes/1048576?drip=20&piece=8192", m); }),
            "EIdTransferCancelled: The transfer was cancelled");
  EXPECT_EQ(calls, 2);  // nothing more after the disconnect
  EXPECT_EQ(m.Size(), rec.work.back());
  EXPECT_LT(m.Size(), 1048576);
  EXPECT_FALSE(http.Connected());
  EXPECT_EQ(rec.Count(hsDisconnected), 1);
  EXPECT_EQ(rec.events.back(), "end");
  // The next transfer runs normally.
  http.OnWork = nullptr;
  EXPECT_EQ(http.Get(Base() + "/bytes/5"), ServerBytes(5));
}

namespace {
TIdHTTP* gHttp = nullptr;
std::atomic<int> gTicks{0};
std::atomic<int> gClicks{0};

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == 1) {
        ++gClicks;
        if (gHttp) gHttp->Disconnect();
      }
      return 0;
    case WM_TIMER:
      ++gTicks;
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

TEST(IdHTTPCancel, CancelButtonWorksWhileTheServerStalls) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = TestWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "IdHTTPCancelTest";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowA("IdHTTPCancelTest", "Download", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 120, nullptr,
                           nullptr, wc.hInstance, nullptr);
  ASSERT_NE(wnd, nullptr);
  HWND button = CreateWindowA("BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 30, wnd,
                              reinterpret_cast<HMENU>(1), wc.hInstance, nullptr);
  ASSERT_NE(button, nullptr);
  SetTimer(wnd, 1, 50, nullptr);

  TIdHTTP http(nullptr);
  gHttp = &http;
  gTicks = 0;
  const std::string marker = "/bytes/4300?stall=headers&id=cancel-button";

  // The driver clicks once the server has received the request (and so
  // stalls); every wait is bounded.
  std::atomic<bool> clicked{false};
  std::thread driver([&] {
    for (int i = 0; i < 200 && ServerLog().find(marker) == std::string::npos; ++i) Sleep(50);
    Sleep(300);
    PostMessageA(button, BM_CLICK, 0, 0);
    clicked = true;
  });
  TMemoryStream m;
  std::string error = ErrorOf([&] { http.Get(Base() + marker, m); });
  driver.join();
  gHttp = nullptr;
  KillTimer(wnd, 1);
  DestroyWindow(wnd);

  // Cancelled by the click, not ended by the 60 s read time-out.
  EXPECT_TRUE(clicked);
  EXPECT_EQ(gClicks, 1);
  EXPECT_EQ(error, "EIdTransferCancelled: The transfer was cancelled");
  EXPECT_EQ(m.Size(), 0);
  EXPECT_FALSE(http.Connected());
  // The window's timer kept running while the client waited.
  EXPECT_GT(gTicks, 2);
}
