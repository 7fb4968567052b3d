// The list view and its header, through their messages and what the parent
// hears: state changes with old and new states, single selection, owner
// data asked only for what shows, owner-drawn and custom-drawn rows, check
// boxes, refused tracking, views that keep the items, hit tests; and a
// report view as a user sees it, saved as a PNG.
#include <map>
#include <set>
#include <tuple>

#include "platform/gdi/ImageList.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

// The log keeps the notifications of the codes a test listens for.
class ListViews : public DialogTest {
 protected:
  void Listen(std::vector<UINT> codes) {
    log_.Keep({WM_NOTIFY});
    log_.KeepCodes(std::move(codes));
    log_.Clear();
  }
};

constexpr int kListId = 5;

// What the parent hears from the list: a notification and the item it
// names (-1: none); a state change with its old and new states.
MsgEntry Heard(UINT code, int item) {
  return {WM_NOTIFY, seq::sent | seq::parent | seq::code | seq::item, 0, 0, code, 0,
          static_cast<DWORD_PTR>(static_cast<intptr_t>(item))};
}
MsgEntry Change(UINT code, int item, UINT from, UINT to) {
  MsgEntry e = Heard(code, item);
  e.flags |= seq::states;
  e.oldState = from;
  e.newState = to;
  return e;
}
// The state change as the parent hears it: asked first, then told.
std::vector<MsgEntry> Changes(std::vector<std::tuple<int, UINT, UINT>> changes) {
  std::vector<MsgEntry> out;
  for (auto [item, from, to] : changes) {
    out.push_back(Change(LVN_ITEMCHANGING, item, from, to));
    out.push_back(Change(LVN_ITEMCHANGED, item, from, to));
  }
  return out;
}

// The parent: answers the notifications the test names (by code, or by draw
// stage for custom draw), gives owner data's text, and keeps what it was
// asked to draw; the log records what it hears.
class Parent {
 public:
  Parent() {
    CurrentHandler() = [this](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
      if (m == WM_DRAWITEM) {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
        drawn.push_back({dis->CtlType, static_cast<int>(dis->itemID), dis->itemState});
        return TRUE;
      }
      if (m != WM_NOTIFY) return std::nullopt;
      const auto* head = reinterpret_cast<const NMHDR*>(l);
      if (head->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(l);
        if (info->item.mask & LVIF_TEXT) {
          text = L"行" + std::to_wstring(info->item.iItem) + L"・" + std::to_wstring(info->item.iSubItem);
          info->item.pszText = text.data();
        }
      } else if (head->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(l);
        auto it = answers.find(cd->nmcd.dwDrawStage);
        return it != answers.end() ? it->second : CDRF_DODEFAULT;
      }
      auto it = answers.find(head->code);
      return it != answers.end() ? it->second : 0;
    };
  }
  ~Parent() { CurrentHandler() = nullptr; }
  Parent(const Parent&) = delete;
  Parent& operator=(const Parent&) = delete;

  struct Drawn {
    UINT type;
    int item;
    UINT state;
    bool operator==(const Drawn&) const = default;
  };
  std::vector<Drawn> drawn;           // WM_DRAWITEM: CtlType, item, itemState
  std::map<UINT, LRESULT> answers;    // by notification code or draw stage
  std::wstring text;
};

HWND MakeList(HWND parent, DWORD style, RECT r = {0, 0, 480, 600}) {
  return CreateWindowExW(0, WC_LISTVIEW, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), nullptr, nullptr);
}

void AddColumns(HWND list, std::vector<std::pair<const wchar_t*, int>> columns) {
  for (size_t c = 0; c < columns.size(); ++c) {
    LVCOLUMNW col{LVCF_TEXT | LVCF_WIDTH, 0, columns[c].second, const_cast<LPWSTR>(columns[c].first), 0, 0, 0, 0};
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
}

void AddItems(HWND list, std::vector<std::vector<const wchar_t*>> rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    LVITEMW item{LVIF_TEXT | LVIF_PARAM, static_cast<int>(i), 0, 0, 0, const_cast<LPWSTR>(rows[i][0]), 0, 0,
                 static_cast<LPARAM>(100 + i), 0};
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (size_t sub = 1; sub < rows[i].size(); ++sub) {
      LVITEMW text{};
      text.iSubItem = static_cast<int>(sub);
      text.pszText = const_cast<LPWSTR>(rows[i][sub]);
      SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&text));
    }
  }
}

