// The history screen and the version dialog through their windows: the
// rows a history gives, drawn from their records; what each way of
// choosing chooses; the address chooser's history sources; the version
// kept in the registry.
#include <optional>

#include "app/foundation/Contacts.h"
#include "app/foundation/UiRegistry.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/history/QvMailHistoryDlg.h"
#include "app/shell/version/QvVersionDlg.h"
#include "platform/pim/Pim.h"
#include "platform/shell/MenuBar.h"
#include "platform/testing/TextLog.h"
#include "tests/app/settings/screens/ScreensFixture.h"

namespace qv::test {
namespace {

class HistoryVersionTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    ASSERT_TRUE(SetLastSelectAccount(L"仕事"));
    ASSERT_TRUE(book_.Logon());
    InstallHistoryScreen();
  }
  void TearDown() override {
    ReleasePoomSession();
    NotifyContactsChanged();
    SetContactsHooks({});
    ScreensTest::TearDown();
  }
  // Entries given oldest first; the history lists the newest first.
  static void Write(bool receive, const std::vector<std::pair<std::string, std::string>>& entries) {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"仕事", L""));
    ASSERT_TRUE(info);
    MailHistory history;
    for (const auto& [date, address] : entries) {
      st_MAILHISTORYDATA entry{date, address};
      ASSERT_EQ(receive ? history.RegistRecvHistoryData(&entry, info.get())
                        : history.RegistSendHistoryData(&entry, info.get()),
                0);
    }
  }
  void AddContact(const std::wstring& last, const std::wstring& first, const std::wstring& mail) {
    qv::pim::Contact c;
    c.lastName = last;
    c.firstName = first;
    c.email[0] = mail;
    ASSERT_NE(book_.Add(c), 0u);
    NotifyContactsChanged();
  }
  // Runs the screen with the steps; its result.
  INT_PTR Run(QvMailHistoryDlg& dialog, std::vector<std::function<void()>> steps) {
    Script().clear();
    for (auto& s : steps) Script().push_back(std::move(s));
    const INT_PTR result = dialog.DoModal();
    Script().clear();
    return result;
  }

  qv::pim::PimApplication book_;
};

TEST_F(HistoryVersionTest, AtMostTwentyRowsNewestFirstEachWithItsRecord) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 1; i <= 25; ++i) {
    entries.emplace_back("202612100930" + std::to_string(10 + i), "u" + std::to_string(i) + "@example.jp");
  }
  Write(true, entries);
  QvMailHistoryDlg dialog(owner_, QvMailHistoryDlg::kReceiveHistory);
  ASSERT_TRUE(dialog.LoadRecvHistory());
  ASSERT_EQ(dialog.Records().size(), MailHistory::kMaxEntries);
  int rows = -1, selected = -1;
  std::wstring row0, caption;
  Run(dialog, {[&] {
    rows = dialog.List().GetItemCount();
    selected = dialog.List().GetSelectedIndex();
    row0 = dialog.List().GetItemText(0, 0).GetString();
    caption = qv::seams::ReadWindow(dialog.m_hWnd).text;
    HWND bar = SHFindMenuBar(dialog.m_hWnd);
    ASSERT_TRUE(bar);
    ::UpdateWindow(bar);
    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("history-receive.png")));
    qv::seams::SetLandscape(true);
  },
               [&] {
                 // Turned: the list still spans the screen below the heading.
                 CRect client, list;
                 dialog.GetClientRect(&client);
                 dialog.List().GetWindowRect(&list);
                 ::MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&list), 2);
                 EXPECT_EQ(list, CRect(0, QvMailHistoryDlg::kHeadingHeight, client.right, client.bottom));
                 EXPECT_GT(client.Width(), client.Height());
                 ::UpdateWindow(dialog.m_hWnd);
                 EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("history-receive-landscape.png")));
                 qv::seams::SetLandscape(false);
  }});
  EXPECT_EQ(rows, QvMailHistoryDlg::kMaxRows);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(row0, L"20261210093035,u25@example.jp,");  // date, address, name
  EXPECT_EQ(caption, L"受信履歴");
}

