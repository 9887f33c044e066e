// The running-module guard: the suite's programs must not run while the
// installer replaces them. The table and the texts are pure rules here; the
// process scan is the Windows side (modules_win.cpp).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct ModuleRow {
  const char* FileName;     // executable file name, lower case
  const char* DisplayName;  // as the user is shown it
};

// Both passes of the guard walk the table in this order.
inline constexpr std::array<ModuleRow, 12> ModuleTable{{
    {"placetrack.exe", "Place Tracker module"},
    {"markupcheck.exe", "Markup Inspector module"},
    {"termfinder.exe", "TermFinder module"},
    {"hrefprobe.exe", "Href Probe module"},
    {"backswap.exe", "Back Swap module"},
    {"visitlens.exe", "Visit Lens module"},
    {"weightmeter.exe", "Weight Meter module"},
    {"taskclock.exe", "Taskclock"},
    {"domainscope.exe", "Domain Scope module"},
    {"deepcrawl.exe", "Deep Crawl module"},
    {"blurbview.exe", "Blurb view module"},
    {"corvallo.exe", "Corvallo module"},
}};

// The running list: one line per module found running, in table order,
// numbered from 1 among the modules found: "1. Markup Inspector module".
std::vector<std::string> BuildRunningList(const std::function<bool(const std::string& fileName)>& isRunning);

// The warning shown before the modules are terminated: the fixed text, then
// every line of the list, each ended by CR LF.
std::string RunningModulesMessage(const std::vector<std::string>& runningList);

// The text of the box shown when a module's process refuses termination.
std::string TerminateErrorText(std::string_view fileName);

// A process's base name names the module when it equals the table's file
// name after lowering the ASCII letters A to Z.
bool ModuleNameMatches(std::string_view baseName, std::string_view fileName);

// ---- Windows side ----

// Check mode (terminate false): true as soon as one process runs fileName.
// Terminate mode: ends every process that runs fileName with exit code 0 and
// returns true when at least one was ended; a refused termination shows the
// "Error!" box and the scan goes on. Processes that cannot be opened or read
// are skipped silently.
bool IsModuleRunning(const std::string& fileName, bool terminate);

// Lists the running modules to the user in one message, then, after the
// user's OK, ends every process of every module. Never fails.
void StopRunningModules();

// The box for a refused termination: no owner, caption "Error!", error icon
// and an OK button.
void ShowTerminateError(const std::string& fileName);
