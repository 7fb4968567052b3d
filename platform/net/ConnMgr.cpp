#include "platform/net/ConnMgr.h"

#include <cstring>
#include <mutex>
#include <set>

#include "platform/net/NetworkWait.h"
#include "platform/net/NetSeam.h"

namespace {

namespace seam = qv::net_seam;

// Live handles: tagged numbers, never dereferenced.
std::mutex g_lock;
std::set<uintptr_t>& Handles() {
  static auto* h = new std::set<uintptr_t>;
  return *h;
}
uintptr_t g_next = 0xC0A0001;

bool Live(HANDLE connection) {
  std::lock_guard<std::mutex> g(g_lock);
  return Handles().count(reinterpret_cast<uintptr_t>(connection)) != 0;
}

// Fields up to and including guidDestNet must be there.
constexpr DWORD kMinInfoSize = offsetof(CONNMGR_CONNECTIONINFO, guidDestNet) + sizeof(GUID);

}  // namespace

HRESULT ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* info, HANDLE* connection, DWORD timeoutMs,
                                       DWORD* status) {
  if (!info || !connection || !status || info->cbSize < kMinInfoSize) return E_INVALIDARG;
  *connection = nullptr;
  const GUID destination = (info->dwParams & CONNMGR_PARAM_GUIDDESTNET) ? info->guidDestNet : GUID{};
  *status = seam::ConnMgrEstablish(destination, info->dwParams, info->dwFlags, info->dwPriority, info->bExclusive,
                                   timeoutMs);
  if (*status != CONNMGR_STATUS_CONNECTED) return E_FAIL;
  std::lock_guard<std::mutex> g(g_lock);
  const uintptr_t h = g_next++;
  Handles().insert(h);
  *connection = reinterpret_cast<HANDLE>(h);
  return S_OK;
}

HRESULT ConnMgrConnectionStatus(HANDLE connection, DWORD* status) {
  if (!status) return E_POINTER;
  if (!Live(connection)) return E_INVALIDARG;
  return seam::ConnMgrStatus(status) ? S_OK : E_FAIL;
}

HRESULT ConnMgrReleaseConnection(HANDLE connection, LONG cache) {
  {
    std::lock_guard<std::mutex> g(g_lock);
    if (Handles().erase(reinterpret_cast<uintptr_t>(connection)) == 0) return E_INVALIDARG;
  }
  seam::ConnMgrReleased(cache);
  return S_OK;
}

HRESULT ConnMgrEnumDestinations(int index, CONNMGR_DESTINATION_INFO* info) {
  if (!info) return E_POINTER;
  const auto list = seam::ConnMgrDestinations();
  if (index < 0 || static_cast<size_t>(index) >= list.size()) return E_FAIL;
  std::memset(info, 0, sizeof *info);
  info->guid = list[index].second;
  const std::wstring& name = list[index].first;
  const size_t n = std::min(name.size(), static_cast<size_t>(CONNMGR_MAX_DESC - 1));
  name.copy(info->szDescription, n);
  info->szDescription[n] = L'\0';
  return S_OK;
}

HRESULT ConnMgrMapURL(LPCWSTR url, GUID* destination, DWORD* index) {
  if (!url || !destination) return E_INVALIDARG;
  const auto list = seam::ConnMgrDestinations();
  if (list.empty()) return E_FAIL;
  *destination = list[0].second;
  if (index) *index = 0;
  return S_OK;
}

namespace qv {

DWORD NetworkWaitStep() { return seam::NetworkWaitStep(); }
DWORD NetworkWaitSteps() { return seam::NetworkWaitSteps(); }

uint64_t ReplyDeadline(uint64_t bytes) {
  return seam::ReplyLineMilliseconds() + bytes * 1000 / seam::ReplyFloorRate();
}

}  // namespace qv
