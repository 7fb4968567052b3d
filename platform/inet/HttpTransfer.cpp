// libcurl's side of one exchange: the multi interface of a single easy
// handle, so that the caller's thread drives the transfer in short slices and
// can stop between them.
#include "platform/inet/HttpTransfer.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "platform/inet/CurlLibrary.h"
#include "platform/inet/InetText.h"
#include "platform/inet/WinInet.h"
#include "platform/net/NetSeam.h"

namespace qv::inet {

struct HttpTransfer::Easy {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headers = nullptr;
  curl_slist* connectTo = nullptr;
  std::string url;
  ~Easy() {
    if (multi != nullptr) Curl().multi_cleanup(multi);
    if (easy != nullptr) Curl().easy_cleanup(easy);
    Curl().slist_free_all(headers);
    Curl().slist_free_all(connectTo);
  }
};

namespace {

constexpr long kConnectTimeoutMs = 60000;

using Milliseconds = std::chrono::milliseconds;

bool ParseDotted(const std::string& text, uint32_t* address) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) return false;
  if (a > 255 || b > 255 || c > 255 || d > 255) return false;
  *address = (a << 24) | (b << 16) | (c << 8) | d;
  return true;
}

std::string Dotted(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

// Where the host table sends host:port, as libcurl's connect-to entry
// ("host:port:address:port"); empty when the resolver decides.
DWORD Route(const std::string& host, uint16_t port, std::string* connectTo) {
  connectTo->clear();
  if (net_seam::TakeNetFault(net_seam::NetCall::Resolve) != 0) return ERROR_INTERNET_NAME_NOT_RESOLVED;
  if (net_seam::TakeNetFault(net_seam::NetCall::Connect) != 0) return ERROR_INTERNET_CANNOT_CONNECT;
  uint32_t address = 0;
  switch (net_seam::LookupHost(host, &address)) {
    case net_seam::Lookup::Blocked:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case net_seam::Lookup::Found:
      break;
    case net_seam::Lookup::NotInTable:
      if (!ParseDotted(host, &address)) return ERROR_SUCCESS;
      break;
  }
  uint32_t target = 0;
  uint16_t targetPort = 0;
  std::string name;
  switch (net_seam::RouteConnect(address, port, &target, &targetPort, &name)) {
    case net_seam::Route::Direct:
      return ERROR_SUCCESS;
    case net_seam::Route::Refused:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case net_seam::Route::Mapped:
      *connectTo = host + ":" + std::to_string(port) + ":" + Dotted(target) + ":" + std::to_string(targetPort);
      return ERROR_SUCCESS;
  }
  return ERROR_SUCCESS;
}

DWORD MapCurl(int code) {
  switch (code) {
    case CURLE_OK: return ERROR_SUCCESS;
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_FILESIZE_EXCEEDED: return ERROR_INSUFFICIENT_BUFFER;
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (Curl().url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
  std::string out = text;
  Curl().free(text);
  return out;
}

}  // namespace

HttpTransfer::HttpTransfer(std::function<bool()> aborted) : aborted_(std::move(aborted)) {}

HttpTransfer::~HttpTransfer() {
  Detach();
  delete easy_;
}

void HttpTransfer::Detach() {
  if (easy_ != nullptr && attached_) Curl().multi_remove_handle(easy_->multi, easy_->easy);
  attached_ = false;
}

size_t HttpTransfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const size_t n = size * count;
  if (t->response_.Complete()) return n;  // trailers of a chunked body: not ours to keep
  if (t->response_.TakeLine(std::string_view(data, n)) == HttpResponse::Take::Malformed) {
    t->badHeader_ = true;
    return 0;
  }
  return n;
}

size_t HttpTransfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const size_t n = size * count;
  if (t->discard_) return n;
  // The spill still holds bytes: libcurl keeps this delivery (and stops
  // reading) until the reader has taken them.
  if (t->spillAt_ < t->spill_.size()) {
    t->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  // libcurl checks only an announced length against its own limit; a body
  // without one, or longer than it said, stops here.
  if (t->delivered_ + n > t->maxBody_) {
    t->overLimit_ = true;
    return 0;
  }
  t->delivered_ += n;
  const size_t take = std::min(n, t->sinkRoom_ - t->sinkGot_);
  if (take > 0) std::memcpy(t->sink_ + t->sinkGot_, data, take);
  t->sinkGot_ += take;
  if (take < n) {
    t->spill_.assign(data + take, n - take);
    t->spillAt_ = 0;
  }
  return n;
}

int HttpTransfer::OnProgress(void* self, int64_t, int64_t, int64_t, int64_t) {
  auto* t = static_cast<HttpTransfer*>(self);
  if (!t->aborted_()) return 0;
  t->cancelled_ = true;
  return 1;
}

DWORD HttpTransfer::Start(const std::string& host, uint16_t port, const std::string& path) {
  std::string connectTo;
  if (const DWORD rc = Route(host, port, &connectTo); rc != ERROR_SUCCESS) return rc;
  if (paused_ && attached_) {
    // The body of the hop before (a redirect's) is nobody's.
    discard_ = true;
    Curl().easy_pause(easy_->easy, CURLPAUSE_CONT);
    discard_ = false;
  }
  Detach();
  response_.Clear();
  spill_.clear();
  spillAt_ = 0;
  paused_ = false;
  delivered_ = 0;
  done_ = overLimit_ = badHeader_ = timedOut_ = false;
  result_ = CURLE_OK;
  deadlines_ = inet_seam::CurrentDeadlines();
  hopStart_ = Clock::now();
  bodyWaited_ = lastByteAt_ = Clock::duration::zero();

  CURL* e = easy_->easy;
  std::string& url = easy_->url;
  url = "http://";
  url += host;
  if (port != 80) {
    url += ':';
    url += std::to_string(port);
  }
  url += path;
  Curl().slist_free_all(easy_->connectTo);
  easy_->connectTo = connectTo.empty() ? nullptr : Curl().slist_append(nullptr, connectTo.c_str());
  Curl().easy_setopt(e, CURLOPT_URL, easy_->url.c_str());
  Curl().easy_setopt(e, CURLOPT_CONNECT_TO, easy_->connectTo);
  Curl().easy_setopt(e, CURLOPT_PROXY, "");  // never from the environment
  Curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
  Curl().easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are ours: each hop goes through the host table
  Curl().easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  Curl().easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Curl().easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  Curl().easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                   std::min<long>(kConnectTimeoutMs, std::max<long>(1, static_cast<long>(deadlines_.headerMs))));
  Curl().easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBody_));
  Curl().easy_setopt(e, CURLOPT_USERAGENT, plan_->agent.empty() ? nullptr : plan_->agent.c_str());
  Curl().easy_setopt(e, CURLOPT_HTTPHEADER, easy_->headers);
  Curl().easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  Curl().easy_setopt(e, CURLOPT_HEADERDATA, this);
  Curl().easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  Curl().easy_setopt(e, CURLOPT_WRITEDATA, this);
  Curl().easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnProgress);
  Curl().easy_setopt(e, CURLOPT_XFERINFODATA, this);
  Curl().easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  if (plan_->verb == "GET") {
    Curl().easy_setopt(e, CURLOPT_HTTPGET, 1L);
  } else if (plan_->verb == "HEAD") {
    Curl().easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else {
    Curl().easy_setopt(e, CURLOPT_POSTFIELDS, body_.data());
    Curl().easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    if (plan_->verb != "POST") Curl().easy_setopt(e, CURLOPT_CUSTOMREQUEST, plan_->verb.c_str());
  }
  if (Curl().multi_add_handle(easy_->multi, e) != CURLM_OK) return ERROR_INTERNET_INTERNAL_ERROR;
  attached_ = true;
  return ERROR_SUCCESS;
}

