// The mail list control through its window over a folder stored through the
// engine: loading, the sort states and the saved sort values, unread first,
// the keys, the marking mode with its drag and automatic scroll, reloads
// that keep marks and the selection by message id, the id collections, and
// the rows as they paint. The list kinds and the icon choice as tables.
#include <algorithm>
#include <memory>

#include "app/mailops/MessageOperations.h"
#include "app/shell/boxdlg/QvTitleBarCtrl.h"
#include "app/shell/maillist/QvMailListCtrl.h"
#include "app/shell/maillist/QvMailListRows.h"
#include "platform/pim/Pim.h"
#include "platform/testing/Seams.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

// One stored mail: subject, sender, the day and minute of its date.
struct Mail {
  const wchar_t* subject;
  const wchar_t* from;
  int day;
  int minute;
  bool unread = false;
  bool isProtected = false;
};

// The screen's side of a tap: the keys NM_CLICK carries and those held then.
class ClickParent : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == NM_CLICK) {
      const auto* nm = reinterpret_cast<NMITEMACTIVATE*>(lParam);
      clicks.push_back({nm->iItem, nm->uKeyFlags, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0});
    }
    // A popup is noted by its first command and closed at once.
    if (message == WM_INITMENUPOPUP) popups.push_back(GetMenuItemID(reinterpret_cast<HMENU>(wParam), 0));
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) EndMenu();
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<UINT> popups;
  struct Click {
    int item;
    UINT keys;
    bool shift;
    bool ctrl;
  };
  std::vector<Click> clicks;
};

class MailListCtrlTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    account_ = MakeAccount(L"仕事");
    ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
    parent_ = new ClickParent;  // deletes itself with its window
    ASSERT_TRUE(parent_->Create(nullptr, L"list", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800)));
    ASSERT_TRUE(title_.Create(L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 480, QvTitleBarCtrl::kHeight), parent_));
    // Four rows fit: 46 + 4 * 72 + a part row.
    ASSERT_TRUE(list_.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | LVS_REPORT | LVS_OWNERDATA | LVS_OWNERDRAWFIXED |
                                 LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                             CRect(0, QvTitleBarCtrl::kHeight, 480, QvTitleBarCtrl::kHeight + 330), parent_, 1206));
    ASSERT_TRUE(list_.SetUp(&title_));
  }
  void TearDown() override {
    if (parent_) parent_->DestroyWindow();
    MailOpsTest::TearDown();
  }

  Ids StoreMails(DWORD folder, const std::vector<Mail>& mails) {
    Ids ids;
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"仕事", L""));
    std::unique_ptr<QvStorageInterface> storage(info ? info->OpenStorage() : nullptr);
    std::unique_ptr<QvFolderInterface> f(storage ? storage->OpenFolder(folder) : nullptr);
    EXPECT_TRUE(f);
    for (size_t i = 0; f && i < mails.size(); ++i) {
      const Mail& m = mails[i];
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUnread | QvMessageInterface::kIsProtected | QvMessageInterface::kKind |
               QvMessageInterface::kListTime | QvMessageInterface::kListText2 | QvMessageInterface::kListShort2;
      a.unread = m.unread;
      a.isProtected = m.isProtected;
      a.kind = QvMessageInterface::kReceived;
      a.listTime = SYSTEMTIME{2026, 12, 0, static_cast<WORD>(m.day), 9, static_cast<WORD>(m.minute), 0, 0};
      a.listText2 = m.from;
      a.listShort2 = m.subject;
      unsigned long id = 0;
      EXPECT_TRUE(f->CreateMessage(&id, a, "From: a@example.com\r\nSubject: s\r\n\r\nbody\r\n"));
      ids.push_back(id);
    }
    return ids;
  }
  DWORD Inbox() const { return account_.trays[0]; }
  bool Load() { return list_.LoadRows(QvMailListKind::ForKind(0), Inbox()); }
  std::vector<std::wstring> Subjects() const {
    std::vector<std::wstring> out;
    for (int i = 0; i < list_.GetRowCount(); ++i) out.push_back(list_.GetRow(i)->subject.str());
    return out;
  }
  static int StoredSortState() {
    int v = -1;
    return GetSortColumn(&v) ? v : -1;
  }
  POINT ScreenPointOfRow(int row) const {
    CRect r;
    list_.GetItemRect(row, &r, LVIR_BOUNDS);
    POINT p{r.left + 100, r.top + 30};
    ::ClientToScreen(list_.m_hWnd, &p);
    return p;
  }

  TestAccount account_;
  ClickParent* parent_ = nullptr;
  QvTitleBarCtrl title_;
  QvMailListCtrl list_;
};

