// The local test HTTP server: 127.0.0.1 only, one thread per connection,
// scriptable per path through the query (see README.md beside this file).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

// ---- Limits ---------------------------------------------------------------

constexpr size_t kMaxHead = 64 * 1024;              // request line and headers
constexpr int64_t kMaxBody = 16 * 1024 * 1024;      // request body kept for /echo
constexpr int kMaxConnections = 256;                 // concurrent connections
constexpr int kIdleMs = 60 * 1000;                   // keep-alive idle time
constexpr int kRequestMs = 30 * 1000;                // rest of a request once begun
constexpr int kStallMs = 120 * 1000;                 // stall=...: longest hold
constexpr int kMaxWaitMs = 120 * 1000;               // delay and drip pauses
constexpr size_t kMaxLogBytes = 8 * 1024 * 1024;     // request log kept in memory

struct Options {
  int port = 0;
  std::string portFile, logFile, root;
};
Options gOpt;
std::atomic<int> gConnections{0};

// ---- Request log ----------------------------------------------------------

std::mutex gLogMutex;
std::deque<std::string> gLog;
size_t gLogBytes = 0;
FILE* gLogFile = nullptr;
uint64_t gLogSeq = 0;

void AddLog(std::string entry) {
  std::lock_guard<std::mutex> lock(gLogMutex);
  ++gLogSeq;
  if (gLogFile) {
    fwrite(entry.data(), 1, entry.size(), gLogFile);
    fflush(gLogFile);
  }
  gLogBytes += entry.size();
  gLog.push_back(std::move(entry));
  while (gLogBytes > kMaxLogBytes && !gLog.empty()) {
    gLogBytes -= gLog.front().size();
    gLog.pop_front();
  }
}

std::string LogText() {
  std::lock_guard<std::mutex> lock(gLogMutex);
  std::string out;
  out.reserve(gLogBytes);
  for (const auto& e : gLog) out += e;
  return out;
}

// ---- Small text helpers -----------------------------------------------------

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool IEquals(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX decoding; '+' stays a plus sign.
std::string PercentDecode(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0) {
      r += static_cast<char>(Hex(s[i + 1]) * 16 + Hex(s[i + 2]));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

// A decimal number in 0..max, or -1.
int64_t ToNumber(std::string_view s, int64_t max) {
  if (s.empty() || s.size() > 18) return -1;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v <= max ? v : -1;
}

std::string HttpDate(time_t t) {
  struct tm tm;
  gmtime_r(&t, &tm);
  char buf[64];
  strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

const char* Reason(int code) {
  switch (code) {
    case 100: return "Continue";
    case 101: return "Switching Protocols";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
  }
}

// ---- The body pattern of /bytes/N: byte i is i mod 251 ----------------------

std::vector<char> MakePattern() {
  std::vector<char> p(251 * 512);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<char>(i % 251);
  return p;
}
const std::vector<char>& Pattern() {
  static const std::vector<char> p = MakePattern();
  return p;
}

// ---- Connection ---------------------------------------------------------------

using Clock = std::chrono::steady_clock;

class Conn {
 public:
  explicit Conn(int fd) : fd_(fd) {}
  ~Conn() { close(fd_); }
  int fd() const { return fd_; }
  std::string in;  // bytes received and not yet consumed

  // Receives more bytes; false on close, error or time-out.
  bool ReadMore(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r <= 0) return false;
    char buf[65536];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    in.append(buf, static_cast<size_t>(n));
    return true;
  }

  bool SendAll(const char* p, size_t n) {
    while (n > 0) {
      ssize_t w = send(fd_, p, n, MSG_NOSIGNAL);
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd pf{fd_, POLLOUT, 0};
          if (poll(&pf, 1, kRequestMs) <= 0) return false;
          continue;
        }
        return false;
      }
      p += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }
  bool SendAll(std::string_view s) { return SendAll(s.data(), s.size()); }

  // Waits up to ms; false when the client closed meanwhile. Bytes the client
  // sends during the wait are discarded (bounded by the wait).
  bool Wait(int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (left <= 0) return true;
      pollfd p{fd_, POLLIN, 0};
      int r = poll(&p, 1, static_cast<int>(left));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return true;
      char buf[4096];
      ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return false;
    }
  }

 private:
  int fd_;
};

