// Message-map entries for combo and list box notifications, owner-drawn
// rows measured through WM_MEASUREITEM (the parent's entry, or reflected to
// the control's own), and the redraw switch of the window wrapper.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using ControlEntries = FrameworkTest;

constexpr UINT kCombo = 31;
constexpr UINT kListBox = 32;

class NotifiedParent : public CWnd {
 public:
  void OnCbErrSpace() { Called("CBN_ERRSPACE"); }
  void OnCbSelChange() { Called("CBN_SELCHANGE"); }
  void OnCbDblClk() { Called("CBN_DBLCLK"); }
  void OnCbSetFocus() { Called("CBN_SETFOCUS"); }
  void OnCbKillFocus() { Called("CBN_KILLFOCUS"); }
  void OnCbEditChange() { Called("CBN_EDITCHANGE"); }
  void OnCbEditUpdate() { Called("CBN_EDITUPDATE"); }
  void OnCbDropDown() { Called("CBN_DROPDOWN"); }
  void OnCbCloseUp() { Called("CBN_CLOSEUP"); }
  void OnCbSelEndOk() { Called("CBN_SELENDOK"); }
  void OnCbSelEndCancel() { Called("CBN_SELENDCANCEL"); }
  void OnLbErrSpace() { Called("LBN_ERRSPACE"); }
  void OnLbSelChange() { Called("LBN_SELCHANGE"); }
  void OnLbDblClk() { Called("LBN_DBLCLK"); }
  void OnLbSelCancel() { Called("LBN_SELCANCEL"); }
  void OnLbSetFocus() { Called("LBN_SETFOCUS"); }
  void OnLbKillFocus() { Called("LBN_KILLFOCUS"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(NotifiedParent, CWnd)
  ON_CBN_ERRSPACE(kCombo, &NotifiedParent::OnCbErrSpace)
  ON_CBN_SELCHANGE(kCombo, &NotifiedParent::OnCbSelChange)
  ON_CBN_DBLCLK(kCombo, &NotifiedParent::OnCbDblClk)
  ON_CBN_SETFOCUS(kCombo, &NotifiedParent::OnCbSetFocus)
  ON_CBN_KILLFOCUS(kCombo, &NotifiedParent::OnCbKillFocus)
  ON_CBN_EDITCHANGE(kCombo, &NotifiedParent::OnCbEditChange)
  ON_CBN_EDITUPDATE(kCombo, &NotifiedParent::OnCbEditUpdate)
  ON_CBN_DROPDOWN(kCombo, &NotifiedParent::OnCbDropDown)
  ON_CBN_CLOSEUP(kCombo, &NotifiedParent::OnCbCloseUp)
  ON_CBN_SELENDOK(kCombo, &NotifiedParent::OnCbSelEndOk)
  ON_CBN_SELENDCANCEL(kCombo, &NotifiedParent::OnCbSelEndCancel)
  ON_LBN_ERRSPACE(kListBox, &NotifiedParent::OnLbErrSpace)
  ON_LBN_SELCHANGE(kListBox, &NotifiedParent::OnLbSelChange)
  ON_LBN_DBLCLK(kListBox, &NotifiedParent::OnLbDblClk)
  ON_LBN_SELCANCEL(kListBox, &NotifiedParent::OnLbSelCancel)
  ON_LBN_SETFOCUS(kListBox, &NotifiedParent::OnLbSetFocus)
  ON_LBN_KILLFOCUS(kListBox, &NotifiedParent::OnLbKillFocus)
END_MESSAGE_MAP()

// Each notification code reaches its own entry, and only it; a code sent by
// the other kind of control (same number, other id) reaches the other's.
TEST_F(ControlEntries, EachComboAndListBoxNotificationReachesItsOwnEntry) {
  NotifiedParent parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"親", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  CComboBox combo;
  ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 300, 300), &parent, kCombo));
  CListBox box;
  ASSERT_TRUE(box.Create(WS_CHILD | WS_VISIBLE | LBS_NOTIFY, CRect(0, 320, 300, 600), &parent, kListBox));
  struct Case {
    UINT id;
    int code;
    const char* handler;
  };
  const Case cases[] = {
      {kCombo, CBN_ERRSPACE, "CBN_ERRSPACE"},         {kCombo, CBN_SELCHANGE, "CBN_SELCHANGE"},
      {kCombo, CBN_DBLCLK, "CBN_DBLCLK"},             {kCombo, CBN_SETFOCUS, "CBN_SETFOCUS"},
      {kCombo, CBN_KILLFOCUS, "CBN_KILLFOCUS"},       {kCombo, CBN_EDITCHANGE, "CBN_EDITCHANGE"},
      {kCombo, CBN_EDITUPDATE, "CBN_EDITUPDATE"},     {kCombo, CBN_DROPDOWN, "CBN_DROPDOWN"},
      {kCombo, CBN_CLOSEUP, "CBN_CLOSEUP"},           {kCombo, CBN_SELENDOK, "CBN_SELENDOK"},
      {kCombo, CBN_SELENDCANCEL, "CBN_SELENDCANCEL"}, {kListBox, LBN_ERRSPACE, "LBN_ERRSPACE"},
      {kListBox, LBN_SELCHANGE, "LBN_SELCHANGE"},     {kListBox, LBN_DBLCLK, "LBN_DBLCLK"},
      {kListBox, LBN_SELCANCEL, "LBN_SELCANCEL"},     {kListBox, LBN_SETFOCUS, "LBN_SETFOCUS"},
      {kListBox, LBN_KILLFOCUS, "LBN_KILLFOCUS"},
  };
  for (const Case& c : cases) {
    Calls().clear();
    HWND from = c.id == kCombo ? combo.m_hWnd : box.m_hWnd;
    parent.SendMessage(WM_COMMAND, MAKEWPARAM(c.id, static_cast<WORD>(c.code)), reinterpret_cast<LPARAM>(from));
    EXPECT_EQ(Calls(), std::vector<std::string>{c.handler}) << c.handler;
  }
  parent.DestroyWindow();
}

