// The box screens through their windows, over accounts made through the
// engine: the title bar and the icon list as they paint, the list's and the
// account drop-down's keys and taps, the folder screen's folder work and
// its refresh, and the settings launcher's items.
#include <algorithm>
#include <map>

#include "app/foundation/MessageBoxes.h"
#include "app/mailops/AccountOperations.h"
#include "app/protocol/BoxCommands.h"
#include "app/shell/QvSetFolderNameDlg.h"
#include "app/shell/boxdlg/QvAccountSelector.h"
#include "app/shell/mailbox/QvMailBoxDlg.h"
#include "app/shell/settingbox/QvSettingBoxDlg.h"
#include "engine/public/transport/QvAutoRetriever.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/ProtocolNames.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

// 0xRRGGBB of the in-memory screen.
DWORD ScreenAt(int x, int y) { return qv::ui::ScreenSurface()->Row(y)[x] & 0xFFFFFFu; }
DWORD Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
// Pixels of `colour` in a screen rectangle.
int CountColour(const RECT& r, DWORD colour) {
  int n = 0;
  for (LONG y = r.top; y < r.bottom; ++y) {
    for (LONG x = r.left; x < r.right; ++x) n += ScreenAt(x, y) == colour;
  }
  return n;
}
int CountNot(const RECT& r, DWORD colour) { return (r.right - r.left) * (r.bottom - r.top) - CountColour(r, colour); }

RECT OnScreen(HWND hwnd, RECT r) {
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The main window: keeps what the box screens tell it.
class BoxMainWindow : public RefreshWindow {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kAccountListChangedMessage) accountListChanged.push_back(wParam);
    if (message == kSelectLauncherItemMessage) launcherItems.push_back(wParam);
    return RefreshWindow::WindowProc(message, wParam, lParam);
  }
  std::vector<WPARAM> accountListChanged;
  std::vector<WPARAM> launcherItems;
};

// A screen that takes the script's steps while a dialog over it waits, as
// the test frame does for the screen itself.
template <class Screen>
class Stepping : public Screen {
 public:
  using Screen::Screen;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      if (!TakeStep(this->m_hWnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    return Screen::WindowProc(message, wParam, lParam);
  }
};
using MailBox = Stepping<QvMailBoxDlg>;

class BoxScreensTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    // Questions get the answer; every other box comes up, its texts are kept and it is closed.
    qv::msgbox_seam::SetHandler([this](const std::wstring& text, const std::wstring&) {
      boxes_.push_back(text);
      return answer_;
    });
    qv::msgbox_seam::SetAnswer(qv::msgbox_seam::kShowBox);
    qv::msgbox_seam::SetShownHandler([this](HWND box) {
      std::wstring texts;
      EnumChildWindows(
          box,
          [](HWND child, LPARAM all) {
            *reinterpret_cast<std::wstring*>(all) += qv::seams::ReadWindow(child).text + L"|";
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&texts));
      boxes_.push_back(texts);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    owner_ = new ScriptFrame;
    ASSERT_TRUE(owner_->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
  }
  void TearDown() override {
    QvMailBoxDlg::SetMailListRunner(nullptr);
    QvMailBoxDlg::SetFolderOrderRunner(nullptr);
    QvSettingBoxDlg::SetActions({});
    qv::msgbox_seam::Reset();
    if (owner_) owner_->DestroyWindow();
    MailOpsTest::TearDown();
  }
  // Steps taken while the dialog waits for input; it is cancelled after them.
  static INT_PTR Run(CDialog& dialog, std::vector<std::function<void()>> steps) {
    for (auto& s : steps) Script().push_back(std::move(s));
    return dialog.DoModal();
  }
  static std::vector<std::wstring> Texts(QvFolderListCtrl& list) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < list.GetItemCount(); ++i) texts.emplace_back(list.GetItemText(i, 0).GetString());
    return texts;
  }
  static std::vector<int> Counts(QvFolderListCtrl& list) {
    std::vector<int> counts;
    for (int i = 0; i < list.GetItemCount(); ++i) counts.push_back(list.CountOf(list.GetItemKey(i)));
    return counts;
  }
  // Whether the screen's update handler enables the command now.
  static bool Enabled(CCmdTarget& screen, UINT id) {
    class Probe : public CCmdUI {
     public:
      void Enable(BOOL on) override {
        enabled = on;
        m_bEnableChanged = TRUE;
      }
      BOOL enabled = TRUE;
    } probe;
    probe.m_nID = id;
    probe.DoUpdate(&screen, FALSE);
    return probe.enabled;
  }
  // The first account, opened: three folders below each box, mail stored.
  TestAccount OpenWork() {
    TestAccount work = MakeAccount(L"仕事");
    Store(L"仕事", work.trays[0], 4, 2);
    Store(L"仕事", work.receiveChildren[0], 6, 3);
    Store(L"仕事", work.receiveChildren[2], 2, 0);
    EXPECT_TRUE(OpenCurrentAccount(L"仕事"));
    return work;
  }

