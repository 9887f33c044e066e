#include <windows.h>

#include "IdHTTP.h"
#include "classes.h"
#include "proxysettings.h"

namespace {
// Resolved against the current folder: the Update handler makes the
// program's own folder current, so this is the suite's folder.
constexpr const char* kProxyFile = "..\\proxy.def";

bool FileExists(const char* name) {
  DWORD attr = GetFileAttributesA(name);
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
}  // namespace

ProxySettings ReadProxySettings() {
  TStringList lines;
  if (FileExists(kProxyFile)) lines.LoadFromFile(kProxyFile);
  return ProxySettingsFromLines(lines.Items());
}

void ApplyProxySettings(TIdHTTP* client) {
  // Read everything first: a failure leaves the client as it was.
  const ProxySettings s = ReadProxySettings();
  TIdProxyParams* p = client->ProxyParams();
  p->BasicAuthentication = true;
  p->ProxyServer = s.Host;
  p->ProxyPort = s.Port;
  p->ProxyUsername = s.User;
  p->ProxyPassword = s.Password;
}