TEST_F(HistoryVersionTest, RowsAreDrawnFromTheirRecordsWhateverTheirTextsHold) {
  // A contact's name and an address that hold commas, as the row's text
  // would too; and one address without a contact.
  AddContact(L"山田, 商事", L"太郎", L"t@ex.jp");
  Write(false, {{"20261209080500", "\"a,b\"@example.jp"}, {"20261210123000", "t@ex.jp"}});
  std::wstring taro;
  ASSERT_TRUE(LookupContactName(L"t@ex.jp", &taro));
  ASSERT_NE(taro.find(L','), std::wstring::npos);
  QvMailHistoryDlg dialog(owner_, QvMailHistoryDlg::kSendHistory);
  ASSERT_TRUE(dialog.LoadSendHistory());
  qv::seams::TextLog log;
  std::vector<std::wstring> drawn;
  qv::seams::DrawnText heading;
  bool headed = false;
  Run(dialog, {[&] {
    log.Clear();
    ::RedrawWindow(dialog.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (const auto& run : log.Of(dialog.List().m_hWnd)) drawn.push_back(run.text);
    headed = log.Last(dialog.m_hWnd, L"メール送信履歴", &heading);
    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("history-send.png")));
  }});
  EXPECT_EQ(drawn, (std::vector<std::wstring>{L"01", L"12/10 12:30", taro + L"<t@ex.jp>", L"02", L"12/09 08:05",
                                              L"\"a,b\"@example.jp"}));
  ASSERT_TRUE(headed);
  EXPECT_GE(heading.weight, 700);
  EXPECT_LT(heading.rect.bottom, QvMailHistoryDlg::kHeadingHeight + 2);
  EXPECT_EQ(log.Clipped(dialog.List().m_hWnd), "");
}

TEST_F(HistoryVersionTest, OnlyASelectedRowIsEverChosen) {
  Write(true,
        {{"20261201000000", "a@example.jp"}, {"20261202000000", "b@example.jp"}, {"20261203000000", "c@example.jp"}});
  auto list = [] { return ::GetDlgItem(::GetActiveWindow(), QvMailHistoryDlg::kListId); };
  auto select = [&](int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = row >= 0 ? item.stateMask : 0;
    ::SendMessageW(list(), LVM_SETITEMSTATE, row >= 0 ? static_cast<WPARAM>(row) : static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&item));
  };
  auto command = [](UINT id) { ::PostMessageW(::GetActiveWindow(), WM_COMMAND, id, 0); };
  auto key = [&](BYTE vk) {
    ::SetFocus(list());
    qv::seams::InjectKey(vk, true);
    qv::seams::InjectKey(vk, false);
  };
  auto tap = [&](int row) {  // 3: below the last row
    RECT r{};
    r.left = LVIR_BOUNDS;
    ::SendMessageW(list(), LVM_GETITEMRECT, static_cast<WPARAM>(std::min(row, 2)), reinterpret_cast<LPARAM>(&r));
    POINT p{r.left + 60, row > 2 ? r.bottom + 40 : (r.top + r.bottom) / 2};
    ::ClientToScreen(list(), &p);
    qv::seams::InjectTap(p);
  };
  struct Case {
    const char* what;
    std::function<void()> act;
    INT_PTR result;
    const wchar_t* chosen;  // null: none
  } cases[] = {
      {"choose key", [&] { select(1); command(QvMailHistoryDlg::kChooseCommand); }, 1, L"b@example.jp"},
      {"Enter", [&] { select(2); key(VK_RETURN); }, 1, L"a@example.jp"},
      {"tap", [&] { tap(1); }, 1, L"b@example.jp"},
      {"choose key, no row", [&] { select(-1); command(QvMailHistoryDlg::kChooseCommand); }, 2, nullptr},
      {"Enter, no row", [&] { select(-1); key(VK_RETURN); }, 2, nullptr},
      {"dialog OK, no row", [&] { select(-1); command(IDOK); }, 2, nullptr},
      {"cancel key", [&] { command(QvMailHistoryDlg::kCancelCommand); }, 2, nullptr},
      {"Back", [&] { ::PostMessageW(::GetActiveWindow(), kBackMessage, 0, 0); }, 2, nullptr},
      {"tap below the rows", [&] { select(1); tap(3); }, 2, nullptr},
  };
  for (const Case& c : cases) {
    QvMailHistoryDlg dialog(owner_, QvMailHistoryDlg::kReceiveHistory);
    ASSERT_TRUE(dialog.LoadRecvHistory());
    // Nothing chosen leaves the screen up, its selection kept: the next step cancels it.
    int kept = -2;
    EXPECT_EQ(Run(dialog, {c.act,
                           [&] {
                             kept = dialog.List().GetSelectedIndex();
                             command(QvMailHistoryDlg::kCancelCommand);
                           }}),
              c.result)
        << c.what;
    if (std::string(c.what) == "tap below the rows") {
      EXPECT_EQ(kept, 1);
    }
    const std::optional<QvNameAddressItem> chosen = dialog.GetSelectedHistory();
    EXPECT_EQ(chosen.has_value(), c.chosen != nullptr) << c.what;
    if (chosen && c.chosen) {
      EXPECT_EQ(std::wstring(chosen->address.GetString()), c.chosen) << c.what;
    }
  }
}