struct Request {
  std::string method, target, version, path, head;
  std::vector<std::pair<std::string, std::string>> headers;  // name, value
  std::vector<std::pair<std::string, std::string>> query;    // decoded
  std::string body;
  int64_t bodyLength = 0;

  const std::string* Header(std::string_view name) const {
    for (const auto& h : headers)
      if (IEquals(h.first, name)) return &h.second;
    return nullptr;
  }
  const std::string* Param(std::string_view name) const {
    for (const auto& q : query)
      if (q.first == name) return &q.second;
    return nullptr;
  }
  int64_t NumParam(std::string_view name, int64_t def, int64_t max) const {
    const std::string* v = Param(name);
    if (!v) return def;
    int64_t n = ToNumber(*v, max);
    return n < 0 ? def : n;
  }
};

void SplitTarget(Request& r) {
  std::string t = r.target;
  // Absolute form, as a proxy receives it: serve its path.
  std::string lt = Lower(t.substr(0, 8));
  if (lt.rfind("http://", 0) == 0 || lt.rfind("https://", 0) == 0) {
    size_t start = t.find("//") + 2;
    size_t slash = t.find_first_of("/?", start);
    t = slash == std::string::npos ? "/" : t.substr(slash);
    if (!t.empty() && t[0] == '?') t = "/" + t;
  }
  size_t hash = t.find('#');
  if (hash != std::string::npos) t.resize(hash);
  size_t q = t.find('?');
  r.path = PercentDecode(t.substr(0, q));
  if (q == std::string::npos) return;
  std::string_view qs(t);
  qs.remove_prefix(q + 1);
  while (!qs.empty()) {
    size_t amp = qs.find('&');
    std::string_view item = qs.substr(0, amp);
    if (!item.empty()) {
      size_t eq = item.find('=');
      std::string k = PercentDecode(item.substr(0, eq));
      std::string v = eq == std::string_view::npos ? std::string() : PercentDecode(item.substr(eq + 1));
      r.query.emplace_back(std::move(k), std::move(v));
    }
    if (amp == std::string_view::npos) break;
    qs.remove_prefix(amp + 1);
  }
}

enum class ReadResult { Ok, Closed, TooLarge, Bad };

