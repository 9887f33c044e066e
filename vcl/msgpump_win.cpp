#include <windows.h>

#include <atomic>

#include "msgpump.h"

namespace vcl {
namespace {
std::atomic<void (*)()> gPump{nullptr};
std::atomic<unsigned long> gPumpThread{0};
}  // namespace

void SetMessagePump(void (*pump)(), unsigned long threadId) {
  gPump = pump;
  gPumpThread = threadId;
}

bool IsGuiThread() {
  unsigned long t = gPumpThread;
  return t != 0 ? t == GetCurrentThreadId() : IsGUIThread(FALSE) != FALSE;
}

void ProcessPendingMessages() {
  if (!IsGuiThread()) return;
  if (auto pump = gPump.load()) {
    pump();
    return;
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
}  // namespace vcl