const std::vector<Mail> kFive = {
    {L"b-件名", L"carol@example.com", 3, 0, true},  {L"a-件名", L"alice@example.com", 1, 0},
    {L"d-件名", L"bob@example.com", 3, 0},         {L"c-件名", L"dave@example.com", 2, 0, true, true},
    {L"e-件名", L"erin@example.com", 5, 0},
};

TEST_F(MailListCtrlTest, LoadsSortsByTheSavedStateAndTellsTheTitleBar) {
  // state -> subjects in order (equal dates fall to the message id both ways).
  struct Case {
    int stored;  // -1: no value
    std::vector<std::wstring> order;
  } cases[] = {
      {-1, {L"e-件名", L"b-件名", L"d-件名", L"c-件名", L"a-件名"}},
      {3, {L"a-件名", L"c-件名", L"b-件名", L"d-件名", L"e-件名"}},
      {6, {L"e-件名", L"b-件名", L"d-件名", L"c-件名", L"a-件名"}},
      {2, {L"a-件名", L"b-件名", L"c-件名", L"d-件名", L"e-件名"}},
      {5, {L"e-件名", L"d-件名", L"c-件名", L"b-件名", L"a-件名"}},
      {1, {L"a-件名", L"d-件名", L"b-件名", L"c-件名", L"e-件名"}},
      {4, {L"e-件名", L"c-件名", L"b-件名", L"d-件名", L"a-件名"}},
      {9, {L"e-件名", L"b-件名", L"d-件名", L"c-件名", L"a-件名"}},
  };
  StoreMails(Inbox(), kFive);
  for (const Case& c : cases) {
    QvMailListCtrl list;  // the state is read once per control
    ASSERT_TRUE(list.Create(WS_CHILD | LVS_REPORT | LVS_OWNERDATA | LVS_OWNERDRAWFIXED, CRect(0, 0, 480, 300),
                            parent_, 7));
    ASSERT_TRUE(list.SetUp(&title_));
    if (c.stored >= 0) SetSortColumn(c.stored);
    ASSERT_TRUE(list.LoadRows(QvMailListKind::ForKind(0), Inbox()));
    std::vector<std::wstring> got;
    for (int i = 0; i < list.GetRowCount(); ++i) got.push_back(list.GetRow(i)->subject.str());
    EXPECT_EQ(got, c.order) << "stored " << c.stored;
    EXPECT_EQ(list.GetItemCount(), 5);
    list.DestroyWindow();
  }
  EXPECT_EQ(title_.GetCount(), 5);
  // A folder that cannot be read leaves an empty list.
  ASSERT_TRUE(Load());
  EXPECT_FALSE(list_.LoadRows(QvMailListKind::ForKind(0), 0x7FFF));
  EXPECT_EQ(list_.GetRowCount(), 0);
  EXPECT_EQ(list_.GetItemCount(), 0);
  EXPECT_EQ(title_.GetCount(), 0);
}

// One open asks the address book about each correspondent once, an
// unknown one too: every ask reads the whole book.
TEST_F(MailListCtrlTest, AnOpenReadsTheAddressBookOncePerCorrespondent) {
  std::vector<Mail> mails;
  for (int i = 0; i < 6; ++i) mails.push_back({L"件名", i % 2 ? L"a@example.com" : L"b@example.com", 1 + i, 0});
  StoreMails(Inbox(), mails);
  qv::seams::InjectFileFault(qv::pim::kContactsFile, ERROR_SHARING_VIOLATION, -1);
  ClearHeaderCache();
  ASSERT_TRUE(Load());
  // The session's own read, then one for each of the two addresses.
  EXPECT_EQ(qv::seams::FileFaultHits(qv::pim::kContactsFile), 3);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(list_.GetRowCount(), 6);
}

