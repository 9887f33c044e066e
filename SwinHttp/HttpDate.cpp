#include "HttpDate.h"

#include <chrono>
#include <cstddef>

#include "sysutils.h"

namespace swinhttp {

namespace {

constexpr const char* kShortDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kLongDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// 1899-12-30 counted from 1970-01-01.
constexpr int kDaysBefore1970 = 25569;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class Scanner {
 public:
  explicit Scanner(std::string_view s) : FText(s) {}

  bool AtEnd() const { return FPos >= FText.size(); }

  bool Char(char c) {
    if (AtEnd() || FText[FPos] != c) return false;
    ++FPos;
    return true;
  }

  std::string_view Word() {
    size_t b = FPos;
    while (!AtEnd() && IsAlpha(FText[FPos])) ++FPos;
    return FText.substr(b, FPos - b);
  }

  // Exactly `count` digits.
  bool Digits(int count, int& value) {
    value = 0;
    for (int k = 0; k < count; ++k) {
      if (AtEnd() || !IsDigit(FText[FPos])) return false;
      value = value * 10 + (FText[FPos++] - '0');
    }
    return true;
  }

  // One or two digits.
  bool Day(int& value) {
    if (!Digits(1, value)) return false;
    int second = 0;
    if (!AtEnd() && IsDigit(FText[FPos])) {
      Digits(1, second);
      value = value * 10 + second;
    }
    return true;
  }

  // "HH:MM:SS"
  bool Time(int& h, int& m, int& s) {
    return Digits(2, h) && Char(':') && Digits(2, m) && Char(':') && Digits(2, s) && h <= 23 && m <= 59 &&
           s <= 60;
  }

  bool Month(int& month) {
    std::string_view w = Word();
    for (int k = 0; k < 12; ++k)
      if (SameTextAscii(w, kMonths[k])) {
        month = k + 1;
        return true;
      }
    return false;
  }

 private:
  std::string_view FText;
  size_t FPos = 0;
};

template <size_t N>
bool IsOneOf(std::string_view w, const char* const (&names)[N]) {
  for (const char* n : names)
    if (SameTextAscii(w, n)) return true;
  return false;
}

struct Parts {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

bool ValidDate(int y, int m, int d) {
  if (y < 1 || y > 9999) return false;
  using namespace std::chrono;
  return year_month_day{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}}.ok();
}

int CurrentYear() {
  using namespace std::chrono;
  year_month_day today{floor<days>(system_clock::now())};
  return static_cast<int>(today.year());
}

}  // namespace

double EncodeDateTime(int y, int mo, int d, int h, int mi, int s) {
  using namespace std::chrono;
  long secs = static_cast<long>(h) * 3600 + mi * 60 + s;
  sys_days date{year{y} / month{static_cast<unsigned>(mo)} / day{static_cast<unsigned>(d)}};
  double days = static_cast<double>(date.time_since_epoch().count()) + kDaysBefore1970;
  // A leap second at the end of the day is the next day's midnight.
  days += static_cast<double>(secs / 86400);
  double time = static_cast<double>(secs % 86400) / 86400.0;
  return days >= 0 ? days + time : days - time;
}

bool TryParseHttpDate(std::string_view text, double& value, int referenceYear) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

  Scanner sc(text);
  Parts p;
  std::string_view dayName = sc.Word();
  bool ok = false;
  if (sc.Char(',')) {
    if (IsOneOf(dayName, kShortDays)) {
      // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
      ok = sc.Char(' ') && sc.Day(p.Day) && sc.Char(' ') && sc.Month(p.Month) && sc.Char(' ') &&
           sc.Digits(4, p.Year) && sc.Char(' ') && sc.Time(p.Hour, p.Minute, p.Second) && sc.Char(' ') &&
           SameTextAscii(sc.Word(), "GMT");
    } else if (IsOneOf(dayName, kLongDays)) {
      // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
      int yy = 0;
      ok = sc.Char(' ') && sc.Day(p.Day) && sc.Char('-') && sc.Month(p.Month) && sc.Char('-') &&
           sc.Digits(2, yy) && sc.Char(' ') && sc.Time(p.Hour, p.Minute, p.Second) && sc.Char(' ') &&
           SameTextAscii(sc.Word(), "GMT");
      if (ok) {
        // The latest year ending in yy that is at most 50 years after the reference.
        int last = referenceYear + 50;
        p.Year = last - (((last - yy) % 100) + 100) % 100;
      }
    }
  } else if (IsOneOf(dayName, kShortDays)) {
    // asctime: "Sun Nov  6 08:49:37 1994"
    ok = sc.Char(' ') && sc.Month(p.Month) && sc.Char(' ');
    if (ok) {
      if (sc.Char(' ')) ok = sc.Digits(1, p.Day);
      else ok = sc.Digits(2, p.Day);
    }
    ok = ok && sc.Char(' ') && sc.Time(p.Hour, p.Minute, p.Second) && sc.Char(' ') && sc.Digits(4, p.Year);
  }
  if (!ok || !sc.AtEnd() || !ValidDate(p.Year, p.Month, p.Day)) return false;
  value = EncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second);
  return true;
}

bool TryParseHttpDate(std::string_view text, double& value) {
  return TryParseHttpDate(text, value, CurrentYear());
}

double HttpDateToDateTime(std::string_view text) {
  double v = 0;
  return TryParseHttpDate(text, v) ? v : 0.0;
}

}  // namespace swinhttp
