// Buttons and labels: a click is a press and a release inside, automatic
// radio buttons keep one checked a group, owner-drawn buttons hear their
// states, BS_NOTIFY adds the focus notifications; and the look the painter
// gives them, pinned by geometry and colour.
#include <algorithm>

#include "platform/gdi/Surface.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

using Buttons = DialogTest;

HWND MakeButton(HWND parent, int id, DWORD style, RECT r, const wchar_t* text = L"") {
  return CreateWindowExW(0, WC_BUTTON, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

COLORREF ScreenAt(int x, int y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); }

TEST_F(Buttons, ClickedOnReleaseInsideOnly) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND button = MakeButton(parent, 7, BS_PUSHBUTTON, {100, 100, 200, 160}, L"送信");
  Pump();
  struct Case {
    const char* name;
    POINT down, up;
    bool clicked;
  };
  const Case cases[] = {{"inside", {150, 130}, {150, 130}, true},
                        {"dragged out", {150, 130}, {300, 300}, false},
                        {"dragged out and back", {110, 110}, {190, 150}, true}};
  for (const Case& c : cases) {
    qv::seams::AdvanceUiClock(1000);  // apart: two quick presses on one spot are a double tap
    log_.Ignore({WM_PAINT, WM_ERASEBKGND, WM_GETDLGCODE, WM_CTLCOLORBTN, WM_GETTEXT, WM_GETTEXTLENGTH, BM_GETSTATE});
    log_.Clear();
    qv::seams::InjectPointer(WM_LBUTTONDOWN, c.down);
    qv::seams::InjectPointer(WM_MOUSEMOVE, {300, 300});
    Pump();
    EXPECT_EQ(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0u) << c.name << ": outside, it lets go";
    qv::seams::InjectPointer(WM_MOUSEMOVE, c.up);
    qv::seams::InjectPointer(WM_LBUTTONUP, c.up);
    Pump();
    std::vector<MsgEntry> want{{WM_LBUTTONDOWN, seq::posted},
                               {WM_KILLFOCUS, seq::sent | seq::parent | seq::optional},
                               {WM_SETFOCUS, seq::sent | seq::optional},
                               {WM_MOUSEMOVE, seq::posted},
                               {WM_MOUSEMOVE, seq::posted},
                               {WM_LBUTTONUP, seq::posted},
                               {WM_CAPTURECHANGED, seq::sent}};
    if (c.clicked) want.push_back({WM_COMMAND, seq::sent | seq::parent | seq::wparam | seq::lparam, MAKEWPARAM(7, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(button)});
    EXPECT_EQ(log_.Compare(button, want), "") << c.name;
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST_F(Buttons, AutomaticRadioButtonClearsTheRestOfItsGroupOnly) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND radios[] = {MakeButton(parent, 1, BS_AUTORADIOBUTTON | WS_GROUP, {0, 0, 200, 40}),
                   MakeButton(parent, 2, BS_AUTORADIOBUTTON, {0, 40, 200, 80}),
                   MakeButton(parent, 3, BS_AUTORADIOBUTTON, {0, 80, 200, 120}),
                   MakeButton(parent, 4, BS_AUTORADIOBUTTON | WS_GROUP, {0, 120, 200, 160})};
  SendMessageW(radios[0], BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(radios[3], BM_SETCHECK, BST_CHECKED, 0);
  Pump();
  struct Case {
    int tap;  // index of the button tapped
    UINT checks[4];
  };
  const Case cases[] = {{1, {0, 1, 0, 1}}, {2, {0, 0, 1, 1}}, {2, {0, 0, 1, 1}}, {0, {1, 0, 0, 1}}};
  for (const Case& c : cases) {
    qv::seams::InjectTap(CentreOf(radios[c.tap]));
    Pump();
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(SendMessageW(radios[i], BM_GETCHECK, 0, 0), static_cast<LRESULT>(c.checks[i])) << "tap " << c.tap << " radio " << i;
    }
  }
}

TEST_F(Buttons, CheckBoxesOfEachKindOnAClick) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  struct Case {
    UINT type;
    std::vector<LRESULT> afterClicks;
  };
  const Case cases[] = {{BS_AUTOCHECKBOX, {BST_CHECKED, BST_UNCHECKED}},
                        {BS_AUTO3STATE, {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}},
                        {BS_CHECKBOX, {BST_UNCHECKED, BST_UNCHECKED}},  // the parent decides
                        {BS_PUSHBUTTON, {BST_UNCHECKED}}};
  for (const Case& c : cases) {
    HWND box = MakeButton(parent, 5, c.type, {0, 0, 200, 40});
    log_.Clear();
    for (LRESULT want : c.afterClicks) {
      SendMessageW(box, BM_CLICK, 0, 0);
      EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), want) << "type " << c.type;
    }
    std::vector<UINT> commands;
    for (UINT m : log_.MessagesOf(parent)) {
      if (m == WM_COMMAND) commands.push_back(m);
    }
    EXPECT_EQ(commands.size(), c.afterClicks.size()) << "type " << c.type;
    DestroyWindow(box);
  }
}

