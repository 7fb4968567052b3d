// The Connection Manager's destinations as the account pages offer them,
// in the manager's own order, and the carrier's destination an account is
// given when nothing else was chosen.
#pragma once

#include <string>
#include <vector>

#include "platform/net/ConnMgr.h"

struct NetworkDestination {
  std::wstring name;
  GUID guid{};
};

constexpr wchar_t kPreferredDestinationName[] = L"センタ名称設定";

std::vector<NetworkDestination> ListNetworkDestinations();
// The first destination of the preferred name, or all zeros.
GUID PreferredNetworkDestination();
bool SameGuid(const GUID& a, const GUID& b);
bool IsNullGuid(const GUID& guid);
