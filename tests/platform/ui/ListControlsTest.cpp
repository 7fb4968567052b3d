// List boxes and drop-down list combo boxes: what the parent hears for the
// user's changes and never for the program's, double taps, keys, the lines'
// texts and data, the dropped list as a popup of its own, and an owner that
// drops a tree in place of the combo box's list.
#include "platform/base/WideText.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/commctrl/CommCtrlTree.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"
#include "tests/platform/ui/InputSteps.h"

namespace qv::test {
namespace {

using ListControls = UiTest;

constexpr int kId = 21;

HWND MakeControl(const wchar_t* cls, HWND parent, DWORD style, RECT r, int id = kId) {
  return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

void Fill(HWND control, UINT add, std::initializer_list<const wchar_t*> lines) {
  for (const wchar_t* l : lines) SendMessageW(control, add, 0, reinterpret_cast<LPARAM>(l));
}

// The notification codes of WM_COMMAND from control kId, in order.
struct Codes {
  std::vector<int> seen;
  void Watch(HWND parent) {
    CurrentHandler() = [this, parent](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
      if (h == parent && m == WM_COMMAND && LOWORD(w) == kId) seen.push_back(static_cast<short>(HIWORD(w)));
      return std::nullopt;
    };
  }
};

POINT ScreenPoint(HWND hwnd, POINT client) {
  ClientToScreen(hwnd, &client);
  return client;
}

TEST_F(ListControls, ListBoxTellsTheUsersChangesAndDoubleTapsOnly) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND list = MakeControl(WC_LISTBOX, parent, LBS_NOTIFY | WS_VSCROLL | WS_BORDER, {10, 10, 300, 200});
  Fill(list, LB_ADDSTRING, {L"受信ボックス", L"送信ボックス", L"下書き", L"送信済み", L"ごみ箱", L"保存", L"未読"});
  SetFocus(list);
  Pump();
  Codes codes;
  codes.Watch(parent);
  const int h = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  auto line = [&](int i) { return ScreenPoint(list, {40, h * i + h / 2}); };
  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<int> heard;
    int selected;
  };
  const Case cases[] = {
      {"LB_SETCURSEL", [&] { SendMessageW(list, LB_SETCURSEL, 1, 0); }, {}, 1},
      {"tap on a line", [&] { Tap(line(2)); }, {LBN_SELCHANGE}, 2},
      {"tap on the selected line", [&] { qv::seams::AdvanceUiClock(1000); Tap(line(2)); }, {}, 2},
      {"double tap", [&] { qv::seams::AdvanceUiClock(1000); Tap(line(0)); Tap(line(0)); }, {LBN_SELCHANGE, LBN_DBLCLK}, 0},
      {"slow second tap", [&] { qv::seams::AdvanceUiClock(1000); Tap(line(1)); qv::seams::AdvanceUiClock(GetDoubleClickTime() + 1); Tap(line(1)); }, {LBN_SELCHANGE}, 1},
      {"Down", [&] { Key(VK_DOWN); }, {LBN_SELCHANGE}, 2},
      {"End", [&] { Key(VK_END); }, {LBN_SELCHANGE}, 6},
      {"Down on the last line", [&] { Key(VK_DOWN); }, {}, 6},
      {"LB_SELECTSTRING", [&] { SendMessageW(list, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"送信済")); }, {}, 3},
  };
  for (const Case& c : cases) {
    codes.seen.clear();
    c.act();
    EXPECT_EQ(codes.seen, c.heard) << c.name;
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), c.selected) << c.name;
  }
  // The selection stays in view: End scrolled the list.
  EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
}

