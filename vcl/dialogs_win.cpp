#include <windows.h>

#include <mutex>

#include "dialogs.h"
#include "sysutils.h"

namespace vcl {
namespace {
std::string& TitleRef() {
  static std::string title = [] {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = ExtractFileName(path);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
  }();
  return title;
}
}  // namespace

const std::string& ApplicationTitle() { return TitleRef(); }
void SetApplicationTitle(const std::string& title) { TitleRef() = title; }
}  // namespace vcl

void ShowMessage(const std::string& text) {
  HWND owner = GetActiveWindow();
  UINT flags = MB_OK | MB_SETFOREGROUND | (owner ? 0 : MB_TASKMODAL);
  MessageBoxA(owner, text.c_str(), vcl::ApplicationTitle().c_str(), flags);
}