// A list on a parent of the screen's size, with its extended style, columns and rows.
HWND Report(DWORD style, std::vector<std::pair<const wchar_t*, int>> columns, std::vector<std::vector<const wchar_t*>> rows = {},
            DWORD exStyle = 0, RECT r = {0, 0, 480, 600}) {
  HWND parent = CreateWindowExW(0, kTestClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
  HWND list = MakeList(parent, LVS_REPORT | style, r);
  if (exStyle) SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle);
  AddColumns(list, std::move(columns));
  AddItems(list, std::move(rows));
  return list;
}

RECT ItemRect(HWND list, int i, int code = LVIR_BOUNDS) {
  RECT r{code, 0, 0, 0};
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
  return r;
}

// A tap at a point of the list's client, with keys held.
void TapAt(HWND list, POINT p, std::vector<BYTE> held = {}) {
  ClientToScreen(list, &p);
  for (BYTE k : held) qv::seams::InjectKey(k, true);
  qv::seams::InjectTap(p);
  for (BYTE k : held) qv::seams::InjectKey(k, false);
  qv::seams::PumpMessages();
}

POINT LabelOf(HWND list, int i) {
  const RECT r = ItemRect(list, i, LVIR_LABEL);
  return {r.left + 10, (r.top + r.bottom) / 2};
}

std::vector<int> Selected(HWND list) {
  std::vector<int> out;
  for (int i = -1; (i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;) {
    out.push_back(i);
  }
  return out;
}

std::vector<std::vector<const wchar_t*>> Rows(int n) {
  static const wchar_t* names[] = {L"受信箱", L"送信箱", L"下書き", L"送信済み", L"ゴミ箱", L"保存", L"迷惑メール", L"仕事"};
  std::vector<std::vector<const wchar_t*>> rows;
  for (int i = 0; i < n; ++i) rows.push_back({names[i % 8]});
  return rows;
}

void SetState(HWND list, int i, UINT state, UINT mask) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
}

COLORREF ScreenAt(int x, int y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); }

constexpr UINT kSel = LVIS_SELECTED;
constexpr UINT kFoc = LVIS_FOCUSED;

TEST_F(ListViews, EveryStateChangeIsToldWithOldAndNewAndSingleSelectionKeepsOne) {
  struct Case {
    const char* name;
    DWORD style;
    std::function<void(HWND)> act;
    std::vector<int> selected;
    std::vector<std::tuple<int, UINT, UINT>> changed;  // item, old and new states; each asked, then told
  };
  const Case cases[] = {
      {"tap", 0, [](HWND l) { TapAt(l, LabelOf(l, 1)); }, {1}, {{1, 0, kSel | kFoc}}},
      {"Ctrl-tap adds", 0, [](HWND l) { TapAt(l, LabelOf(l, 1)); TapAt(l, LabelOf(l, 3), {VK_CONTROL}); }, {1, 3},
       {{1, 0, kSel | kFoc}, {1, kSel | kFoc, kSel}, {3, 0, kSel | kFoc}}},
      {"Shift-tap ranges", 0, [](HWND l) { TapAt(l, LabelOf(l, 1)); TapAt(l, LabelOf(l, 3), {VK_SHIFT}); }, {1, 2, 3},
       {{1, 0, kSel | kFoc}, {2, 0, kSel}, {3, 0, kSel},
        {1, kSel | kFoc, kSel}, {3, kSel, kSel | kFoc}}},
      {"Ctrl-tap in a single-selection list", LVS_SINGLESEL,
       [](HWND l) { TapAt(l, LabelOf(l, 1)); TapAt(l, LabelOf(l, 3), {VK_CONTROL}); }, {3},
       {{1, 0, kSel | kFoc}, {1, kSel | kFoc, kFoc}, {1, kFoc, 0},
        {3, 0, kSel | kFoc}}},
      {"single selection turned on keeps the focused one", 0,
       [](HWND l) {
         TapAt(l, LabelOf(l, 0));
         TapAt(l, LabelOf(l, 2), {VK_CONTROL});
         SetWindowLongW(l, GWL_STYLE, GetWindowLongW(l, GWL_STYLE) | LVS_SINGLESEL);
       },
       {2},
       {{0, 0, kSel | kFoc}, {0, kSel | kFoc, kSel}, {2, 0, kSel | kFoc},
        {0, kSel, 0}}},
      {"keys", 0, [](HWND l) { SetFocus(l); PressKey(VK_DOWN); PressKey(VK_DOWN); PressKey(VK_DOWN, true); }, {1, 2},
       {{0, 0, kSel | kFoc}, {0, kSel | kFoc, kFoc}, {0, kFoc, 0},
        {1, 0, kSel | kFoc}, {2, 0, kSel}, {1, kSel | kFoc, kSel},
        {2, kSel, kSel | kFoc}}},
      {"a tap below the last row hits nothing and clears", 0,
       [](HWND l) { TapAt(l, LabelOf(l, 2)); TapAt(l, {50, ItemRect(l, 4).bottom + 30}); }, {},
       {{2, 0, kSel | kFoc}, {2, kSel | kFoc, kFoc}}},
  };
  for (const Case& c : cases) {
    HWND list = Report(c.style, {{L"名前", 300}}, Rows(5));
    HWND parent = GetParent(list);
    Pump();
    Parent p;
    Listen({LVN_ITEMCHANGING, LVN_ITEMCHANGED});
    c.act(list);
    Pump();
    EXPECT_EQ(Selected(list), c.selected) << c.name;
    EXPECT_EQ(log_.Compare(list, Changes(c.changed)), "") << c.name;
    DestroyWindow(parent);
  }
}

