#include "modules.h"

#include "sysutils.h"

std::vector<std::string> BuildRunningList(const std::function<bool(const std::string& fileName)>& isRunning) {
  std::vector<std::string> list;
  for (const ModuleRow& row : ModuleTable)
    if (isRunning(row.FileName)) list.push_back(IntToStr(static_cast<int64_t>(list.size()) + 1) + ". " + row.DisplayName);
  return list;
}

std::string RunningModulesMessage(const std::vector<std::string>& runningList) {
  std::string text =
      "Warning! \r\n"
      "Next modules are running. \r\n"
      "Please close that modules manually and press 'OK'\r\n";
  for (const std::string& line : runningList) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string TerminateErrorText(std::string_view fileName) {
  std::string text = "Cannot terminate process '";
  text += fileName;
  text += "' !";
  return text;
}

bool ModuleNameMatches(std::string_view baseName, std::string_view fileName) {
  return AsciiLower(baseName) == fileName;
}