// Reads one request: head, then a body by Content-Length or chunked.
ReadResult ReadRequest(Conn& c, Request& r) {
  size_t end;
  bool first = true;
  for (;;) {
    // Leading empty lines between requests are allowed.
    while (c.in.rfind("\r\n", 0) == 0) c.in.erase(0, 2);
    end = c.in.find("\r\n\r\n");
    if (end != std::string::npos) break;
    if (c.in.size() > kMaxHead) return ReadResult::TooLarge;
    if (!c.ReadMore(first && c.in.empty() ? kIdleMs : kRequestMs)) return ReadResult::Closed;
    first = false;
  }
  if (end + 4 > kMaxHead) return ReadResult::TooLarge;
  r.head = c.in.substr(0, end + 4);
  c.in.erase(0, end + 4);

  size_t lineEnd = r.head.find("\r\n");
  std::string line = r.head.substr(0, lineEnd);
  size_t s1 = line.find(' ');
  size_t s2 = s1 == std::string::npos ? std::string::npos : line.find(' ', s1 + 1);
  if (s2 == std::string::npos) return ReadResult::Bad;
  r.method = line.substr(0, s1);
  r.target = line.substr(s1 + 1, s2 - s1 - 1);
  r.version = line.substr(s2 + 1);
  if (r.target.empty() || r.version.rfind("HTTP/", 0) != 0) return ReadResult::Bad;
  size_t pos = lineEnd + 2;
  while (pos < end) {
    size_t e = r.head.find("\r\n", pos);
    std::string h = r.head.substr(pos, e - pos);
    pos = e + 2;
    size_t colon = h.find(':');
    if (colon == std::string::npos || colon == 0) return ReadResult::Bad;
    r.headers.emplace_back(h.substr(0, colon), Trim(std::string_view(h).substr(colon + 1)));
  }
  SplitTarget(r);

  const std::string* te = r.Header("Transfer-Encoding");
  const std::string* cl = r.Header("Content-Length");
  if (te && Lower(*te).find("chunked") != std::string::npos) {
    for (;;) {
      size_t le;
      while ((le = c.in.find("\r\n")) == std::string::npos) {
        if (c.in.size() > 1024) return ReadResult::Bad;
        if (!c.ReadMore(kRequestMs)) return ReadResult::Closed;
      }
      std::string sizeLine = c.in.substr(0, le);
      c.in.erase(0, le + 2);
      int64_t size = 0;
      size_t k = 0;
      for (; k < sizeLine.size() && Hex(sizeLine[k]) >= 0; ++k) {
        size = size * 16 + Hex(sizeLine[k]);
        if (size > kMaxBody) return ReadResult::TooLarge;
      }
      if (k == 0) return ReadResult::Bad;
      if (size == 0) {
        // Trailers up to the empty line.
        for (;;) {
          while ((le = c.in.find("\r\n")) == std::string::npos) {
            if (c.in.size() > kMaxHead) return ReadResult::TooLarge;
            if (!c.ReadMore(kRequestMs)) return ReadResult::Closed;
          }
          c.in.erase(0, le + 2);
          if (le == 0) break;
        }
        break;
      }
      r.bodyLength += size;
      if (r.bodyLength > kMaxBody) return ReadResult::TooLarge;
      while (static_cast<int64_t>(c.in.size()) < size + 2)
        if (!c.ReadMore(kRequestMs)) return ReadResult::Closed;
      r.body.append(c.in, 0, static_cast<size_t>(size));
      c.in.erase(0, static_cast<size_t>(size) + 2);
    }
  } else if (cl) {
    int64_t n = ToNumber(Trim(*cl), INT64_MAX / 2);
    if (n < 0) return ReadResult::Bad;
    if (n > kMaxBody) return ReadResult::TooLarge;
    while (static_cast<int64_t>(c.in.size()) < n)
      if (!c.ReadMore(kRequestMs)) return ReadResult::Closed;
    r.body = c.in.substr(0, static_cast<size_t>(n));
    c.in.erase(0, static_cast<size_t>(n));
    r.bodyLength = n;
  }
  return ReadResult::Ok;
}

void LogRequest(const Request& r) {
  std::string e = r.method + " " + r.target + " " + r.version + " body=" + std::to_string(r.bodyLength) + "\n";
  for (const auto& h : r.headers) e += "  " + h.first + ": " + h.second + "\n";
  AddLog(std::move(e));
}

// ---- Responses ----------------------------------------------------------------

struct Body {
  int64_t length = 0;
  // Copies n bytes of the body from offset into buf.
  std::function<bool(char* buf, int64_t offset, size_t n)> fill;
};

Body TextBody(std::string text) {
  auto shared = std::make_shared<std::string>(std::move(text));
  Body b;
  b.length = static_cast<int64_t>(shared->size());
  b.fill = [shared](char* buf, int64_t off, size_t n) {
    memcpy(buf, shared->data() + off, n);
    return true;
  };
  return b;
}

Body PatternBody(int64_t n) {
  Body b;
  b.length = n;
  b.fill = [](char* buf, int64_t off, size_t n) {
    const auto& p = Pattern();
    while (n > 0) {
      size_t start = static_cast<size_t>(off % 251);
      size_t take = std::min(n, p.size() - start);
      memcpy(buf, p.data() + start, take);
      buf += take;
      off += static_cast<int64_t>(take);
      n -= take;
    }
    return true;
  };
  return b;
}

struct Response {
  int code = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  Body body;
  bool bodyAllowed = true;
};

