#include "platform/net/NetSeam.h"

#include <atomic>
#include <cctype>
#include <mutex>
#include <optional>

#include "platform/net/ConnMgr.h"

namespace qv::net_seam {
namespace {

// Names of the table get addresses of their own from the benchmarking range
// 198.18.0.0/15, which never meets a real server.
constexpr uint32_t kNameAddressBase = 0xC6120001u;  // 198.18.0.1

struct HostEntry {
  std::string name;   // folded; empty for a dotted address
  uint32_t address;   // what the name resolves to (host order)
  uint16_t port;
  uint32_t targetAddress;
  uint16_t targetPort;
};

constexpr int kNetCalls = 6;

struct NetState {
  std::mutex lock;
  std::vector<HostEntry> hosts;
  std::vector<std::string> names;  // index = address - kNameAddressBase
  std::string caFile;
  int faultError[kNetCalls] = {};
  int faultTimes[kNetCalls] = {};
  DWORD status = CONNMGR_STATUS_CONNECTED;
  std::function<DWORD(const GUID&, DWORD)> handler;
  bool failStatusQuery = false;
  std::optional<std::vector<std::pair<std::wstring, GUID>>> destinations;
  ConnMgrRecord record;
};

NetState& N() {
  static NetState* s = new NetState;  // outlives threads still running at exit
  return *s;
}

std::atomic<bool> g_anyHost{false};
std::atomic<bool> g_anyFault{false};
std::atomic<DWORD> g_waitStep{1000};
std::atomic<DWORD> g_waitSteps{600};
std::atomic<DWORD> g_replyLine{30000};
std::atomic<DWORD> g_floorRate{1024};

std::string Fold(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool Dotted(const std::string& text, uint32_t* address) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) return false;
  if (a > 255 || b > 255 || c > 255 || d > 255) return false;
  *address = (a << 24) | (b << 16) | (c << 8) | d;
  return true;
}

// The address a table name resolves to (assigned on first use). Lock held.
uint32_t NameAddress(NetState& s, const std::string& folded) {
  for (size_t i = 0; i < s.names.size(); ++i) {
    if (s.names[i] == folded) return kNameAddressBase + static_cast<uint32_t>(i);
  }
  s.names.push_back(folded);
  return kNameAddressBase + static_cast<uint32_t>(s.names.size() - 1);
}

}  // namespace

void MapHost(const std::string& host, WORD port, WORD targetPort, const std::string& targetAddress) {
  NetState& s = N();
  std::lock_guard<std::mutex> g(s.lock);
  uint32_t target = 0x7f000001u;
  Dotted(targetAddress, &target);
  HostEntry e{};
  if (!Dotted(host, &e.address)) {
    e.name = Fold(host);
    e.address = NameAddress(s, e.name);
  }
  e.port = port;
  e.targetAddress = target;
  e.targetPort = targetPort;
  std::erase_if(s.hosts, [&](const HostEntry& h) { return h.address == e.address && h.port == port; });
  s.hosts.push_back(e);
  g_anyHost = true;
}

void ClearHostTable() {
  std::lock_guard<std::mutex> g(N().lock);
  N().hosts.clear();
  g_anyHost = false;
}

void SetTrustedCaFile(const std::string& hostPath) {
  std::lock_guard<std::mutex> g(N().lock);
  N().caFile = hostPath;
}

void InjectNetFault(NetCall call, int wsaError, int times) {
  const int i = static_cast<int>(call);
  if (i < 0 || i >= kNetCalls) return;
  std::lock_guard<std::mutex> g(N().lock);
  N().faultError[i] = wsaError;
  N().faultTimes[i] = times;
  g_anyFault = true;
}

void SetNetworkWait(DWORD stepMilliseconds, DWORD steps) {
  g_waitStep = stepMilliseconds;
  g_waitSteps = steps;
}

void SetReplyDeadline(DWORD lineMilliseconds, DWORD floorBytesPerSecond) {
  g_replyLine = lineMilliseconds;
  g_floorRate = floorBytesPerSecond ? floorBytesPerSecond : 1;
}

void SetConnMgrStatus(DWORD status) {
  std::lock_guard<std::mutex> g(N().lock);
  N().status = status;
}

void SetConnMgrEstablishHandler(std::function<DWORD(const GUID&, DWORD)> h) {
  std::lock_guard<std::mutex> g(N().lock);
  N().handler = std::move(h);
}

void FailConnMgrStatusQuery(bool fail) {
  std::lock_guard<std::mutex> g(N().lock);
  N().failStatusQuery = fail;
}

void SetConnMgrDestinations(std::vector<std::pair<std::wstring, GUID>> destinations) {
  std::lock_guard<std::mutex> g(N().lock);
  N().destinations = std::move(destinations);
}

ConnMgrRecord ConnMgrCalls() {
  std::lock_guard<std::mutex> g(N().lock);
  return N().record;
}

