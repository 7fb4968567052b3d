// Hooks for tests. Every seam has a production default and costs nothing
// while unset; Reset() puts every seam back.
#pragma once

#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::testing {

QV_PLATFORM_API void ResetSeams();

// Free space reported by GetDiskFreeSpaceExW for every path (all volumes).
QV_PLATFORM_API void SetFreeSpace(ULONGLONG bytes);
QV_PLATFORM_API void ClearFreeSpace();

// Injected file faults for one device path (compared without regard to case):
// ERROR_SHARING_VIOLATION makes opens, moves and deletes of that path fail
// with 32; ERROR_DISK_FULL makes creating or writing it fail with 112.
// `times` is the number of calls that fail (-1: until cleared).
QV_PLATFORM_API void InjectFileFault(const std::wstring& devicePath, DWORD error, int times = -1);
QV_PLATFORM_API void ClearFileFaults();
// Number of calls on that path the fault has failed so far.
QV_PLATFORM_API int FileFaultHits(const std::wstring& devicePath);

// Clock: fix UTC at a moment (the clock then stands still unless advanced),
// or shift the real clock. GetTickCount follows the advance.
QV_PLATFORM_API void SetClock(const SYSTEMTIME& utc);
QV_PLATFORM_API void AdvanceClock(LONGLONG milliseconds);
QV_PLATFORM_API void ClearClock();
// Time-zone bias in minutes (UTC = local + bias); the default is JST, -540.
QV_PLATFORM_API void SetTimeZoneBias(LONG minutes);

// Free physical memory reported by GlobalMemoryStatus.
QV_PLATFORM_API void SetAvailableMemory(size_t bytes);

// Answer of a Yes/No question box shown with no one to see it (IDYES, IDNO...).
// The headless default is IDNO. A callback, when set, is asked instead and
// receives the text and caption.
QV_PLATFORM_API void SetQuestionAnswer(int answer);
QV_PLATFORM_API void SetQuestionHandler(std::function<int(const std::wstring& text, const std::wstring& caption)> h);
QV_PLATFORM_API int QuestionCount();

}  // namespace qv::testing

// --- Network (platform/net) -------------------------------------------------
#include <utility>
#include <vector>

namespace qv::testing {

// Host table: a connect to `host`:`port` goes to `targetAddress`:`targetPort`
// instead, so clients keep the device's ports (110, 995, 25, 465, 587 and
// their SSL rules) while test servers listen on free loopback ports. `host`
// is a name (compared without regard to case) or a dotted address. While the
// table holds any entry, names it does not hold fail to resolve (tests never
// reach the real resolver), and a mapped name connects only on its mapped
// ports (others are refused).
QV_PLATFORM_API void MapHost(const std::string& host, WORD port, WORD targetPort,
                             const std::string& targetAddress = "127.0.0.1");
QV_PLATFORM_API void ClearHostTable();

// A PEM file (host path) of CA certificates trusted beside the system store;
// empty: none.
QV_PLATFORM_API void SetTrustedCaFile(const std::string& hostPath);

// Injected Winsock failures: the next `times` calls of that kind fail with
// `wsaError` (Startup: WSAStartup; Socket: socket(); Resolve: gethostbyname
// and getaddrinfo; Connect, Send, Recv: those calls).
enum class NetCall { Startup, Socket, Resolve, Connect, Send, Recv };
QV_PLATFORM_API void InjectNetFault(NetCall call, int wsaError, int times = 1);

// The step and step count of the protocol clients' network waits
// (platform/net/NetworkWait.h); production: 1000 ms, 600 steps.
QV_PLATFORM_API void SetNetworkWait(DWORD stepMilliseconds, DWORD steps);

// Connection Manager (platform/net/ConnMgr.h). The network's status: an
// establish succeeds when it is CONNMGR_STATUS_CONNECTED (the production
// default) and fails with it otherwise; held connections report it.
QV_PLATFORM_API void SetConnMgrStatus(DWORD status);
// Decides each establish instead (the status it ends with), given the
// destination and the time-out asked for; null: back to SetConnMgrStatus.
QV_PLATFORM_API void SetConnMgrEstablishHandler(std::function<DWORD(const GUID& destination, DWORD timeoutMs)> h);
// Makes ConnMgrConnectionStatus itself fail (E_FAIL).
QV_PLATFORM_API void FailConnMgrStatusQuery(bool fail);
// The destinations ConnMgrEnumDestinations lists, in order; the production
// default is the one Internet destination.
QV_PLATFORM_API void SetConnMgrDestinations(std::vector<std::pair<std::wstring, GUID>> destinations);
// What the Connection Manager was asked, since the last reset.
struct ConnMgrRecord {
  int establishCalls = 0;
  int statusCalls = 0;
  int releaseCalls = 0;
  int openConnections = 0;  // established and not yet released
  GUID lastDestination = {};
  DWORD lastParams = 0;
  DWORD lastFlags = 0;
  DWORD lastPriority = 0;
  BOOL lastExclusive = FALSE;
  DWORD lastTimeout = 0;
  LONG lastCache = 0;  // of the last release
};
QV_PLATFORM_API ConnMgrRecord ConnMgrCalls();

// Puts the network seams back (ResetSeams calls it too).
QV_PLATFORM_API void ResetNetworkSeams();

}  // namespace qv::testing
