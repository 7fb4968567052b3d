// The receive settings sheet through its real windows over accounts made
// through the engine: what each way through the periodic page stores (the
// common setting, the accounts' flags and the receive-timer program's
// notification), its refusals and warnings, Back, and the round page.
#include <algorithm>

#include "app/mailops/AccountOperations.h"
#include "app/shell/receive/QvSetRegularRecvSheet.h"
#include "platform/kernel/Notify.h"
#include "platform/kernel/Time.h"
#include "tests/app/settings/receiverules/SettingsFixture.h"

namespace qv::test {
namespace {

using Names = std::vector<std::wstring>;

// Minutes from now to the receive-timer program's start, or -1 without one.
int TimerMinutes() {
  HANDLE handles[100];
  DWORD count = 0;
  if (!CeGetUserNotificationHandles(handles, 100, &count)) return -1;
  for (DWORD i = 0; i < count && i < 100; ++i) {
    DWORD needed = 0;
    CeGetUserNotification(handles[i], 0, &needed, nullptr);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    if (!CeGetUserNotification(handles[i], needed, &needed, reinterpret_cast<LPBYTE>(buffer.data()))) continue;
    const auto* info = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buffer.data());
    if (std::wstring(info->pcent->lpszApplication) != L"\\Windows\\QvRecvTimer.exe") continue;
    // The program starts the mail program's unattended receive.
    if (std::wstring(info->pcent->lpszArguments) != L"-t") return -2;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME a{}, b{};
    SystemTimeToFileTime(&now, &a);
    SystemTimeToFileTime(&info->pcent->stStartTime, &b);
    const auto ticks = [](FILETIME f) { return (static_cast<int64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    // Rounded: the page stored it a moment ago.
    return static_cast<int>((ticks(b) - ticks(a) + 300000000LL) / 600000000LL);
  }
  return -1;
}

class ReceiveSettingsTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    MakeAccount(L"仕事");
    MakeAccount(L"自宅");
    for (const bool kept : {true, false}) {
      QvAccountInfoInterface::Attributes saved;
      saved.Select(QvAccountInfoInterface::Attributes::kPopPasswdSavingEnabled);
      saved.bPopPasswdSavingEnabled = kept;
      SetSettings(kept ? L"仕事" : L"自宅", saved);
    }
  }
  static Names Periodic(int batch) {
    Names names;
    EXPECT_TRUE(GetPeriodicRecvAccounts(&names, batch));
    return names;
  }
  static void Check(CListCtrl& list, const std::wstring& name) {
    for (int i = 0; i < list.GetItemCount(); ++i) {
      if (list.GetItemText(i, 0).GetString() == name) list.SetCheck(i, TRUE);
    }
  }
};

TEST_F(ReceiveSettingsTest, ThePeriodicPageStoresWhatEachWayThroughItLeaves) {
  struct Case {
    const char* name;
    bool on;  // stored before
    unsigned minutes;
    Names periodic;
    bool click;            // the periodic box is clicked
    const wchar_t* typed;  // into the interval field, when given
    Names check;           // accounts checked, in order
    INT_PTR end;
    bool wantOn;
    unsigned wantMinutes;
    Names wantPeriodic;
    int wantTimer;  // minutes, -1 for none
    std::vector<UINT> wantBoxes;
  } cases[] = {
      {"on, 30 minutes, one account", false, 15, {}, true, L"30", {L"仕事"}, IDOK, true, 30, {L"仕事"}, 30, {}},
      {"off: a typed 5 is stored as 15", false, 20, {}, false, L"5", {}, IDOK, false, 15, {}, -1, {}},
      {"on: an empty field is refused", true, 20, {L"仕事"}, false, L"", {}, IDCANCEL, true, 20, {L"仕事"}, -1, {0}},
      {"on: 5 is refused", true, 20, {L"仕事"}, false, L"5", {}, IDCANCEL, true, 20, {L"仕事"}, -1, {0}},
      {"on: 100 is refused", true, 20, {}, false, L"100", {}, IDCANCEL, true, 20, {}, -1, {0}},
      {"on: pasted letters are refused", true, 20, {}, false, L"1O", {}, IDCANCEL, true, 20, {}, -1, {0}},
      {"on: 10 and 99 are taken", true, 20, {L"仕事"}, false, L"99", {}, IDOK, true, 99, {L"仕事"}, 99, {}},
      {"an account without a password is refused while on", true, 20, {}, false, nullptr, {L"自宅", L"仕事"}, IDOK,
       true, 20, {L"仕事"}, 20, {20144}},
      {"on with no account: the timer stays off", false, 15, {}, true, nullptr, {}, IDOK, true, 15, {}, -1, {}},
      {"turning on unchecks the accounts without a password, once", false, 25, {L"仕事", L"自宅"}, true, nullptr, {},
       IDOK, true, 25, {L"仕事"}, 25, {20145}},
      {"off: an account without a password may be checked", false, 15, {}, false, nullptr, {L"自宅"}, IDOK, false, 15,
       {L"自宅"}, -1, {}},
      {"turning off keeps the accounts, the timer goes", true, 40, {L"仕事"}, true, nullptr, {}, IDOK, false, 40,
       {L"仕事"}, -1, {}},
  };
  bool pictured = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetPeriodicRecvSetting(c.on, c.minutes));
    ASSERT_TRUE(SetPeriodicRecvAccounts(c.periodic, 0));
    ApplyRecvTimer(c.on, static_cast<int>(c.minutes));
    boxes_.clear();
    QvSetRegularRecvSheet sheet(owner_);
    QvSetRegularRecvPage& page = sheet.RegularPage();
    bool stayed = false;
    Script() = {[&] {
                  if (!pictured) Picture("app-receivesettings.png");
                  pictured = true;
                  if (c.click) SendDlgItemMessageW(page.m_hWnd, QvSetRegularRecvPage::kOnBox, BM_CLICK, 0, 0);
                  if (c.typed) SetDlgItemTextW(page.m_hWnd, QvSetRegularRecvPage::kIntervalField, c.typed);
                  for (const std::wstring& name : c.check) Check(page.AccountList(), name);
                  PostMessageW(page.m_hWnd, WM_COMMAND, IDOK, 0);
                },
                [&] {
                  stayed = IsWindow(sheet.m_hWnd) != FALSE;
                  sheet.EndDialog(IDCANCEL);
                }};
    EXPECT_EQ(sheet.DoModal(), c.end);
    Script().clear();
    EXPECT_EQ(stayed, c.end == IDCANCEL);
    bool on = false;
    unsigned minutes = 0;
    ASSERT_TRUE(GetPeriodicRecvSetting(&on, &minutes));
    EXPECT_EQ(on, c.wantOn);
    EXPECT_EQ(minutes, c.wantMinutes);
    EXPECT_EQ(Periodic(0), c.wantPeriodic);
    if (c.end == IDOK) {
      EXPECT_EQ(TimerMinutes(), c.wantTimer);
    }
    ASSERT_EQ(boxes_.size(), c.wantBoxes.size());
    for (size_t i = 0; i < boxes_.size(); ++i) {
      // 0: the framework's range message, whatever its words.
      if (c.wantBoxes[i] != 0) {
        EXPECT_EQ(boxes_[i], Res(c.wantBoxes[i]));
      } else {
        EXPECT_FALSE(boxes_[i].empty());
      }
    }
  }
}

