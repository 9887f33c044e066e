#include "driver.h"

#include <cstdio>
#include <cstdlib>

namespace driver {

namespace {
constexpr ULONG_PTR kQuery = 0x43505251;   // "QRPC"
constexpr ULONG_PTR kAnswer = 0x43505241;  // "ARPC"

std::string ClassOf(HWND h) {
  char buf[256] = {};
  GetClassNameA(h, buf, sizeof buf);
  return buf;
}

[[noreturn]] void Fail(const std::string& what) { throw DriverError(what); }
}  // namespace

// ---- Process ------------------------------------------------------------

Process Process::Start(const std::string& exe, const std::string& commandTail, const std::string& currentDir) {
  std::string cmd = "\"" + exe + "\"";
  if (!commandTail.empty()) cmd += " " + commandTail;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi))
    Fail("cannot start " + exe + ": error " + std::to_string(GetLastError()));
  CloseHandle(pi.hThread);
  Process p;
  p.FProcess = pi.hProcess;
  p.FId = pi.dwProcessId;
  return p;
}

Process::Process(Process&& o) noexcept : FProcess(o.FProcess), FId(o.FId) {
  o.FProcess = nullptr;
  o.FId = 0;
}

Process& Process::operator=(Process&& o) noexcept {
  if (this != &o) {
    Kill();
    if (FProcess) CloseHandle(FProcess);
    FProcess = o.FProcess;
    FId = o.FId;
    o.FProcess = nullptr;
    o.FId = 0;
  }
  return *this;
}

Process::~Process() {
  Kill();
  if (FProcess) CloseHandle(FProcess);
}

bool Process::Running() const { return FProcess && WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT; }

DWORD Process::Wait(DWORD ms) {
  if (!FProcess) Fail("no process");
  if (WaitForSingleObject(FProcess, ms) != WAIT_OBJECT_0) Fail("process " + std::to_string(FId) + " did not end");
  DWORD code = 0;
  GetExitCodeProcess(FProcess, &code);
  return code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(FProcess, 1);
    WaitForSingleObject(FProcess, 5000);
  }
}

// ---- Windows --------------------------------------------------------------

std::vector<HWND> TopWindows(DWORD pid, const char* className, bool visibleOnly) {
  struct Ctx {
    DWORD pid;
    const char* cls;
    bool visible;
    std::vector<HWND> out;
  } ctx{pid, className, visibleOnly, {}};
  EnumWindows(
      [](HWND h, LPARAM lp) WINAPI -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner != c->pid) return TRUE;
        if (c->visible && !IsWindowVisible(h)) return TRUE;
        if (c->cls && ClassOf(h) != c->cls) return TRUE;
        c->out.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

std::string WindowText(HWND h) {
  int n = GetWindowTextLengthA(h);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

HWND WaitForWindow(DWORD pid, const std::string& title, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND h : TopWindows(pid, nullptr, true))
          if (title.empty() || WindowText(h) == title) {
            found = h;
            return true;
          }
        return false;
      },
      ms);
  if (!found) Fail("no window \"" + title + "\" of process " + std::to_string(pid));
  return found;
}

bool FindMessageBox(DWORD pid, MessageBoxInfo& info) {
  for (HWND h : TopWindows(pid, "#32770", true)) {
    HWND text = GetDlgItem(h, 0xFFFF);
    if (!text) continue;
    info = MessageBoxInfo{};
    info.hwnd = h;
    info.caption = WindowText(h);
    info.text = WindowText(text);
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      std::string cls = ClassOf(c);
      LONG style = GetWindowLongA(c, GWL_STYLE);
      // Wine keeps the icon static of a box without icon, visible and empty.
      if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
          SendMessageA(c, STM_GETICON, 0, 0) != 0)
        info.hasIcon = true;
      if (cls == "Button" && IsWindowVisible(c)) info.buttons.push_back(WindowText(c));
    }
    return true;
  }
  return false;
}

MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD ms) {
  MessageBoxInfo info;
  if (!WaitUntil([&] { return FindMessageBox(pid, info); }, ms))
    Fail("no message box of process " + std::to_string(pid));
  return info;
}

bool NoMessageBoxFor(DWORD pid, DWORD ms) {
  MessageBoxInfo info;
  return !WaitUntil([&] { return FindMessageBox(pid, info); }, ms);
}

