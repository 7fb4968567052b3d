// The connection controller over the platform's Connection Manager, with the
// phone bridge stand-in installed as a device has it: connections made,
// reused and switched between networks, failure statuses, the Wi-Fi wait
// (its steps shortened by the network-wait seam), the second ring as the
// bridge records it, and observers that end before the controller.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "engine/public/transport/QvRASController.h"
#include "platform/kernel/WaitHook.h"
#include "platform/net/ConnMgr.h"
#include "tests/engine/store/accounts/AccountFixture.h"

namespace {

constexpr GUID kHome = {0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
constexpr GUID kWork = {0xADB0B001, 0x10B5, 0x3F39, {0x27, 0xC6, 0x9E, 0xA9, 0x74, 0xE0, 0x0E, 0x5A}};
const wchar_t kRing[] = L"Software\\Norvale\\QvMailDynCall";
const wchar_t kHardware[] = L"System\\State\\Hardware";

struct Heard : QvRASController::NotifyRas {
  void notify(unsigned int message, long w, long l) override { heard.push_back({message, w, l}); }
  std::vector<std::vector<long>> heard;
};

// The Wi-Fi link comes up during the controller's first wait step.
std::atomic<bool> g_linkPending{false};
void LinkUp() {
  g_linkPending = false;
  SetRegistryDword(HKEY_LOCAL_MACHINE, kHardware, L"Wifi", 0x13);
}

class RasControllerTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    Install("outside/QvMailDynCall/libQvMailDynCall.so", "Windows/QvMailDynCall.so");
    home_ = MakeAccount(L"home", L"me@home.example.jp", kHome);
    homeToo_ = MakeAccount(L"home2", L"me2@home.example.jp", kHome);
    work_ = MakeAccount(L"work", L"me@work.example.jp", kWork);
    feed_ = MakeAccount(L"feed", QvSystemInfoInterface::kFeedSenderAddress, kHome);
  }
  void TearDown() override {
    qv::SetWaitHook({nullptr, nullptr, nullptr});
    home_.reset();
    homeToo_.reset();
    work_.reset();
    feed_.reset();
    AccountTest::TearDown();
  }
  static Account MakeAccount(const std::wstring& name, const std::wstring& sender, const GUID& network) {
    Account account = Create(name);
    EXPECT_NE(account, nullptr);
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kSenderAddress);
    a.Select(QvAccountInfoInterface::Attributes::kNetworkSetting);
    a.strSenderAddress = sender;
    a.guidNetworkSetting = network;
    EXPECT_TRUE(account->SetAccountInfoAttributes(a));
    return account;
  }
  // The bridge's record: the last argument and the number of calls, "-" when never called.
  static std::string Ring() {
    DWORD last = 0, calls = 0;
    if (!GetRegistryDword(HKEY_CURRENT_USER, kRing, L"Calls2ndRing", &calls)) return "-";
    GetRegistryDword(HKEY_CURRENT_USER, kRing, L"Last2ndRing", &last);
    return std::to_string(last) + "/" + std::to_string(calls);
  }

  Account home_, homeToo_, work_, feed_;
};

// What the Connection Manager was asked: establishes, releases, open connections, last network.
std::string Asked() {
  const auto c = qv::seams::ConnMgrCalls();
  return std::to_string(c.establishCalls) + "/" + std::to_string(c.releaseCalls) + "/" +
         std::to_string(c.openConnections) + (memcmp(&c.lastDestination, &kHome, sizeof kHome) == 0 ? " home" : " work");
}

TEST_F(RasControllerTest, ReusesTheNetworksConnectionAndSwitchesForAnother) {
  QvRASController controller;
  Heard heard;
  ASSERT_TRUE(controller.RegisterNotifyRas(&heard));
  long status = 1;
  void* first = controller.EstablishConnection(&status, home_.get());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(status, 0);
  const auto calls = qv::seams::ConnMgrCalls();
  EXPECT_EQ(calls.lastParams, static_cast<DWORD>(CONNMGR_PARAM_GUIDDESTNET));
  EXPECT_EQ(calls.lastPriority, static_cast<DWORD>(CONNMGR_PRIORITY_HIPRIBKGND));
  EXPECT_EQ(calls.lastTimeout, 30000u);
  EXPECT_EQ(Asked(), "1/0/1 home");
  EXPECT_EQ(controller.EstablishConnection(&status, homeToo_.get()), first);
  EXPECT_EQ(Asked(), "1/0/1 home");
  EXPECT_TRUE(heard.heard.empty());
  EXPECT_NE(controller.EstablishConnection(&status, work_.get()), nullptr);
  EXPECT_EQ(Asked(), "2/1/1 work");
  EXPECT_EQ(heard.heard, (std::vector<std::vector<long>>{{0, 2, 0}, {0, 1, 0}, {0, 3, 0}}));
  ASSERT_TRUE(controller.ReleaseConnection(&status));
  EXPECT_EQ(Asked(), "2/2/0 work");
  EXPECT_TRUE(controller.ReleaseConnection(&status));  // nothing held
}

