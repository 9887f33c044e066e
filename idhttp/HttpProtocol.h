// The text side of the HTTP client: URLs, the request writer and the
// response parser. Pure code: no Windows header, built natively for the unit
// tests and the fuzz target.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "IdHTTP.h"

namespace idhttp {

// An http URL split into the parts a request needs.
struct Url {
  std::string Scheme = "http";  // lower case
  std::string Host;             // lower case, without brackets for IPv6
  int Port = 80;
  std::string Path = "/";       // path and query, percent-encoded, starts with '/'

  // host[:port] as the Host header gives it (port 80 left out).
  std::string Authority() const;
  std::string ToString() const;
  // The path without its query.
  std::string PathOnly() const;
};

// Parses an absolute http URL ("http://host[:port][/path][?query]"); a text
// without a scheme is taken as http. Characters that may not travel in a
// request line are percent-encoded: in the path always, in the query the
// blanks and control bytes always and the other unsafe characters
// (" < > \ ^ ` { | } and bytes from 0x80) when forceEncodeParams is set.
// Raises EIdException with a readable message for a text that is no usable
// URL.
Url ParseUrl(std::string_view text, bool forceEncodeParams);

// The target of a Location header, resolved against the URL that answered.
Url ResolveLocation(const Url& base, std::string_view location, bool forceEncodeParams);

std::string Base64Encode(std::string_view data);

struct RequestParams {
  std::string Method = "GET";
  Url Target;
  bool ViaProxy = false;           // absolute URL in the request line
  std::string Accept;              // empty: not sent
  std::string UserAgent;           // empty: not sent
  std::string Cookie;              // Cookie header value; empty: not sent
  std::string ProxyAuthorization;  // full value ("Basic ..."); empty: not sent
  bool KeepAlive = true;
};

// The request head, ending with the empty line. CR and LF inside header
// values are replaced by blanks so that no value can add a header.
std::string BuildRequest(const RequestParams& p);

// The Proxy-Authorization value for basic authentication.
std::string BasicAuthorization(const std::string& user, const std::string& password);

// An incremental parser of one HTTP/1.x response: status line, headers, and
// a body framed by Content-Length, chunked encoding or the end of the
// connection. Interim (1xx) responses are skipped. Raises EIdProtocolError
// on malformed input and EIdConnClosedGracefully when the connection ends
// before the response is complete. Memory is bounded by the line limit and
// the header count, whatever the input.
class ResponseParser {
 public:
  enum class BodyKind { None, Length, Chunked, UntilClose };
  using BodySink = std::function<void(const char* data, size_t size)>;

  struct Limits {
    size_t MaxLineLength = 16384;  // status, header, chunk-size and trailer lines
    bool SplitLongLines = false;   // false: an over-long line is an error; true: it is cut to the limit
    size_t MaxHeaderLines = 500;
  };

  ResponseParser() = default;
  explicit ResponseParser(Limits limits) : FLimits(limits) {}

  // Prepares for the response to a request (a HEAD response has no body).
  void Start(bool headRequest = false);
  // Consumes response bytes, passing body bytes to sink (which may be empty
  // while no body is expected). Returns how many bytes were consumed; once
  // the response is complete the rest belongs to the connection's next
  // response and is not consumed.
  size_t Feed(const char* data, size_t size, const BodySink& sink);
  // The peer closed the connection.
  void Eof();

  bool HeadersComplete() const { return FStage >= Stage::Body; }
  bool Complete() const { return FStage == Stage::Done; }
  bool NothingReceived() const { return FTotalIn == 0; }

  int StatusCode() const { return FCode; }
  const std::string& StatusLine() const { return FStatusLine; }
  int VersionMinor() const { return FMinor; }
  const std::vector<std::pair<std::string, std::string>>& Headers() const { return FHeaders; }
  const std::string* Header(std::string_view name) const;  // first one, case-insensitive
  std::vector<std::string> HeaderValues(std::string_view name) const;
  BodyKind Body() const { return FBody; }
  int64_t ContentLength() const { return FContentLength; }  // -1: none announced
  int64_t BodyReceived() const { return FBodyReceived; }
  // The connection can carry another request after this response.
  bool KeepAlive() const;

 private:
  enum class Stage { StatusLine, Headers, Body, Done };
  enum class Chunk { Size, Data, DataEnd, Trailer };

  // Collects a line; true when it is complete (in FLine, without CR LF).
  bool TakeLine(const char*& p, const char* end);
  void OnStatusLine();
  void OnHeaderLine();
  void OnHeadersDone();
  void OnChunkSizeLine();

  Limits FLimits;
  Stage FStage = Stage::StatusLine;
  Chunk FChunk = Chunk::Size;
  bool FHead = false;
  std::string FLine;
  bool FDiscarding = false;  // the rest of an over-long line is being skipped
  int64_t FTotalIn = 0;

  int FCode = 0;
  int FMinor = 1;
  std::string FStatusLine;
  std::vector<std::pair<std::string, std::string>> FHeaders;
  BodyKind FBody = BodyKind::None;
  int64_t FContentLength = -1;
  int64_t FBodyReceived = 0;
  int64_t FChunkLeft = 0;
  size_t FTrailerLines = 0;
};

// A header value's comma-separated tokens contain token (case-insensitive).
bool HasToken(std::string_view value, std::string_view token);

}  // namespace idhttp