TEST_F(HistoryVersionTest, AnEmptyHistoryOpensEmptyAndChoosesNothing) {
  QvMailHistoryDlg dialog(owner_, QvMailHistoryDlg::kSendHistory);
  ASSERT_TRUE(dialog.LoadSendHistory());
  int rows = -1, selected = 0;
  const auto command = [](UINT id) { ::PostMessageW(::GetActiveWindow(), WM_COMMAND, id, 0); };
  EXPECT_EQ(Run(dialog, {[&] {
                           rows = dialog.List().GetItemCount();
                           selected = dialog.List().GetSelectedIndex();
                           command(QvMailHistoryDlg::kChooseCommand);
                         },
                         [&] { command(QvMailHistoryDlg::kCancelCommand); }}),
            QvMailHistoryDlg::kCancelledResult);
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(selected, -1);
  EXPECT_FALSE(dialog.GetSelectedHistory());
}

TEST_F(HistoryVersionTest, TheAddressChooserTakesAnEntryFromEitherHistory) {
  AddContact(L"佐藤", L"花子", L"hanako@example.jp");
  Write(true, {{"20261201000000", "r@example.jp"}});
  Write(false, {{"20261201000000", "hanako@example.jp"}});
  struct Case {
    int source;
    const wchar_t* account;  // "LastSelectAccount"
    bool chosen;
    std::wstring address;
    UINT notice;
  } cases[] = {
      {kFromRecvHistory, L"仕事", true, L"<r@example.jp>", 0},
      {kFromSendHistory, L"仕事", true, L"", 0},
      {kFromRecvHistory, L"ない", false, L"", kRecvHistoryLoadFailed},
      {kFromSendHistory, L"ない", false, L"", kSendHistoryLoadFailed},
  };
  std::wstring hanako;
  ASSERT_TRUE(LookupContactName(L"hanako@example.jp", &hanako));
  cases[1].address = FormatNamedAddress(hanako, L"hanako@example.jp");
  for (const Case& c : cases) {
    boxes_.clear();
    ASSERT_TRUE(SetLastSelectAccount(c.account));
    Script() = {[] { ::PostMessageW(::GetActiveWindow(), WM_COMMAND, QvMailHistoryDlg::kChooseCommand, 0); }};
    std::wstring address;
    EXPECT_EQ(ChooseContactAddress(owner_->m_hWnd, &address, c.source), c.chosen) << c.source;
    Script().clear();
    EXPECT_EQ(address, c.address) << c.source;
    EXPECT_TRUE(c.notice ? OneBoxSaid(c.notice) : boxes_.empty()) << c.source;
  }
}

TEST_F(HistoryVersionTest, TheVersionComesFromTheRegistryOrBecomesTheDefault) {
  BoxApp app;
  app.m_pMainWnd = owner_;  // the dialog has no parent: the main window owns it
  struct Case {
    const wchar_t* stored;  // null: no value
    const wchar_t* shown;
  } cases[] = {{nullptr, L"4.2"}, {L"", L"4.2"}, {L"5.1.3", L"5.1.3"}};
  for (const Case& c : cases) {
    if (c.stored) {
      ASSERT_TRUE(WriteText(kProgramKey, L"Version", c.stored));
    } else {
      HKEY key = nullptr;
      ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kProgramKey, 0, 0, &key), ERROR_SUCCESS);
      RegDeleteValueW(key, L"Version");
      RegCloseKey(key);
    }
    QvVersionDlg dialog;
    std::wstring shown;
    // The version stands in the middle of the screen, upright or turned.
    auto centred = [&] {
      CRect client, text;
      dialog.GetClientRect(&client);
      ::GetWindowRect(::GetDlgItem(dialog.m_hWnd, QvVersionDlg::kVersionText), &text);
      ::MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&text), 2);
      return std::abs(text.CenterPoint().x - client.CenterPoint().x) <= 1;
    };
    Script() = {[&] {
                  shown = qv::seams::ReadWindow(::GetDlgItem(dialog.m_hWnd, QvVersionDlg::kVersionText)).text;
                  EXPECT_TRUE(centred());
                  if (!c.stored) {
                    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("version.png")));
                  }
                  qv::seams::SetLandscape(true);
                },
                [&] {
                  EXPECT_TRUE(centred());
                  ::UpdateWindow(dialog.m_hWnd);
                  if (!c.stored) {
                    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("version-landscape.png")));
                  }
                  qv::seams::SetLandscape(false);
                  ::PostMessageW(dialog.m_hWnd, kBackMessage, 0, 0);
                }};
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, c.shown);
    CString after;
    EXPECT_TRUE(ReadRegistryString(kProgramKey, L"Version", after));
    EXPECT_EQ(std::wstring(after.GetString()), c.shown);
  }
  app.m_pMainWnd = nullptr;
}

}  // namespace
}  // namespace qv::test