TEST_F(ListViews, TapsTellTheParentWhatWasTappedAndActivated) {
  struct Case {
    const char* name;
    DWORD exStyle;
    int taps;
    int row;  // -1: below the last row
    std::vector<MsgEntry> heard;
  };
  const Case cases[] = {
      {"tap", 0, 1, 1, {Heard(NM_SETFOCUS, -1), Heard(NM_CLICK, 1)}},
      {"double tap", 0, 2, 1,
       {Heard(NM_SETFOCUS, -1), Heard(NM_CLICK, 1), Heard(NM_DBLCLK, 1), Heard(LVN_ITEMACTIVATE, 1)}},
      {"one-tap activation", LVS_EX_ONECLICKACTIVATE, 1, 1,
       {Heard(NM_SETFOCUS, -1), Heard(NM_CLICK, 1), Heard(LVN_ITEMACTIVATE, 1)}},
      {"below the rows", LVS_EX_ONECLICKACTIVATE, 2, -1,
       {Heard(NM_SETFOCUS, -1), Heard(NM_CLICK, -1), Heard(NM_DBLCLK, -1)}},
  };
  for (const Case& c : cases) {
    HWND list = Report(0, {{L"名前", 300}}, Rows(3), c.exStyle);
    Pump();
    Parent p;
    Listen({NM_SETFOCUS, NM_CLICK, NM_DBLCLK, LVN_ITEMACTIVATE});
    const POINT at = c.row >= 0 ? LabelOf(list, c.row) : POINT{40, ItemRect(list, 2).bottom + 40};
    TapAt(list, at);
    if (c.taps == 2) {
      // The second press of a double tap, as a class with CS_DBLCLKS receives it
      // (the window system's input does not make double clicks itself).
      PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
      PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    Pump();
    EXPECT_EQ(log_.Compare(list, c.heard), "") << c.name;
    DestroyWindow(GetParent(list));
  }
}

TEST_F(ListViews, ARefusedChangeLeavesTheState) {
  HWND list = Report(0, {{L"名前", 300}}, Rows(3));
  Parent p;
  p.answers[LVN_ITEMCHANGING] = TRUE;
  Listen({LVN_ITEMCHANGED});
  TapAt(list, LabelOf(list, 1));
  EXPECT_EQ(Selected(list), std::vector<int>{});
  EXPECT_EQ(log_.Compare(list, {}), "");
}

TEST_F(ListViews, OwnerDataIsAskedOnlyForTheRowsThatShowAndDrawsOnlyTheCount) {
  struct Case {
    const char* name;
    int count;
    std::function<void(HWND)> act;
  };
  const Case cases[] = {
      {"top of 100000", 100000, [](HWND) {}},
      {"bottom of 100000", 100000, [](HWND l) { SendMessageW(l, WM_VSCROLL, SB_BOTTOM, 0); }},
      {"3", 3, [](HWND) {}},
      {"3 made 2", 3, [](HWND l) { SendMessageW(l, LVM_SETITEMCOUNT, 2, 0); }},
  };
  for (const Case& c : cases) {
    HWND list = Report(LVS_OWNERDATA, {{L"件名", 240}, {L"差出人", 200}});
    HWND parent = GetParent(list);
    SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(c.count), 0);
    Pump();
    Parent p;
    Listen({LVN_GETDISPINFOW});
    c.act(list);
    InvalidateRect(list, nullptr, FALSE);
    Pump();
    const std::vector<MsgEntry> questions = log_.NotesTo(parent);
    std::set<int> asked;
    for (const MsgEntry& n : questions) asked.insert(static_cast<int>(n.item));
    // The rows that show: from the top one down to the one the list's bottom edge cuts, within the count.
    const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const RECT first = ItemRect(list, top);
    const int depth = first.bottom - first.top;
    const int last = std::min(count - 1, top + static_cast<int>(600 - first.top + depth - 1) / depth - 1);
    ASSERT_FALSE(asked.empty()) << c.name;
    EXPECT_EQ(*asked.begin(), top) << c.name;
    EXPECT_EQ(*asked.rbegin(), last) << c.name;
    EXPECT_EQ(asked.size(), static_cast<size_t>(last - top + 1)) << c.name;
    // Two columns: two questions a row, never more.
    EXPECT_EQ(questions.size(), 2 * asked.size()) << c.name;
    LVHITTESTINFO below{{20, ItemRect(list, count - 1).bottom + 2}, 0, -1, 0};
    if (below.pt.y < 600) {
      EXPECT_EQ(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&below)), -1) << c.name;
    }
    DestroyWindow(parent);
  }
  // Selecting every row of an owner-data list is one notification.
  HWND list = Report(LVS_OWNERDATA, {{L"件名", 240}});
  SendMessageW(list, LVM_SETITEMCOUNT, 100000, 0);
  Parent p;
  Listen({LVN_ITEMCHANGED});
  SetState(list, -1, kSel, kSel);
  EXPECT_EQ(log_.Compare(list, {Change(LVN_ITEMCHANGED, -1, 0, kSel)}), "");
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 100000);
}