  ScriptFrame* owner_ = nullptr;
  std::vector<std::wstring> boxes_;
  int answer_ = IDYES;
};

// --- The title bar ------------------------------------------------------------------

TEST_F(BoxScreensTest, TheTitleBarPaintsItsTitleCountAndRule) {
  struct Case {
    const wchar_t* title;
    bool countShown;
    int count;
    bool titleInk;
    bool countInk;
  };
  const Case cases[] = {
      {L"受信ﾎﾞｯｸｽ", true, 0, true, true},  // the folder screen: "0件" before a folder is chosen
      {L"受信ﾎﾞｯｸｽ", true, 120, true, true},
      {L"設定", false, 7, true, false},  // the settings launcher: no count
      {L"", true, 3, false, true},
      {L"", false, 3, false, false},
  };
  const DWORD face = Rgb(GetSysColor(COLOR_3DFACE));
  const DWORD ink = Rgb(GetSysColor(COLOR_WINDOWTEXT));
  for (const Case& c : cases) {
    QvTitleBarCtrl bar;
    ASSERT_TRUE(bar.Create(L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 480, QvTitleBarCtrl::kHeight), owner_, 1209));
    bar.SetTitle(c.title);
    bar.SetCount(c.count);
    if (!c.countShown) bar.HideCount();
    EXPECT_EQ(bar.IsCountShown(), c.countShown);
    EXPECT_EQ(bar.GetCount(), c.count);
    bar.UpdateWindow();
    const RECT all = OnScreen(bar, {0, 0, 480, QvTitleBarCtrl::kHeight});
    EXPECT_EQ(ScreenAt(all.left + 1, all.top + 1), face);
    // The rule: the bottom row in the text colour, the one above it not.
    const RECT rule = {all.left, all.bottom - 1, all.right, all.bottom};
    EXPECT_EQ(CountColour(rule, ink), 480) << c.count;
    EXPECT_EQ(CountColour({all.left, all.bottom - 2, all.right, all.bottom - 1}, ink), 0);
    // Nothing within 4 pixels of the left edge; the title from there, the count on the right.
    EXPECT_EQ(CountNot({all.left, all.top, all.left + 4, all.bottom - 1}, face), 0);
    EXPECT_EQ(CountNot({all.left + 4, all.top, all.left + 200, all.bottom - 1}, face) > 0, c.titleInk) << c.count;
    EXPECT_EQ(CountNot({all.right - 100, all.top, all.right, all.bottom - 1}, face) > 0, c.countInk) << c.count;
    bar.DestroyWindow();
  }
}

// --- The icon list ------------------------------------------------------------------

class ListParent : public CWnd {
 public:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
    if (nm->code == NM_CLICK) ++clicks;
    return CWnd::OnNotify(wParam, lParam, result);
  }
  int clicks = 0;
};