// A list box shows whole lines only unless it says otherwise: made or sized
// to a part of a line, it gives that part up at its foot, its top and width
// kept; a combo box's list and a list lower than a line are left as sized.
TEST_F(ListControls, ListBoxGivesUpAPartLineAtItsFoot) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  struct Case {
    const char* name;
    DWORD style;
    int itemHeight;  // 0: the font's
    int height;      // asked for, of the window
    int lines;       // whole lines the client shows; -1: as asked
  };
  const Case cases[] = {
      {"a part line", 0, 20, 110, 5},
      {"a part line, bordered", WS_BORDER, 20, 110, 5},
      {"whole lines", 0, 20, 100, -1},
      {"whole lines, bordered", WS_BORDER, 20, 102, -1},
      {"one pixel short of a line", 0, 20, 99, 4},
      {"lower than a line", 0, 20, 12, -1},
      {"kept as asked", LBS_NOINTEGRALHEIGHT, 20, 110, -1},
      {"the font's lines", WS_BORDER, 0, 157, 0},
  };
  for (const Case& c : cases) {
    HWND list = MakeControl(WC_LISTBOX, parent, c.style, {5, 7, 205, 7 + c.height});
    if (c.itemHeight > 0) SendMessageW(list, LB_SETITEMHEIGHT, 0, c.itemHeight);
    const int line = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    // Sized again after the line height is set, as a pad lays its list out.
    MoveWindow(list, 5, 7, 200, c.height, TRUE);
    RECT window{}, client{};
    GetWindowRect(list, &window);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    GetClientRect(list, &client);
    const int border = (c.style & WS_BORDER) ? 2 : 0;
    const int want = c.lines < 0 ? c.height - border : (c.lines > 0 ? c.lines : (c.height - border) / line) * line;
    EXPECT_EQ(client.bottom, want) << c.name;
    EXPECT_EQ(window.bottom - window.top, want + border) << c.name;
    EXPECT_EQ(window.top, 7) << c.name;
    EXPECT_EQ(window.left, 5) << c.name;
    EXPECT_EQ(window.right - window.left, 200) << c.name;
    DestroyWindow(list);
  }
  // The list of a combo box keeps the height the combo box gives it.
  HWND combo = MakeControl(WC_COMBOBOX, parent, CBS_DROPDOWNLIST | WS_VSCROLL, {5, 7, 205, 300});
  Fill(combo, CB_ADDSTRING, {L"一", L"二", L"三", L"四", L"五", L"六", L"七", L"八", L"九", L"十", L"十一", L"十二"});
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  HWND lines = FindWindowW(WC_COMBOLBOX, nullptr);
  ASSERT_NE(lines, nullptr);
  RECT dropped{};
  GetWindowRect(lines, &dropped);
  const int asked = static_cast<int>(dropped.bottom - dropped.top) + 7;
  MoveWindow(lines, dropped.left, dropped.top, dropped.right - dropped.left, asked, TRUE);
  GetWindowRect(lines, &dropped);
  EXPECT_EQ(dropped.bottom - dropped.top, asked);
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
}

// A parent that closes the control as soon as it hears the user's choice.
TEST_F(ListControls, ControlsOutliveNoParentThatDestroysThemOnANotification) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  struct Case {
    const wchar_t* cls;
    DWORD style;
    int closeOn;
    bool drop;
  };
  const Case cases[] = {{WC_LISTBOX, LBS_NOTIFY, LBN_SELCHANGE, false},
                        {WC_LISTBOX, LBS_NOTIFY, LBN_DBLCLK, false},
                        {WC_COMBOBOX, CBS_DROPDOWNLIST, CBN_SELCHANGE, true},
                        {WC_COMBOBOX, CBS_DROPDOWNLIST, CBN_SELENDOK, true}};
  for (const Case& c : cases) {
    HWND control = MakeControl(c.cls, parent, c.style, {10, 10, 300, 300});
    const bool combo = std::wstring(c.cls) == WC_COMBOBOX;
    Fill(control, combo ? CB_ADDSTRING : LB_ADDSTRING, {L"一", L"二", L"三"});
    CurrentHandler() = [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
      if (h == parent && m == WM_COMMAND && LOWORD(w) == kId && HIWORD(w) == c.closeOn) DestroyWindow(control);
      return std::nullopt;
    };
    Pump();
    if (c.drop) SendMessageW(control, CB_SHOWDROPDOWN, TRUE, 0);
    HWND lines = c.drop ? FindWindowW(WC_COMBOLBOX, nullptr) : control;
    const int h = static_cast<int>(SendMessageW(lines, LB_GETITEMHEIGHT, 0, 0));
    qv::seams::AdvanceUiClock(1000);
    Tap(ScreenPoint(lines, {20, h + h / 2}));
    if (IsWindow(control)) Tap(ScreenPoint(lines, {20, h + h / 2}));  // the double tap
    EXPECT_FALSE(IsWindow(control)) << qv::WideToUtf8(c.cls) << " " << c.closeOn;
    CurrentHandler() = nullptr;
  }
}

