// The account menu and the name page through their windows: which buttons
// each selection enables, every name refusal (names compared as the store
// compares them), and new, rename and delete carried out in the engine.
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/CurrentAccount.h"
#include "app/shell/account/QvSetAccountEditNamePage.h"
#include "app/shell/account/QvSetAccountMainPage.h"
#include "app/shell/account/QvSetAccountMenuPage.h"
#include "tests/app/settings/account/AccountSheetFixture.h"

namespace qv::test {
namespace {

using Menu = QvSetAccountMenuPage;
using Name = QvSetAccountEditNamePage;

// The menu's own sheets are owned by the sheet that hosts it: it takes the
// script's steps while they wait, as the test frame does.
class SteppingSheet : public QvSinglePropertySheet {
 public:
  using QvSinglePropertySheet::QvSinglePropertySheet;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      if (!TakeStep(m_hWnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    return QvSinglePropertySheet::WindowProc(message, wParam, lParam);
  }
};

class AccountMenuTest : public AccountSheetTest {
 protected:
  static void SelectRow(int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = row >= 0 ? LVIS_SELECTED : 0;
    SendMessageW(Item(Menu::kList), LVM_SETITEMSTATE, static_cast<WPARAM>(row >= 0 ? row : -1),
                 reinterpret_cast<LPARAM>(&item));
  }
  // new, edit, rename, delete
  static std::string Buttons() {
    std::string s;
    for (int id : {Menu::kNew, Menu::kEdit, Menu::kRename, Menu::kDelete}) s += IsWindowEnabled(Item(id)) ? '1' : '0';
    return s;
  }
  INT_PTR RunMenu(std::vector<std::function<void()>> steps) {
    Menu page;
    SteppingSheet sheet(L"アカウント一覧", owner_);
    sheet.AddPage(&page);
    return Run([&] { return sheet.DoModal(); }, std::move(steps));
  }
};

TEST_F(AccountMenuTest, ButtonsFollowTheSelectionAndTheOpenAccountCannotBeDeleted) {
  for (const wchar_t* name : {L"alpha", L"beta", L"gamma"}) Prepare(name);
  ASSERT_TRUE(OpenCurrentAccount(L"beta"));
  struct Case {
    int row;  // -1 for none
    std::string buttons;
  } cases[] = {{1, "1110"}, {0, "1111"}, {2, "1111"}, {-1, "1000"}, {1, "1110"}};
  std::vector<std::string> seen;
  std::string opened;
  std::vector<std::function<void()>> steps = {[&] { opened = Buttons(); }};
  for (const Case& c : cases) {
    steps.push_back([&, c] {
      SelectRow(c.row);
      seen.push_back(Buttons());
    });
  }
  RunMenu(steps);
  EXPECT_EQ(opened, "1110");  // the open account's row comes selected
  ASSERT_EQ(seen.size(), std::size(cases));
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], cases[i].buttons) << cases[i].row;
}

TEST_F(AccountMenuTest, TenAccountsAreTheMostAndNoAccountGetsANotice) {
  std::string buttons;
  RunMenu({[&] { buttons = Buttons(); }, [] {}});
  EXPECT_EQ(buttons, "1000");
  EXPECT_TRUE(Shown(Message(20053)));
  for (int i = 0; i < 10; ++i) Prepare(L"acct" + std::to_wstring(i));
  RunMenu({[&] {
    SelectRow(3);
    buttons = Buttons();
  }});
  EXPECT_EQ(buttons, "0111");
}

TEST_F(AccountMenuTest, EachNameIsCheckedAsTheStoreComparesThem) {
  struct Case {
    Name::Mode mode;
    std::vector<std::wstring> existing;
    std::wstring typed;
    int answer;
    INT_PTR result;
    CString message;  // empty: none
    std::wstring name;
  } cases[] = {
      {Name::kNew, {L"work"}, L"Work", IDYES, IDCANCEL, Message(20030), L""},
      {Name::kNew, {L"Mail"}, L"ｍａｉｌ", IDYES, IDOK, L"", L"ｍａｉｌ"},
      {Name::kNew, {}, L"   ", IDYES, IDCANCEL, Message(20046, L"アカウント名"), L""},
      {Name::kNew, {}, L"12345678901", IDYES, IDCANCEL, Message(20154, nullptr, 10), L""},
      {Name::kNew, {}, L"a/b", IDYES, IDCANCEL, Message(20069), L""},
      {Name::kNew, {}, L"ab.", IDYES, IDCANCEL, Message(20069), L""},
      {Name::kNew, {L"other"}, L"  新しい口座 ", IDYES, IDOK, L"", L"新しい口座"},
      {Name::kRename, {L"old"}, L"  ", IDYES, IDCANCEL, L"", L""},
      {Name::kRename, {L"old", L"Home"}, L"HOME", IDYES, IDCANCEL, Message(20030), L""},
      {Name::kRename, {L"old"}, L"new", IDNO, IDCANCEL, Message(20177), L""},
      {Name::kRename, {L"old"}, L"new", IDYES, IDOK, Message(20177), L"new"},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    answer_ = c.answer;
    Name page(c.mode, c.existing);
    QvSinglePropertySheet sheet(L"アカウント名", owner_);
    sheet.AddPage(&page);
    const INT_PTR result = Run([&] { return sheet.DoModal(); },
                               {[&] {
                                  SetDlgItemTextW(Page(), Name::kNameField, c.typed.c_str());
                                  SoftKey(IDOK);
                                }});
    EXPECT_EQ(result, c.result) << c.typed;
    if (c.message.IsEmpty()) {
      EXPECT_TRUE(boxes_.empty()) << c.typed;
    } else {
      EXPECT_TRUE(Shown(c.message)) << c.typed;
    }
    if (c.result == IDOK) {
      EXPECT_EQ(page.name.str(), c.name) << c.typed;
    }
  }
}

// New (name, then the account sheet), rename and delete, as a person does
// them, each one carried out in the engine.
TEST_F(AccountMenuTest, NewRenameAndDeleteReachTheEngine) {
  Prepare(L"main");
  Prepare(L"spare");
  ASSERT_TRUE(OpenCurrentAccount(L"main"));
  std::vector<std::wstring> rows;
  auto readRows = [&] {
    rows.clear();
    WCHAR text[64] = {};
    const int count = static_cast<int>(SendMessageW(Item(Menu::kList), LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      LVITEMW item{};
      item.iSubItem = 0;
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(Item(Menu::kList), LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      rows.push_back(text);
    }
  };
  RunMenu({
      [&] { Click(Menu::kNew); },
      [&] {  // the name page
        SetDlgItemTextW(Page(), Name::kNameField, L"新規");
        SoftKey(IDOK);
      },
      [&] {  // the account sheet
        SetDlgItemTextW(Page(), QvSetAccountMainPage::kSenderAddress, L"new@example.jp");
        SetDlgItemTextW(Page(), QvSetAccountMainPage::kPopServer, L"pop.example.jp");
        SetDlgItemTextW(Page(), QvSetAccountMainPage::kSmtpServer, L"smtp.example.jp");
        SetDlgItemTextW(Page(), QvSetAccountMainPage::kPopUser, L"new");
        SoftKey(IDOK);
      },
      [&] {
        readRows();
        SelectRow(1);  // spare
        Click(Menu::kRename);
      },
      [&] {
        SetDlgItemTextW(Page(), Name::kNameField, L"Renamed");
        SoftKey(IDOK);  // and Yes to 20177
      },
      [&] {
        SelectRow(2);  // 新規
        Click(Menu::kDelete);  // and Yes to 20039
      },
      [&] { readRows(); },
  });
  std::vector<std::wstring> names;
  ASSERT_TRUE(GetAccountNames(&names));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"main", L"Renamed"}));
  EXPECT_EQ(rows, names);
  EXPECT_TRUE(Shown(Message(20177)));
  EXPECT_TRUE(Shown(Message(20039)));
}

}  // namespace
}  // namespace qv::test