TEST_F(BoxScreensTest, ListRowsShowTheirCountInBlueAfterABoldName) {
  ListParent parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  QvFolderListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 480, 700), &parent, 1078));
  ASSERT_TRUE(list.SetUp());
  struct Row {
    const wchar_t* text;
    int image;
    int count;
    bool counted;
    DWORD_PTR data;
    int shownCount;  // what the row keeps
    bool blue;
  };
  const Row rows[] = {
      {L"受信ﾎﾞｯｸｽ", 4, 0, true, 10, 0, false},  // 0 unread: normal, no count
      {L"仕事", 5, 3, true, 11, 3, true},         // 3 unread: bold, " (3)" in blue
      {L"仕事", 5, 0, true, 12, 0, false},        // the same name without: the bold one is darker
      {L"新規作成", 1, 5, false, 0, 0, false},    // without a count, whatever is given
  };
  for (int i = 0; i < 4; ++i) list.AddItem(i, rows[i].text, rows[i].image, rows[i].count, rows[i].counted, rows[i].data);
  list.UpdateWindow();
  const DWORD window = Rgb(GetSysColor(COLOR_WINDOW));
  std::vector<int> nameInk;
  for (int i = 0; i < 4; ++i) {
    CRect r;
    ASSERT_TRUE(list.GetItemRect(i, &r, LVIR_BOUNDS));
    EXPECT_EQ(r.Height(), QvFolderListCtrl::kRowHeight) << i;
    EXPECT_EQ(list.GetItemKey(i), rows[i].counted ? rows[i].data : QvFolderListCtrl::kNoKey) << i;
    EXPECT_EQ(list.CountOf(list.GetItemKey(i)), rows[i].shownCount) << i;
    const RECT row = OnScreen(list, r);
    EXPECT_EQ(CountColour(row, 0x0000FF) > 0, rows[i].blue) << i;
    // The picture at 4, 8: drawn, its magenta let through.
    EXPECT_NE(CountNot({row.left + 4, row.top + 8, row.left + 36, row.top + 40}, window), 0) << i;
    EXPECT_EQ(CountColour(row, 0xFF00FF), 0) << i;
    EXPECT_EQ(CountNot({row.left, row.top, row.left + 4, row.bottom}, window), 0) << i;
    nameInk.push_back(CountNot({row.left + 44, row.top, row.left + 44 + 80, row.bottom}, window));
  }
  EXPECT_GT(nameInk[1], nameInk[2]) << "bold with a count";
  // A count set to 0 is drawn without it; a new key is made only for a count above 0.
  list.SetCount(11, 0);
  list.SetCount(99, 0);
  EXPECT_EQ(list.CountOf(99), 0);
  list.SetCount(99, 4);
  EXPECT_EQ(list.CountOf(99), 4);
  list.Invalidate();
  list.UpdateWindow();
  CRect r1;
  list.GetItemRect(1, &r1, LVIR_BOUNDS);
  EXPECT_EQ(CountColour(OnScreen(list, r1), 0x0000FF), 0);
  // The text comes back cut to 11 characters.
  list.AddItem(4, L"とても長いフォルダの名前です", 5, 0, true, 13);
  EXPECT_EQ(std::wstring(list.GetItemTextShort(4).GetString()), L"とても長いフォルダの名");
  list.ClearItems();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.CountOf(99), 0);
  parent.DestroyWindow();
}

TEST_F(BoxScreensTest, ListKeysHandTheFocusOnOrWrapAndTapsBelowKeepTheSelection) {
  ListParent parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  CComboBox combo;
  ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 350, 300), &parent, 1025));
  QvFolderListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 46, 480, 700), &parent, 1078));
  list.SetUp();
  for (int i = 0; i < 3; ++i) list.AddItem(i, L"項目", 0, 0, false, 0);
  struct Case {
    bool neighbours;
    int from;
    BYTE key;
    int selected;      // afterwards
    bool focusToCombo;
  };
  const Case cases[] = {
      {true, 0, VK_UP, 0, true},     {false, 0, VK_UP, 2, false},  {true, 2, VK_DOWN, 2, true},
      {false, 2, VK_DOWN, 0, false}, {true, 1, VK_DOWN, 2, false}, {true, 1, VK_UP, 0, false},
  };
  for (const Case& c : cases) {
    list.SetNeighbours(c.neighbours ? &combo : nullptr, c.neighbours ? &combo : nullptr);
    list.SetFocus();
    list.SelectAndShow(c.from);
    PressKey(c.key);
    Pump();
    EXPECT_EQ(list.GetSelectedIndex(), c.selected) << c.from << " " << int{c.key};
    EXPECT_EQ(::GetFocus() == combo.m_hWnd, c.focusToCombo) << c.from << " " << int{c.key};
  }
  // A tap on a row chooses it; one below the rows changes nothing.
  list.SetFocus();
  list.SelectAndShow(0);
  CRect row;
  list.GetItemRect(1, &row, LVIR_BOUNDS);
  const RECT second = OnScreen(list, row);
  qv::seams::InjectTap({second.left + 200, second.top + 20});
  Pump();
  EXPECT_EQ(list.GetSelectedIndex(), 1);
  EXPECT_EQ(parent.clicks, 1);
  const RECT below = OnScreen(list, {0, 3 * QvFolderListCtrl::kRowHeight + 30, 480, 0});
  qv::seams::InjectTap({below.left + 200, below.top});
  Pump();
  EXPECT_EQ(list.GetSelectedIndex(), 1);
  EXPECT_EQ(parent.clicks, 1);
  parent.DestroyWindow();
}

