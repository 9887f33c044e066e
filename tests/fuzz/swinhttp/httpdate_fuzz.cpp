// Fuzz target of the HTTP date parser: whatever a server sends as a Date or
// Last-Modified value. A text that parses must give a date-time in the
// platform's range that, written back as an IMF-fixdate, parses to itself.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "HttpDate.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The date-time back as an IMF-fixdate.
std::string Fixdate(double v) {
  using namespace std::chrono;
  double whole = std::trunc(v);
  long secs = std::lround(std::fabs(v - whole) * 86400.0);
  long dayNumber = static_cast<long>(whole);
  if (secs == 86400) {  // a fraction that rounds up to the next midnight
    secs = 0;
    dayNumber += v >= 0 ? 1 : -1;
  }
  sys_days d{days{dayNumber - 25569}};
  year_month_day ymd{d};
  static const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02u %s %04d %02ld:%02ld:%02ld GMT",
                names[weekday{d}.c_encoding()], static_cast<unsigned>(ymd.day()),
                months[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()), secs / 3600,
                secs / 60 % 60, secs % 60);
  return buf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  double v = 12345.5;
  if (!swinhttp::TryParseHttpDate(text, v, 2024)) {
    Check(v == 12345.5);
    return 0;
  }
  Check(std::isfinite(v));
  Check(v >= -693594.0 && v < 2958467.0);
  // Days before 30 December 1899 keep their time of day as a forward fraction.
  if (v < 0) Check(v <= -1.0 || v == std::trunc(v));
  double again = -1;
  std::string back = Fixdate(v);
  Check(swinhttp::TryParseHttpDate(back, again, 2024));
  Check(std::fabs(again - v) < 1e-6);
  return 0;
}
