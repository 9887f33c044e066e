// Dates of HTTP headers (Date, Last-Modified, Expires) as the platform's
// date-time. Pure code: no Windows header.
//
// The three forms a server may send are understood:
//   IMF-fixdate  "Sun, 06 Nov 1994 08:49:37 GMT"
//   RFC 850      "Sunday, 06-Nov-94 08:49:37 GMT"
//   asctime      "Sun Nov  6 08:49:37 1994"
// Names of days and months and the zone "GMT" are matched without regard to
// case; blanks around the value are ignored. The day's name must be a real
// one but is not checked against the date. A second of 60 (a leap second)
// is accepted and counts into the next minute.
#pragma once

#include <string_view>

namespace swinhttp {

// Days since 30 December 1899, the time of day as the fraction (UTC). Before
// that day the value is negative and its fraction is still the time of day
// counted forward, as the platform's date-time encodes it.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

// The date in text; false (and value untouched) when the text is none of the
// three forms or names an impossible date or time. referenceYear places the
// two-digit years of RFC 850 dates: a year that would lie more than 50 years
// after it is taken a century earlier.
bool TryParseHttpDate(std::string_view text, double& value, int referenceYear);
// The same with the current year (UTC) as the reference.
bool TryParseHttpDate(std::string_view text, double& value);

// The date in text, or 0 when it is not a date.
double HttpDateToDateTime(std::string_view text);

}  // namespace swinhttp