// --- The account drop-down ----------------------------------------------------------

TEST_F(BoxScreensTest, TheAccountDropDownKeepsItsChoiceAndItsKeys) {
  MakeAccount(L"仕事");
  MakeAccount(L"個人");
  MakeAccount(L"趣味");
  BoxMainWindow* frame = new BoxMainWindow;
  ASSERT_TRUE(frame->Create(nullptr, L"frame", WS_POPUP | WS_VISIBLE));
  QvAccountSelector combo;
  ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 350, 400), frame, 1025));
  combo.SetUp();
  combo.Refill();
  std::vector<std::wstring> engine;
  ASSERT_TRUE(GetAccountNames(&engine));
  ASSERT_EQ(combo.GetCount(), static_cast<int>(engine.size()));
  EXPECT_EQ(std::wstring(combo.GetCurrentName().GetString()), engine[0]) << "none chosen before: item 0";
  struct Select {
    const wchar_t* name;
    int index;
  };
  for (const Select& s : {Select{L"個人", -1}, Select{L"無い名前", 0}, Select{L"", 0}}) {
    combo.SelectByName(s.name);
    const auto at = std::find(engine.begin(), engine.end(), std::wstring(s.name));
    EXPECT_EQ(combo.GetCurSel(), s.index >= 0 ? s.index : static_cast<int>(at - engine.begin())) << s.name;
  }
  // A refill keeps the choice by name, also when the list changes under it.
  combo.SelectByName(L"趣味");
  ASSERT_TRUE(DeleteAccount(engine[0]));
  combo.Refill();
  EXPECT_EQ(std::wstring(combo.GetCurrentName().GetString()), L"趣味");
  combo.SelectByName(L"個人");
  ASSERT_TRUE(DeleteAccount(L"個人"));
  combo.Refill();
  EXPECT_EQ(combo.GetCurSel(), 0) << "the chosen one went: item 0";
  MakeAccount(L"個人");
  combo.Refill();
  const int count = combo.GetCount();
  ASSERT_EQ(count, 2);
  struct Key {
    bool dropped;
    int from;
    BYTE key;
    int to;
    std::vector<WPARAM> told;
  };
  const Key keys[] = {
      {false, 0, VK_DOWN, 0, {0}}, {false, 1, VK_UP, 1, {1}}, {false, 0, VK_LEFT, 0, {}},
      {false, 0, VK_RIGHT, 0, {}}, {true, 1, VK_DOWN, 0, {}}, {true, 0, VK_UP, 1, {}},
      {true, 0, VK_DOWN, 1, {}},   {true, 1, VK_RIGHT, 1, {}},
  };
  for (const Key& k : keys) {
    frame->launcherItems.clear();
    combo.SetFocus();
    combo.SetCurSel(k.from);
    if (k.dropped) combo.ShowDropDown(TRUE);
    PressKey(k.key);
    Pump();
    EXPECT_EQ(combo.GetCurSel(), k.to) << k.dropped << " " << k.from << " " << int{k.key};
    EXPECT_EQ(frame->launcherItems, k.told) << k.dropped << " " << k.from << " " << int{k.key};
    combo.ShowDropDown(FALSE);
    Pump();
  }
  frame->DestroyWindow();
}

// --- The folder screen ---------------------------------------------------------------

