// Stands in for a program of the suite: does nothing but run, so that tests
// can find it by its file name and end it.
//
//   fakemodule.exe [seconds]
//
// Ends by itself after the given number of seconds (120 by default) with
// exit code 3, so that nothing outlives a failed test.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
  long seconds = 120;
  if (cmdLine && *cmdLine) {
    long v = std::strtol(cmdLine, nullptr, 10);
    if (v > 0 && v <= 3600) seconds = v;
  }
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 3;
}