TEST_F(ListControls, LinesAndTheirDataRoundTripInEachControl) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  struct Kind {
    const wchar_t* cls;
    DWORD style;
    UINT add, insert, remove, count, text, length, getData, setData, exact, find;
  };
  const Kind kinds[] = {
      {WC_LISTBOX, LBS_SORT, LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_GETCOUNT, LB_GETTEXT, LB_GETTEXTLEN,
       LB_GETITEMDATA, LB_SETITEMDATA, LB_FINDSTRINGEXACT, LB_FINDSTRING},
      {WC_COMBOBOX, CBS_DROPDOWNLIST | CBS_SORT, CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_GETCOUNT,
       CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_GETITEMDATA, CB_SETITEMDATA, CB_FINDSTRINGEXACT, CB_FINDSTRING}};
  for (const Kind& k : kinds) {
    HWND c = MakeControl(k.cls, parent, k.style, {0, 0, 300, 300});
    Fill(c, k.add, {L"beta", L"Alpha", L"gamma"});  // sorted without regard to case
    SendMessageW(c, k.insert, 0, reinterpret_cast<LPARAM>(L"先頭"));
    const LPARAM data[] = {LPARAM{-1}, 0x7FFFFFFF, 42, reinterpret_cast<LPARAM>(&data)};
    for (int i = 0; i < 4; ++i) EXPECT_NE(SendMessageW(c, k.setData, static_cast<WPARAM>(i), data[i]), -1);
    const wchar_t* want[] = {L"先頭", L"Alpha", L"beta", L"gamma"};
    ASSERT_EQ(SendMessageW(c, k.count, 0, 0), 4);
    for (int i = 0; i < 4; ++i) {
      wchar_t buffer[16]{};
      EXPECT_EQ(SendMessageW(c, k.length, static_cast<WPARAM>(i), 0), static_cast<LRESULT>(std::wcslen(want[i])));
      SendMessageW(c, k.text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
      EXPECT_STREQ(buffer, want[i]);
      EXPECT_EQ(SendMessageW(c, k.getData, static_cast<WPARAM>(i), 0), data[i]);
    }
    struct Find {
      UINT message;
      int start;
      const wchar_t* text;
      LRESULT found;
    };
    const Find finds[] = {{k.exact, -1, L"BETA", 2}, {k.exact, -1, L"bet", -1}, {k.find, -1, L"g", 3},
                          {k.find, 3, L"a", 1},      {k.find, -1, L"先", 0},   {k.find, 0, L"zz", -1}};
    for (const Find& f : finds) {
      EXPECT_EQ(SendMessageW(c, f.message, static_cast<WPARAM>(f.start), reinterpret_cast<LPARAM>(f.text)), f.found)
          << "find from " << f.start;
    }
    EXPECT_EQ(SendMessageW(c, k.remove, 1, 0), 3);
    EXPECT_EQ(SendMessageW(c, k.getData, 1, 0), 42);
    EXPECT_EQ(SendMessageW(c, k.getData, 7, 0), -1);
    DestroyWindow(c);
  }
}

struct ComboFixture {
  HWND parent;
  HWND combo;
  HWND list;
  Codes codes;
};

