#include <gtest/gtest.h>

#include <string>

#include "HttpDate.h"

namespace {

using swinhttp::TryParseHttpDate;

// 1994-11-06 is day 34644; 08:49:37 is 31777 seconds into it.
const double kNov6 = 34644 + 31777 / 86400.0;

TEST(HttpDate, AcceptedForms) {
  struct Case {
    const char* text;
    int referenceYear;
    double value;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 2024, kNov6},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 2024, kNov6},
      {"Sun Nov  6 08:49:37 1994", 2024, kNov6},
      {"Sun Nov 06 08:49:37 1994", 2024, kNov6},
      {"sun, 06 nov 1994 08:49:37 gmt", 2024, kNov6},
      {"  Sun, 06 Nov 1994 08:49:37 GMT \t", 2024, kNov6},
      {"Sun, 6 Nov 1994 08:49:37 GMT", 2024, kNov6},
      {"Mon, 06 Nov 1994 08:49:37 GMT", 2024, kNov6},  // wrong day name, still the date
      {"Sat, 30 Dec 1899 00:00:00 GMT", 2024, 0.0},
      {"Fri, 29 Dec 1899 06:00:00 GMT", 2024, -1.25},  // time counts forward below 0
      {"Tue, 29 Feb 2000 12:00:00 GMT", 2024, 36585.5},
      {"Sat, 31 Dec 2016 23:59:60 GMT", 2024, 42736.0},  // leap second
      {"Mon, 01 Jan 0001 00:00:00 GMT", 2024, -693593.0},
      {"Fri, 31 Dec 9999 00:00:00 GMT", 2024, 2958465.0},
      // Two-digit years: at most 50 years after the reference year.
      {"Wednesday, 01-Jan-75 00:00:00 GMT", 2025, 63920.0},  // 2075
      {"Thursday, 01-Jan-76 00:00:00 GMT", 2025, 27760.0},   // 1976
      {"Saturday, 01-Jan-00 00:00:00 GMT", 2025, 36526.0},   // 2000
      {"Saturday, 01-Jan-00 00:00:00 GMT", 1950, 36526.0},  // 2000: exactly 50 years on
      {"Saturday, 01-Jan-00 00:00:00 GMT", 1949, 2.0},       // 1900
  };
  for (const auto& c : cases) {
    double v = -99;
    EXPECT_TRUE(TryParseHttpDate(c.text, v, c.referenceYear)) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
}

TEST(HttpDate, RejectedTextsLeaveTheValue) {
  const std::string rejected[] = {
      "",
      "garbage",
      "0",
      "1994-11-06T08:49:37Z",
      "Sun, 06 Nov 1994 08:49:37",
      "Sun, 06 Nov 1994 08:49:37 UTC",
      "Sun, 06 Nov 1994 08:49:37 GMTX",
      "Sun, 06 Nov 1994 08:49:37 GMT extra",
      "Sun, 06 Nov 1994 24:00:00 GMT",
      "Sun, 06 Nov 1994 08:60:00 GMT",
      "Sun, 06 Nov 1994 08:49:61 GMT",
      "Sun, 06 Nov 1994 8:49:37 GMT",
      "Sun, 00 Nov 1994 08:49:37 GMT",
      "Sun, 31 Nov 1994 08:49:37 GMT",
      "Thu, 29 Feb 1900 08:49:37 GMT",
      "Sun, 06 Foo 1994 08:49:37 GMT",
      "Sun, 06 Nov 94 08:49:37 GMT",
      "Sun, 06 Nov 0000 08:49:37 GMT",
      "Sun, 106 Nov 1994 08:49:37 GMT",
      "Sun,06 Nov 1994 08:49:37 GMT",
      "Sunday, 06 Nov 1994 08:49:37 GMT",
      "Sun, 06-Nov-94 08:49:37 GMT",
      "Sunday, 06-Nov-1994 08:49:37 GMT",
      "Xyz, 06 Nov 1994 08:49:37 GMT",
      "Sun Nov 6 08:49:37 1994",
      "Sun Nov  6 08:49:37 94",
      "Sun Nov  6 08:49:37 1994 GMT",
      "Sunday Nov  6 08:49:37 1994",
      std::string("Sun, 06 Nov 1994 08:49:37 GMT\0", 30),
      std::string("Sun, 06 Nov\0 1994 08:49:37 GMT", 30),
  };
  for (const auto& t : rejected) {
    double v = -99;
    EXPECT_FALSE(TryParseHttpDate(t, v, 2024)) << testing::PrintToString(t);
    EXPECT_EQ(v, -99) << testing::PrintToString(t);
  }
}

TEST(HttpDate, ZeroForNoDate) {
  EXPECT_EQ(swinhttp::HttpDateToDateTime("not a date"), 0.0);
  EXPECT_EQ(swinhttp::HttpDateToDateTime(""), 0.0);
  EXPECT_DOUBLE_EQ(swinhttp::HttpDateToDateTime("Sun, 06 Nov 1994 08:49:37 GMT"), kNov6);
}

}  // namespace
