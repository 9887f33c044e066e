// Drives a program from outside as a user and a UI-automation tool would:
// starts it, finds its windows and message boxes, clicks, presses keys and
// reads what the user sees through the program's automation messages
// (WM_COPYDATA "QRPC" queries answered with "ARPC").
// Every wait is bounded; a timeout raises DriverError.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

namespace driver {

struct DriverError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Default bound for every wait, in milliseconds.
constexpr DWORD kWait = 15000;

// A started program; ended by its id when the object goes away.
class Process {
 public:
  Process() = default;
  // commandTail is appended after the quoted program path.
  static Process Start(const std::string& exe, const std::string& commandTail = {},
                       const std::string& currentDir = {});
  Process(Process&& o) noexcept;
  Process& operator=(Process&& o) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  DWORD Id() const { return FId; }
  HANDLE Handle() const { return FProcess; }
  bool Running() const;
  // Waits for the end; returns the exit code. Raises on timeout.
  DWORD Wait(DWORD ms = kWait);
  void Kill();

 private:
  HANDLE FProcess = nullptr;
  DWORD FId = 0;
};

// Top-level windows of a process (visible or not), optionally by class.
std::vector<HWND> TopWindows(DWORD pid, const char* className = nullptr, bool visibleOnly = false);
// Waits until a visible top-level window of the process with this title
// (exact; any title when empty) exists and returns it.
HWND WaitForWindow(DWORD pid, const std::string& title = {}, DWORD ms = kWait);
std::string WindowText(HWND h);

// A standard message box (#32770 dialog with a static of id 0xFFFF).
struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
  bool hasIcon = false;
  std::vector<std::string> buttons;  // captions of the push buttons
};
// Waits for a message box of the process; raises on timeout.
MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD ms = kWait);
// A message box of the process if one is open now.
bool FindMessageBox(DWORD pid, MessageBoxInfo& info);
// Presses a button of a dialog (IDOK, IDYES, ...) and waits until it closes.
void Answer(HWND dialog, int buttonId = IDOK, DWORD ms = kWait);
// True while no message box of the process appears for ms milliseconds.
bool NoMessageBoxFor(DWORD pid, DWORD ms);

// The program's automation interface on one of its top-level windows.
class Automation {
 public:
  Automation();
  ~Automation();
  Automation(const Automation&) = delete;
  Automation& operator=(const Automation&) = delete;

  // Sends a query; returns the value after "OK ", raises DriverError with
  // the reason after "ERR ".
  std::string Query(HWND target, const std::string& query, DWORD ms = kWait);
  // Like Query but returns false (and the reason) instead of raising.
  bool TryQuery(HWND target, const std::string& query, std::string& answer, DWORD ms = kWait);

  std::string Get(HWND form, const std::string& property) { return Query(form, "GET " + property); }

  struct Component {
    std::string name, className;
    HWND hwnd = nullptr;
  };
  std::vector<Component> List(HWND form);
  RECT Bounds(HWND form, const std::string& component);

  // Clicks a control at the middle of its bounds with mouse messages, as a
  // user would (posted, so a modal box the click opens does not block).
  void Click(HWND form, const std::string& component);

 private:
  HWND FWindow = nullptr;
};

// Closes a kernel handle when it goes away.
struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

// Posted key press (down and up) to a window.
void PressKey(HWND target, WORD vk);

// A Unix path as a Windows program opens it (Z:\...); other paths unchanged.
std::string WinPath(const std::string& path);
// Unix path of the build seen from Windows (Z:\...), from an environment variable.
std::string EnvPath(const char* name);
std::string Env(const char* name);
// The whole content of a file (a Unix path is taken through Z:), shared with
// a writer that still has it open; empty when it cannot be opened.
std::string ReadFileText(const std::string& path);
// The body of the test server's /bytes/N: byte i is i mod 251.
std::string ServerBytes(size_t n);

// Polls cond every 10 ms until it holds or ms pass; returns the last result.
template <class F>
bool WaitUntil(F cond, DWORD ms = kWait) {
  DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start >= ms) return cond();
    Sleep(10);
  }
}

}  // namespace driver