TEST_F(RasControllerTest, FailureStatusesAreMappedAndNothingIsKept) {
  const struct {
    DWORD establish;  // what the establish ends with
    DWORD held;       // what the held connection then reports
    bool queryFails;
    long status;
  } cases[] = {
      {CONNMGR_STATUS_UNKNOWN, CONNMGR_STATUS_UNKNOWN, false, -1},
      {CONNMGR_STATUS_CONNECTIONFAILED, CONNMGR_STATUS_CONNECTIONFAILED, false, -2},
      {CONNMGR_STATUS_CONNECTIONDISABLED, CONNMGR_STATUS_CONNECTIONDISABLED, false, -3},
      {CONNMGR_STATUS_NOPATHTODESTINATION, CONNMGR_STATUS_NOPATHTODESTINATION, false, -4},
      {CONNMGR_STATUS_AUTHENTICATIONFAILED, CONNMGR_STATUS_AUTHENTICATIONFAILED, false, -5},
      {CONNMGR_STATUS_CONNECTED, CONNMGR_STATUS_NOPATHTODESTINATION, false, -4},
      {CONNMGR_STATUS_CONNECTED, CONNMGR_STATUS_WAITINGFORPATH, false, -5},
      {CONNMGR_STATUS_CONNECTED, CONNMGR_STATUS_CONNECTED, true, -7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.establish << " " << c.held);
    qv::seams::ResetNetworkSeams();
    qv::seams::SetConnMgrStatus(c.held);
    qv::seams::SetConnMgrEstablishHandler([&](const GUID&, DWORD) { return c.establish; });
    qv::seams::FailConnMgrStatusQuery(c.queryFails);
    QvRASController controller;
    long status = 0;
    EXPECT_EQ(controller.EstablishConnection(&status, home_.get()), nullptr);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(qv::seams::ConnMgrCalls().openConnections, 0);
    QvRASController forAccount(work_.get());
    EXPECT_FALSE(forAccount.EstablishConnection(&status));
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(qv::seams::ConnMgrCalls().openConnections, 0);
  }
}

TEST_F(RasControllerTest, AWifiLinkStillAssociatingIsWaitedForAndTriedOnce) {
  qv::seams::SetNetworkWait(0, 600);  // the 300 one-second steps pass at once
  qv::SetWaitHook({[] { return g_linkPending.load(); }, LinkUp, nullptr});
  for (const bool comesUp : {true, false}) {
    SCOPED_TRACE(comesUp);
    ASSERT_TRUE(SetRegistryDword(HKEY_LOCAL_MACHINE, kHardware, L"Wifi", 0x0B));
    int establishes = 0;
    qv::seams::SetConnMgrEstablishHandler([&](const GUID&, DWORD) -> DWORD {
      if (++establishes == 1) {
        g_linkPending = comesUp;
        return CONNMGR_STATUS_CONNECTIONFAILED;
      }
      return CONNMGR_STATUS_CONNECTED;
    });
    QvRASController controller;
    long status = 0;
    void* handle = controller.EstablishConnection(&status, home_.get());
    EXPECT_EQ(handle != nullptr, comesUp);
    EXPECT_EQ(establishes, comesUp ? 2 : 1);
    EXPECT_EQ(status, comesUp ? 0 : -2);
  }
  const std::pair<DWORD, int> states[] = {{0x0, 1}, {0x1, 2}, {0x0B, 3}, {0x13, 4}, {0x03, 5}, {0x1B, 3}};
  for (const auto& [value, state] : states) {
    ASSERT_TRUE(SetRegistryDword(HKEY_LOCAL_MACHINE, kHardware, L"Wifi", value));
    EXPECT_EQ(QvRASController::WifiState(), state) << value;
  }
  // The one-argument form never waits.
  ASSERT_TRUE(SetRegistryDword(HKEY_LOCAL_MACHINE, kHardware, L"Wifi", 0x0B));
  g_linkPending = true;
  qv::seams::SetConnMgrEstablishHandler([](const GUID&, DWORD) -> DWORD { return CONNMGR_STATUS_CONNECTIONFAILED; });
  QvRASController forAccount(home_.get());
  long status = 0;
  EXPECT_FALSE(forAccount.EstablishConnection(&status));
  EXPECT_EQ(qv::seams::ConnMgrCalls().lastTimeout, 29952u);
  g_linkPending = false;
}

