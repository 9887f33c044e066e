#include "HttpProtocol.h"

#include <algorithm>
#include <cstring>

namespace idhttp {

namespace {

bool IsCtlOrBlank(unsigned char c) { return c <= 0x20 || c == 0x7F; }

bool IsUnsafe(unsigned char c) {
  return IsCtlOrBlank(c) || c >= 0x80 || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
         c == '`' || c == '{' || c == '|' || c == '}';
}

template <class Pred>
std::string Escape(std::string_view s, Pred mustEncode) {
  static const char* hex = "0123456789ABCDEF";
  std::string r;
  r.reserve(s.size());
  for (unsigned char c : s) {
    if (mustEncode(c)) {
      r += '%';
      r += hex[c >> 4];
      r += hex[c & 15];
    } else {
      r += static_cast<char>(c);
    }
  }
  return r;
}

std::string Printable(std::string_view s, size_t max = 80) {
  std::string r;
  for (unsigned char c : s.substr(0, max)) r += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
  if (s.size() > max) r += "...";
  return r;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Path and query of a URL, encoded for the request line.
std::string EncodePathAndQuery(std::string_view rest, bool forceEncodeParams) {
  size_t hash = rest.find('#');
  if (hash != std::string_view::npos) rest = rest.substr(0, hash);
  size_t q = rest.find('?');
  std::string path = Escape(rest.substr(0, q), IsUnsafe);
  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  if (q == std::string_view::npos) return path;
  std::string_view query = rest.substr(q + 1);
  if (forceEncodeParams) return path + "?" + Escape(query, IsUnsafe);
  return path + "?" + Escape(query, IsCtlOrBlank);
}

// Removes "." and ".." segments from an absolute path (query untouched).
std::string RemoveDotSegments(const std::string& pathAndQuery) {
  size_t q = pathAndQuery.find('?');
  std::string path = pathAndQuery.substr(0, q);
  std::vector<std::string> out;
  size_t pos = 1;
  bool trailingSlash = false;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    std::string seg = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    bool last = slash == std::string::npos;
    if (seg == ".") {
      trailingSlash = last;
    } else if (seg == "..") {
      if (!out.empty()) out.pop_back();
      trailingSlash = last;
    } else {
      out.push_back(seg);
      trailingSlash = false;
    }
    if (last) break;
    pos = slash + 1;
  }
  std::string r;
  for (const auto& s : out) r += "/" + s;
  if (r.empty() || trailingSlash) r += "/";
  if (q != std::string::npos) r += pathAndQuery.substr(q);
  return r;
}

}  // namespace

bool HasToken(std::string_view value, std::string_view token) {
  while (!value.empty()) {
    size_t comma = value.find(',');
    std::string_view item = TrimView(value.substr(0, comma));
    if (SameTextAscii(item, token)) return true;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return false;
}

std::string Url::Authority() const {
  std::string h = Host.find(':') != std::string::npos ? "[" + Host + "]" : Host;
  return Port == 80 ? h : h + ":" + std::to_string(Port);
}

std::string Url::ToString() const { return Scheme + "://" + Authority() + Path; }

std::string Url::PathOnly() const { return Path.substr(0, Path.find('?')); }

Url ParseUrl(std::string_view text, bool forceEncodeParams) {
  std::string_view s = TrimView(text);
  if (s.empty()) throw EIdException("The URL is empty");
  Url u;
  size_t sep = s.find("://");
  size_t firstDelim = s.find_first_of("/?#");
  if (sep != std::string_view::npos && (firstDelim == std::string_view::npos || sep < firstDelim)) {
    u.Scheme = AsciiLower(s.substr(0, sep));
    s.remove_prefix(sep + 3);
  }
  if (u.Scheme != "http")
    throw EIdException(Format("Unsupported protocol \"%s\" in the URL %s", Printable(u.Scheme).c_str(),
                              Printable(text).c_str()));
  size_t end = s.find_first_of("/?#");
  std::string_view authority = s.substr(0, end);
  std::string_view rest = end == std::string_view::npos ? std::string_view() : s.substr(end);
  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);  // user info is not used
  std::string_view host = authority, port;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) throw EIdException(Format("Invalid host in the URL %s", Printable(text).c_str()));
    host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') throw EIdException(Format("Invalid host in the URL %s", Printable(text).c_str()));
      port = authority.substr(close + 2);
    }
  } else if (size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (host.empty()) throw EIdException(Format("The URL %s names no host", Printable(text).c_str()));
  for (unsigned char c : host)
    if (IsCtlOrBlank(c) || c == '/' || c == '\\' || c == '@')
      throw EIdException(Format("Invalid host in the URL %s", Printable(text).c_str()));
  u.Host = AsciiLower(host);
  if (!port.empty()) {
    int32_t p = 0;
    bool digits = std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || !TryStrToInt(port, p) || p < 1 || p > 65535)
      throw EIdException(Format("Invalid port in the URL %s", Printable(text).c_str()));
    u.Port = p;
  }
  u.Path = EncodePathAndQuery(rest, forceEncodeParams);
  return u;
}

