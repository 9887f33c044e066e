#include "versioninfo.h"

#include <windows.h>
#include <shlobj.h>

#include "classes.h"
#include "dialogs.h"
#include "updatelist.h"

std::string GetDataFolder() {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, TRUE);
  return std::string(path) + "\\Corvallo";
}

std::string GetBuildDate() {
  TStringList lines;
  try {
    lines.LoadFromFile(GetDataFolder() + "\\lastupd.dat");
    return ExtractBuildDate(lines);
  } catch (const std::exception& e) {
    ShowMessage(std::string("Detect current date of build failed!\r\nException message: ") + e.what());
    return std::string();
  }
}