// Applies the modifiers and sends the response. False: close the connection.
bool Send(Conn& c, const Request& r, Response resp, bool keepAlive) {
  if (int64_t d = r.NumParam("delay", 0, kMaxWaitMs); d > 0)
    if (!c.Wait(static_cast<int>(d))) return false;
  const std::string* stall = r.Param("stall");
  if (stall && *stall == "headers") {
    c.Wait(kStallMs);
    return false;
  }
  if (r.Param("garbage")) {
    c.SendAll("HTPT/1.1 two hundred okay\r\nContent-Length: 2\r\n\r\nok");
    return false;
  }

  bool head = r.method == "HEAD";
  bool chunked = r.Param("chunked") != nullptr && resp.bodyAllowed;
  bool untilClose = r.Param("close") != nullptr && resp.bodyAllowed && !chunked;
  int64_t cut = r.NumParam("cut", -1, INT64_MAX / 2);
  if (untilClose) keepAlive = false;
  if (cut >= 0) keepAlive = false;

  std::string h = "HTTP/1.1 " + std::to_string(resp.code) + " " + Reason(resp.code) + "\r\n";
  const std::string* date = r.Param("date");
  h += "Date: " + (date ? *date : HttpDate(time(nullptr))) + "\r\n";
  h += "Server: corvallo-httpd\r\n";
  if (const std::string* lm = r.Param("lastmod")) h += "Last-Modified: " + *lm + "\r\n";
  for (const auto& [name, value] : resp.headers) h += name + ": " + value + "\r\n";
  for (const auto& q : r.query)
    if (q.first == "header") {
      size_t colon = q.second.find(':');
      if (colon != std::string::npos)
        h += q.second.substr(0, colon) + ": " + Trim(std::string_view(q.second).substr(colon + 1)) + "\r\n";
    }
  if (int64_t n = r.NumParam("longheader", 0, 64 * 1024 * 1024); n > 0) {
    std::string line = "X-Long: ";
    if (n > static_cast<int64_t>(line.size())) line.append(static_cast<size_t>(n) - line.size(), 'a');
    h += line + "\r\n";
  }
  if (resp.bodyAllowed) {
    if (chunked) h += "Transfer-Encoding: chunked\r\n";
    else if (!untilClose) h += "Content-Length: " + std::to_string(resp.body.length) + "\r\n";
  }
  h += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
  h += "\r\n";
  if (!c.SendAll(h)) return false;
  if (head || !resp.bodyAllowed) return keepAlive;

  bool stallBody = stall && *stall == "body";
  int64_t total = resp.body.length;
  int64_t limit = cut >= 0 ? std::min(cut, total) : total;
  if (stallBody && cut < 0) limit = 0;
  int64_t drip = r.NumParam("drip", 0, kMaxWaitMs);
  size_t piece = static_cast<size_t>(drip > 0 ? r.NumParam("piece", 1024, 1 << 20) : r.NumParam("chunk", 256 * 1024, 1 << 22));
  if (piece == 0) piece = 1024;
  std::vector<char> buf(std::min<size_t>(piece, 1 << 22) + 32);
  int64_t off = 0;
  while (off < limit) {
    size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(piece), limit - off));
    if (!resp.body.fill(buf.data(), off, n)) return false;
    if (chunked) {
      char size[32];
      int len = snprintf(size, sizeof size, "%zx\r\n", n);
      if (!c.SendAll(size, static_cast<size_t>(len)) || !c.SendAll(buf.data(), n) || !c.SendAll("\r\n", 2))
        return false;
    } else if (!c.SendAll(buf.data(), n)) {
      return false;
    }
    off += static_cast<int64_t>(n);
    if (drip > 0 && off < limit && !c.Wait(static_cast<int>(drip))) return false;
  }
  if (stallBody) {
    c.Wait(kStallMs);
    return false;
  }
  if (limit < total) return false;  // cut: close short of the end
  if (chunked && !c.SendAll("0\r\n\r\n")) return false;
  return keepAlive;
}

Response Simple(int code, std::string text) {
  Response r;
  r.code = code;
  r.headers.emplace_back("Content-Type", "text/plain");
  r.body = TextBody(std::move(text));
  return r;
}

Response Redirect(const Request& req, int code, const std::string& location) {
  Response r = Simple(code, "redirect to " + location + "\n");
  std::string loc = location;
  if (req.Param("abs")) {
    const std::string* host = req.Header("Host");
    loc = "http://" + (host ? *host : std::string("127.0.0.1")) + location;
  }
  r.headers.emplace_back("Location", loc);
  return r;
}

// Query text with the given value percent-encoded.
std::string Encode(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string r;
  for (unsigned char ch : s) {
    if (isalnum(ch) || ch == '/' || ch == '-' || ch == '_' || ch == '.' || ch == '~') r += static_cast<char>(ch);
    else {
      r += '%';
      r += hex[ch >> 4];
      r += hex[ch & 15];
    }
  }
  return r;
}