TEST_F(Buttons, OwnerDrawnButtonHearsItsStatesInDrawItem) {
  struct Drawn {
    UINT action, state;
  };
  std::vector<Drawn> drawn;
  CurrentHandler() = [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m != WM_DRAWITEM) return std::nullopt;
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
    EXPECT_EQ(dis->CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(dis->CtlID, 9u);
    drawn.push_back({dis->itemAction, dis->itemState});
    return TRUE;
  };
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND button = MakeButton(parent, 9, BS_OWNERDRAW, {10, 10, 110, 60});
  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<Drawn> want;
  };
  const Case cases[] = {
      {"first paint", [] { Pump(); }, {{ODA_DRAWENTIRE, 0}}},
      {"focus", [&] { SetFocus(button); }, {{ODA_FOCUS, ODS_FOCUS}}},
      {"press", [&] { SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, 0); }, {{ODA_SELECT, ODS_SELECTED | ODS_FOCUS}}},
      {"release", [&] { SendMessageW(button, WM_LBUTTONUP, 0, 0); }, {{ODA_SELECT, ODS_FOCUS}}},
      {"lose focus", [&] { SetFocus(parent); }, {{ODA_FOCUS, 0}}},
      {"disabled", [&] { EnableWindow(button, FALSE); Pump(); }, {{ODA_DRAWENTIRE, ODS_DISABLED}}},
  };
  for (const Case& c : cases) {
    drawn.clear();
    c.act();
    ASSERT_EQ(drawn.size(), c.want.size()) << c.name;
    for (size_t i = 0; i < drawn.size(); ++i) {
      EXPECT_EQ(drawn[i].action, c.want[i].action) << c.name;
      EXPECT_EQ(drawn[i].state, c.want[i].state) << c.name;
    }
  }
}

TEST_F(Buttons, NotifyStyleAddsFocusNotifications) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  for (const bool notify : {true, false}) {
    HWND button = MakeButton(parent, 3, notify ? BS_NOTIFY : 0u, {0, 0, 100, 40});
    log_.Clear();
    SetFocus(button);
    SetFocus(parent);
    EXPECT_EQ(log_.Compare(parent, notify ? std::vector<MsgEntry>{{WM_KILLFOCUS, seq::sent | seq::optional},
                                                                  {WM_SETFOCUS, seq::sent | seq::other},
                                                                  {WM_COMMAND, seq::sent | seq::wparam, MAKEWPARAM(3, BN_SETFOCUS)},
                                                                  {WM_KILLFOCUS, seq::sent | seq::other},
                                                                  {WM_COMMAND, seq::sent | seq::wparam, MAKEWPARAM(3, BN_KILLFOCUS)},
                                                                  {WM_SETFOCUS, seq::sent}}
                                          : std::vector<MsgEntry>{{WM_KILLFOCUS, seq::sent | seq::optional},
                                                                  {WM_SETFOCUS, seq::sent | seq::other},
                                                                  {WM_KILLFOCUS, seq::sent | seq::other},
                                                                  {WM_SETFOCUS, seq::sent}}),
              "")
        << "notify " << notify;
    DestroyWindow(button);
  }
}

