// What the network layer reads from its test seams. Internal to the platform
// library; neutral types only (seen by host-side socket code too). Each call
// is cheap while the seam is unset.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/WinTypes.h"

namespace qv::testing::detail {

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
int TakeNetFault(int call);  // call: the NetCall value

DWORD NetworkWaitStep();
DWORD NetworkWaitSteps();

// Connection Manager.
DWORD ConnMgrEstablish(const GUID& destination, DWORD params, DWORD flags, DWORD priority, BOOL exclusive,
                       DWORD timeoutMs);
// false when the status query is to fail.
bool ConnMgrStatus(DWORD* status);
void ConnMgrReleased(LONG cache);
std::vector<std::pair<std::wstring, GUID>> ConnMgrDestinations();

}  // namespace qv::testing::detail