Url ResolveLocation(const Url& base, std::string_view location, bool forceEncodeParams) {
  std::string_view loc = TrimView(location);
  if (loc.empty()) throw EIdProtocolError("The server sent a redirect without a target");
  size_t sep = loc.find("://");
  size_t firstDelim = loc.find_first_of("/?#");
  if (sep != std::string_view::npos && (firstDelim == std::string_view::npos || sep < firstDelim))
    return ParseUrl(loc, forceEncodeParams);
  if (loc.substr(0, 2) == "//") return ParseUrl(base.Scheme + ":" + std::string(loc), forceEncodeParams);
  Url u = base;
  if (loc[0] == '/') {
    u.Path = EncodePathAndQuery(loc, forceEncodeParams);
  } else if (loc[0] == '?') {
    u.Path = EncodePathAndQuery(base.PathOnly() + std::string(loc), forceEncodeParams);
  } else if (loc[0] == '#') {
    return base;
  } else {
    std::string dir = base.PathOnly();
    dir.resize(dir.rfind('/') + 1);
    u.Path = EncodePathAndQuery(dir + std::string(loc), forceEncodeParams);
  }
  u.Path = RemoveDotSegments(u.Path);
  return u;
}

std::string Base64Encode(std::string_view data) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string r;
  r.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
    r += alphabet[v >> 18];
    r += alphabet[(v >> 12) & 63];
    r += alphabet[(v >> 6) & 63];
    r += alphabet[v & 63];
  }
  if (i + 1 == data.size()) {
    uint32_t v = uint8_t(data[i]) << 16;
    r += alphabet[v >> 18];
    r += alphabet[(v >> 12) & 63];
    r += "==";
  } else if (i + 2 == data.size()) {
    uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8);
    r += alphabet[v >> 18];
    r += alphabet[(v >> 12) & 63];
    r += alphabet[(v >> 6) & 63];
    r += '=';
  }
  return r;
}

std::string BasicAuthorization(const std::string& user, const std::string& password) {
  return "Basic " + Base64Encode(user + ":" + password);
}

std::string BuildRequest(const RequestParams& p) {
  auto clean = [](std::string v) {
    for (char& c : v)
      if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return v;
  };
  std::string r = p.Method + " " + (p.ViaProxy ? p.Target.ToString() : p.Target.Path) + " HTTP/1.1\r\n";
  r += "Host: " + p.Target.Authority() + "\r\n";
  if (!p.Accept.empty()) r += "Accept: " + clean(p.Accept) + "\r\n";
  if (!p.UserAgent.empty()) r += "User-Agent: " + clean(p.UserAgent) + "\r\n";
  if (!p.Cookie.empty()) r += "Cookie: " + clean(p.Cookie) + "\r\n";
  if (!p.ProxyAuthorization.empty()) r += "Proxy-Authorization: " + clean(p.ProxyAuthorization) + "\r\n";
  r += p.KeepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
  r += "\r\n";
  return r;
}

// ---- Response parser ----------------------------------------------------------

void ResponseParser::Start(bool headRequest) {
  FStage = Stage::StatusLine;
  FChunk = Chunk::Size;
  FHead = headRequest;
  FLine.clear();
  FDiscarding = false;
  FTotalIn = 0;
  FCode = 0;
  FMinor = 1;
  FStatusLine.clear();
  FHeaders.clear();
  FBody = BodyKind::None;
  FContentLength = -1;
  FBodyReceived = 0;
  FChunkLeft = 0;
  FTrailerLines = 0;
}

const std::string* ResponseParser::Header(std::string_view name) const {
  for (const auto& h : FHeaders)
    if (SameTextAscii(h.first, name)) return &h.second;
  return nullptr;
}

std::vector<std::string> ResponseParser::HeaderValues(std::string_view name) const {
  std::vector<std::string> r;
  for (const auto& h : FHeaders)
    if (SameTextAscii(h.first, name)) r.push_back(h.second);
  return r;
}

bool ResponseParser::KeepAlive() const {
  if (FBody == BodyKind::UntilClose) return false;
  const std::string* c = Header("Connection");
  if (FMinor == 0) return c && HasToken(*c, "keep-alive");
  return !(c && HasToken(*c, "close"));
}