// What the controls themselves send as a person uses them: a key in the
// closed combo changes and confirms the selection; the list box tells its
// focus and a change made with a key.
TEST_F(ControlEntries, TheControlsOwnNotificationsArriveInOrder) {
  NotifiedParent parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"親", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  CComboBox combo;
  ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 300, 300), &parent, kCombo));
  combo.AddString(L"一");
  combo.AddString(L"二");
  combo.SetCurSel(0);
  CListBox box;
  ASSERT_TRUE(box.Create(WS_CHILD | WS_VISIBLE | LBS_NOTIFY, CRect(0, 320, 300, 600), &parent, kListBox));
  box.AddString(L"甲");
  box.AddString(L"乙");
  box.SetCurSel(0);
  Calls().clear();
  combo.SetFocus();
  PressKey(VK_DOWN);
  Pump();
  box.SetFocus();
  PressKey(VK_DOWN);
  Pump();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"CBN_SETFOCUS", "CBN_SELCHANGE", "CBN_SELENDOK", "CBN_KILLFOCUS",
                                               "LBN_SETFOCUS", "LBN_SELCHANGE"}));
  EXPECT_EQ(combo.GetCurSel(), 1);
  EXPECT_EQ(box.GetCurSel(), 1);
  parent.DestroyWindow();
}

// An owner-drawn list that answers its own WM_MEASUREITEM.
class TallRows : public CListCtrl {
 public:
  explicit TallRows(UINT height) : height_(height) {}
  void MeasureItem(LPMEASUREITEMSTRUCT mis) {
    Called("measure " + std::to_string(mis->CtlType) + " " + std::to_string(static_cast<int>(mis->itemID)));
    mis->itemHeight = height_;
  }
  void DrawItem(LPDRAWITEMSTRUCT) override {}