TEST_F(Buttons, PainterDrawsFlatFramesInSystemColours) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  // Screen places: plain at (20, 20), default at (20, 100), pressed at (20, 180), check box at (20, 260).
  HWND plain = MakeButton(parent, 1, BS_PUSHBUTTON, {20, 20, 180, 76});
  MakeButton(parent, 2, BS_DEFPUSHBUTTON, {20, 100, 180, 156});
  HWND pressed = MakeButton(parent, 3, BS_PUSHBUTTON, {20, 180, 180, 236});
  HWND check = MakeButton(parent, 4, BS_AUTOCHECKBOX, {20, 260, 300, 300}, L"保存する");
  SendMessageW(pressed, BM_SETSTATE, TRUE, 0);
  SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
  SetFocus(plain);
  Pump();
  const int frame = qv::ui::StylePainter::kFrame;
  const int focus = qv::ui::StylePainter::kFocusInset;
  struct Pixel {
    const char* what;
    int x, y;
    int color;
  };
  const Pixel pixels[] = {
      {"plain frame", 20, 20, COLOR_BTNSHADOW},
      {"plain frame, inner row", 20 + frame - 1, 20 + frame - 1, COLOR_BTNSHADOW},
      {"plain face", 20 + frame, 20 + frame, COLOR_BTNFACE},
      {"focus mark", 20 + focus, 48, COLOR_HIGHLIGHT},
      {"focus mark, inner", 20 + focus + frame - 1, 48, COLOR_HIGHLIGHT},
      {"inside the focus mark", 20 + focus + frame, 48, COLOR_BTNFACE},
      {"default frame", 179, 155, COLOR_WINDOWFRAME},
      {"default face", 179 - frame, 155 - frame, COLOR_BTNFACE},
      {"pressed face", 100, 182, COLOR_HIGHLIGHT},
      {"check mark frame", 20, 280 - 13, COLOR_WINDOWFRAME},
      // A tick, not a filled square (which reads as "indeterminate").
      {"check mark, on the tick", 20 + 8, 267 + 15, COLOR_WINDOWTEXT},
      {"check mark, off the tick", 20 + 7, 267 + 7, COLOR_WINDOW},
      {"check mark, between frame and tick", 20 + frame + 1, 280, COLOR_WINDOW},
  };
  for (const Pixel& p : pixels) EXPECT_EQ(ScreenAt(p.x, p.y), GetSysColor(p.color)) << p.what;

  // A focused check box: a dotted frame round its label, no navy bar across
  // the control, nothing on its right edge.
  SetFocus(check);
  Pump();
  int navy = 0, edge = 0, longestDotted = 0;
  for (int y = 260; y < 300; ++y) {
    int run = 0;
    for (int x = 20; x < 300; ++x) {
      navy += ScreenAt(x, y) == GetSysColor(COLOR_HIGHLIGHT);
      const bool dot = ScreenAt(x, y) == GetSysColor(COLOR_WINDOWTEXT);
      const bool gap = x + 1 < 300 && ScreenAt(x + 1, y) == GetSysColor(COLOR_BTNFACE);
      run = dot && gap ? run + 1 : (ScreenAt(x, y) == GetSysColor(COLOR_BTNFACE) ? run : 0);
      longestDotted = std::max(longestDotted, run);
    }
    edge += ScreenAt(299, y) != GetSysColor(COLOR_BTNFACE);
  }
  EXPECT_EQ(navy, 0);
  EXPECT_EQ(edge, 0) << "the focus frame stays round the label";
  EXPECT_GE(longestDotted, 20) << "a dotted frame";
}

TEST_F(Buttons, LabelsAnswerAsStaticsAndNotifyTapsWhenAsked) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND quiet = CreateWindowExW(0, WC_STATIC, L"件名", WS_CHILD | WS_VISIBLE, 0, 0, 200, 40, parent,
                               reinterpret_cast<HMENU>(1), nullptr, nullptr);
  HWND notifying = CreateWindowExW(0, WC_STATIC, L"差出人", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 50, 200, 40, parent,
                                   reinterpret_cast<HMENU>(2), nullptr, nullptr);
  EXPECT_EQ(SendMessageW(quiet, WM_GETDLGCODE, 0, 0), static_cast<LRESULT>(DLGC_STATIC));
  Pump();
  log_.Clear();
  qv::seams::InjectTap(CentreOf(quiet));
  Pump();
  EXPECT_EQ(log_.MessagesOf(parent), std::vector<UINT>{});
  log_.Clear();
  qv::seams::InjectTap(CentreOf(notifying));
  Pump();
  EXPECT_EQ(log_.Compare(notifying, {{WM_LBUTTONDOWN, seq::posted},
                                     {WM_LBUTTONUP, seq::posted},
                                     {WM_COMMAND, seq::sent | seq::parent | seq::wparam, MAKEWPARAM(2, STN_CLICKED)}}),
            "")
      << "only the SS_NOTIFY label tells its parent";
  // Its text is drawn on the face colour the parent gives by default.
  EXPECT_EQ(ScreenAt(199, 39), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
}  // namespace qv::test
