// The URL, request and response records of the SwinHttp unit, and the
// WinInet handle owner: the parts that call WinInet.
#include "SwinHttp.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "HttpDate.h"

// ---- TInetHandle -----------------------------------------------------------

void TInetHandle::Reset(HINTERNET handle) noexcept {
  if (FHandle && FHandle != handle) InternetCloseHandle(FHandle);
  FHandle = handle;
}

// ---- TSwURL -----------------------------------------------------------------

namespace {
// Size of every part buffer when a URL is split, and of the composed text.
constexpr DWORD kUrlBufferSize = 2048;
}  // namespace

static std::vector<TPropInfo> UrlProps() {
  return TPropBuilder<TSwURL>()
      .Prop("url", &TSwURL::GetUrl, &TSwURL::SetUrl)
      .Prop("HTTPS", &TSwURL::GetSSL, &TSwURL::SetSSL)
      .Field("Host", &TSwURL::Host)
      .Field("Port", &TSwURL::Port)
      .Field("Path", &TSwURL::Path)
      .Field("Extra", &TSwURL::Extra)
      .Field("User", &TSwURL::User)
      .Field("Pass", &TSwURL::Pass)
      .Done();
}
VCL_DEFINE_CLASS(TSwURL, TPersistent, nullptr, &UrlProps)

TSwURL::TSwURL() { Clear(); }

void TSwURL::Clear() {
  Host.clear();
  User.clear();
  Pass.clear();
  Path.clear();
  Extra.clear();
  Port = 80;
  Scheme = SwSchemeHttp;
}

void TSwURL::SetUrl(const std::string& text) {
  URL_COMPONENTSA uc;
  std::memset(&uc, 0, sizeof uc);
  uc.dwStructSize = sizeof uc;
  std::vector<char> host(kUrlBufferSize), user(kUrlBufferSize), pass(kUrlBufferSize),
      path(kUrlBufferSize), extra(kUrlBufferSize);
  uc.lpszHostName = host.data();
  uc.dwHostNameLength = kUrlBufferSize;
  uc.lpszUserName = user.data();
  uc.dwUserNameLength = kUrlBufferSize;
  uc.lpszPassword = pass.data();
  uc.dwPasswordLength = kUrlBufferSize;
  uc.lpszUrlPath = path.data();
  uc.dwUrlPathLength = kUrlBufferSize;
  uc.lpszExtraInfo = extra.data();
  uc.dwExtraInfoLength = kUrlBufferSize;
  if (!InternetCrackUrlA(text.c_str(), static_cast<DWORD>(text.size()), ICU_DECODE, &uc)) return;
  // Each part up to its first zero byte, never past its buffer.
  auto part = [](const std::vector<char>& b) { return std::string(b.data(), strnlen(b.data(), b.size())); };
  Host = part(host);
  User = part(user);
  Pass = part(pass);
  Path = part(path);
  Extra = part(extra);
  Port = uc.nPort;
  Scheme = static_cast<int32_t>(uc.nScheme);
}

std::string TSwURL::GetUrl() const {
  URL_COMPONENTSA uc;
  std::memset(&uc, 0, sizeof uc);
  uc.dwStructSize = sizeof uc;
  uc.nScheme = static_cast<INTERNET_SCHEME>(Scheme);
  uc.lpszHostName = const_cast<char*>(Host.c_str());
  uc.dwHostNameLength = static_cast<DWORD>(Host.size());
  if (!User.empty()) {
    uc.lpszUserName = const_cast<char*>(User.c_str());
    uc.dwUserNameLength = static_cast<DWORD>(User.size());
    uc.lpszPassword = const_cast<char*>(Pass.c_str());
    uc.dwPasswordLength = static_cast<DWORD>(Pass.size());
  }
  if (!Path.empty()) uc.lpszUrlPath = const_cast<char*>(Path.c_str());
  uc.dwUrlPathLength = static_cast<DWORD>(Path.size());
  if (!Extra.empty()) uc.lpszExtraInfo = const_cast<char*>(Extra.c_str());
  uc.dwExtraInfoLength = static_cast<DWORD>(Extra.size());
  uc.nPort = static_cast<INTERNET_PORT>(Port & 0xFFFF);

  std::vector<char> buf(kUrlBufferSize);
  DWORD len = kUrlBufferSize;
  if (!InternetCreateUrlA(&uc, ICU_ESCAPE, buf.data(), &len)) return {};
  return std::string(buf.data(), std::min<DWORD>(len, kUrlBufferSize));
}

void TSwURL::AssignTo(TPersistent* dest) const {
  if (auto* d = dynamic_cast<TSwURL*>(dest)) {
    d->SetUrl(GetUrl());
    return;
  }
  TPersistent::AssignTo(dest);
}

// ---- TSwRequest -------------------------------------------------------------

static std::vector<TPropInfo> RequestProps() {
  return TPropBuilder<TSwRequest>()
      .Object("url", [](const TSwRequest& r) { return r.url.get(); })
      .Field("PostData", &TSwRequest::PostData)
      .Field("Agent", &TSwRequest::Agent)
      .Field("Referer", &TSwRequest::Referer)
      .Object("Headers", [](const TSwRequest& r) { return r.Headers.get(); })
      .Field("Tag", &TSwRequest::Tag)
      .Done();
}
VCL_DEFINE_CLASS(TSwRequest, TPersistent, nullptr, &RequestProps)

