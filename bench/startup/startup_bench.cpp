// startup_bench <CorvalloUpdate.exe> <bare_window.exe> [rounds]
// Time from process start to a shown window: the update program with a
// 10-line list, the same with a 100,000-line list, and a bare Win32 window
// program, in alternating rounds. Prints the medians, their ratios and the
// headline lines startup_vs_bare and list100k_vs_list10.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver.h"

namespace {

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void WriteList(int lines) {
  std::string s = "id\r\nh\r\nh\r\n";
  for (int i = 3; i < lines; ++i)
    s += "current#2026-11-" + std::to_string(i % 28 + 1) + "#Update number " + std::to_string(i) + " of the list\r\n";
  std::ofstream("C:\\ProgramData\\Corvallo\\newupd.dat", std::ios::binary | std::ios::trunc) << s;
}

// Milliseconds from start until a visible window with this title exists.
double TimeToWindow(const std::string& exe, const char* title) {
  double t0 = Now();
  driver::Process p = driver::Process::Start(exe);
  for (;;) {
    for (HWND h : driver::TopWindows(p.Id(), nullptr, true))
      if (driver::WindowText(h) == title) {
        double t = Now() - t0;
        PostMessageA(h, WM_CLOSE, 0, 0);
        p.Wait(30000);
        return t;
      }
    if (Now() - t0 > 120000) throw driver::DriverError(std::string("no window from ") + exe);
    Sleep(1);
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: startup_bench <CorvalloUpdate.exe> <bare_window.exe> [rounds]\n");
    return 2;
  }
  for (const char* dir : {"C:\\Program Files\\Corvallo", "C:\\Program Files\\Corvallo\\Update",
                          "C:\\ProgramData\\Corvallo"})
    CreateDirectoryA(dir, nullptr);
  const std::string program = "C:\\Program Files\\Corvallo\\Update\\CorvalloUpdate.exe";
  if (!CopyFileA(driver::WinPath(argv[1]).c_str(), program.c_str(), FALSE)) {
    fprintf(stderr, "startup_bench: cannot copy %s to %s (error %lu)\n", argv[1], program.c_str(), GetLastError());
    return 1;
  }
  const std::string bare = driver::WinPath(argv[2]);
  const int rounds = argc > 3 ? atoi(argv[3]) : 7;
  std::ofstream("C:\\ProgramData\\Corvallo\\lastupd.dat", std::ios::binary) << "Corvallo#2026-11-30\r\n";
  const char* title = "Database update - new data available";
  try {
    // One warm-up of each, not counted.
    TimeToWindow(bare, "Bare window");
    WriteList(10);
    TimeToWindow(program, title);
    std::vector<double> b, p10, p100k, r1, r2;
    for (int i = 0; i < rounds; ++i) {
      b.push_back(TimeToWindow(bare, "Bare window"));
      WriteList(10);
      p10.push_back(TimeToWindow(program, title));
      WriteList(100000);
      p100k.push_back(TimeToWindow(program, title));
      r1.push_back(p10.back() / b.back());
      r2.push_back(p100k.back() / p10.back());
      printf("round %d: bare %.1f ms, list of 10 %.1f ms, list of 100000 %.1f ms\n", i + 1, b.back(), p10.back(),
             p100k.back());
    }
    printf("median: bare %.1f ms, list of 10 %.1f ms, list of 100000 %.1f ms\n", Median(b), Median(p10),
           Median(p100k));
    printf("startup_vs_bare: %.2f\n", Median(r1));
    printf("list100k_vs_list10: %.2f\n", Median(r2));
  } catch (const std::exception& e) {
    fprintf(stderr, "startup_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