void Answer(HWND dialog, int buttonId, DWORD ms) {
  HWND button = GetDlgItem(dialog, buttonId);
  if (button) PostMessageA(button, BM_CLICK, 0, 0);
  else PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
  if (!WaitUntil([&] { return !IsWindow(dialog); }, ms)) Fail("dialog did not close");
}

void PressKey(HWND target, WORD vk) {
  UINT scan = MapVirtualKeyA(vk, 0);
  PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

// ---- Automation -----------------------------------------------------------

namespace {
struct Pending {
  bool answered = false;
  std::string text;
};
thread_local Pending* gPending = nullptr;

LRESULT CALLBACK ReplyProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COPYDATA) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
    if (cds && cds->dwData == kAnswer && gPending) {
      gPending->text.assign(static_cast<const char*>(cds->lpData), cds->cbData);
      gPending->answered = true;
    }
    return TRUE;
  }
  return DefWindowProcA(h, m, w, l);
}
}  // namespace

Automation::Automation() {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CorvalloDriverReply";
    return RegisterClassA(&wc);
  }();
  (void)atom;
  FWindow = CreateWindowExA(0, "CorvalloDriverReply", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (!FWindow) Fail("cannot create the reply window");
}

Automation::~Automation() {
  if (FWindow) DestroyWindow(FWindow);
}

bool Automation::TryQuery(HWND target, const std::string& query, std::string& answer, DWORD ms) {
  Pending pending;
  gPending = &pending;
  COPYDATASTRUCT cds{};
  cds.dwData = kQuery;
  cds.cbData = static_cast<DWORD>(query.size());
  cds.lpData = const_cast<char*>(query.data());
  DWORD_PTR result = 0;
  LRESULT ok = SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(FWindow),
                                   reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, ms, &result);
  gPending = nullptr;
  if (!ok) {
    answer = "no answer to \"" + query + "\" (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (!pending.answered) {
    answer = "no reply to \"" + query + "\"";
    return false;
  }
  if (pending.text.rfind("OK ", 0) == 0) {
    answer = pending.text.substr(3);
    return true;
  }
  if (pending.text == "OK") {
    answer.clear();
    return true;
  }
  answer = pending.text.rfind("ERR ", 0) == 0 ? pending.text.substr(4) : pending.text;
  return false;
}

std::string Automation::Query(HWND target, const std::string& query, DWORD ms) {
  std::string answer;
  if (!TryQuery(target, query, answer, ms)) Fail(query + ": " + answer);
  return answer;
}

std::vector<Automation::Component> Automation::List(HWND form) {
  std::vector<Component> out;
  std::string text = Query(form, "LIST");
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.empty()) continue;
    char name[256] = {}, cls[256] = {};
    unsigned long handle = 0;
    if (sscanf(line.c_str(), "%255s %255s %lx", name, cls, &handle) >= 2)
      out.push_back({name, cls, reinterpret_cast<HWND>(static_cast<uintptr_t>(handle))});
  }
  return out;
}

RECT Automation::Bounds(HWND form, const std::string& component) {
  std::string t = Get(form, component + ".BoundsRect");
  RECT r{};
  if (sscanf(t.c_str(), "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) != 4)
    Fail("bad bounds \"" + t + "\" of " + component);
  return r;
}

void Automation::Click(HWND form, const std::string& component) {
  RECT r = Bounds(form, component);
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  HWND target = form;
  for (const Component& c : List(form))
    if (c.name == component && c.hwnd) target = c.hwnd;
  if (target != form) {
    // A windowed control takes the point in its own client coordinates.
    RECT cr{};
    GetClientRect(target, &cr);
    p = {cr.right / 2, cr.bottom / 2};
  }
  LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageA(target, WM_MOUSEMOVE, 0, at);
  PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(target, WM_LBUTTONUP, 0, at);
}

// ---- Environment ------------------------------------------------------------

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string WinPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string w = "Z:";
  for (char c : path) w += c == '/' ? '\\' : c;
  return w;
}

std::string EnvPath(const char* name) { return WinPath(Env(name)); }

std::string ReadFileText(const std::string& path) {
  std::string out;
  HANDLE h = CreateFileA(WinPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  const OwnedHandle file(h);
  char buf[4096];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  return out;
}

std::string ServerBytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

}  // namespace driver