 private:
  UINT height_;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TallRows, CListCtrl)
  ON_WM_MEASUREITEM_REFLECT()
END_MESSAGE_MAP()

// A parent that answers for lists that do not answer themselves.
class MeasuringParent : public CWnd {
 public:
  void OnMeasureItem(int id, LPMEASUREITEMSTRUCT mis) {
    Called("parent " + std::to_string(id));
    mis->itemHeight = 40;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MeasuringParent, CWnd)
  ON_WM_MEASUREITEM()
END_MESSAGE_MAP()

int RowHeight(const CListCtrl& list) {
  CRect r;
  return list.GetItemRect(0, &r, LVIR_BOUNDS) ? r.Height() : -1;
}

TEST_F(ControlEntries, OwnerDrawnRowsTakeTheHeightTheirMeasureAnswers) {
  struct Case {
    const char* name;
    bool parentAnswers;
    UINT listAnswers;  // 0: a plain list that leaves it to the parent
    bool madeFirstThenSubclassed;
    int rowHeight;
    std::vector<std::string> calls;
  };
  const std::string list = std::to_string(ODT_LISTVIEW);
  const Case cases[] = {
      {"the list's own reflected entry", true, 48, false, 48, {"measure " + list + " -1"}},
      {"the parent's entry", true, 0, false, 40, {"parent 9"}},
      // Made from a template: the object joins later, and a resize asks again.
      {"subclassed, then resized", false, 52, true, 52, {"measure " + list + " -1"}},
  };
  for (const Case& c : cases) {
    Calls().clear();
    MeasuringParent measuring;
    CWnd plain;
    CWnd& parent = c.parentAnswers ? static_cast<CWnd&>(measuring) : plain;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"親", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
    const DWORD style = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER;
    TallRows tall(c.listAnswers);
    CListCtrl ordinary;
    CListCtrl& rows = c.listAnswers ? static_cast<CListCtrl&>(tall) : ordinary;
    if (c.madeFirstThenSubclassed) {
      HWND made = CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, 480, 600, parent.m_hWnd,
                                  reinterpret_cast<HMENU>(9), nullptr, nullptr);
      ASSERT_TRUE(rows.SubclassWindow(made));
      EXPECT_TRUE(Calls().empty()) << c.name << ": nobody answered at creation";
      rows.MoveWindow(0, 0, 480, 700);
    } else {
      ASSERT_TRUE(rows.Create(style, CRect(0, 0, 480, 600), &parent, 9));
    }
    rows.InsertColumn(0, L"", LVCFMT_LEFT, 480);
    rows.InsertItem(0, L"一");
    rows.InsertItem(1, L"二");
    EXPECT_EQ(RowHeight(rows), c.rowHeight) << c.name;
    CRect second;
    ASSERT_TRUE(rows.GetItemRect(1, &second, LVIR_BOUNDS));
    EXPECT_EQ(second.top, c.rowHeight) << c.name;
    EXPECT_EQ(Calls(), c.calls) << c.name;
    // A new font keeps the answered height.
    rows.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FONT)), TRUE);
    EXPECT_EQ(RowHeight(rows), c.rowHeight) << c.name;
    parent.DestroyWindow();
  }
}

class Counting : public CWnd {
 public:
  void OnPaint() {
    CPaintDC dc(this);
    ++paints;
  }
  int paints = 0;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Counting, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

TEST_F(ControlEntries, SetRedrawHoldsPaintingUntilTurnedOnAndInvalidated) {
  Counting w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 200), nullptr, 0));
  Pump();
  w.paints = 0;
  w.SetRedraw(FALSE);
  w.Invalidate();
  Pump();
  EXPECT_EQ(w.paints, 0) << "off: nothing painted";
  w.SetRedraw(TRUE);
  Pump();
  EXPECT_EQ(w.paints, 0) << "on again, but nothing invalidated since";
  w.Invalidate();
  Pump();
  EXPECT_EQ(w.paints, 1);
  w.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
