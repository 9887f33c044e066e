#include <windows.h>
#include <psapi.h>

#include <cstring>

#include "dialogs.h"
#include "modules.h"
#include "processes_win.h"

namespace {
// Query, read and terminate: what the scan needs of a process.
constexpr DWORD kProcessRights = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;
// Beyond this many identifiers the list is taken as delivered (a bound on
// the growth loop, far above any real machine).
constexpr size_t kMaxProcessIds = size_t{1} << 20;
constexpr DWORD kNameSize = 260;
}  // namespace

std::vector<DWORD> RunningProcessIds(size_t initialCapacity) {
  std::vector<DWORD> ids(initialCapacity ? initialCapacity : 1);
  for (;;) {
    const DWORD given = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    DWORD filled = 0;
    if (!EnumProcesses(ids.data(), given, &filled)) return {};
    if (filled < given || ids.size() >= kMaxProcessIds) {
      ids.resize(filled / sizeof(DWORD));
      return ids;
    }
    ids.resize(ids.size() * 2);
  }
}

void ShowTerminateError(const std::string& fileName) {
  MessageBoxA(nullptr, TerminateErrorText(fileName).c_str(), "Error!", MB_ICONERROR | MB_OK);
}

bool IsModuleRunning(const std::string& fileName, bool terminate) {
  bool terminated = false;
  for (DWORD pid : RunningProcessIds()) {
    char name[kNameSize] = "<unknown>";
    // A process that is gone, protected or still starting is skipped.
    ProcessHandle process(OpenProcess(kProcessRights, FALSE, pid));
    if (!process) continue;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!EnumProcessModules(process.Get(), &module, sizeof module, &needed)) continue;
    if (GetModuleBaseNameA(process.Get(), module, name, kNameSize) == 0) std::strcpy(name, "<unknown>");
    name[kNameSize - 1] = '\0';
    if (!ModuleNameMatches(name, fileName)) continue;
    if (!terminate) return true;
    if (TerminateProcess(process.Get(), 0)) terminated = true;
    else ShowTerminateError(fileName);
  }
  return terminated;
}

void StopRunningModules() {
  const std::vector<std::string> running =
      BuildRunningList([](const std::string& fileName) { return IsModuleRunning(fileName, false); });
  if (!running.empty()) ShowMessage(RunningModulesMessage(running));
  // Every row again, listed or not: a module may have started meanwhile.
  for (const ModuleRow& row : ModuleTable) IsModuleRunning(row.FileName, true);
}
