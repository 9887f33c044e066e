// Process handles and the process list, for the running-module guard.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

// Owns one process handle; closes it when it goes away.
class ProcessHandle {
 public:
  ProcessHandle() = default;
  explicit ProcessHandle(HANDLE h) : FHandle(h) {}
  ProcessHandle(ProcessHandle&& o) noexcept : FHandle(o.Release()) {}
  ProcessHandle& operator=(ProcessHandle&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  ~ProcessHandle() { Reset(); }

  HANDLE Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }
  HANDLE Release() {
    HANDLE h = FHandle;
    FHandle = nullptr;
    return h;
  }
  void Reset(HANDLE h = nullptr) {
    if (FHandle) CloseHandle(FHandle);
    FHandle = h;
  }

 private:
  HANDLE FHandle = nullptr;
};

// The identifiers of every running process, in the order the system
// delivers them. The buffer starts with room for initialCapacity identifiers
// and doubles until the system fills less than it was given, so a busy
// machine is listed whole. Empty when the enumeration fails.
std::vector<DWORD> RunningProcessIds(size_t initialCapacity = 1024);
