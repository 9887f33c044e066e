// demo_driver <program> <ready file> <shot file>
// Starts the program, waits for its main window, writes the ready file, waits
// (at most 60 s) for the shot file, then closes the program with its Cancel
// button and returns the program's exit code.
#include <windows.h>

#include <cstdio>
#include <string>

#include "driver.h"

static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: demo_driver <program> <ready file> <shot file>\n");
    return 2;
  }
  try {
    driver::Process program = driver::Process::Start(argv[1]);
    HWND form = driver::WaitForWindow(program.Id(), "Database update - new data available", 60000);
    Sleep(500);  // let it paint
    if (FILE* f = fopen(argv[2], "w")) fclose(f);
    driver::WaitUntil([&] { return Exists(argv[3]); }, 60000);
    driver::Automation automation;
    automation.Click(form, "dxButton1");
    DWORD code = program.Wait(30000);
    printf("program ended with exit code %lu\n", code);
    return static_cast<int>(code);
  } catch (const std::exception& e) {
    fprintf(stderr, "demo_driver: %s\n", e.what());
    return 1;
  }
}
