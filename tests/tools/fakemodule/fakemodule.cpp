// Stands in for a program of the suite: does nothing but run, so that tests
// can find it by its file name and end it.
//
//   fakemodule.exe [seconds] [--protect]
//
// Ends by itself after the given number of seconds (120 by default) with
// exit code 3, so that nothing outlives a failed test. --protect makes the
// process refuse to be opened for anything but a limited query and waiting
// (as a process of another user or a protected one does); its creator's
// handle keeps every right.
#include <windows.h>
#include <aclapi.h>

#include <cstdlib>
#include <cstring>

namespace {
bool Protect() {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;
  EXPLICIT_ACCESSA ea{};
  ea.grfAccessPermissions = PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
  ea.grfAccessMode = SET_ACCESS;
  ea.grfInheritance = NO_INHERITANCE;
  ea.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  ea.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  ea.Trustee.ptstrName = static_cast<LPSTR>(everyone);
  PACL acl = nullptr;
  bool ok = SetEntriesInAclA(1, &ea, nullptr, &acl) == ERROR_SUCCESS &&
            SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                            nullptr) == ERROR_SUCCESS;
  if (acl) LocalFree(acl);
  FreeSid(everyone);
  return ok;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
  long seconds = 120;
  bool protect = false;
  for (char* tok = std::strtok(cmdLine, " "); tok; tok = std::strtok(nullptr, " ")) {
    if (std::strcmp(tok, "--protect") == 0) {
      protect = true;
    } else {
      long v = std::strtol(tok, nullptr, 10);
      if (v > 0 && v <= 3600) seconds = v;
    }
  }
  if (protect && !Protect()) return 4;
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 3;
}