TEST_F(BoxScreensTest, TheFolderScreenListsTheBoxAndItsFoldersWithTheirCounts) {
  const TestAccount work = OpenWork();
  std::vector<QvFolderItem> folders;
  ASSERT_TRUE(GetOrderedFolderItems(kReceiveBox, &folders));
  ASSERT_EQ(folders.size(), 3u);
  QvFolderItem box;
  ASSERT_TRUE(GetSystemFolderItem(kReceiveBox, &box));
  MailBox screen(L"受信ﾎﾞｯｸｽ", kReceiveBox, owner_);
  std::vector<std::wstring> texts;
  std::vector<int> counts;
  int titleCount = -1;
  int afterMove = -1;
  bool registered = false;
  Run(screen, {[&] {
                 texts = Texts(screen.List());
                 counts = Counts(screen.List());
                 titleCount = screen.TitleBar().GetCount();
                 registered = IsWindowRegistered(&screen);
                 PressKey(VK_DOWN);
               },
               [&] { afterMove = screen.TitleBar().GetCount(); }});
  std::vector<std::wstring> want{std::wstring(box.name.GetString())};
  for (const QvFolderItem& f : folders) want.emplace_back(f.name.GetString());
  EXPECT_EQ(texts, want);
  EXPECT_EQ(counts, (std::vector<int>{2, 3, 0, 0}));
  EXPECT_EQ(screen.RootId(), work.trays[0]);
  EXPECT_EQ(screen.TotalUnread(), 5);
  EXPECT_EQ(titleCount, 4) << "the box's own folder holds 4 mails";
  EXPECT_EQ(afterMove, 6) << "the first folder holds 6";
  EXPECT_TRUE(registered);
  EXPECT_FALSE(IsWindowRegistered(&screen)) << "gone from the registry with its window";
}

TEST_F(BoxScreensTest, CommandsAreOnOnlyWhereTheyApply) {
  OpenWork();
  MailBox screen(L"受信ﾎﾞｯｸｽ", kReceiveBox, owner_);
  struct Case {
    int selected;
    std::map<UINT, bool> on;
  };
  const Case cases[] = {
      {0, {{kRenameFolderCommand, false}, {kDeleteFolderCommand, false}, {kReclassifyCommand, true},
           {kMarkFolderReadCommand, true}, {kNewFolderCommand, true}, {kFolderOrderCommand, true}}},
      {2, {{kRenameFolderCommand, true}, {kDeleteFolderCommand, true}, {kReclassifyCommand, true},
           {kMarkFolderReadCommand, true}}},
      {-1, {{kRenameFolderCommand, false}, {kDeleteFolderCommand, false}, {kReclassifyCommand, false},
            {kMarkFolderReadCommand, false}}},
  };
  std::vector<std::string> wrong;
  Run(screen, {[&] {
    for (const Case& c : cases) {
      if (c.selected >= 0) screen.List().SelectAndShow(c.selected);
      else screen.List().SetItemState(-1, 0, LVIS_SELECTED);
      for (const auto& [id, on] : c.on) {
        if (Enabled(screen, id) != on) wrong.push_back(std::to_string(c.selected) + ":" + std::to_string(id));
      }
    }
  }});
  EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

TEST_F(BoxScreensTest, NewFoldersStopAtTwentyAndOrderNeedsTwo) {
  const TestAccount work = OpenWork();
  // 3 + 3 made with the account; 14 more make 20.
  for (int i = 0; i < 14; ++i) {
    DWORD id = 0;
    ASSERT_TRUE(CreateSubFolder(work.trays[i % 2], L"f" + std::to_wstring(i), &id));
  }
  ASSERT_EQ(CountUserFolders(), 20);
  MailBox screen(L"送信ﾎﾞｯｸｽ", kSendBox, owner_);
  bool newOn = true, orderOn = false;
  Run(screen, {[&] {
    newOn = Enabled(screen, kNewFolderCommand);
    orderOn = Enabled(screen, kFolderOrderCommand);
  }});
  EXPECT_FALSE(newOn);
  EXPECT_TRUE(orderOn);
}

TEST_F(BoxScreensTest, DeletingAFolderSelectsTheSameRowOrTheOneAbove) {
  OpenWork();
  struct Case {
    int selected;
    int after;
    int rows;
  };
  const Case cases[] = {{3, 2, 3}, {1, 1, 2}};  // the last one, then the first of the rest
  MailBox screen(L"受信ﾎﾞｯｸｽ", kReceiveBox, owner_);
  std::vector<int> after, rows;
  std::vector<std::function<void()>> steps;
  for (const Case& c : cases) {
    steps.push_back([&screen, c] {
      screen.List().SelectAndShow(c.selected);
      screen.PostMessage(WM_COMMAND, kDeleteFolderCommand, 0);
    });
    steps.push_back([&] {
      after.push_back(screen.List().GetSelectedIndex());
      rows.push_back(screen.List().GetItemCount());
    });
  }
  Run(screen, steps);
  EXPECT_EQ(after, (std::vector<int>{2, 1}));
  EXPECT_EQ(rows, (std::vector<int>{3, 2}));
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_NE(boxes_[0].find(L"を削除しますか"), std::wstring::npos) << "string 20040 with the name";
  EXPECT_EQ(CountChildFolders(screen.RootId()), 1);
}

TEST_F(BoxScreensTest, NamingAFolderTakesItsOwnNameRefusesASiblingsAndMakesNewOnes) {
  OpenWork();
  std::vector<QvFolderItem> folders;
  ASSERT_TRUE(GetOrderedFolderItems(kReceiveBox, &folders));
  const std::wstring first(folders[0].name.GetString()), second(folders[1].name.GetString());
  MailBox screen(L"受信ﾎﾞｯｸｽ", kReceiveBox, owner_);
  auto type = [](const std::wstring& text) {
    HWND dialog = ::GetActiveWindow();
    HWND field = ::GetDlgItem(dialog, QvSetFolderNameDlg::kNameField);
    ::SetWindowTextW(field, text.c_str());
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  };
  std::vector<std::wstring> afterOwn, afterNew;
  int newSelected = -1;
  std::wstring caption;
  Run(screen, {[&] {
                 screen.List().SelectAndShow(1);
                 screen.PostMessage(WM_COMMAND, kRenameFolderCommand, 0);
               },
               [&] {
                 caption = qv::seams::ReadWindow(::GetActiveWindow()).text;
                 type(first);  // its own name: accepted
               },
               [&] {
                 afterOwn = Texts(screen.List());
                 screen.PostMessage(WM_COMMAND, kRenameFolderCommand, 0);
               },
               [&] { type(second); },  // a sibling's: refused, the dialog stays
               [&] { ::PostMessageW(::GetActiveWindow(), WM_COMMAND, IDCANCEL, 0); },
               [&] { screen.PostMessage(WM_COMMAND, kNewFolderCommand, 0); },
               [&] { type(L"新しい"); },
               [&] {
                 afterNew = Texts(screen.List());
                 newSelected = screen.List().GetSelectedIndex();
               }});
  EXPECT_EQ(caption, std::wstring(LoadResString(20213).GetString()));
  ASSERT_EQ(afterOwn.size(), 4u);
  EXPECT_EQ(afterOwn[1], first);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].find(std::wstring(LoadResString(20048).GetString())), std::wstring::npos) << boxes_[0];
  ASSERT_EQ(afterNew.size(), 5u);
  EXPECT_EQ(afterNew.back(), L"新しい");
  EXPECT_EQ(newSelected, 4);
}