TEST_F(MailListCtrlTest, ChoosingColumnsTogglesAndKeepsTheSelectedMessage) {
  StoreMails(Inbox(), kFive);
  ASSERT_TRUE(Load());
  ASSERT_TRUE(list_.SelectMessage(list_.GetMessageId(3)));
  const DWORD chosen = list_.GetSelectedMessageId();
  // column chosen -> state, stored the same.
  const std::pair<int, int> steps[] = {{2, 3}, {2, 6}, {1, 2}, {1, 5}, {0, 1}, {-1, 1}, {0, 4}, {-1, 4}, {2, 3}};
  for (auto [column, state] : steps) {
    list_.ChooseSortColumn(column);
    EXPECT_EQ(list_.GetSortState(), state) << "column " << column;
    EXPECT_EQ(StoredSortState(), state);
    EXPECT_EQ(list_.GetSelectedMessageId(), chosen);
    EXPECT_EQ(list_.GetNextItem(-1, LVNI_FOCUSED), list_.FindRow(chosen));
  }
  // Unread first holds in every order, and is saved.
  list_.SetUnreadFirst(true);
  DWORD option = 0;
  EXPECT_TRUE(GetSortOption(&option));
  EXPECT_EQ(option, 1u);
  for (int column : {0, 0, 1, 1, 2, 2}) {
    list_.ChooseSortColumn(column);
    EXPECT_TRUE(list_.TestStatus(0, QvMailListItem::kUnread) && list_.TestStatus(1, QvMailListItem::kUnread));
    for (int i = 2; i < 5; ++i) EXPECT_FALSE(list_.TestStatus(i, QvMailListItem::kUnread));
    EXPECT_EQ(list_.GetSelectedMessageId(), chosen);
  }
}

// The mend: a refresh that adds rows above the selected one and removes
// others keeps the same message selected, its marks and the sort.
TEST_F(MailListCtrlTest, ReloadKeepsSelectionAndMarksByMessageId) {
  const Ids first = StoreMails(Inbox(), kFive);
  ASSERT_TRUE(Load());  // date, newest first
  const DWORD chosen = first[3];  // c, the fourth row
  ASSERT_TRUE(list_.SelectMessage(chosen));
  ASSERT_EQ(list_.GetSelectedIndex(), 3);
  for (bool full : {false, true}) {
    StoreMails(Inbox(), {{L"f-新着", L"x@example.com", 9, full ? 1 : 0}, {L"g-新着", L"y@example.com", 8, 0}});
    ASSERT_TRUE(list_.ReloadRows(true, full));
    EXPECT_EQ(list_.GetSelectedMessageId(), chosen) << "full " << full;
    EXPECT_EQ(list_.GetSelectedIndex(), list_.FindRow(chosen));
    EXPECT_EQ(list_.GetSelectedCount(), 1u);
    EXPECT_EQ(list_.GetNextItem(-1, LVNI_FOCUSED), list_.FindRow(chosen));
  }
  EXPECT_EQ(list_.GetRowCount(), 9);
  EXPECT_EQ(title_.GetCount(), 9);
  // Marking mode: three marked rows, two selected; a row above them goes.
  list_.SetMarkingMode(true);
  list_.SetItemState(-1, 0, LVIS_SELECTED);
  for (DWORD id : {first[0], first[2], first[3]}) list_.SetItemState(list_.FindRow(id), LVIS_SELECTED, LVIS_SELECTED);
  list_.SetMarks(true);
  list_.SetItemState(list_.FindRow(first[0]), 0, LVIS_SELECTED);
  std::vector<unsigned long> gone = {first[4]};
  RemoveMessages(Inbox(), gone);
  for (bool full : {false, true}) {
    ASSERT_TRUE(list_.ReloadRows(true, full));
    EXPECT_EQ(list_.GetMarkedCount(), 3) << "full " << full;
    EXPECT_EQ(list_.GetSelectedCount(), 2u);
    for (DWORD id : {first[2], first[3]}) EXPECT_TRUE(list_.GetItemState(list_.FindRow(id), LVIS_SELECTED));
  }
  // A removed focused row leaves the focus at its place.
  list_.SetMarkingMode(false);
  ASSERT_TRUE(list_.SelectMessage(first[1]));
  const int place = list_.GetSelectedIndex();
  gone = {first[1]};
  RemoveMessages(Inbox(), gone);
  ASSERT_TRUE(list_.ReloadRows(true, false));
  EXPECT_EQ(list_.GetSelectedIndex(), std::min(place, list_.GetRowCount() - 1));
}