bool ResponseParser::TakeLine(const char*& p, const char* end) {
  const char* lf = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
  const char* stop = lf ? lf : end;
  const size_t n = static_cast<size_t>(stop - p);
  const char* from = p;
  p = lf ? lf + 1 : end;
  if (FDiscarding) {
    // The rest of a line already cut to the limit.
    if (!lf) return false;
    FDiscarding = false;
    return true;
  }
  // FLine holds at most the limit plus one byte (a CR before its LF).
  const size_t max = FLimits.MaxLineLength;
  const size_t room = max + 1 - FLine.size();
  bool over = n > room;
  FLine.append(from, over ? room : n);
  if (!over) {
    if (lf) {
      if (!FLine.empty() && FLine.back() == '\r') FLine.pop_back();
      over = FLine.size() > max;
    } else {
      over = FLine.size() == max + 1 && FLine.back() != '\r';
    }
  }
  if (over) {
    if (!FLimits.SplitLongLines)
      throw EIdProtocolError(Format("The server sent a line longer than %u bytes", unsigned(max)));
    FLine.resize(max);
    if (!lf) {
      FDiscarding = true;
      return false;
    }
    return true;
  }
  return lf != nullptr;
}

void ResponseParser::OnStatusLine() {
  const std::string& l = FLine;
  // HTTP/d.d SP ddd [SP reason]
  bool ok = l.size() >= 12 && l.compare(0, 5, "HTTP/") == 0 && l[5] == '1' && l[6] == '.' && l[7] >= '0' &&
            l[7] <= '9' && l[8] == ' ' && std::all_of(l.begin() + 9, l.begin() + 12, [](char c) { return c >= '0' && c <= '9'; }) &&
            (l.size() == 12 || l[12] == ' ');
  if (!ok) throw EIdProtocolError(Format("The server sent no valid HTTP status line: \"%s\"", Printable(l).c_str()));
  FMinor = l[7] - '0';
  FCode = (l[9] - '0') * 100 + (l[10] - '0') * 10 + (l[11] - '0');
  if (FCode < 100) throw EIdProtocolError(Format("The server sent an invalid status: \"%s\"", Printable(l).c_str()));
  FStatusLine = Printable(l, 1024);
  FStage = Stage::Headers;
}

void ResponseParser::OnHeaderLine() {
  if (FLine[0] == ' ' || FLine[0] == '\t') {
    // A folded continuation of the previous header.
    if (FHeaders.empty()) throw EIdProtocolError("The server sent an invalid header line");
    std::string& v = FHeaders.back().second;
    std::string_view more = TrimView(FLine);
    if (v.size() + more.size() + 1 > FLimits.MaxLineLength * 4)
      throw EIdProtocolError("The server sent an over-long header");
    v += " ";
    v += more;
    return;
  }
  if (FHeaders.size() >= FLimits.MaxHeaderLines) throw EIdProtocolError("The server sent too many header lines");
  size_t colon = FLine.find(':');
  if (colon == std::string::npos || colon == 0)
    throw EIdProtocolError(Format("The server sent an invalid header line: \"%s\"", Printable(FLine).c_str()));
  std::string_view name(FLine.data(), colon);
  for (unsigned char c : name)
    if (IsCtlOrBlank(c))
      throw EIdProtocolError(Format("The server sent an invalid header line: \"%s\"", Printable(FLine).c_str()));
  FHeaders.emplace_back(std::string(name), std::string(TrimView(std::string_view(FLine).substr(colon + 1))));
}

void ResponseParser::OnHeadersDone() {
  if (FCode >= 100 && FCode < 200) {
    if (FCode == 101) throw EIdProtocolError("The server switched protocols unasked");
    // An interim response: the real one follows.
    FCode = 0;
    FStatusLine.clear();
    FHeaders.clear();
    FStage = Stage::StatusLine;
    return;
  }
  FStage = Stage::Body;
  if (FHead || FCode == 204 || FCode == 304) {
    FBody = BodyKind::None;
    FStage = Stage::Done;
    return;
  }
  std::vector<std::string> te = HeaderValues("Transfer-Encoding");
  if (!te.empty()) {
    // The last coding decides: chunked framing, or the body runs to the close.
    std::string_view last = te.back();
    size_t comma = last.rfind(',');
    if (comma != std::string_view::npos) last.remove_prefix(comma + 1);
    FBody = SameTextAscii(TrimView(last), "chunked") ? BodyKind::Chunked : BodyKind::UntilClose;
    FChunk = Chunk::Size;
    return;
  }
  std::vector<std::string> cl = HeaderValues("Content-Length");
  if (!cl.empty()) {
    int64_t length = -1;
    for (const std::string& value : cl) {
      std::string_view rest = value;
      while (true) {
        size_t comma = rest.find(',');
        std::string_view item = TrimView(rest.substr(0, comma));
        if (item.empty() || item.size() > 18 ||
            !std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; }))
          throw EIdProtocolError(Format("The server sent an invalid Content-Length: \"%s\"", Printable(value).c_str()));
        int64_t n = 0;
        for (char c : item) n = n * 10 + (c - '0');
        if (length >= 0 && n != length)
          throw EIdProtocolError("The server sent conflicting Content-Length headers");
        length = n;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    }
    FBody = BodyKind::Length;
    FContentLength = length;
    if (length == 0) FStage = Stage::Done;
    return;
  }
  FBody = BodyKind::UntilClose;
}