ComboFixture MakeCombo(UiTest& t, DWORD style = 0) {
  (void)t;
  ComboFixture f{};
  f.parent = CreateWindowExW(0, kTestClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
  f.combo = MakeControl(WC_COMBOBOX, f.parent, CBS_DROPDOWNLIST | style, {20, 40, 320, 340});
  Fill(f.combo, CB_ADDSTRING, {L"仕事", L"家族", L"友人", L"メルマガ"});
  SendMessageW(f.combo, CB_SETCURSEL, 0, 0);
  f.list = FindWindowW(WC_COMBOLBOX, nullptr);
  qv::seams::PumpMessages();
  f.codes.Watch(f.parent);
  return f;
}

TEST_F(ListControls, ComboBoxTellsTheUsersChoiceAndBackingOut) {
  ComboFixture f = MakeCombo(*this);
  ASSERT_NE(f.list, nullptr);
  RECT field{};
  GetWindowRect(f.combo, &field);
  const POINT onField{(field.left + field.right) / 2, (field.top + field.bottom) / 2};
  const int h = static_cast<int>(SendMessageW(f.combo, CB_GETITEMHEIGHT, 0, 0));
  auto line = [&](int i) { return ScreenPoint(f.list, {40, h * i + h / 2}); };
  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<int> heard;
    int selected;
    bool dropped;
  };
  const Case cases[] = {
      {"CB_SETCURSEL", [&] { SendMessageW(f.combo, CB_SETCURSEL, 2, 0); }, {}, 2, false},
      {"tap on the field", [&] { Tap(onField); }, {CBN_SETFOCUS, CBN_DROPDOWN}, 2, true},
      {"tap on a line", [&] { Tap(line(1)); }, {CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}, 1, false},
      {"drop, Down, Escape", [&] { Tap(onField); Key(VK_DOWN); Key(VK_ESCAPE); },
       {CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDCANCEL, CBN_CLOSEUP}, 1, false},
      {"F4, Down, Enter", [&] { Key(VK_F4); Key(VK_DOWN); Key(VK_RETURN); },
       {CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}, 2, false},
      {"Up while closed", [&] { Key(VK_UP); }, {CBN_SELCHANGE, CBN_SELENDOK}, 1, false},
      {"tap beyond the dropped list", [&] { Tap(onField); Tap({400, 700}); }, {CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}, 1, false},
      {"CB_SHOWDROPDOWN", [&] { SendMessageW(f.combo, CB_SHOWDROPDOWN, TRUE, 0); }, {CBN_DROPDOWN}, 1, true},
  };
  for (const Case& c : cases) {
    f.codes.seen.clear();
    qv::seams::AdvanceUiClock(1000);  // no two taps make a double tap
    c.act();
    EXPECT_EQ(f.codes.seen, c.heard) << c.name;
    EXPECT_EQ(SendMessageW(f.combo, CB_GETCURSEL, 0, 0), c.selected) << c.name;
    EXPECT_EQ(SendMessageW(f.combo, CB_GETDROPPEDSTATE, 0, 0) != 0, c.dropped) << c.name;
    EXPECT_EQ(IsWindowVisible(f.list) != FALSE, c.dropped) << c.name;
  }
  // The dropped list lies under the field, as high as the window was made
  // less the field, and no wider than asked.
  RECT dropped{};
  GetWindowRect(f.list, &dropped);
  GetWindowRect(f.combo, &field);
  EXPECT_EQ(dropped.top, field.bottom);
  EXPECT_EQ(dropped.left, field.left);
  EXPECT_LE(dropped.bottom - dropped.top, 300 - (field.bottom - field.top) + 2);
  EXPECT_EQ(dropped.bottom - dropped.top, 4 * h + 2);  // four lines fit
  wchar_t text[16]{};
  GetWindowTextW(f.combo, text, 16);
  EXPECT_STREQ(text, L"家族");
}