TEST_F(ListViews, OwnerDrawnRowsTakeTheSmallImagesDepthAndHearSelectionAndFocus) {
  HWND list = Report(LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER | LVS_SINGLESEL, {{L"", 480}});
  HWND parent = GetParent(list);
  HIMAGELIST rows = ImageList_Create(1, 72, ILC_COLOR32, 1, 1);
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(rows));
  AddItems(list, Rows(3));
  const RECT r = ItemRect(list, 1);
  EXPECT_EQ(r.bottom - r.top, 72);
  EXPECT_EQ(r.top, 72);
  Parent p;
  SetFocus(list);
  SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
  p.drawn.clear();
  InvalidateRect(list, nullptr, FALSE);
  Pump();
  const std::vector<Parent::Drawn> want{{ODT_LISTVIEW, 0, 0}, {ODT_LISTVIEW, 1, ODS_SELECTED | ODS_FOCUS}, {ODT_LISTVIEW, 2, 0}};
  EXPECT_EQ(p.drawn, want);
  p.drawn.clear();
  SetFocus(parent);
  Pump();
  EXPECT_EQ(p.drawn, (std::vector<Parent::Drawn>{{ODT_LISTVIEW, 0, 0}, {ODT_LISTVIEW, 1, ODS_SELECTED}, {ODT_LISTVIEW, 2, 0}}));
}

// An owner-drawn report asks its parent how deep a row is: the answer, not
// the images or the font, sets the rows and the rectangles it draws in.
TEST_F(ListViews, OwnerDrawnRowsAreAsDeepAsTheParentSays) {
  struct Case {
    const char* name;
    bool withImages;
    UINT answer;  // 0: the parent leaves the default
    int want;
  };
  const Case cases[] = {{"the parent's depth", false, 60, 60},
                        {"the parent's depth over the small images'", true, 40, 40},
                        {"the images' depth when the parent keeps it", true, 0, 72}};
  for (const Case& c : cases) {
    std::vector<MEASUREITEMSTRUCT> asked;
    std::vector<RECT> drawn;
    CurrentHandler() = [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
      if (m == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        asked.push_back(*mis);
        if (c.answer) mis->itemHeight = c.answer;
        return TRUE;
      }
      if (m == WM_DRAWITEM) {
        drawn.push_back(reinterpret_cast<const DRAWITEMSTRUCT*>(l)->rcItem);
        return TRUE;
      }
      return std::nullopt;
    };
    HWND list = Report(LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER, {{L"", 480}});
    if (c.withImages) {
      HIMAGELIST rows = ImageList_Create(1, 72, ILC_COLOR32, 1, 1);
      SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(rows));
    }
    AddItems(list, Rows(3));
    drawn.clear();
    InvalidateRect(list, nullptr, FALSE);
    Pump();
    ASSERT_FALSE(asked.empty()) << c.name;
    EXPECT_EQ(asked.back().CtlType, static_cast<UINT>(ODT_LISTVIEW)) << c.name;
    EXPECT_EQ(asked.back().CtlID, static_cast<UINT>(kListId)) << c.name;
    const RECT r = ItemRect(list, 2);
    EXPECT_EQ(r.bottom - r.top, c.want) << c.name;
    EXPECT_EQ(r.top, 2 * c.want) << c.name;
    ASSERT_EQ(drawn.size(), 3u) << c.name;
    for (const RECT& d : drawn) EXPECT_EQ(d.bottom - d.top, c.want) << c.name;
    CurrentHandler() = nullptr;
    DestroyWindow(GetParent(list));
  }
}