TEST_F(RasControllerTest, TheSecondRingIsOffExactlyWhileAMailConnectionIsHeld) {
  // Each step, then the bridge's record after it (last argument / calls).
  enum Step { kHome, kHomeToo, kWork, kFeed, kRelease, kFail };
  const struct {
    const char* name;
    std::vector<std::pair<Step, std::string>> steps;
  } runs[] = {
      {"mail run", {{kHome, "0/1"}, {kHomeToo, "0/1"}, {kRelease, "1/2"}, {kRelease, "1/2"}}},
      {"mail then feed run", {{kHome, "0/1"}, {kRelease, "1/2"}, {kHome, "0/3"}, {kFeed, "0/3"}, {kRelease, "1/4"}}},
      {"mail run, feed on its connection", {{kHome, "0/1"}, {kFeed, "0/1"}, {kRelease, "1/2"}}},
      {"feed run", {{kFeed, "-"}, {kRelease, "-"}}},
      {"feed then mail on its connection", {{kFeed, "-"}, {kHome, "0/1"}, {kRelease, "1/2"}}},
      {"switch", {{kHome, "0/1"}, {kWork, "0/3"}, {kRelease, "1/4"}}},
      {"failed establish", {{kFail, "1/2"}, {kRelease, "1/2"}}},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    RegDeleteKeyW(HKEY_CURRENT_USER, kRing);
    QvRASController controller;
    for (const auto& [step, ring] : run.steps) {
      long status = 0;
      qv::seams::SetConnMgrStatus(step == kFail ? CONNMGR_STATUS_CONNECTIONFAILED : CONNMGR_STATUS_CONNECTED);
      switch (step) {
        case kHome: case kFail: controller.EstablishConnection(&status, home_.get()); break;
        case kHomeToo: controller.EstablishConnection(&status, homeToo_.get()); break;
        case kWork: controller.EstablishConnection(&status, work_.get()); break;
        case kFeed: controller.EstablishConnection(&status, feed_.get()); break;
        case kRelease: controller.ReleaseConnection(&status); break;
      }
      EXPECT_EQ(Ring(), ring) << step;
    }
  }
  // A controller that ends holding a mail connection puts the ring back.
  RegDeleteKeyW(HKEY_CURRENT_USER, kRing);
  qv::seams::SetConnMgrStatus(CONNMGR_STATUS_CONNECTED);
  {
    QvRASController controller;
    long status = 0;
    controller.EstablishConnection(&status, home_.get());
  }
  EXPECT_EQ(Ring(), "1/2");
  EXPECT_EQ(qv::seams::ConnMgrCalls().openConnections, 0);
}

TEST_F(RasControllerTest, AnObserverThatEndedIsNeverCalled) {
  QvRASController controller;
  long status = 0;
  ASSERT_NE(controller.EstablishConnection(&status, home_.get()), nullptr);
  Heard later;
  {
    auto gone = std::make_unique<Heard>();
    QvRASController::ScopedNotifyRas run(&controller, gone.get());
    ASSERT_NE(controller.EstablishConnection(&status, work_.get()), nullptr);
    EXPECT_EQ(gone->heard.size(), 3u);
    gone.reset();
    // The run's registration is no longer its own: the end leaves it alone.
    controller.RegisterNotifyRas(&later);
  }
  ASSERT_NE(controller.EstablishConnection(&status, home_.get()), nullptr);
  EXPECT_EQ(later.heard.size(), 3u);
  {
    auto gone = std::make_unique<Heard>();
    { QvRASController::ScopedNotifyRas run(&controller, gone.get()); }
    EXPECT_FALSE(controller.UnregisterNotifyRas(gone.get()));
  }
  // Freed and unregistered: a switch now calls no one (the sanitizer would see it).
  ASSERT_NE(controller.EstablishConnection(&status, work_.get()), nullptr);
  EXPECT_EQ(later.heard.size(), 3u);
}

}  // namespace