// The parent colours a combo box as it colours an edit (WM_CTLCOLOREDIT for
// the field) and a list (WM_CTLCOLORLISTBOX for the dropped list); an
// owner-drawn one asks how deep its field and lines are and has its parent
// draw them.
TEST_F(ListControls, ComboBoxAsksItsParentForColoursAndOwnerDrawing) {
  struct Asked {
    UINT message;
    HWND from;  // lParam: the control or its list
  };
  struct Drawn {
    UINT type;
    int item;
    UINT state;
    LONG height;
  };
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  struct Case {
    const char* name;
    DWORD style;
  };
  const Case cases[] = {{"drawn by the combo box", 0}, {"drawn by its owner", CBS_OWNERDRAWFIXED | CBS_HASSTRINGS}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool owned = (c.style & CBS_OWNERDRAWFIXED) != 0;
    std::vector<Asked> colours;
    std::vector<MEASUREITEMSTRUCT> measured;
    std::vector<Drawn> drawn;
    const Handler parentOf = [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
      switch (m) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
          colours.push_back({m, reinterpret_cast<HWND>(l)});
          return reinterpret_cast<LRESULT>(m == WM_CTLCOLOREDIT ? red : green);
        case WM_MEASUREITEM: {
          auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
          measured.push_back(*mis);
          mis->itemHeight = mis->itemID == static_cast<UINT>(-1) ? 44 : 52;
          return TRUE;
        }
        case WM_DRAWITEM: {
          const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
          drawn.push_back({dis->CtlType, static_cast<int>(dis->itemID), dis->itemState, dis->rcItem.bottom - dis->rcItem.top});
          return TRUE;
        }
        default:
          return std::nullopt;
      }
    };
    CurrentHandler() = parentOf;
    ComboFixture f = MakeCombo(*this, c.style);
    CurrentHandler() = parentOf;  // in place of the fixture's
    ASSERT_NE(f.list, nullptr);
    RECT field{};
    GetWindowRect(f.combo, &field);
    auto pixel = [](LONG x, LONG y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); };
    // The field's inside, left of its text, takes the parent's brush.
    EXPECT_EQ(pixel(field.left + 3, (field.top + field.bottom) / 2), RGB(255, 0, 0));
    ASSERT_FALSE(colours.empty());
    EXPECT_EQ(colours.front().message, WM_CTLCOLOREDIT);
    EXPECT_EQ(colours.front().from, f.combo);
    if (owned) {
      ASSERT_EQ(measured.size(), 2u);
      EXPECT_EQ(measured[0].CtlType, static_cast<UINT>(ODT_COMBOBOX));
      EXPECT_EQ(measured[0].CtlID, static_cast<UINT>(kId));
      EXPECT_EQ(measured[0].itemID, static_cast<UINT>(-1));
      EXPECT_EQ(measured[1].itemID, 0u);
      EXPECT_EQ(SendMessageW(f.combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), 44);
      EXPECT_EQ(SendMessageW(f.combo, CB_GETITEMHEIGHT, 0, 0), 52);
      ASSERT_EQ(drawn.size(), 1u);
      EXPECT_EQ(drawn[0].type, static_cast<UINT>(ODT_COMBOBOX));
      EXPECT_EQ(drawn[0].item, 0);
      EXPECT_TRUE(drawn[0].state & ODS_COMBOBOXEDIT);
      EXPECT_EQ(drawn[0].height, 44);
    } else {
      EXPECT_TRUE(measured.empty());
      EXPECT_TRUE(drawn.empty());
    }
    colours.clear();
    drawn.clear();
    SendMessageW(f.combo, CB_SHOWDROPDOWN, TRUE, 0);
    Pump();
    ASSERT_TRUE(IsWindowVisible(f.list));
    const bool listColoured = std::any_of(colours.begin(), colours.end(), [&](const Asked& a) {
      return a.message == WM_CTLCOLORLISTBOX && a.from == f.list;
    });
    EXPECT_TRUE(listColoured);
    RECT list{};
    GetWindowRect(f.list, &list);
    const int line = static_cast<int>(SendMessageW(f.combo, CB_GETITEMHEIGHT, 0, 0));
    // An unchosen line's right end shows the list's brush, unless its owner drew it.
    if (!owned) {
      EXPECT_EQ(pixel(list.right - 30, list.top + 1 + line + line / 2), RGB(0, 255, 0));
    }
    std::vector<int> lines;
    for (const Drawn& d : drawn) {
      if (d.state & ODS_COMBOBOXEDIT) continue;
      lines.push_back(d.item);
      EXPECT_EQ(d.type, static_cast<UINT>(ODT_COMBOBOX));
      EXPECT_EQ(d.height, 52);
      EXPECT_EQ((d.state & ODS_SELECTED) != 0, d.item == 0) << d.item;
    }
    EXPECT_EQ(lines, owned ? std::vector<int>({0, 1, 2, 3}) : std::vector<int>{});
    SendMessageW(f.combo, CB_SHOWDROPDOWN, FALSE, 0);
    CurrentHandler() = nullptr;
    DestroyWindow(f.parent);
    Pump();
  }
  DeleteObject(red);
  DeleteObject(green);
}

// Moved or sized, a combo keeps its field's height: the height given is its
// field and its list together, as at creation.
TEST_F(ListControls, ASizedComboBoxKeepsItsFieldAndGivesTheRestToItsList) {
  ComboFixture f = MakeCombo(*this);
  RECT before{};
  GetWindowRect(f.combo, &before);
  const int field = before.bottom - before.top;
  struct Case {
    int height;   // given to MoveWindow
    int dropped;  // the list's height then
  };
  for (const Case& c : {Case{400, 400 - field}, Case{field, 0}, Case{field + 120, 120}}) {
    SCOPED_TRACE(c.height);
    MoveWindow(f.combo, 0, 5, 350, c.height, TRUE);
    RECT now{};
    GetWindowRect(f.combo, &now);
    EXPECT_EQ(now.bottom - now.top, field);
    EXPECT_EQ(now.right - now.left, 350);
    EXPECT_EQ(now.top, 5);
    RECT drop{};
    SendMessageW(f.combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&drop));
    EXPECT_EQ(drop.bottom - drop.top, c.dropped);
  }
  DestroyWindow(f.parent);
}

