#include "app/shell/account/NetworkDestinations.h"

#include <cstring>

std::vector<NetworkDestination> ListNetworkDestinations() {
  std::vector<NetworkDestination> list;
  CONNMGR_DESTINATION_INFO info{};
  for (int i = 0; ConnMgrEnumDestinations(i, &info) == S_OK; ++i) list.push_back({info.szDescription, info.guid});
  return list;
}

GUID PreferredNetworkDestination() {
  for (const NetworkDestination& d : ListNetworkDestinations()) {
    if (d.name == kPreferredDestinationName) return d.guid;
  }
  return GUID{};
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool IsNullGuid(const GUID& guid) { return SameGuid(guid, GUID{}); }