void ResponseParser::OnChunkSizeLine() {
  std::string_view l = TrimView(FLine);
  int64_t size = 0;
  size_t k = 0;
  for (; k < l.size(); ++k) {
    char c = l[k];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) break;
    if (k >= 15) throw EIdProtocolError("The server sent an invalid chunk size");
    size = size * 16 + d;
  }
  if (k == 0 || (k < l.size() && l[k] != ';' && l[k] != ' ' && l[k] != '\t'))
    throw EIdProtocolError(Format("The server sent an invalid chunk size: \"%s\"", Printable(FLine).c_str()));
  if (size == 0) {
    FChunk = Chunk::Trailer;
  } else {
    FChunkLeft = size;
    FChunk = Chunk::Data;
  }
}

size_t ResponseParser::Feed(const char* data, size_t size, const BodySink& sink) {
  const char* p = data;
  const char* end = data + size;
  while (p < end && FStage != Stage::Done) {
    switch (FStage) {
      case Stage::StatusLine:
        if (FLine.empty() && !FDiscarding) {
          // Empty lines before a status line are tolerated.
          while (p < end && (*p == '\r' || *p == '\n') && FTotalIn + (p - data) < 16) ++p;
          if (p == end) break;
        }
        if (TakeLine(p, end)) {
          OnStatusLine();
          FLine.clear();
        }
        break;
      case Stage::Headers:
        if (TakeLine(p, end)) {
          if (FLine.empty()) OnHeadersDone();
          else OnHeaderLine();
          FLine.clear();
        }
        break;
      case Stage::Body: {
        if (FBody == BodyKind::UntilClose) {
          size_t n = static_cast<size_t>(end - p);
          FBodyReceived += static_cast<int64_t>(n);
          if (sink) sink(p, n);
          p = end;
        } else if (FBody == BodyKind::Length) {
          size_t n = static_cast<size_t>(std::min<int64_t>(end - p, FContentLength - FBodyReceived));
          FBodyReceived += static_cast<int64_t>(n);
          if (sink && n) sink(p, n);
          p += n;
          if (FBodyReceived == FContentLength) FStage = Stage::Done;
        } else {
          switch (FChunk) {
            case Chunk::Size:
              if (TakeLine(p, end)) {
                OnChunkSizeLine();
                FLine.clear();
              }
              break;
            case Chunk::Data: {
              size_t n = static_cast<size_t>(std::min<int64_t>(end - p, FChunkLeft));
              FChunkLeft -= static_cast<int64_t>(n);
              FBodyReceived += static_cast<int64_t>(n);
              if (sink && n) sink(p, n);
              p += n;
              if (FChunkLeft == 0) FChunk = Chunk::DataEnd;
              break;
            }
            case Chunk::DataEnd:
              if (TakeLine(p, end)) {
                if (!FLine.empty()) throw EIdProtocolError("The server sent a chunk longer than announced");
                FChunk = Chunk::Size;
              }
              break;
            case Chunk::Trailer:
              if (TakeLine(p, end)) {
                bool last = FLine.empty();
                FLine.clear();
                if (last) FStage = Stage::Done;
                else if (++FTrailerLines > FLimits.MaxHeaderLines)
                  throw EIdProtocolError("The server sent too many trailer lines");
              }
              break;
          }
        }
        break;
      }
      case Stage::Done:
        break;
    }
  }
  FTotalIn += p - data;
  return static_cast<size_t>(p - data);
}

void ResponseParser::Eof() {
  switch (FStage) {
    case Stage::Done:
      return;
    case Stage::StatusLine:
    case Stage::Headers:
      if (FTotalIn == 0) throw EIdConnClosedGracefully("The connection was closed before the server answered");
      throw EIdConnClosedGracefully("The connection was closed in the middle of the response headers");
    case Stage::Body:
      if (FBody == BodyKind::UntilClose) {
        FStage = Stage::Done;
        return;
      }
      if (FBody == BodyKind::Length)
        throw EIdConnClosedGracefully(Format("The connection was closed before the transfer was complete (%lld of %lld bytes received)",
                                             static_cast<long long>(FBodyReceived), static_cast<long long>(FContentLength)));
      throw EIdConnClosedGracefully(Format("The connection was closed before the transfer was complete (%lld bytes received, the chunked body has no end)",
                                           static_cast<long long>(FBodyReceived)));
  }
}

}  // namespace idhttp
