// Threads with synchronisation through the main thread's messages.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "classes.h"
#include "controls.h"

class TThread : public TObject {
  VCL_CLASS(TThread)
 public:
  // A suspended thread runs Execute only after Start (or Resume).
  explicit TThread(bool createSuspended);
  ~TThread() override;

  void Start();
  void Resume() { Start(); }
  // Asks Execute to end; does not wait.
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  bool Finished() const { return FFinished; }
  // Waits for the end of Execute, running synchronised calls meanwhile when
  // called on the main thread (so a thread waiting in Synchronize cannot
  // block it). Returns ReturnValue.
  int WaitFor();

  // The thread object deletes itself after Execute and OnTerminate.
  bool FreeOnTerminate = false;
  int ReturnValue = 0;
  // Runs on the main thread after Execute has ended.
  TNotifyEvent OnTerminate;

  HANDLE Handle() const { return FHandle; }
  DWORD ThreadID() const { return FThreadId; }
  // The exception that ended Execute, if any.
  std::exception_ptr FatalException() const { return FFatal; }

  // Runs method on the main thread and waits for it; an exception raised
  // there is raised again here. Called on the main thread, it runs at once.
  static void Synchronize(const std::function<void()>& method);

 protected:
  virtual void Execute() = 0;

 private:
  static DWORD WINAPI ThreadProc(LPVOID self);
  HANDLE FHandle = nullptr;
  DWORD FThreadId = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  bool FStarted = false;
  std::exception_ptr FFatal;
};

namespace vcl {
// Runs the synchronised calls waiting for the main thread; true when it ran any.
bool CheckSynchronize();
// Makes the main thread's synchronisation window; the application does it
// at initialisation. Must run on the main thread.
void InitSynchronize();
}  // namespace vcl
