// One HTTP exchange over libcurl, driven from the calling thread: the send
// runs it until the final header block is in, each read until some body bytes
// are. Between the slices of the drive (at most kPollMilliseconds) and inside
// libcurl's own progress calls the owner's abort test is asked; once it says
// yes, the exchange ends as cancelled.
//
// Body bytes go straight into the buffer of the read that waits for them; what
// one delivery of libcurl brings beyond it waits in a spill of at most one
// delivery, and libcurl is paused (keeping the rest in the socket) until the
// caller has taken it. Every response has deadlines of its own
// (inet_seam::Deadlines): a server that trickles or stalls ends the exchange
// with ERROR_INTERNET_TIMEOUT.
//
//   GET /feed.rdf HTTP/1.1            HTTP/1.1 200 OK
//   Host: feeds.example.jp:8080       Content-Length: 5120
//   User-Agent: <agent>               (empty line)
//   Accept: */*                       <body>
//   (empty line)
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/WinTypes.h"
#include "platform/inet/HttpResponse.h"
#include "platform/inet/InetSeam.h"

namespace qv::inet {

class HttpTransfer {
 public:
  static constexpr int kMaxRedirects = 10;
  static constexpr uint64_t kDefaultMaxBody = 8u << 20;
  static constexpr long kPollMilliseconds = 25;

  struct Plan {
    std::string agent;
    std::string verb;
    std::string host;  // a name or a dotted address, checked
    uint16_t port = 80;
    std::string path;  // from "/", checked and encoded
    bool pragmaNoCache = false;
    bool followRedirects = true;
  };

  explicit HttpTransfer(std::function<bool()> aborted);
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // ERROR_SUCCESS once the final header block has arrived, else the error.
  DWORD Send(const Plan& plan, std::vector<std::string> headerLines, std::string body);
  // ERROR_SUCCESS with 0 bytes at the end of the body.
  DWORD Read(void* buffer, DWORD size, DWORD* read);
  void SetMaxBody(uint64_t bytes) { maxBody_ = bytes; }
  const HttpResponse& Response() const { return response_; }

 private:
  struct Easy;
  using Clock = std::chrono::steady_clock;
  enum class Phase { Headers, Body };
  DWORD Start(const std::string& host, uint16_t port, const std::string& path);
  DWORD Drive(const std::function<bool()>& enough, Phase phase);
  bool PastDeadline(Phase phase, Clock::time_point driveStart) const;
  void Account(Clock::time_point driveStart);
  DWORD Failure() const;
  void Detach();
  size_t TakeSpill(void* buffer, DWORD size);
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, int64_t, int64_t, int64_t, int64_t);

  std::function<bool()> aborted_;
  Easy* easy_ = nullptr;
  const Plan* plan_ = nullptr;
  std::string body_;
  HttpResponse response_;
  // The read's buffer while it drives; null otherwise.
  char* sink_ = nullptr;
  size_t sinkRoom_ = 0;
  size_t sinkGot_ = 0;
  // The part of one delivery the reader had no room for.
  std::string spill_;
  size_t spillAt_ = 0;
  bool paused_ = false;   // libcurl holds a delivery until the spill is taken
  bool discard_ = false;  // a body nobody reads (a redirect's) is dropped
  uint64_t delivered_ = 0;
  inet_seam::Deadlines deadlines_;
  Clock::time_point hopStart_;
  uint64_t announced_ = 0;  // the body's Content-Length; 0 when none
  bool hasLength_ = false;
  Clock::duration bodyWaited_{};  // time reads spent waiting for the body
  Clock::duration lastByteAt_{};  // bodyWaited_ when the last byte came
  bool timedOut_ = false;
  uint64_t maxBody_ = kDefaultMaxBody;
  bool attached_ = false;
  bool done_ = false;
  int result_ = 0;  // libcurl's code once done_
  bool overLimit_ = false;
  bool badHeader_ = false;
  bool cancelled_ = false;
};

}  // namespace qv::inet