void Reset() {
  NetState& s = N();
  std::lock_guard<std::mutex> g(s.lock);
  s.hosts.clear();
  s.names.clear();
  s.caFile.clear();
  for (int i = 0; i < kNetCalls; ++i) s.faultError[i] = s.faultTimes[i] = 0;
  s.status = CONNMGR_STATUS_CONNECTED;
  s.handler = nullptr;
  s.failStatusQuery = false;
  s.destinations.reset();
  s.record = ConnMgrRecord{};
  g_anyHost = false;
  g_anyFault = false;
  g_waitStep = 1000;
  g_waitSteps = 600;
  g_replyLine = 30000;
  g_floorRate = 1024;
}

std::string TrustedCaFile() {
  std::lock_guard<std::mutex> g(N().lock);
  return N().caFile;
}

Lookup LookupHost(const std::string& name, uint32_t* address) {
  if (!g_anyHost) return Lookup::NotInTable;
  NetState& s = N();
  std::lock_guard<std::mutex> g(s.lock);
  if (s.hosts.empty()) return Lookup::NotInTable;
  const std::string folded = Fold(name);
  for (const HostEntry& h : s.hosts) {
    if (!h.name.empty() && h.name == folded) {
      *address = h.address;
      return Lookup::Found;
    }
  }
  uint32_t dotted = 0;
  if (Dotted(name, &dotted)) return Lookup::NotInTable;  // addresses resolve to themselves
  return Lookup::Blocked;
}

Route RouteConnect(uint32_t address, uint16_t port, uint32_t* targetAddress, uint16_t* targetPort,
                   std::string* name) {
  if (!g_anyHost) return Route::Direct;
  NetState& s = N();
  std::lock_guard<std::mutex> g(s.lock);
  bool known = false;
  for (const HostEntry& h : s.hosts) {
    if (h.address != address) continue;
    known = true;
    if (h.port == port) {
      *targetAddress = h.targetAddress;
      *targetPort = h.targetPort;
      *name = h.name;
      return Route::Mapped;
    }
  }
  const bool tableName = address >= kNameAddressBase && address - kNameAddressBase < s.names.size();
  return known || tableName ? Route::Refused : Route::Direct;
}

int TakeNetFault(NetCall which) {
  const int call = static_cast<int>(which);
  if (!g_anyFault || call < 0 || call >= kNetCalls) return 0;
  NetState& s = N();
  std::lock_guard<std::mutex> g(s.lock);
  if (s.faultTimes[call] == 0) return 0;
  if (s.faultTimes[call] > 0) --s.faultTimes[call];
  return s.faultError[call];
}

DWORD NetworkWaitStep() { return g_waitStep; }
DWORD NetworkWaitSteps() { return g_waitSteps; }
DWORD ReplyLineMilliseconds() { return g_replyLine; }
DWORD ReplyFloorRate() { return g_floorRate; }

DWORD ConnMgrEstablish(const GUID& destination, DWORD params, DWORD flags, DWORD priority, BOOL exclusive,
                       DWORD timeoutMs) {
  std::function<DWORD(const GUID&, DWORD)> handler;
  DWORD status;
  {
    std::lock_guard<std::mutex> g(N().lock);
    ConnMgrRecord& r = N().record;
    ++r.establishCalls;
    r.lastDestination = destination;
    r.lastParams = params;
    r.lastFlags = flags;
    r.lastPriority = priority;
    r.lastExclusive = exclusive;
    r.lastTimeout = timeoutMs;
    handler = N().handler;
    status = N().status;
  }
  if (handler) status = handler(destination, timeoutMs);  // outside the lock: it may set seams
  if (status == CONNMGR_STATUS_CONNECTED) {
    std::lock_guard<std::mutex> g(N().lock);
    ++N().record.openConnections;
  }
  return status;
}

bool ConnMgrStatus(DWORD* status) {
  std::lock_guard<std::mutex> g(N().lock);
  ++N().record.statusCalls;
  *status = N().status;
  return !N().failStatusQuery;
}

void ConnMgrReleased(LONG cache) {
  std::lock_guard<std::mutex> g(N().lock);
  ++N().record.releaseCalls;
  --N().record.openConnections;
  N().record.lastCache = cache;
}

std::vector<std::pair<std::wstring, GUID>> ConnMgrDestinations() {
  std::lock_guard<std::mutex> g(N().lock);
  if (N().destinations) return *N().destinations;
  // The device's own table: the Internet (where every URL maps), the
  // carrier's mail centre that new accounts are given, and the work network.
  const GUID internet = {0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
  const GUID centre = {0x5C3E0A27, 0x8D41, 0x4F6B, {0x9E, 0x12, 0x7A, 0x60, 0xC4, 0x1B, 0x2D, 0x93}};
  const GUID work = {0xA1182988, 0x0D73, 0x439E, {0x87, 0xAD, 0x2A, 0x5B, 0x36, 0x9F, 0x80, 0x8B}};
  return {{L"インターネット", internet}, {L"センタ名称設定", centre}, {L"会社", work}};
}

}  // namespace qv::net_seam