TEST_F(ListControls, ExtendedComboBoxDropsOnDownAndWiderWhenAsked) {
  ComboFixture f = MakeCombo(*this);
  SendMessageW(f.combo, CB_SETEXTENDEDUI, TRUE, 0);
  EXPECT_EQ(SendMessageW(f.combo, CB_GETEXTENDEDUI, 0, 0), TRUE);
  EXPECT_EQ(SendMessageW(f.combo, CB_SETDROPPEDWIDTH, 400, 0), 400);
  SetFocus(f.combo);
  f.codes.seen.clear();
  Key(VK_F4);  // not in the extended interface
  Key(VK_DOWN);
  EXPECT_EQ(f.codes.seen, (std::vector<int>{CBN_DROPDOWN}));
  RECT r{};
  GetWindowRect(f.list, &r);
  EXPECT_EQ(r.right - r.left, 400);
}

// An owner that shows a tree in place of the combo box's list: on
// CBN_DROPDOWN it posts itself a message, closes the list, shows its tree
// under the field and hands it the focus; Enter in the tree puts the chosen
// folder in the field.
TEST_F(ListControls, OwnerDropsATreeInPlaceOfTheList) {
  constexpr UINT kShowTree = WM_USER + 133;
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND combo = MakeControl(WC_COMBOBOX, parent, CBS_DROPDOWNLIST, {20, 40, 320, 340});
  HWND tree = MakeControl(WC_TREEVIEW, parent, TVS_HASBUTTONS | TVS_SHOWSELALWAYS, {0, 0, 10, 10}, 22);
  ShowWindow(tree, SW_HIDE);
  auto add = [&](const wchar_t* name, HTREEITEM under, LPARAM id) {
    TVINSERTSTRUCTW in{under, TVI_LAST, {TVIF_TEXT | TVIF_PARAM, nullptr, 0, 0, const_cast<LPWSTR>(name), 0, 0, 0, 0, id}};
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
  };
  HTREEITEM box = add(L"受信ボックス", TVI_ROOT, 1);
  add(L"仕事", box, 2);
  add(L"家族", box, 3);
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(box));
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"受信ボックス"));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  std::vector<int> heard;
  CurrentHandler() = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
    if (h != parent) return std::nullopt;
    if (m == WM_COMMAND && LOWORD(w) == kId) {
      heard.push_back(HIWORD(w));
      if (HIWORD(w) == CBN_DROPDOWN) PostMessageW(parent, kShowTree, 0, 0);
    } else if (m == kShowTree) {
      SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
      RECT r{};
      GetWindowRect(combo, &r);
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
      SetWindowPos(tree, HWND_TOP, r.left, r.bottom - 1, r.right - r.left, 196, SWP_SHOWWINDOW);
      SetFocus(tree);
      return 0;
    } else if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == NM_RETURN) {
      const auto chosen = reinterpret_cast<LPARAM>(reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
      wchar_t name[32]{};
      TVITEMW item{TVIF_TEXT, reinterpret_cast<HTREEITEM>(chosen), 0, 0, name, 32, 0, 0, 0, 0};
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      SendMessageW(combo, CB_RESETCONTENT, 0, 0);
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
      SendMessageW(combo, CB_SETCURSEL, 0, 0);
      ShowWindow(tree, SW_HIDE);
      SetFocus(combo);
      return 0;
    }
    return std::nullopt;
  };
  Pump();
  Tap(CentreOf(combo));
  EXPECT_EQ(heard, (std::vector<int>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP, CBN_KILLFOCUS}));
  EXPECT_FALSE(IsWindowVisible(FindWindowW(WC_COMBOLBOX, nullptr)));
  ASSERT_TRUE(IsWindowVisible(tree));
  EXPECT_EQ(GetFocus(), tree);
  heard.clear();
  Key(VK_DOWN);  // nothing selected yet: the first row
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_FALSE(IsWindowVisible(tree));
  EXPECT_EQ(GetFocus(), combo);
  EXPECT_EQ(heard, (std::vector<int>{CBN_SETFOCUS}));  // the owner's CB_SETCURSEL is silent
  wchar_t text[16]{};
  GetWindowTextW(combo, text, 16);
  EXPECT_STREQ(text, L"家族");
}

}  // namespace
}  // namespace qv::test