TEST_F(MailListCtrlTest, NeighboursIdsAndMarks) {
  const Ids ids = StoreMails(Inbox(), kFive);
  ASSERT_TRUE(Load());
  list_.SelectMessage(list_.GetMessageId(0));
  struct Case {
    int selected;
    int askedRow;  // -1: an id the list does not select
    bool backwards;
    bool ok;
    int answerRow;
  } cases[] = {{0, 0, false, true, 1}, {0, 0, true, false, -1}, {4, 4, false, false, -1},
               {4, 4, true, true, 3},  {2, -1, false, true, 2}};
  for (const Case& c : cases) {
    list_.SelectMessage(list_.GetMessageId(c.selected));
    DWORD out = 0;
    const DWORD asked = c.askedRow >= 0 ? list_.GetMessageId(c.askedRow) : 999999;
    EXPECT_EQ(list_.NextMessageId(asked, c.backwards, &out), c.ok);
    if (c.ok) {
      EXPECT_EQ(out, list_.GetMessageId(c.answerRow));
    }
    EXPECT_EQ(list_.GetSelectedIndex(), c.selected);
  }
  list_.SelectMessage(list_.GetMessageId(1));
  EXPECT_TRUE(list_.NextMessageId(list_.GetMessageId(1), false, nullptr));
  EXPECT_EQ(list_.GetSelectedIndex(), 2);
  // Collections: one protected message (c), none marked yet.
  EXPECT_EQ(list_.GetAllIds().size(), 5u);
  EXPECT_EQ(list_.GetUnprotectedIds().size(), 4u);
  EXPECT_TRUE(list_.GetMarkedIds().empty());
  list_.SetMarkingMode(true);
  list_.SelectAll();
  EXPECT_EQ(list_.GetSelectedCount(), 5u);
  EXPECT_TRUE(list_.AnySelectedUnmarked());
  list_.SetMarks(true);
  EXPECT_FALSE(list_.AnySelectedUnmarked());
  EXPECT_EQ(list_.GetMarkedIds().size(), 5u);
  EXPECT_EQ(list_.GetMarkedUnprotectedIds().size(), 4u);
  // Leaving keeps only the focused row selected; entering clears the marks.
  list_.SetMarkingMode(false);
  EXPECT_EQ(list_.GetSelectedCount(), 1u);
  list_.SetMarkingMode(true);
  EXPECT_EQ(list_.GetMarkedCount(), 0);
  (void)ids;
}

TEST_F(MailListCtrlTest, UpAndDownWrapUnlessShiftOrInMarkingWithCtrl) {
  StoreMails(Inbox(), kFive);
  ASSERT_TRUE(Load());
  list_.SetFocus();
  struct Case {
    bool marking;
    BYTE modifier;  // 0, VK_SHIFT or VK_CONTROL
    int from;
    BYTE key;
    int focused;
    std::vector<int> selected;
  } cases[] = {
      {false, 0, 0, VK_UP, 4, {4}},          {false, 0, 4, VK_DOWN, 0, {0}},
      {false, VK_SHIFT, 0, VK_UP, 0, {0}},   {true, VK_CONTROL, 0, VK_UP, 4, {0}},
      {true, 0, 4, VK_DOWN, 0, {0}},         {false, 0, 1, VK_DOWN, 2, {2}},
  };
  for (const Case& c : cases) {
    list_.SetMarkingMode(c.marking);
    list_.SelectMessage(list_.GetMessageId(c.from));
    Pump();
    if (c.modifier) qv::seams::InjectKey(c.modifier, true);
    qv::seams::InjectKey(c.key, true);
    qv::seams::InjectKey(c.key, false);
    if (c.modifier) qv::seams::InjectKey(c.modifier, false);
    Pump();
    std::vector<int> selected;
    for (int i = list_.GetNextItem(-1, LVNI_SELECTED); i >= 0; i = list_.GetNextItem(i, LVNI_SELECTED)) {
      selected.push_back(i);
    }
    EXPECT_EQ(list_.GetNextItem(-1, LVNI_FOCUSED), c.focused) << "from " << c.from << " key " << int(c.key);
    EXPECT_EQ(selected, c.selected) << "from " << c.from << " key " << int(c.key);
    list_.SetMarkingMode(false);
  }
}