bool IsModifier(std::string_view k) {
  static const char* names[] = {"chunked", "close", "cut", "stall", "drip", "piece", "chunk", "delay", "header",
                                "longheader", "garbage", "date", "lastmod", "to", "code", "abs"};
  for (const char* n : names)
    if (k == n) return true;
  return false;
}

Response Route(const Request& req, int depth = 0) {
  const std::string& p = req.path;
  auto starts = [&](const char* prefix) { return p.rfind(prefix, 0) == 0; };
  if (starts("/bytes/")) {
    int64_t n = ToNumber(p.substr(7), int64_t{1} << 40);
    if (n < 0) return Simple(400, "bad length\n");
    Response r;
    r.headers.emplace_back("Content-Type", "application/octet-stream");
    r.body = PatternBody(n);
    return r;
  }
  if (p == "/echo") return Simple(200, req.head + req.body);
  if (starts("/status/")) {
    int64_t code = ToNumber(p.substr(8), 999);
    if (code < 100) return Simple(400, "bad status\n");
    Response r = Simple(static_cast<int>(code), std::to_string(code) + " " + Reason(static_cast<int>(code)) + "\n");
    if (code == 204 || code == 304) r.bodyAllowed = false;
    if (code == 401) r.headers.emplace_back("WWW-Authenticate", "Basic realm=\"corvallo\"");
    if (code == 407) r.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"corvallo\"");
    return r;
  }
  if (starts("/redirect/")) {
    int64_t n = ToNumber(p.substr(10), 1000000);
    if (n < 0) return Simple(400, "bad count\n");
    const std::string* to = req.Param("to");
    std::string target = to ? *to : "/bytes/5";
    int code = static_cast<int>(req.NumParam("code", 302, 999));
    if (n == 0 && depth == 0) {
      // The end of the chain: answered as its target would be.
      Request inner = req;
      inner.target = target;
      inner.query.clear();
      SplitTarget(inner);
      return Route(inner, depth + 1);
    }
    std::string next = n <= 1 ? target : "/redirect/" + std::to_string(n - 1) + "?to=" + Encode(target) +
                                             "&code=" + std::to_string(code);
    if (n > 1 && req.Param("abs")) next += "&abs=1";
    return Redirect(req, code, next);
  }
  if (p == "/loop") {
    size_t q = req.target.find('?');
    return Redirect(req, static_cast<int>(req.NumParam("code", 302, 999)),
                    "/loop" + (q == std::string::npos ? std::string() : req.target.substr(q)));
  }
  if (p == "/cookie/set") {
    const std::string* to = req.Param("to");
    Response r = to ? Redirect(req, 302, *to) : Simple(200, "ok\n");
    for (const auto& q : req.query)
      if (!IsModifier(q.first)) r.headers.emplace_back("Set-Cookie", q.first + "=" + q.second + "; Path=/");
    return r;
  }
  if (p == "/cookie/echo") {
    const std::string* c = req.Header("Cookie");
    return Simple(200, c ? *c : std::string());
  }
  if (starts("/file/")) {
    std::string name = p.substr(6);
    if (gOpt.root.empty() || name.empty() || name.find("..") != std::string::npos || name[0] == '/')
      return Simple(404, "404 Not Found\n");
    std::string path = gOpt.root + "/" + name;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      if (fd >= 0) close(fd);
      return Simple(404, "404 Not Found\n");
    }
    auto holder = std::shared_ptr<int>(new int(fd), [](int* f) {
      close(*f);
      delete f;
    });
    Response r;
    r.headers.emplace_back("Content-Type", "application/octet-stream");
    r.body.length = st.st_size;
    r.body.fill = [holder](char* buf, int64_t off, size_t n) {
      while (n > 0) {
        ssize_t got = pread(*holder, buf, n, off);
        if (got <= 0) return false;
        buf += got;
        off += got;
        n -= static_cast<size_t>(got);
      }
      return true;
    };
    return r;
  }
  if (p == "/_log") return Simple(200, LogText());
  return Simple(404, "404 Not Found\n");
}