TEST_F(BoxScreensTest, ARefreshWhileAMailListIsOpenIsAppliedOnTheWayBack) {
  const TestAccount work = OpenWork();
  bool pendingInside = false;
  std::vector<int> countsInside;
  QvMailBoxDlg::SetMailListRunner([&](CWnd* parent, DWORD folder) {
    // The mail list is modal: its owner is disabled while it is up.
    parent->EnableWindow(FALSE);
    Store(L"仕事", folder, 3, 3);
    BroadcastFolderAndRootRefresh(folder);
    Pump();
    pendingInside = static_cast<QvMailBoxDlg*>(parent)->IsRefreshPending();
    countsInside = Counts(static_cast<QvMailBoxDlg*>(parent)->List());
    parent->EnableWindow(TRUE);
  });
  MailBox screen(L"受信ﾎﾞｯｸｽ", kReceiveBox, owner_);
  std::vector<int> back;
  Run(screen, {[&] {
                 screen.List().SelectAndShow(1);
                 PressKey(VK_RETURN);  // Enter on the list opens the folder
               },
               [&] { back = Counts(screen.List()); }});
  EXPECT_TRUE(pendingInside);
  EXPECT_EQ(countsInside, (std::vector<int>{2, 3, 0, 0})) << "not rebuilt while disabled";
  EXPECT_EQ(back, (std::vector<int>{2, 6, 0, 0}));
  EXPECT_FALSE(screen.IsRefreshPending());
  (void)work;
}