TEST_F(ListViews, CustomDrawStagesComeInOrder) {
  // The parent hears each stage as WM_NOTIFY NM_CUSTOMDRAW with its item.
  auto at = [](DWORD stage, DWORD_PTR item = 0) {
    return MsgEntry{WM_NOTIFY, seq::sent | seq::parent | seq::code | seq::stage, 0, 0, NM_CUSTOMDRAW, stage, item};
  };
  constexpr DWORD kSub = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
  struct Case {
    const char* name;
    LRESULT pre, item;
    std::vector<MsgEntry> want;
  };
  const Case cases[] = {
      {"default", CDRF_DODEFAULT, CDRF_DODEFAULT, {at(CDDS_PREPAINT)}},
      {"skipped", CDRF_SKIPDEFAULT | CDRF_NOTIFYITEMDRAW, CDRF_DODEFAULT, {at(CDDS_PREPAINT)}},
      {"items", CDRF_NOTIFYITEMDRAW, CDRF_DODEFAULT,
       {at(CDDS_PREPAINT), at(CDDS_ITEMPREPAINT, 0), at(CDDS_ITEMPREPAINT, 1)}},
      {"items and after", CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT, CDRF_NOTIFYPOSTPAINT | CDRF_SKIPDEFAULT,
       {at(CDDS_PREPAINT), at(CDDS_ITEMPREPAINT, 0), at(CDDS_ITEMPOSTPAINT, 0), at(CDDS_ITEMPREPAINT, 1),
        at(CDDS_ITEMPOSTPAINT, 1), at(CDDS_POSTPAINT)}},
      {"sub-items", CDRF_NOTIFYITEMDRAW, CDRF_NOTIFYSUBITEMDRAW,
       {at(CDDS_PREPAINT), at(CDDS_ITEMPREPAINT, 0), at(kSub, 0), at(kSub, 0), at(CDDS_ITEMPREPAINT, 1),
        at(kSub, 1), at(kSub, 1)}},
  };
  log_.Keep({WM_NOTIFY});
  for (const Case& c : cases) {
    HWND list = Report(0, {{L"件名", 240}, {L"日付", 200}}, {{L"お知らせ", L"12/09"}, {L"会議", L"12/10"}});
    HWND parent = GetParent(list);
    Pump();
    Parent p;
    p.answers[CDDS_PREPAINT] = c.pre;
    p.answers[CDDS_ITEMPREPAINT] = c.item;
    log_.Clear();
    InvalidateRect(list, nullptr, FALSE);
    Pump();
    EXPECT_EQ(log_.Compare(list, c.want), "") << c.name;
    DestroyWindow(parent);
  }
  log_.Keep({});
}

TEST_F(ListViews, ATapOnTheCheckBoxTogglesItAndTellsTheParent) {
  HWND list = Report(0, {{L"アカウント", 400}}, Rows(3), LVS_EX_CHECKBOXES);
  const UINT unchecked = INDEXTOSTATEIMAGEMASK(1);
  const UINT checked = INDEXTOSTATEIMAGEMASK(2);
  struct Case {
    const char* name;
    std::function<void()> act;
    UINT check1;
    std::vector<MsgEntry> changed;
  };
  auto box = [&] {
    const RECT b = ItemRect(list, 1);
    return POINT{b.left + 6 + qv::ui::StylePainter::kCheckBox / 2, (b.top + b.bottom) / 2};
  };
  const Case cases[] = {
      {"box", [&] { TapAt(list, box()); }, checked, {Change(LVN_ITEMCHANGED, 1, unchecked, checked)}},
      {"box again", [&] { TapAt(list, box()); }, unchecked, {Change(LVN_ITEMCHANGED, 1, checked, unchecked)}},
      {"label selects only", [&] { TapAt(list, LabelOf(list, 1)); }, unchecked,
       {Change(LVN_ITEMCHANGED, 1, unchecked, unchecked | kSel | kFoc)}},
      {"space", [&] { PressKey(VK_SPACE); Pump(); }, checked,
       {Change(LVN_ITEMCHANGED, 1, unchecked | kSel | kFoc, checked | kSel | kFoc)}},
  };
  for (const Case& c : cases) {
    Parent p;
    Listen({LVN_ITEMCHANGED});
    c.act();
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK), static_cast<LRESULT>(c.check1)) << c.name;
    EXPECT_EQ(log_.Compare(list, c.changed), "") << c.name;
  }
}

