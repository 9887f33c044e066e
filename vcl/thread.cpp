#include "thread.h"

#include <deque>
#include <mutex>

#include "msgpump.h"

namespace {
constexpr UINT kSyncMessage = WM_APP + 0x1F1;

struct SyncRequest {
  const std::function<void()>* method;
  std::exception_ptr error;
  HANDLE done;
};

std::mutex gSyncLock;
std::deque<SyncRequest*> gSyncQueue;
HWND gSyncWindow = nullptr;
DWORD gMainThread = 0;

LRESULT CALLBACK SyncWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == kSyncMessage) {
    vcl::CheckSynchronize();
    return 0;
  }
  return DefWindowProcA(h, m, w, l);
}
}  // namespace

namespace vcl {
void InitSynchronize() {
  if (gSyncWindow) return;
  gMainThread = GetCurrentThreadId();
  WNDCLASSA wc{};
  wc.lpfnWndProc = SyncWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CorvalloThreadSync";
  RegisterClassA(&wc);
  gSyncWindow = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

bool CheckSynchronize() {
  if (GetCurrentThreadId() != gMainThread) return false;
  bool ran = false;
  for (;;) {
    SyncRequest* r;
    {
      std::lock_guard<std::mutex> lock(gSyncLock);
      if (gSyncQueue.empty()) break;
      r = gSyncQueue.front();
      gSyncQueue.pop_front();
    }
    try {
      (*r->method)();
    } catch (...) {
      r->error = std::current_exception();
    }
    SetEvent(r->done);
    ran = true;
  }
  return ran;
}
}  // namespace vcl

VCL_DEFINE_CLASS(TThread, TObject, nullptr, nullptr)

TThread::TThread(bool createSuspended) {
  if (!gSyncWindow && IsGUIThread(FALSE)) vcl::InitSynchronize();
  FHandle = CreateThread(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &FThreadId);
  if (!FHandle) throw EThread(Format("Thread creation error: %lu", GetLastError()));
  if (!createSuspended) Start();
}

TThread::~TThread() {
  if (FStarted && !FFinished && GetCurrentThreadId() != FThreadId) {
    Terminate();
    WaitFor();
  }
  if (FHandle) CloseHandle(FHandle);
}

void TThread::Start() {
  if (FStarted) return;
  FStarted = true;
  ResumeThread(FHandle);
}

int TThread::WaitFor() {
  if (GetCurrentThreadId() == FThreadId) throw EThread("A thread cannot wait for itself");
  if (!FStarted) Start();
  if (GetCurrentThreadId() == gMainThread) {
    for (;;) {
      vcl::CheckSynchronize();
      DWORD r = MsgWaitForMultipleObjects(1, &FHandle, FALSE, INFINITE, QS_POSTMESSAGE | QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      // Let posted synchronisation wake-ups and sent messages through.
      MSG msg;
      while (PeekMessageA(&msg, gSyncWindow, kSyncMessage, kSyncMessage, PM_REMOVE)) {
      }
    }
  } else {
    WaitForSingleObject(FHandle, INFINITE);
  }
  return ReturnValue;
}

void TThread::Synchronize(const std::function<void()>& method) {
  if (!gSyncWindow || GetCurrentThreadId() == gMainThread) {
    method();
    return;
  }
  SyncRequest r{&method, nullptr, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  {
    std::lock_guard<std::mutex> lock(gSyncLock);
    gSyncQueue.push_back(&r);
  }
  PostMessageA(gSyncWindow, kSyncMessage, 0, 0);
  WaitForSingleObject(r.done, INFINITE);
  CloseHandle(r.done);
  if (r.error) std::rethrow_exception(r.error);
}

DWORD WINAPI TThread::ThreadProc(LPVOID p) {
  auto* self = static_cast<TThread*>(p);
  try {
    self->Execute();
  } catch (...) {
    self->FFatal = std::current_exception();
  }
  if (self->OnTerminate) {
    try {
      Synchronize([self] { self->OnTerminate(self); });
    } catch (...) {
    }
  }
  int result = self->ReturnValue;
  bool freeIt = self->FreeOnTerminate;
  self->FFinished = true;
  if (freeIt) delete self;
  return static_cast<DWORD>(result);
}