TEST_F(BoxScreensTest, MarkingAFolderReadClearsItsCount) {
  OpenWork();
  MailBox screen(L"受信ﾎﾞｯｸｽ", kReceiveBox, owner_);
  std::vector<int> counts;
  DWORD folder = 0;
  Run(screen, {[&] {
                 screen.List().SelectAndShow(1);
                 folder = static_cast<DWORD>(screen.List().GetItemKey(1));
                 screen.PostMessage(WM_COMMAND, kMarkFolderReadCommand, 0);
               },
               [&] { counts = Counts(screen.List()); }});
  EXPECT_EQ(counts, (std::vector<int>{2, 0, 0, 0}));
  QvFolderItem item;
  ASSERT_TRUE(GetFolderItem(folder, &item));
  EXPECT_EQ(item.unread, 0) << "stored read";
}

// --- The settings launcher ----------------------------------------------------------

TEST_F(BoxScreensTest, TheSettingsLauncherRunsItsItems) {
  OpenWork();
  MakeAccount(L"個人");
  BoxMainWindow* frame = new BoxMainWindow;
  ASSERT_TRUE(frame->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
  SetMainWindow(frame);
  std::vector<std::string> ran;
  QvSettingBoxDlg::Actions actions;
  actions.roundReceive = [&](CWnd*) { ran.push_back("round"); };
  actions.deleteOnServer = [&](CWnd*) { ran.push_back("delete"); };
  actions.accountList = [&](CWnd*, const CString& name) {
    ran.push_back("accounts");
    if (ran.size() > 4) OpenCurrentAccount(L"個人");  // the second time, the user switches
    EXPECT_EQ(std::wstring(name.GetString()), L"仕事");
  };
  actions.periodicSettings = [&](CWnd*) { ran.push_back("options"); };
  QvSettingBoxDlg::SetActions(actions);
  QvAutoRetriever waiting;
  QvSettingBoxDlg launcher(L"設定", owner_);
  bool countShown = true;
  std::vector<std::wstring> texts;
  auto choose = [&](int i) {
    return [&launcher, i] {
      launcher.List().SelectAndShow(i);
      launcher.PostMessage(WM_COMMAND, kOpenItemCommand, 0);
    };
  };
  Run(launcher, {[&] {
                   countShown = launcher.TitleBar().IsCountShown();
                   texts = Texts(launcher.List());
                 },
                 choose(0), choose(1), choose(2), choose(3),
                 [&] { SetRunningAutoRetriever(&waiting); },
                 choose(1),  // refused while the automatic receive waits
                 [&] { SetRunningAutoRetriever(nullptr); }, choose(2)});
  EXPECT_FALSE(countShown);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"まとめて受信", L"サーバーから削除", L"アカウント設定", L"オプション設定"}));
  EXPECT_EQ(ran, (std::vector<std::string>{"round", "delete", "accounts", "options", "accounts"}));
  ASSERT_EQ(boxes_.size(), 1u) << "the automatic receive's busy notice";
  EXPECT_NE(boxes_[0].find(std::wstring(LoadResString(20146).GetString())), std::wstring::npos) << boxes_[0];
  EXPECT_EQ(frame->accountListChanged, (std::vector<WPARAM>{1, 0}));
  SetMainWindow(main_);
  frame->DestroyWindow();
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// The Back message closes every box screen as a cancel; the screens leave
// the registry as they go.
TEST_F(BoxScreensTest, BackClosesEveryBoxScreen) {
  OpenWork();
  for (int kind : {0, 1, 2}) {
    std::unique_ptr<QvBaseBoxDlg> screen;
    if (kind < 2) screen = std::make_unique<MailBox>(kind == 0 ? L"受信ﾎﾞｯｸｽ" : L"送信ﾎﾞｯｸｽ", kind, owner_);
    else screen = std::make_unique<QvSettingBoxDlg>(L"設定", owner_);
    bool seenUp = false;
    const INT_PTR result = Run(*screen, {[&] {
                                 seenUp = ::IsWindowVisible(screen->m_hWnd);
                                 screen->SendMessage(kBackMessage, 0, 0);
                               },
                               [] { ADD_FAILURE() << "still up after Back"; }});
    EXPECT_TRUE(seenUp) << kind;
    EXPECT_EQ(result, IDCANCEL) << kind;
    EXPECT_EQ(Script().size(), 1u) << kind << ": closed before the next step";
    Script().clear();
    EXPECT_FALSE(IsWindowRegistered(screen.get())) << kind;
  }
}

}  // namespace
}  // namespace qv::test
