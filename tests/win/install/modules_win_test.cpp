// The running-module guard against real processes: copies of a fake module
// named as the suite's programs, started in the test's Wine prefix. The
// guard's message boxes are read and answered from a second thread, as a
// user would, while the main thread sits in the guard.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs.h"
#include "driver.h"
#include "modules.h"
#include "processes_win.h"

namespace {

const std::string kModuleFolder = "C:\\ProgramData\\Corvallo\\modules";
const std::string kWarning =
    "Warning! \r\nNext modules are running. \r\nPlease close that modules manually and press 'OK'\r\n";

std::string FakeModuleExe() {
  std::string w = "Z:";
  for (const char* p = FAKEMODULE_EXE; *p; ++p) w += *p == '/' ? '\\' : *p;
  return w;
}

// The base name the process's first module reports, once it can be read
// (a process that is just starting may refuse).
std::string BaseName(DWORD pid) {
  ProcessHandle h(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!h) return {};
  HMODULE m = nullptr;
  DWORD needed = 0;
  if (!EnumProcessModules(h.Get(), &m, sizeof m, &needed)) return {};
  char name[MAX_PATH] = {};
  if (!GetModuleBaseNameA(h.Get(), m, name, MAX_PATH)) return {};
  return name;
}

// Starts a copy of the fake module under fileName, with args.
driver::Process StartCopy(const std::string& fileName, const std::string& args) {
  CreateDirectoryA(kModuleFolder.c_str(), nullptr);
  const std::string exe = kModuleFolder + "\\" + fileName;
  if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES && !CopyFileA(FakeModuleExe().c_str(), exe.c_str(), TRUE))
    throw driver::DriverError("cannot copy " + FakeModuleExe() + " to " + exe);
  return driver::Process::Start(exe, args);
}

// Starts a copy and waits until the scan can read its name.
driver::Process StartModule(const std::string& fileName) {
  driver::Process p = StartCopy(fileName, "");
  const DWORD pid = p.Id();
  if (!driver::WaitUntil([&] { return BaseName(pid) == fileName; }))
    throw driver::DriverError("module " + fileName + " did not come up");
  return p;
}

// Starts a copy that refuses to be opened for reading or termination and
// waits until it does.
driver::Process StartProtectedModule(const std::string& fileName) {
  driver::Process p = StartCopy(fileName, "--protect");
  const DWORD pid = p.Id();
  if (!driver::WaitUntil([&] {
        ProcessHandle h(OpenProcess(PROCESS_VM_READ, FALSE, pid));
        return !h && GetLastError() == ERROR_ACCESS_DENIED;
      }) ||
      !p.Running())
    throw driver::DriverError("module " + fileName + " did not protect itself");
  return p;
}

// Exit code of a process that must end now: the guard ends modules with 0
// (the driver with 1, the fake's own time-out with 3).
DWORD EndCode(driver::Process& p) { return p.Wait(); }

// Reads and answers with OK every message box of this process while it runs;
// an optional hook runs while a box is open, before the OK.
class BoxWatcher {
 public:
  explicit BoxWatcher(std::function<void(const driver::MessageBoxInfo&)> beforeOk = {})
      : FBeforeOk(std::move(beforeOk)), FThread([this] { Run(); }) {}
  ~BoxWatcher() { Stop(); }

  // Stops watching; returns every box seen.
  std::vector<driver::MessageBoxInfo> Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    return FSeen;
  }
  const std::string& Error() const { return FError; }

 private:
  void Run() {
    const DWORD pid = GetCurrentProcessId();
    const DWORD start = GetTickCount();
    // Bounded: a guard that never returns fails the test, not the run.
    while (!FStop && GetTickCount() - start < 60000) {
      driver::MessageBoxInfo info;
      if (driver::FindMessageBox(pid, info)) {
        FSeen.push_back(info);
        try {
          if (FBeforeOk) FBeforeOk(info);
          driver::Answer(info.hwnd, IDOK);
        } catch (const std::exception& e) {
          FError = e.what();
          return;
        }
      }
      Sleep(10);
    }
  }

  std::function<void(const driver::MessageBoxInfo&)> FBeforeOk;
  std::atomic<bool> FStop{false};
  std::vector<driver::MessageBoxInfo> FSeen;
  std::string FError;
  std::thread FThread;
};

std::string Texts(const std::vector<driver::MessageBoxInfo>& boxes) {
  std::string t;
  for (const auto& b : boxes) t += "[" + b.caption + ": " + b.text + "] ";
  return t;
}

TEST(RunningProcessIds, ListsEveryProcessWhateverTheFirstRoom) {
  std::vector<driver::Process> modules;
  for (const char* name : {"visitlens.exe", "hrefprobe.exe", "backswap.exe"}) modules.push_back(StartModule(name));
  std::vector<DWORD> expected{GetCurrentProcessId()};
  for (auto& m : modules) expected.push_back(m.Id());

  const std::vector<DWORD> all = RunningProcessIds();
  // Room for one identifier at first: the list must still hold them all.
  for (size_t room : {size_t{1}, size_t{2}, all.size(), all.size() + 1}) {
    const std::vector<DWORD> ids = RunningProcessIds(room);
    EXPECT_GE(ids.size(), expected.size()) << "room " << room;
    for (DWORD pid : expected)
      EXPECT_NE(std::find(ids.begin(), ids.end(), pid), ids.end()) << "pid " << pid << ", room " << room;
  }
}