TSwRequest::TSwRequest() : url(std::make_unique<TSwURL>()), Headers(std::make_unique<TStringList>()) {
  Clear();
}

TSwRequest::~TSwRequest() = default;

void TSwRequest::Clear() {
  Agent = DefaultAgent;
  Referer.clear();
  PostData.clear();
  url->Clear();
}

void TSwRequest::AssignTo(TPersistent* dest) const {
  if (auto* d = dynamic_cast<TSwRequest*>(dest)) {
    d->Referer = Referer;
    d->PostData = PostData;
    d->Agent = Agent;
    d->url->Assign(url.get());
    d->Headers->Assign(Headers.get());
    d->Tag = Tag;
    return;
  }
  TPersistent::AssignTo(dest);
}

// ---- TSwResponse ------------------------------------------------------------

static std::vector<TPropInfo> ResponseProps() {
  return TPropBuilder<TSwResponse>()
      // Read-only: shown, never stored.
      .Object("Headers", [](const TSwResponse& r) -> TStrings* { return r.Headers.get(); })
      .NotStored()
      .ReadOnly("Body", &TSwResponse::GetBody)
      .Object("Content", &TSwResponse::GetContent)
      .FieldRO("ContentType", &TSwResponse::ContentType)
      .FieldRO("Cookies", &TSwResponse::Cookies)
      .FieldRO("Mime", &TSwResponse::Mime)
      .FieldRO("Server", &TSwResponse::Server)
      .FieldRO("StatusText", &TSwResponse::StatusText)
      .FieldRO("Code", &TSwResponse::Code)
      .FieldRO("Size", &TSwResponse::Size)
      .FieldRO("LastModifed", &TSwResponse::LastModifed)
      .FieldRO("Date", &TSwResponse::Date)
      .FieldRO("TransferEncoding", &TSwResponse::TransferEncoding)
      .Done();
}
VCL_DEFINE_CLASS(TSwResponse, TPersistent, nullptr, &ResponseProps)

TSwResponse::TSwResponse()
    : InnerStream(std::make_unique<TMemoryStream>()), Headers(std::make_unique<TStringList>()) {
  Clear();
}

TSwResponse::~TSwResponse() = default;

void TSwResponse::Clear() {
  InnerStream->SetSize(0);
  Headers->Clear();
  Content = nullptr;
  Code = 0;
}

std::string TSwResponse::GetBody() const {
  TStream* s = GetContent();
  const int64_t pos = s->Position();
  struct Restore {
    TStream* s;
    int64_t pos;
    ~Restore() { s->SetPosition(pos); }
  } restore{s, pos};
  s->SetPosition(0);
  std::string body(static_cast<size_t>(s->Size()), '\0');
  body.resize(static_cast<size_t>(s->Read(body.data(), static_cast<int64_t>(body.size()))));
  return body;
}

namespace {

// A header's value as text: the length asked for first, then the value into a
// zero-filled buffer one byte longer. A header the reply lacks gives "".
std::string QueryText(HINTERNET request, DWORD level) {
  DWORD len = 0;
  DWORD index = 0;
  HttpQueryInfoA(request, level, nullptr, &len, &index);
  if (len >= 0x7FFFFFFF) return {};
  std::vector<char> buf(static_cast<size_t>(len) + 1, '\0');
  index = 0;
  HttpQueryInfoA(request, level, buf.data(), &len, &index);
  buf.back() = '\0';
  return std::string(buf.data());
}

// A header's value as a number; 0 when the reply lacks it.
uint32_t QueryNumber(HINTERNET request, DWORD level) {
  DWORD value = 0;
  DWORD len = sizeof value;  // WinInet wants exactly 4 here
  DWORD index = 0;
  if (!HttpQueryInfoA(request, level | HTTP_QUERY_FLAG_NUMBER, &value, &len, &index)) return 0;
  return value;
}

// A date header, read as text and converted by our own parser: asking WinInet
// for a SYSTEMTIME is not safe with a value that is not a date. 0 when the
// reply lacks it or it is no date.
double QueryDate(HINTERNET request, DWORD level) {
  return swinhttp::HttpDateToDateTime(QueryText(request, level));
}

}  // namespace

void TSwResponse::FillResponse(HINTERNET request) {
  Headers->SetText(QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF));
  TransferEncoding = QueryText(request, HTTP_QUERY_CONTENT_TRANSFER_ENCODING);
  ContentType = QueryText(request, HTTP_QUERY_CONTENT_TYPE);
  Cookies = QueryText(request, HTTP_QUERY_SET_COOKIE);
  Mime = QueryText(request, HTTP_QUERY_MIME_VERSION);
  Server = QueryText(request, HTTP_QUERY_SERVER);
  StatusText = QueryText(request, HTTP_QUERY_STATUS_TEXT);
  Code = QueryNumber(request, HTTP_QUERY_STATUS_CODE);
  Size = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH);
  LastModifed = QueryDate(request, HTTP_QUERY_LAST_MODIFIED);
  Date = QueryDate(request, HTTP_QUERY_DATE);
}