TEST_F(ListViews, TheHeaderClicksColumnsAndTracksUnlessTheParentRefuses) {
  struct Case {
    const char* name;
    LRESULT refuse;
    int from, to;  // x of the press and of the release, in the header
    int width0;
    std::vector<MsgEntry> heard;
  };
  // The header tells the list, which tells its parent.
  auto told = [](UINT code, int column) {
    MsgEntry toList = Heard(code, column);
    toList.flags &= ~seq::parent;
    return std::vector<MsgEntry>{toList, Heard(code, column)};
  };
  auto join = [](std::vector<MsgEntry> a, const std::vector<MsgEntry>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"drag", FALSE, 200, 260, 260, join(told(HDN_BEGINTRACKW, 0), told(HDN_ENDTRACKW, 0))},
      {"refused", TRUE, 200, 260, 200, told(HDN_BEGINTRACKW, 0)},
      {"click", FALSE, 300, 300, 200, join(told(HDN_ITEMCLICKW, 1), {Heard(LVN_COLUMNCLICK, 1)})},
  };
  for (const Case& c : cases) {
    HWND list = Report(0, {{L"件名", 200}, {L"差出人", 200}});
    HWND parent = GetParent(list);
    Pump();
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_TRUE(IsWindowVisible(header));
    Parent p;
    p.answers[HDN_BEGINTRACKW] = c.refuse;
    Listen({HDN_BEGINTRACKW, HDN_ENDTRACKW, HDN_ITEMCLICKW, LVN_COLUMNCLICK});
    POINT from{c.from, 10};
    POINT to{c.to, 10};
    ClientToScreen(header, &from);
    ClientToScreen(header, &to);
    qv::seams::InjectPointer(WM_LBUTTONDOWN, from);
    qv::seams::InjectPointer(WM_MOUSEMOVE, to);
    qv::seams::InjectPointer(WM_LBUTTONUP, to);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), c.width0) << c.name;
    EXPECT_EQ(log_.Compare(list, c.heard), "") << c.name;
    DestroyWindow(parent);
  }
}

TEST_F(ListViews, ViewsChangeAtRunTimeAndKeepTheItems) {
  HWND list = Report(0, {{L"名前", 300}}, Rows(40));
  SetState(list, 7, kSel, kSel);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  struct Case {
    DWORD view;
    bool header;
    bool sideways;  // item 1 lies beside item 0, not under it
  };
  const Case cases[] = {{LVS_ICON, false, true}, {LVS_SMALLICON, false, true}, {LVS_LIST, false, false}, {LVS_REPORT, true, false}};
  for (const Case& c : cases) {
    SetWindowLongW(list, GWL_STYLE, (GetWindowLongW(list, GWL_STYLE) & ~LVS_TYPEMASK) | c.view);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 40) << c.view;
    wchar_t text[32] = {};
    LVITEMW get{};
    get.pszText = text;
    get.cchTextMax = 32;
    SendMessageW(list, LVM_GETITEMTEXTW, 9, reinterpret_cast<LPARAM>(&get));
    EXPECT_STREQ(text, Rows(10)[9][0]) << c.view;
    EXPECT_EQ(Selected(list), std::vector<int>{7}) << c.view;
    EXPECT_EQ(IsWindowVisible(header) != FALSE, c.header) << c.view;
    const RECT a = ItemRect(list, 0);
    const RECT b = ItemRect(list, 1);
    EXPECT_EQ(b.left > a.left, c.sideways) << c.view;
    EXPECT_EQ(b.top > a.top, !c.sideways) << c.view;
    // What the list would need for all of it, and a hit on item 1's label.
    const LRESULT size = SendMessageW(list, LVM_APPROXIMATEVIEWRECT, static_cast<WPARAM>(-1), MAKELPARAM(-1, -1));
    EXPECT_GE(LOWORD(size), static_cast<WORD>(a.right - a.left)) << c.view;
    LVHITTESTINFO hit{LabelOf(list, 1), 0, -1, 0};
    EXPECT_EQ(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 1) << c.view;
  }
}

