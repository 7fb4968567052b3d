// The feed side's small HTTP client: one URL at a time over the platform's
// WinINet, each transfer on a short worker thread while the caller waits in
// steps (qv::NetworkWaitStep(), at most qv::NetworkWaitSteps() of them),
// watching the data connection and the abort watch. The whole body ends up in
// `buffer`. A worker still running when the wait gives up is stopped (its
// session closed) and joined before OpenURL returns, so nothing outlives the
// call that could write into `buffer`.
//
// Results: an HTTP status (200 and others), or
//   -2 no session, -3 no worker, -4 no connection to the host, -5 the request
//   could not be opened, -6 nor sent, -7 no status, no length for a binary
//   download, or a body that is not what its length said, -8 the worker ran
//   past the last wait step, -9 its exit code was lost, -10 the data
//   connection went down, -11 the server answered 404, -12 aborted through
//   the abort watch.
// A response past one of the platform's deadlines (headers, or a body that
// trickles or stalls) is -8 as well.
#pragma once

#include <atomic>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

class QVMIDDLE_API RssHttp {
 public:
  // Bodies larger than this are refused before anything is allocated.
  static constexpr DWORD kMaxBody = 8u << 20;
  // A text answer without a length is read into a buffer of this size.
  static constexpr DWORD kTextBuffer = 512000;

  explicit RssHttp(const std::wstring& agent);
  virtual ~RssHttp();
  RssHttp(const RssHttp&) = delete;
  RssHttp& operator=(const RssHttp&) = delete;

  // `connection`: the Connection Manager's handle whose loss ends the wait,
  // or null. `host` may end in ":port". A non-empty `params` makes the
  // request a POST carrying them as its header text. `abortWatch` is a
  // std::wstring of the caller for a binary download (null for text): the
  // transfer ends with -12 once the caller has emptied it. The watch is read
  // only by the waiting thread.
  int OpenURL(void* connection, const std::wstring& host, const std::wstring& path, const std::wstring& params,
              void* abortWatch, int length);
  int OpenURL(const std::wstring& host, const std::wstring& path, const std::wstring& params, void* abortWatch,
              int length);
  // The worker; `params` is the transfer's parameter block.
  static int OpenURLThread(void** params);
  void ClearBuf();
  // "?", "&", "=", "%", space, "<", ">", CR and LF as "%XX".
  std::wstring Escape(const std::wstring& text);
  // Appends "?" or "&", then name=value, both escaped.
  void AddParam(std::wstring& query, const std::wstring& name, const std::wstring& value);

  std::wstring responseText;
  char* buffer = nullptr;
  DWORD bufferLength = 0;
  std::wstring agent;
  void* connection = nullptr;
  // Set by the owner to a flag that another thread may raise: a raised flag
  // stops a running transfer (text or binary), as the abort watch does, and
  // the result is -12. The owner calls Interrupt() after raising it, so that
  // the wait sees it at once rather than at its next step.
  const std::atomic<bool>* cancelWatch = nullptr;
  // Safe from another thread.
  void Interrupt();
  // Forgets an interrupt that came after the transfer it was meant for.
  void ClearInterrupt();

 private:
  RssHttp();
  HANDLE wake = nullptr;  // a manual-reset event Interrupt() sets
};