// Taps in marking mode with Shift or Ctrl held, as the screen reads them;
// a tap below the rows changes nothing and is no click.
TEST_F(MailListCtrlTest, TapsCarryShiftAndCtrlAndBelowTheRowsAreIgnored) {
  StoreMails(Inbox(), kFive);
  ASSERT_TRUE(Load());
  list_.SetMarkingMode(true);
  list_.SelectMessage(list_.GetMessageId(0));
  struct Case {
    BYTE modifier;
    int row;  // -1: below the rows
    std::vector<int> selected;
    UINT keys;
  } cases[] = {{VK_CONTROL, 2, {0, 2}, LVKF_CONTROL}, {VK_SHIFT, 3, {2, 3}, LVKF_SHIFT},
               {0, -1, {2, 3}, 0},                   {0, 1, {1}, 0}};
  for (const Case& c : cases) {
    parent_->clicks.clear();
    POINT at = ScreenPointOfRow(c.row < 0 ? 4 : c.row);
    if (c.row < 0) at.y += 2 * QvMailListCtrl::kRowHeight;
    if (c.modifier) qv::seams::InjectKey(c.modifier, true);
    qv::seams::InjectTap(at);
    Pump();
    if (c.modifier) qv::seams::InjectKey(c.modifier, false);
    Pump();
    std::vector<int> selected;
    for (int i = list_.GetNextItem(-1, LVNI_SELECTED); i >= 0; i = list_.GetNextItem(i, LVNI_SELECTED)) {
      selected.push_back(i);
    }
    EXPECT_EQ(selected, c.selected) << "row " << c.row;
    ASSERT_EQ(parent_->clicks.size(), c.row < 0 ? 0u : 1u) << "row " << c.row;
    if (c.row >= 0) {
      EXPECT_EQ(parent_->clicks[0].item, c.row);
      EXPECT_EQ(parent_->clicks[0].keys, c.keys);
      EXPECT_EQ(parent_->clicks[0].shift, c.modifier == VK_SHIFT);
      EXPECT_EQ(parent_->clicks[0].ctrl, c.modifier == VK_CONTROL);
    }
  }
}

// Tap-and-hold outside marking mode: menu 161's popup over the screen, the
// list focused; in marking mode none.
TEST_F(MailListCtrlTest, ContextMenuOnlyOutsideMarkingMode) {
  StoreMails(Inbox(), kFive);
  ASSERT_TRUE(Load());
  for (bool marking : {false, true}) {
    list_.SetMarkingMode(marking);
    parent_->SetFocus();
    parent_->popups.clear();
    list_.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_.m_hWnd), MAKELPARAM(100, 200));
    list_.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_.m_hWnd), MAKELPARAM(0xFFFF, 0xFFFF));
    Pump();
    const std::vector<UINT> want = marking ? std::vector<UINT>() : std::vector<UINT>({40095, 40095});
    EXPECT_EQ(parent_->popups, want);
    EXPECT_EQ(CWnd::GetFocus() == &list_, !marking);
  }
}

