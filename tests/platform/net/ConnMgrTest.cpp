// The Connection Manager subset and its seam.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/net/ConnMgr.h"
#include "platform/net/NetworkWait.h"
#include "platform/testing/Seams.h"

namespace {

constexpr GUID kNet1 = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kNet2 = {0x99999999, 0x2222, 0x3333, {8, 7, 6, 5, 4, 3, 2, 1}};

bool Same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

CONNMGR_CONNECTIONINFO Request(const GUID& net) {
  CONNMGR_CONNECTIONINFO info{};
  info.cbSize = sizeof info;
  info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
  info.dwPriority = CONNMGR_PRIORITY_HIPRIBKGND;
  info.guidDestNet = net;
  return info;
}

class ConnMgr : public ::testing::Test {
 protected:
  void SetUp() override { qv::seams::ResetSeams(); }
  void TearDown() override { qv::seams::ResetSeams(); }
};

TEST_F(ConnMgr, EstablishStatusRelease) {
  CONNMGR_CONNECTIONINFO info = Request(kNet1);
  HANDLE h = nullptr;
  DWORD status = 0;
  ASSERT_EQ(ConnMgrEstablishConnectionSync(&info, &h, 30000, &status), S_OK);
  EXPECT_NE(h, nullptr);
  EXPECT_EQ(status, static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
  status = 0;
  ASSERT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
  EXPECT_EQ(status, static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));

  const qv::seams::ConnMgrRecord r = qv::seams::ConnMgrCalls();
  EXPECT_EQ(r.establishCalls, 1);
  EXPECT_EQ(r.openConnections, 1);
  EXPECT_TRUE(Same(r.lastDestination, kNet1));
  EXPECT_EQ(r.lastPriority, static_cast<DWORD>(CONNMGR_PRIORITY_HIPRIBKGND));
  EXPECT_EQ(r.lastTimeout, 30000u);

  EXPECT_EQ(ConnMgrReleaseConnection(h, 0), S_OK);
  EXPECT_EQ(qv::seams::ConnMgrCalls().openConnections, 0);
  EXPECT_EQ(ConnMgrConnectionStatus(h, &status), E_INVALIDARG);
  EXPECT_EQ(ConnMgrReleaseConnection(h, 0), E_INVALIDARG);
}

TEST_F(ConnMgr, FailedEstablishGivesTheStatusAndNoHandle) {
  qv::seams::SetConnMgrStatus(CONNMGR_STATUS_CONNECTIONFAILED);
  CONNMGR_CONNECTIONINFO info = Request(kNet1);
  HANDLE h = reinterpret_cast<HANDLE>(1);
  DWORD status = 0;
  EXPECT_EQ(ConnMgrEstablishConnectionSync(&info, &h, 30000, &status), E_FAIL);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(status, static_cast<DWORD>(CONNMGR_STATUS_CONNECTIONFAILED));
  info.cbSize = 8;
  EXPECT_EQ(ConnMgrEstablishConnectionSync(&info, &h, 30000, &status), E_INVALIDARG);
}

TEST_F(ConnMgr, HandlerDecidesEachEstablishAndTheLinkCanDrop) {
  int calls = 0;
  qv::seams::SetConnMgrEstablishHandler([&](const GUID& net, DWORD timeout) -> DWORD {
    ++calls;
    EXPECT_EQ(timeout, 29952u);
    return calls == 1 || !Same(net, kNet2) ? CONNMGR_STATUS_NOPATHTODESTINATION : CONNMGR_STATUS_CONNECTED;
  });
  CONNMGR_CONNECTIONINFO info = Request(kNet2);
  HANDLE h = nullptr;
  DWORD status = 0;
  EXPECT_EQ(ConnMgrEstablishConnectionSync(&info, &h, 29952, &status), E_FAIL);
  EXPECT_EQ(status, static_cast<DWORD>(CONNMGR_STATUS_NOPATHTODESTINATION));
  ASSERT_EQ(ConnMgrEstablishConnectionSync(&info, &h, 29952, &status), S_OK);

  qv::seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
  ASSERT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
  EXPECT_EQ(status, static_cast<DWORD>(CONNMGR_STATUS_DISCONNECTED));
  qv::seams::FailConnMgrStatusQuery(true);
  EXPECT_EQ(ConnMgrConnectionStatus(h, &status), E_FAIL);
  EXPECT_EQ(ConnMgrReleaseConnection(h, 0), S_OK);
  EXPECT_EQ(qv::seams::ConnMgrCalls().statusCalls, 2);
}

TEST_F(ConnMgr, DestinationsAndUrlMapping) {
  CONNMGR_DESTINATION_INFO d{};
  ASSERT_EQ(ConnMgrEnumDestinations(0, &d), S_OK);
  EXPECT_STREQ(d.szDescription, L"インターネット");
  // The device's table: the carrier's centre, which new accounts are given, and work.
  ASSERT_EQ(ConnMgrEnumDestinations(1, &d), S_OK);
  EXPECT_STREQ(d.szDescription, L"センタ名称設定");
  ASSERT_EQ(ConnMgrEnumDestinations(2, &d), S_OK);
  EXPECT_STREQ(d.szDescription, L"会社");
  EXPECT_EQ(ConnMgrEnumDestinations(3, &d), E_FAIL);

  qv::seams::SetConnMgrDestinations({{L"社内", kNet1}, {L"センタ名称設定", kNet2}});
  ASSERT_EQ(ConnMgrEnumDestinations(1, &d), S_OK);
  EXPECT_STREQ(d.szDescription, L"センタ名称設定");
  EXPECT_TRUE(Same(d.guid, kNet2));
  GUID g{};
  DWORD index = 7;
  ASSERT_EQ(ConnMgrMapURL(L"http://example.com/feed", &g, &index), S_OK);
  EXPECT_TRUE(Same(g, kNet1));
  EXPECT_EQ(index, 0u);
}

TEST_F(ConnMgr, NetworkWaitSeam) {
  EXPECT_EQ(qv::NetworkWaitStep(), 1000u);
  EXPECT_EQ(qv::NetworkWaitSteps(), 600u);
  qv::seams::SetNetworkWait(10, 3);
  EXPECT_EQ(qv::NetworkWaitStep(), 10u);
  EXPECT_EQ(qv::NetworkWaitSteps(), 3u);
  qv::seams::ResetSeams();
  EXPECT_EQ(qv::NetworkWaitStep(), 1000u);
}

}  // namespace