void Serve(int fd) {
  {
    Conn c(fd);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (;;) {
      Request req;
      ReadResult rr = ReadRequest(c, req);
      if (rr == ReadResult::Closed) break;
      if (rr != ReadResult::Ok) {
        int code = rr == ReadResult::TooLarge ? (req.head.empty() ? 431 : 413) : 400;
        std::string msg = std::to_string(code) + " " + Reason(code) + "\n";
        c.SendAll("HTTP/1.1 " + std::to_string(code) + " " + Reason(code) +
                  "\r\nConnection: close\r\nContent-Length: " + std::to_string(msg.size()) + "\r\n\r\n" + msg);
        break;
      }
      LogRequest(req);
      bool keepAlive;
      const std::string* conn = req.Header("Connection");
      std::string lc = conn ? Lower(*conn) : std::string();
      if (req.version == "HTTP/1.0") keepAlive = lc.find("keep-alive") != std::string::npos;
      else keepAlive = lc.find("close") == std::string::npos;
      Response resp;
      if (req.method != "GET" && req.method != "POST" && req.method != "HEAD") {
        resp = Simple(501, "501 Not Implemented\n");
      } else {
        resp = Route(req);
      }
      if (resp.code >= 100 && resp.code < 200 && resp.code != 101) {
        // An interim status, then the final answer.
        std::string interim = "HTTP/1.1 " + std::to_string(resp.code) + " " + Reason(resp.code) + "\r\n\r\n";
        if (!c.SendAll(interim)) break;
        resp = Simple(200, "after " + std::to_string(resp.code) + "\n");
      }
      if (!Send(c, req, std::move(resp), keepAlive)) break;
    }
    shutdown(fd, SHUT_WR);
  }
  --gConnections;
}

bool WritePortFile(const std::string& file, int port) {
  std::string tmp = file + ".tmp";
  FILE* f = fopen(tmp.c_str(), "w");
  if (!f) return false;
  fprintf(f, "%d\n", port);
  if (fclose(f) != 0) return false;
  return rename(tmp.c_str(), file.c_str()) == 0;
}

int Usage() {
  fprintf(stderr, "usage: httpd [--port N] [--port-file F] [--log F] [--root DIR] | httpd --free-port\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  bool freePort = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--free-port") {
      freePort = true;
    } else if (a == "--port" && (v = next())) {
      int64_t p = ToNumber(v, 65535);
      if (p < 0) return Usage();
      gOpt.port = static_cast<int>(p);
    } else if (a == "--port-file" && (v = next())) {
      gOpt.portFile = v;
    } else if (a == "--log" && (v = next())) {
      gOpt.logFile = v;
    } else if (a == "--root" && (v = next())) {
      gOpt.root = v;
    } else {
      return Usage();
    }
  }

  int ls = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (ls < 0) {
    perror("httpd: socket");
    return 1;
  }
  int one = 1;
  setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(freePort ? 0 : gOpt.port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    fprintf(stderr, "httpd: cannot bind 127.0.0.1:%d: %s\n", gOpt.port, strerror(errno));
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(ls, reinterpret_cast<sockaddr*>(&addr), &len);
  int port = ntohs(addr.sin_port);
  if (freePort) {
    // A port that was free a moment ago, for servers that need a number up front.
    printf("%d\n", port);
    return 0;
  }
  if (listen(ls, 128) != 0) {
    perror("httpd: listen");
    return 1;
  }
  if (!gOpt.logFile.empty()) {
    gLogFile = fopen(gOpt.logFile.c_str(), "a");
    if (!gLogFile) {
      fprintf(stderr, "httpd: cannot open log %s\n", gOpt.logFile.c_str());
      return 1;
    }
  }
  if (!gOpt.portFile.empty() && !WritePortFile(gOpt.portFile, port)) {
    fprintf(stderr, "httpd: cannot write port file %s\n", gOpt.portFile.c_str());
    return 1;
  }
  fprintf(stderr, "httpd: listening on 127.0.0.1:%d\n", port);

  for (;;) {
    int fd = accept4(ls, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
        if (errno == EMFILE || errno == ENFILE) usleep(10000);
        continue;
      }
      perror("httpd: accept");
      return 1;
    }
    if (gConnections.load() >= kMaxConnections) {
      close(fd);
      continue;
    }
    ++gConnections;
    try {
      std::thread(Serve, fd).detach();
    } catch (...) {
      --gConnections;
      close(fd);
    }
  }
}