TEST_F(MailListCtrlTest, DragInMarkingModeSelectsTheRangeAndScrollsWhileHeldBelow) {
  std::vector<Mail> many;
  for (int i = 0; i < 20; ++i) many.push_back({L"件名", L"x@example.com", 1 + i, 0});
  StoreMails(Inbox(), many);
  ASSERT_TRUE(Load());
  list_.SetMarkingMode(true);
  qv::seams::InjectPointer(WM_LBUTTONDOWN, ScreenPointOfRow(1));
  qv::seams::InjectPointer(WM_MOUSEMOVE, ScreenPointOfRow(3));
  Pump();
  EXPECT_EQ(CWnd::GetCapture(), &list_);
  EXPECT_EQ(list_.GetSelectedCount(), 3u);
  EXPECT_EQ(list_.GetNextItem(-1, LVNI_FOCUSED), 1);
  // Below the list: a row's depth at once and every 100 ms while held.
  CRect window;
  list_.GetWindowRect(&window);
  qv::seams::InjectPointer(WM_MOUSEMOVE, {100, window.bottom + 20});
  Pump();
  EXPECT_EQ(list_.GetTopIndex(), 1);
  for (int step = 2; step <= 5; ++step) {
    qv::seams::AdvanceUiClock(100);
    Pump();
    EXPECT_EQ(list_.GetTopIndex(), step);
  }
  // Rows 1 to the part row at the bottom edge.
  EXPECT_EQ(static_cast<int>(list_.GetSelectedCount()), list_.GetTopIndex() + list_.GetCountPerPage());
  qv::seams::InjectPointer(WM_LBUTTONUP, {100, window.bottom + 20});
  Pump();
  qv::seams::AdvanceUiClock(300);
  Pump();
  EXPECT_EQ(list_.GetTopIndex(), 5);
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

TEST_F(MailListCtrlTest, RowsPaintWithIconsBoldUnreadAndCutSubjects) {
  StoreMails(Inbox(), {{L"とても長い件名のメールです。本文も長いです。まだ続きます。", L"長い名前の差出人", 9, 5, true},
                       {L"短い件名", L"alice@example.com", 8, 0, false, true},
                       {L"絵文字\uE63E入り", L"bob@example.com", 7, 0}});
  ASSERT_TRUE(Load());
  list_.SetFocus();
  list_.UpdateWindow();
  parent_->UpdateWindow();
  Pump();
  const char* dir = std::getenv("QV_BINARY_DIR");
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/maillist-rows.png"));
  // The icon's see-through corner shows the row; the first row is the
  // selected, focused one in the highlight.
  auto at = [](int x, int y) { return qv::ui::ScreenSurface()->Row(y)[x] & 0xFFFFFFu; };
  const int top = QvTitleBarCtrl::kHeight;
  EXPECT_NE(at(20, top + 20), at(300, top + 2));  // the icon over the row's ground
  EXPECT_EQ(at(470, top + 2), at(470, top + 60));
  // The pictograph of the third subject is a picture in colour; the text
  // about it is grey ink.
  CRect third;
  list_.GetItemRect(2, &third, LVIR_BOUNDS);
  auto colours = [&](const CRect& r) {
    int other = 0;
    for (int y = r.top + top + 4; y < r.top + top + 36; ++y) {
      for (int x = 44; x < 300; ++x) {
        const DWORD p = at(x, y);
        const DWORD r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
        other += r != g || g != b;  // the ink and its edges are grey
      }
    }
    return other;
  };
  EXPECT_GT(colours(third), 40);
  // Marking mode: the marked rows show the check, the others no icon.
  list_.SetMarkingMode(true);
  list_.SetItemState(-1, 0, LVIS_SELECTED);
  list_.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  list_.SetMarks(true);
  parent_->UpdateWindow();
  Pump();
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/maillist-marking.png"));
  EXPECT_EQ(at(30, top + 72 + 28), 0xFFFFFFu);  // the check box white inside, on a selected row grey
  EXPECT_EQ(at(20, top + 2 * 72 + 20), at(300, top + 2 * 72 + 2));  // no icon on an unmarked row
}

TEST(MailListKinds, EachKindAnswersItsIds) {
  struct Row {
    int kind, unsent, unsentFlagged;
    UINT bar, popup, label;
    bool move, unread, read;
    UINT open;
    bool protect;
  } rows[] = {
      {0, -1, -1, 163, 189, 20004, true, true, true, 40130, true},
      {1, -1, -1, 164, 189, 20006, true, true, true, 40130, true},
      {2, 28, 29, 164, 191, 20006, false, false, false, 40189, false},
      {3, 26, 27, 164, 191, 20006, false, false, false, 40189, false},
      {4, -1, -1, 163, 189, 20004, true, true, true, 40130, true},
      {5, -1, -1, 164, 189, 20006, true, true, true, 40130, true},
  };
  for (const Row& r : rows) {
    const QvMailListKind& k = QvMailListKind::ForKind(r.kind);
    EXPECT_EQ(k.GetKind(), r.kind);
    EXPECT_EQ(k.GetUnsentImage(), r.unsent);
    EXPECT_EQ(k.GetUnsentImageFlagged(), r.unsentFlagged);
    EXPECT_EQ(k.GetMenuBarId(), r.bar);
    EXPECT_EQ(k.GetPopupMenuId(), r.popup);
    EXPECT_EQ(k.GetCorrespondentLabelId(), r.label);
    EXPECT_EQ(k.CanMove(), r.move);
    EXPECT_EQ(k.CanMarkUnread(), r.unread);
    EXPECT_EQ(k.CanMarkRead(), r.read);
    EXPECT_EQ(k.GetOpenCommand(), r.open);
    EXPECT_EQ(k.CanProtect(), r.protect);
  }
  EXPECT_EQ(QvMailListKind::ForKind(6).GetKind(), 0);
  EXPECT_EQ(QvMailListKind::ForKind(-1).GetKind(), 0);
}

// Rows keep their texts as UTF-16 yet sort by code point, as wide text
// does: a pictograph (a surrogate pair) after the full-width forms.
TEST(MailListRowTexts, KeepTheirTextAndSortByCodePoint) {
  const wchar_t* ordered[] = {L"", L"A", L"Ab", L"\u3042", L"\uFF08x", L"\U0001F600", L"\U0001F600a"};
  for (const wchar_t* text : ordered) EXPECT_EQ(QvRowText(text).str(), std::wstring(text));
  for (size_t i = 0; i < std::size(ordered); ++i) {
    for (size_t j = 0; j < std::size(ordered); ++j) {
      QvMailListItem a, b;
      a.subject = ordered[i];
      b.subject = ordered[j];
      a.messageId = b.messageId = 1;
      const int want = i < j ? -1 : (i > j ? 1 : 0);
      EXPECT_EQ(QvMailListRows::Compare(a, b, 2, false), want) << i << " " << j;
    }
  }
}

TEST(MailListKinds, IconOfEachKindAndStatus) {
  const int received[32] = {0, 6, 1, 7, 3, 9, 4, 10, 12, 16, 13, 17, 14, 18, 15, 19,
                            2, 8, 0, 0, 5, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (uint32_t c = 0; c < 32; ++c) {
    for (uint32_t kind : {1u, 4u}) {
      // Bits above the five that choose the icon change nothing.
      QvMailListItem row;
      row.kind = kind;
      row.status = c | 0x20;
      EXPECT_EQ(QvMailListCtrl::RowImage(row, QvMailListKind::ForKind(0)), received[c]) << c;
    }
    QvMailListItem sent;
    sent.status = c;
    const int want = c == 2 ? 21 : c == 4 ? 23 : c == 6 ? 24 : c == 16 ? 22 : c == 20 ? 25 : 20;
    EXPECT_EQ(QvMailListCtrl::RowImage(sent, QvMailListKind::ForKind(1)), want) << c;
    QvMailListItem unsent;
    unsent.kind = 3;
    unsent.status = c;
    EXPECT_EQ(QvMailListCtrl::RowImage(unsent, QvMailListKind::ForKind(3)), (c & 2) ? 27 : 26);
    EXPECT_EQ(QvMailListCtrl::RowImage(unsent, QvMailListKind::ForKind(2)), (c & 2) ? 29 : 28);
    EXPECT_EQ(QvMailListCtrl::RowImage(unsent, QvMailListKind::ForKind(0)), -1);
  }
  QvMailListItem other;
  other.kind = 2;
  EXPECT_EQ(QvMailListCtrl::RowImage(other, QvMailListKind::ForKind(0)), -1);
}

}  // namespace
}  // namespace qv::test