TEST_F(ReceiveSettingsTest, TheRoundPageStoresItsAccountsWithoutThePasswordCheck) {
  ASSERT_TRUE(SetPeriodicRecvSetting(true, 20));
  ASSERT_TRUE(SetPeriodicRecvAccounts({L"仕事"}, 1));
  QvSetRegularRecvSheet sheet(owner_);
  bool listedChecked = false;
  Script() = {[&] { sheet.SetActivePage(1); },
              [&] {
                QvSetSysRoundRecvPage& page = sheet.RoundPage();
                listedChecked = page.CheckedAccounts() == Names{L"仕事"};
                Picture("app-roundreceivesettings.png");
                Check(page.AccountList(), L"自宅");
                PostMessageW(page.m_hWnd, WM_COMMAND, IDOK, 0);
              }};
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_TRUE(listedChecked);
  EXPECT_EQ(Periodic(1), (Names{L"仕事", L"自宅"}));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(Stored(L"自宅").bPeriodicRetrievingEnabled) << "the periodic flags are the other page's";
}

TEST_F(ReceiveSettingsTest, BackCancelsUnlessTheIntervalFieldIsOnAndHoldsText) {
  struct Case {
    bool on;
    const wchar_t* typed;
    bool cancels;
  } cases[] = {{true, L"30", false}, {true, L"", true}, {false, L"30", true}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetPeriodicRecvSetting(c.on, 20));
    QvSetRegularRecvSheet sheet(owner_);
    bool up = false;
    Script() = {[&] {
                  SetDlgItemTextW(sheet.RegularPage().m_hWnd, QvSetRegularRecvPage::kIntervalField, c.typed);
                  SendMessageW(sheet.RegularPage().m_hWnd, kBackMessage, 0, 0);
                },
                [&] {
                  up = true;
                  sheet.EndDialog(IDOK);
                }};
    EXPECT_EQ(sheet.DoModal(), c.cancels ? IDCANCEL : IDOK) << c.on << " " << std::wstring(c.typed).size();
    EXPECT_EQ(up, !c.cancels);
    Script().clear();
  }
}

}  // namespace
}  // namespace qv::test
