// The network's test seams: the host table, a trusted CA file, injected
// Winsock faults, the protocol clients' wait steps and the Connection
// Manager's state. Every reader is cheap while its seam is unset.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/WinTypes.h"

namespace qv::net_seam {

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
// (NetworkWait.h); production: 1000 ms, 600 steps.
QV_PLATFORM_API void SetNetworkWait(DWORD stepMilliseconds, DWORD steps);
// The protocol clients' reply deadlines (NetworkWait.h); production: 30000 ms
// for an answer line, 1024 bytes a second as the floor rate of a transfer.
QV_PLATFORM_API void SetReplyDeadline(DWORD lineMilliseconds, DWORD floorBytesPerSecond);

// Connection Manager (ConnMgr.h). The network's status: an
// establish succeeds when it is CONNMGR_STATUS_CONNECTED (the production
// default) and fails with it otherwise; held connections report it.
QV_PLATFORM_API void SetConnMgrStatus(DWORD status);
// Decides each establish instead (the status it ends with), given the
// destination and the time-out asked for; null: back to SetConnMgrStatus.
QV_PLATFORM_API void SetConnMgrEstablishHandler(std::function<DWORD(const GUID& destination, DWORD timeoutMs)> h);
// Makes ConnMgrConnectionStatus itself fail (E_FAIL).
QV_PLATFORM_API void FailConnMgrStatusQuery(bool fail);
// The destinations ConnMgrEnumDestinations lists, in order; the production
// default is the device's table: the Internet first, then the carrier's
// centre "センタ名称設定" and the work network.
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

// Puts every network seam back.
QV_PLATFORM_API void Reset();

// --- What the network layer reads ---------------------------------------------

std::string TrustedCaFile();

// Host table. Resolving `name`: `found` when the table holds it (the address
// to hand out, host order); `blocked` when the table is in use but does not
// hold it.
enum class Lookup { NotInTable, Found, Blocked };
Lookup LookupHost(const std::string& name, uint32_t* address);
// Connecting to address:port (host order). Mapped: go to *target instead;
// Refused: the address belongs to the table but not that port; Direct: the
// table has nothing to say. `name` receives the mapped host's name.
enum class Route { Direct, Mapped, Refused };
Route RouteConnect(uint32_t address, uint16_t port, uint32_t* targetAddress, uint16_t* targetPort,
                   std::string* name);

// 0, or the WSA error an injected fault makes this call fail with.
int TakeNetFault(NetCall call);

DWORD NetworkWaitStep();
DWORD NetworkWaitSteps();
DWORD ReplyLineMilliseconds();
DWORD ReplyFloorRate();

// Connection Manager.
DWORD ConnMgrEstablish(const GUID& destination, DWORD params, DWORD flags, DWORD priority, BOOL exclusive,
                       DWORD timeoutMs);
// false when the status query is to fail.
bool ConnMgrStatus(DWORD* status);
void ConnMgrReleased(LONG cache);
std::vector<std::pair<std::wstring, GUID>> ConnMgrDestinations();

}  // namespace qv::net_seam