DWORD HttpTransfer::Failure() const {
  if (cancelled_) return ERROR_INTERNET_OPERATION_CANCELLED;
  if (timedOut_) return ERROR_INTERNET_TIMEOUT;
  if (overLimit_) return ERROR_INSUFFICIENT_BUFFER;
  if (badHeader_) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
  return MapCurl(result_);
}

bool HttpTransfer::PastDeadline(Phase phase, Clock::time_point driveStart) const {
  const Clock::time_point now = Clock::now();
  if (phase == Phase::Headers) return now - hopStart_ >= Milliseconds(deadlines_.headerMs);
  const Clock::duration waited = bodyWaited_ + (now - driveStart);
  if (waited - lastByteAt_ >= Milliseconds(deadlines_.idleMs)) return true;
  // The length it announced, or what came so far, at the floor rate.
  const uint64_t bytes = hasLength_ ? std::max(announced_, delivered_) : delivered_;
  const uint64_t allowed = deadlines_.bodyBaseMs + bytes * 1000 / deadlines_.floorBytesPerSecond;
  return waited >= Milliseconds(allowed);
}

void HttpTransfer::Account(Clock::time_point driveStart) {
  bodyWaited_ += Clock::now() - driveStart;
}

DWORD HttpTransfer::Drive(const std::function<bool()>& enough, Phase phase) {
  const Clock::time_point start = Clock::now();
  for (;;) {
    if (aborted_()) {
      cancelled_ = true;
      Detach();
      return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    const uint64_t before = delivered_;
    int running = 0;
    if (Curl().multi_perform(easy_->multi, &running) != CURLM_OK) return ERROR_INTERNET_INTERNAL_ERROR;
    int left = 0;
    while (CURLMsg* msg = Curl().multi_info_read(easy_->multi, &left)) {
      if (msg->msg != CURLMSG_DONE) continue;
      done_ = true;
      result_ = msg->data.result;
    }
    if (phase == Phase::Body && delivered_ != before) lastByteAt_ = bodyWaited_ + (Clock::now() - start);
    if (enough()) {
      if (phase == Phase::Body) Account(start);
      return ERROR_SUCCESS;
    }
    if (done_) {
      Detach();
      return result_ == CURLE_OK && !cancelled_ ? ERROR_SUCCESS : Failure();
    }
    if (PastDeadline(phase, start)) {
      timedOut_ = done_ = true;
      Detach();
      return ERROR_INTERNET_TIMEOUT;
    }
    Curl().multi_poll(easy_->multi, nullptr, 0, kPollMilliseconds, nullptr);
  }
}

DWORD HttpTransfer::Send(const Plan& plan, std::vector<std::string> headerLines, std::string body) {
  plan_ = &plan;
  body_ = std::move(body);
  if (easy_ == nullptr) {
    easy_ = new Easy;
    easy_->easy = Curl().easy_init();
    easy_->multi = Curl().multi_init();
    if (easy_->easy == nullptr || easy_->multi == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  }
  Curl().slist_free_all(easy_->headers);
  easy_->headers = nullptr;
  if (plan.pragmaNoCache) headerLines.push_back("Pragma: no-cache");
  headerLines.push_back("Expect:");  // the body goes at once, no 100-continue round
  for (const std::string& line : headerLines) easy_->headers = Curl().slist_append(easy_->headers, line.c_str());
  std::string host = plan.host, path = plan.path;
  uint16_t port = plan.port;
  for (int hop = 0;; ++hop) {
    if (const DWORD rc = Start(host, port, path); rc != ERROR_SUCCESS) return rc;
    if (const DWORD rc = Drive([this] { return response_.Complete(); }, Phase::Headers); rc != ERROR_SUCCESS)
      return rc;
    if (!response_.Complete()) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    const std::string* location = response_.Field("Location");
    if (!plan.followRedirects || !IsRedirect(response_.Status()) || location == nullptr) {
      const std::string* length = response_.Field("Content-Length");
      hasLength_ = length != nullptr && !length->empty() &&
                   length->find_first_not_of("0123456789") == std::string::npos && length->size() <= 19;
      announced_ = hasLength_ ? std::stoull(*length) : 0;
      return ERROR_SUCCESS;
    }
    if (hop == kMaxRedirects) return ERROR_HTTP_REDIRECT_FAILED;
    // The next hop, relative to this one; http only, and its host and path
    // pass the same checks as the caller's.
    CURLU* url = Curl().url();
    if (url == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    const bool parsed = Curl().url_set(url, CURLUPART_URL, easy_->url.c_str(), 0) == CURLUE_OK &&
                        Curl().url_set(url, CURLUPART_URL, location->c_str(), 0) == CURLUE_OK;
    const std::string scheme = parsed ? UrlPart(url, CURLUPART_SCHEME) : std::string();
    const std::string nextHost = UrlPart(url, CURLUPART_HOST);
    const std::string nextPort = UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    std::string nextPath = UrlPart(url, CURLUPART_PATH);
    const std::string query = UrlPart(url, CURLUPART_QUERY);
    Curl().url_cleanup(url);
    if (!query.empty()) nextPath += "?" + query;
    DWORD portNumber = 0;
    if (scheme != "http" || !ValidHost(nextHost) || !ParsePort(nextPort, &portNumber) ||
        !EncodePath(nextPath, &path))
      return ERROR_HTTP_REDIRECT_FAILED;
    host = nextHost;
    port = static_cast<uint16_t>(portNumber);
  }
}

size_t HttpTransfer::TakeSpill(void* buffer, DWORD size) {
  const size_t n = std::min<size_t>(size, spill_.size() - spillAt_);
  if (n > 0) std::memcpy(buffer, spill_.data() + spillAt_, n);
  spillAt_ += n;
  return n;
}

DWORD HttpTransfer::Read(void* buffer, DWORD size, DWORD* read) {
  *read = 0;
  if (easy_ == nullptr) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  if (spillAt_ < spill_.size()) {
    *read = static_cast<DWORD>(TakeSpill(buffer, size));
    return ERROR_SUCCESS;
  }
  if (!done_) {
    sink_ = static_cast<char*>(buffer);
    sinkRoom_ = size;
    sinkGot_ = 0;
    DWORD rc = ERROR_SUCCESS;
    if (paused_ && attached_) {
      // libcurl hands the delivery it kept over at once, into the sink.
      paused_ = false;
      Curl().easy_pause(easy_->easy, CURLPAUSE_CONT);
    }
    if (sinkGot_ == 0 && spillAt_ == spill_.size())
      rc = Drive([this] { return sinkGot_ > 0 || spillAt_ < spill_.size(); }, Phase::Body);
    const size_t got = sinkGot_;
    sink_ = nullptr;
    sinkRoom_ = sinkGot_ = 0;
    // Bytes that came before a failure are the caller's; the next read
    // reports it.
    if (got > 0) {
      *read = static_cast<DWORD>(got);
      return ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (spillAt_ < spill_.size()) {
      *read = static_cast<DWORD>(TakeSpill(buffer, size));
      return ERROR_SUCCESS;
    }
  }
  return result_ == CURLE_OK && !cancelled_ && !timedOut_ ? ERROR_SUCCESS : Failure();
}

}  // namespace qv::inet