TEST(IsModuleRunning, CheckModeFindsAndTerminateModeEnds) {
  driver::Process other = StartModule("domainscope.exe");
  EXPECT_FALSE(IsModuleRunning("deepcrawl.exe", false));
  EXPECT_FALSE(IsModuleRunning("deepcrawl.exe", true));

  driver::Process a = StartModule("deepcrawl.exe");
  driver::Process b = StartModule("deepcrawl.exe");
  EXPECT_TRUE(IsModuleRunning("deepcrawl.exe", false));
  EXPECT_TRUE(a.Running() && b.Running()) << "check mode ends nothing";
  // The name is matched as the table gives it, in lower case.
  EXPECT_FALSE(IsModuleRunning("DEEPCRAWL.EXE", false));

  EXPECT_TRUE(IsModuleRunning("deepcrawl.exe", true));
  EXPECT_EQ(EndCode(a), 0u);
  EXPECT_EQ(EndCode(b), 0u);
  EXPECT_TRUE(other.Running());
  EXPECT_FALSE(IsModuleRunning("deepcrawl.exe", false));
  EXPECT_FALSE(IsModuleRunning("deepcrawl.exe", true));
}

TEST(StopRunningModules, ListsTheRunningModulesThenEndsThemAfterOk) {
  driver::Process markup = StartModule("markupcheck.exe");
  driver::Process suite = StartModule("CORVALLO.EXE");
  // Names close to the table's are not modules.
  driver::Process near1 = StartModule("corvallo2.exe");
  driver::Process near2 = StartModule("xmarkupcheck.exe");

  bool runningWhileShown = false;
  BoxWatcher watcher([&](const driver::MessageBoxInfo&) { runningWhileShown = markup.Running() && suite.Running(); });
  StopRunningModules();
  const auto boxes = watcher.Stop();
  ASSERT_EQ(watcher.Error(), "");

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kWarning + "1. Markup Inspector module\r\n2. Corvallo module\r\n");
  EXPECT_EQ(boxes[0].caption, vcl::ApplicationTitle());
  EXPECT_FALSE(boxes[0].hasIcon);
  EXPECT_EQ(boxes[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(runningWhileShown) << "modules were ended before the user's OK";

  EXPECT_EQ(EndCode(markup), 0u);
  EXPECT_EQ(EndCode(suite), 0u);
  EXPECT_TRUE(near1.Running());
  EXPECT_TRUE(near2.Running());
}

TEST(StopRunningModules, TwoProcessesOfOneModuleAreListedOnceAndBothEnd) {
  driver::Process first = StartModule("taskclock.exe");
  driver::Process second = StartModule("taskclock.exe");
  BoxWatcher watcher;
  StopRunningModules();
  const auto boxes = watcher.Stop();
  ASSERT_EQ(watcher.Error(), "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kWarning + "1. Taskclock\r\n");
  EXPECT_EQ(EndCode(first), 0u);
  EXPECT_EQ(EndCode(second), 0u);
}

TEST(StopRunningModules, NoModuleRunningShowsNothingAndEndsNothing) {
  driver::Process bystander = StartModule("corvallo.exe.exe");
  BoxWatcher watcher;
  StopRunningModules();
  const auto boxes = watcher.Stop();
  EXPECT_TRUE(boxes.empty()) << Texts(boxes);
  EXPECT_TRUE(bystander.Running());
}

TEST(StopRunningModules, AModuleClosedBeforeOkCausesNoError) {
  driver::Process closed = StartModule("weightmeter.exe");
  driver::Process kept = StartModule("placetrack.exe");
  // The user closes one module while the warning is open.
  BoxWatcher watcher([&](const driver::MessageBoxInfo&) {
    closed.Kill();
    closed.Wait();
  });
  StopRunningModules();
  const auto boxes = watcher.Stop();
  ASSERT_EQ(watcher.Error(), "");
  ASSERT_EQ(boxes.size(), 1u) << Texts(boxes);
  EXPECT_EQ(boxes[0].text, kWarning + "1. Place Tracker module\r\n2. Weight Meter module\r\n");
  EXPECT_EQ(EndCode(kept), 0u);
}

TEST(StopRunningModules, AProcessThatCannotBeOpenedIsSkippedSilently) {
  driver::Process locked = StartProtectedModule("blurbview.exe");
  driver::Process open = StartModule("termfinder.exe");
  BoxWatcher watcher;
  StopRunningModules();
  const auto boxes = watcher.Stop();
  ASSERT_EQ(watcher.Error(), "");
  ASSERT_EQ(boxes.size(), 1u) << Texts(boxes);
  EXPECT_EQ(boxes[0].text, kWarning + "1. TermFinder module\r\n");
  EXPECT_EQ(EndCode(open), 0u);
  EXPECT_TRUE(locked.Running());
}

// Under Wine a process that can be opened for termination can always be
// ended (the rights are checked when it is opened), so a refused termination
// cannot be made here; the box it shows is checked through the one function
// that shows it.
TEST(ShowTerminateError, ErrorBoxWithIconAndOk) {
  BoxWatcher watcher;
  ShowTerminateError("corvallo.exe");
  const auto boxes = watcher.Stop();
  ASSERT_EQ(watcher.Error(), "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Error!");
  EXPECT_EQ(boxes[0].text, "Cannot terminate process 'corvallo.exe' !");
  EXPECT_TRUE(boxes[0].hasIcon);
  EXPECT_EQ(boxes[0].buttons, std::vector<std::string>{"OK"});
}

}  // namespace