TEST_F(ListViews, AReportWiderThanTheListScrollsSidewaysWithItsHeader) {
  HWND list = Report(0, {{L"件名", 400}, {L"差出人", 400}}, Rows(3));
  Pump();
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  struct Case {
    std::function<void()> act;
    int x;  // how far the columns went
  };
  const Case cases[] = {{[&] { SendMessageW(list, WM_HSCROLL, SB_PAGERIGHT, 0); }, 320},
                        {[&] { SetFocus(list); PressKey(VK_LEFT); Pump(); }, -1},  // a text line back
                        {[&] { SendMessageW(list, LVM_SCROLL, static_cast<WPARAM>(-1000), 0); }, 0}};
  for (const Case& c : cases) {
    c.act();
    const int x = GetScrollPos(list, SB_HORZ);
    if (c.x >= 0) {
      EXPECT_EQ(x, c.x);
    } else {
      EXPECT_GT(x, 0);
      EXPECT_LT(x, 320);
    }
    EXPECT_EQ(ItemRect(list, 0).left, -x);
    RECT titles{};
    GetWindowRect(header, &titles);
    EXPECT_EQ(titles.left, -x);
    LVHITTESTINFO hit{{470, ItemRect(list, 1).top + 2}, 0, -1, 0};
    SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    EXPECT_EQ(hit.iSubItem, 470 + x >= 400 ? 1 : 0) << x;
  }
}

// The device's own extended style: a report as wide as ever shows no
// horizontal bar and never moves sideways, whatever asks it to.
TEST_F(ListViews, NoSidewaysScrollStyleKeepsAWideReportInPlace) {
  HWND list = Report(0, {{L"件名", 400}, {L"差出人", 400}}, Rows(3));
  Pump();
  RECT before{};
  GetClientRect(list, &before);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_NOHSCROLL | LVS_EX_FULLROWSELECT);
  Pump();
  RECT after{};
  GetClientRect(list, &after);
  EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
  EXPECT_EQ(after.bottom - before.bottom, GetSystemMetrics(SM_CYHSCROLL));
  const std::function<void()> pushes[] = {[&] { SendMessageW(list, WM_HSCROLL, SB_PAGERIGHT, 0); },
                                          [&] { SetFocus(list); PressKey(VK_RIGHT); Pump(); },
                                          [&] { SendMessageW(list, LVM_SCROLL, 300, 0); }};
  for (const auto& push : pushes) {
    push();
    EXPECT_EQ(ItemRect(list, 0).left, 0);
  }
  // Turned off again, the bar comes back.
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_NOHSCROLL, 0);
  Pump();
  EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
}

TEST_F(ListViews, HitTestsAndQueries) {
  HWND list = Report(LVS_SHOWSELALWAYS, {{L"件名", 200}, {L"差出人", 200}}, {{L"b", L"x"}, {L"c", L"y"}, {L"a", L"z"}},
                     LVS_EX_FULLROWSELECT);
  const RECT last = ItemRect(list, 2);
  struct Hit {
    POINT at;
    int item, sub;
    UINT flags;
  };
  const Hit hits[] = {{{20, (last.top + last.bottom) / 2}, 2, 0, LVHT_ONITEMLABEL},
                      {{300, (last.top + last.bottom) / 2}, 2, 1, LVHT_ONITEMLABEL},
                      {{20, last.bottom + 1}, -1, 0, LVHT_NOWHERE},
                      {{20, 590}, -1, 0, LVHT_NOWHERE},
                      {{20, 700}, -1, 0, LVHT_BELOW}};
  for (const Hit& h : hits) {
    LVHITTESTINFO info{h.at, 0, -1, 0};
    EXPECT_EQ(SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&info)), h.item) << h.at.y;
    EXPECT_EQ(info.iSubItem, h.sub) << h.at.x;
    EXPECT_EQ(info.flags, h.flags) << h.at.y;
  }
  // Sorting by the items' data, descending: 102 ("a"), 101, 100.
  SetState(list, 0, kSel, kSel);
  SendMessageW(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(+[](LPARAM a, LPARAM b, LPARAM) { return static_cast<int>(b - a); }));
  LVFINDINFOW find{LVFI_STRING, L"B", 0, {}, 0};
  EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 2);
  find = {LVFI_PARAM, nullptr, 102, {}, 0};
  EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 0);
  EXPECT_EQ(Selected(list), std::vector<int>{2});  // the selection went with its item
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, 2, LVNI_ABOVE), 1);
  // Deleting tells the parent about each item.
  Parent p;
  Listen({LVN_DELETEITEM});
  SendMessageW(list, LVM_DELETEITEM, 1, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(log_.Compare(list, {Heard(LVN_DELETEITEM, 1), Heard(LVN_DELETEITEM, 0), Heard(LVN_DELETEITEM, 1)}), "");
}

