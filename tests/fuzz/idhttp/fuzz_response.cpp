// Feeds arbitrary bytes to the response parser in arbitrary pieces, then
// resolves the redirect target and stores the cookies the response carries,
// as the client does. Failures must be exceptions of the framework; nothing
// may crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Cookies.h"
#include "HttpProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  idhttp::ResponseParser::Limits limits;
  limits.MaxLineLength = (data[0] & 1) ? 16384 : 8 + (data[0] >> 2);
  limits.SplitLongLines = (data[0] & 2) != 0;
  const size_t piece = 1 + data[1] % 64;
  const bool head = (data[1] & 0x80) != 0;
  data += 2;
  size -= 2;

  idhttp::ResponseParser parser(limits);
  idhttp::CookieStore cookies;
  idhttp::Url base = idhttp::ParseUrl("http://fuzz.example:8080/dir/page?q=1", true);
  int64_t bodyBytes = 0;
  auto sink = [&](const char*, size_t n) { bodyBytes += static_cast<int64_t>(n); };
  try {
    parser.Start(head);
    size_t pos = 0;
    int responses = 0;
    while (pos < size && responses < 16) {
      size_t n = std::min(piece, size - pos);
      size_t used = parser.Feed(reinterpret_cast<const char*>(data) + pos, n, sink);
      pos += used;
      if (parser.HeadersComplete() && parser.BodyReceived() > (int64_t{1} << 32)) __builtin_trap();
      if (parser.Complete()) {
        if (const std::string* loc = parser.Header("Location")) {
          try {
            idhttp::ResolveLocation(base, *loc, true);
          } catch (const Exception&) {
          }
        }
        for (const std::string& c : parser.HeaderValues("Set-Cookie")) cookies.SetCookie(base, c, 1700000000);
        (void)cookies.CookieHeader(base, 1700000000);
        parser.Start(head);
        ++responses;
      } else if (used < n) {
        __builtin_trap();  // an incomplete response must take every byte
      }
    }
    parser.Eof();
  } catch (const Exception&) {
  }
  if (bodyBytes > static_cast<int64_t>(size)) __builtin_trap();
  return 0;
}
