// Shared helpers of the HTTP client tests: the servers' addresses and a
// recorder of the client's events.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "IdHTTP.h"
#include "driver.h"

using driver::Env;
using driver::ReadFileText;
using driver::ServerBytes;

inline int HttpPort() { return std::atoi(Env("CORVALLO_HTTP_PORT").c_str()); }
inline std::string Base() { return "http://127.0.0.1:" + std::to_string(HttpPort()); }

// The server's request log (every request, as received).
inline std::string ServerLog() { return ReadFileText(Env("CORVALLO_HTTP_LOG")); }

// Records the events of a client in order.
struct Recorder {
  std::vector<std::string> events;   // "status:<n>", "begin:<max>", "work", "end"
  std::vector<int64_t> work;         // running totals of OnWork
  std::vector<TIdStatus> statuses;
  int64_t announced = -1;
  bool otherThread = false;
  DWORD thread = GetCurrentThreadId();

  void Attach(TIdHTTP& h) {
    h.OnStatus = [this](TObject*, TIdStatus s, const std::string& text) {
      Check();
      statuses.push_back(s);
      events.push_back("status:" + std::to_string(static_cast<int>(s)));
    };
    h.OnWorkBegin = [this](TObject*, TWorkMode, int64_t max) {
      Check();
      announced = max;
      events.push_back("begin:" + std::to_string(max));
    };
    h.OnWork = [this](TObject*, TWorkMode, int64_t count) {
      Check();
      work.push_back(count);
      if (events.empty() || events.back() != "work") events.push_back("work");
    };
    h.OnWorkEnd = [this](TObject*, TWorkMode) {
      Check();
      events.push_back("end");
    };
  }
  void Check() {
    if (GetCurrentThreadId() != thread) otherThread = true;
  }
  int Count(TIdStatus s) const {
    int n = 0;
    for (TIdStatus x : statuses) n += x == s;
    return n;
  }
  void Clear() {
    events.clear();
    work.clear();
    statuses.clear();
    announced = -1;
  }
};

// Runs f and returns "<class>: <message>" of what it raised, "" when nothing.
template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return "";
}