TEST_F(ListViews, KeysMoveTheFocusAndScrollItIntoView) {
  HWND list = Report(LVS_SINGLESEL, {{L"名前", 300}}, Rows(100));
  Pump();
  SetFocus(list);
  const int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
  ASSERT_GT(page, 3);
  struct Case {
    BYTE key;
    int focus, top;
  };
  const Case cases[] = {{VK_DOWN, 0, 0},         {VK_DOWN, 1, 0},     {VK_NEXT, page - 1, 0},
                        {VK_NEXT, 2 * page - 2, page - 1}, {VK_END, 99, 100 - page}, {VK_PRIOR, 100 - page, 100 - page},
                        {VK_HOME, 0, 0}};
  Parent p;
  Listen({LVN_KEYDOWN, NM_RETURN});
  for (const Case& c : cases) {
    PressKey(c.key);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), c.focus) << c.key;
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), c.top) << c.key;
    EXPECT_EQ(GetScrollPos(list, SB_VERT), c.top) << c.key;
  }
  PressKey(VK_RETURN);
  Pump();
  std::vector<MsgEntry> heard(std::size(cases) + 1, Heard(LVN_KEYDOWN, -1));
  heard.push_back(Heard(NM_RETURN, -1));
  EXPECT_EQ(log_.Compare(list, heard), "");
}

TEST_F(ListViews, AReportViewAsTheUserSeesIt) {
  HWND list = Report(LVS_SHOWSELALWAYS, {{L"件名", 260}, {L"差出人", 200}},
                     {{L"会議のお知らせ", L"山田太郎"}, {L"見積書の送付", L"鈴木花子"}, {L"Re: 来週の予定", L"佐藤一郎"}, {L"週報", L"高橋"}},
                     LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT, {0, 0, 480, 400});
  SetState(list, 1, kSel | kFoc, kSel | kFoc);
  SetState(list, 2, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
  SetFocus(list);
  Pump();
  const char* dir = std::getenv("QV_BINARY_DIR");
  const std::string png = std::string(dir && *dir ? dir : ".") + "/ui-listview.png";
  EXPECT_TRUE(qv::seams::SaveScreenPng(png)) << png;
  const RECT selected = ItemRect(list, 1);
  const RECT checkedRow = ItemRect(list, 2);
  const int box = qv::ui::StylePainter::kCheckBox;
  const int boxLeft = checkedRow.left + 3;
  const int boxTop = (checkedRow.top + checkedRow.bottom - box) / 2;
  struct Pixel {
    const char* what;
    int x, y;
    int color;
  };
  const Pixel pixels[] = {
      {"header face", 100, 2, COLOR_BTNFACE},
      {"selected row, second column", 450, selected.top + 4, COLOR_HIGHLIGHT},
      {"grid line under row 2", 450, checkedRow.bottom - 1, COLOR_BTNFACE},
      {"grid line at the first column's edge", 259, checkedRow.top + 4, COLOR_BTNFACE},
      {"empty rows below still gridded", 450, checkedRow.top + 3 * (checkedRow.bottom - checkedRow.top) - 1, COLOR_BTNFACE},
      {"plain row", 450, checkedRow.top + 4, COLOR_WINDOW},
      {"check box frame", boxLeft, boxTop + box / 2, COLOR_WINDOWFRAME},
      {"check box ticked", boxLeft + 8, boxTop + 15, COLOR_WINDOWTEXT},
      {"check box, off the tick", boxLeft + 7, boxTop + 7, COLOR_WINDOW},
  };
  for (const Pixel& p : pixels) EXPECT_EQ(ScreenAt(p.x, p.y), GetSysColor(p.color)) << p.what;
}

}  // namespace
}  // namespace qv::test
