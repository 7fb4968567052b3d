// The dialog manager: dialogs from templates, the first tab stop, Tab and
// arrows, Enter and Escape, what WM_GETDLGCODE keeps from the dialog, and
// modal loops that nest.
#include <map>

#include "platform/gdi/Gdi.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

using Dialogs = DialogTest;

constexpr int kCustom = 20;  // a control of the test class; its dialog code is the test's

struct DlgCodes {
  std::map<HWND, LRESULT> code;
  // Answers WM_GETDLGCODE for test-class controls from the map.
  void Install() {
    CurrentHandler() = [this](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (m == WM_GETDLGCODE && code.count(h)) return code[h];
      return std::nullopt;
    };
  }
};

HWND Modeless(const std::vector<DWORD>& units) {
  return CreateDialogIndirectParamW(nullptr, AsTemplate(units), nullptr, TestDlgProc, 0);
}

TEST_F(Dialogs, MadeOfTheDialogClassSizedInDialogUnits) {
  auto units = Units({Control(10, WC_BUTTON, WS_TABSTOP, {8, 16, 48, 30}, L"OK")});
  HWND dialog = Modeless(units);
  ASSERT_NE(dialog, nullptr);
  WCHAR name[32];
  GetClassNameW(dialog, name, 32);
  EXPECT_STREQ(name, L"Dialog");
  GetClassNameW(GetDlgItem(dialog, 10), name, 32);
  EXPECT_STREQ(name, L"Button");
  // The 9-point face at 192 dpi: 24 pixels to the em.
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -24);
  RECT base{0, 0, 4, 8};
  ASSERT_TRUE(MapDialogRect(dialog, &base));
  // The base units of that face: 14 x 26 pixels, as are the system font's.
  EXPECT_EQ(base.right, 14);
  EXPECT_EQ(base.bottom, 26);
  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(14, 26));
  RECT client{}, want{0, 0, 160, 200};
  GetClientRect(dialog, &client);
  MapDialogRect(dialog, &want);
  EXPECT_TRUE(EqualRect(&client, &want));
  RECT button{}, place{8, 16, 48, 30};
  GetWindowRect(GetDlgItem(dialog, 10), &button);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
  MapDialogRect(dialog, &place);
  EXPECT_TRUE(EqualRect(&button, &place));
}

TEST_F(Dialogs, InitDialogReturningTrueFocusesTheFirstTabStop) {
  for (const INT_PTR answer : {TRUE, FALSE}) {
    Trace trace({WM_SETFONT, WM_INITDIALOG, WM_SETFOCUS});
    HWND seenFirst = nullptr;
    CurrentDlgHandler() = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<INT_PTR> {
      if (m != WM_INITDIALOG) return std::nullopt;
      seenFirst = reinterpret_cast<HWND>(w);
      return answer;
    };
    auto units = Units({Control(-1, WC_STATIC, 0, {4, 4, 60, 14}, L"名前"),
                        Control(10, WC_BUTTON, WS_TABSTOP | WS_DISABLED, {4, 20, 60, 34}),
                        Control(11, WC_BUTTON, WS_TABSTOP, {4, 40, 60, 54}),
                        Control(12, WC_BUTTON, WS_TABSTOP, {4, 60, 60, 74})});
    HWND dialog = Modeless(units);
    ASSERT_NE(dialog, nullptr);
    HWND first = GetDlgItem(dialog, 11);
    EXPECT_EQ(seenFirst, first);
    trace.Name(dialog, "dialog");
    trace.Name(first, "first");
    for (int id : {-1, 10, 12}) trace.Name(GetDlgItem(dialog, id), "other");
    // The font reaches the dialog and each control before WM_INITDIALOG.
    std::vector<Step> want{{"dialog", WM_SETFONT}, {"other", WM_SETFONT},   {"other", WM_SETFONT},
                           {"first", WM_SETFONT},  {"other", WM_SETFONT},
                           {"dialog", WM_INITDIALOG, reinterpret_cast<WPARAM>(first)}};
    if (answer) want.push_back({"first", WM_SETFOCUS});
    else want.push_back({"dialog", WM_SETFOCUS});  // shown and activated, it keeps the focus itself
    EXPECT_EQ(trace.Compare(want), "") << "answer " << answer;
    EXPECT_EQ(GetFocus(), answer ? first : dialog);
    DestroyWindow(dialog);
  }
}

TEST_F(Dialogs, TabAndShiftTabVisitUsableTabStopsInTemplateOrder) {
  DlgCodes codes;
  codes.Install();
  auto units = Units({Control(kCustom, kTestClass, WS_TABSTOP | WS_GROUP),
                      Control(2, WC_BUTTON, WS_TABSTOP | WS_GROUP, {4, 20, 60, 34}),
                      Control(3, WC_BUTTON, WS_TABSTOP | WS_DISABLED, {4, 40, 60, 54}),
                      DialogControl{WS_TABSTOP, 0, {4, 60, 60, 74}, 4, WC_BUTTON, L""},  // hidden
                      Control(5, WC_STATIC, 0, {4, 80, 60, 94}),
                      Control(6, WC_BUTTON, WS_TABSTOP, {4, 100, 60, 114})});
  HWND dialog = Modeless(units);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(GetFocus(), GetDlgItem(dialog, kCustom));
  struct Case {
    BYTE key;
    bool shift;
    int focus;
  };
  const Case cases[] = {{VK_TAB, false, 2}, {VK_TAB, false, 6}, {VK_TAB, false, kCustom},
                        {VK_TAB, true, 6},  {VK_TAB, true, 2},  {VK_TAB, true, kCustom}};
  for (const Case& c : cases) {
    PressKey(c.key, c.shift);
    PumpDialog(dialog);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus) << "shift " << c.shift;
  }
  EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, TRUE), GetDlgItem(dialog, 6));
}

TEST_F(Dialogs, ArrowsMoveWithinAGroupAndChooseAutomaticRadioButtons) {
  auto units = Units({Control(1, WC_BUTTON, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {4, 4, 80, 18}),
                      Control(2, WC_BUTTON, BS_AUTORADIOBUTTON, {4, 20, 80, 34}),
                      Control(3, WC_BUTTON, BS_AUTORADIOBUTTON, {4, 40, 80, 54}),
                      Control(4, WC_BUTTON, WS_GROUP | WS_TABSTOP, {4, 60, 80, 74})});
  HWND dialog = Modeless(units);
  ASSERT_NE(dialog, nullptr);
  CheckRadioButton(dialog, 1, 3, 1);
  struct Case {
    BYTE key;
    int focus;
    int checked;  // the one radio button checked after the key
  };
  const Case cases[] = {{VK_DOWN, 2, 2}, {VK_DOWN, 3, 3}, {VK_DOWN, 1, 1}, {VK_UP, 3, 3},
                        {VK_RIGHT, 1, 1}, {VK_LEFT, 3, 3}, {VK_TAB, 4, 3}};
  for (const Case& c : cases) {
    PressKey(c.key);
    PumpDialog(dialog);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus) << "key " << int{c.key};
    for (int id : {1, 2, 3}) EXPECT_EQ(IsDlgButtonChecked(dialog, id), id == c.checked ? BST_CHECKED : BST_UNCHECKED);
  }
}

TEST_F(Dialogs, EnterPressesTheDefaultAndEscapeCancels) {
  DlgCodes codes;
  codes.Install();
  struct Case {
    const char* name;
    bool defPushButton;  // button 10 is BS_DEFPUSHBUTTON
    int setDefId;        // DM_SETDEFID, when not 0
    int focus;           // the control Enter is pressed on
    BYTE key;
    int command;         // the id WM_COMMAND carries
  };
  const Case cases[] = {{"no default: IDOK", false, 0, kCustom, VK_RETURN, IDOK},
                        {"the default push button", true, 0, kCustom, VK_RETURN, 10},
                        {"DM_SETDEFID", true, 11, kCustom, VK_RETURN, 11},
                        {"a focused push button", true, 0, 12, VK_RETURN, 12},
                        {"Escape", true, 0, kCustom, VK_ESCAPE, IDCANCEL}};
  for (const Case& c : cases) {
    auto units = Units({Control(kCustom, kTestClass, WS_TABSTOP),
                        Control(10, WC_BUTTON, (c.defPushButton ? BS_DEFPUSHBUTTON : 0u) | WS_TABSTOP, {4, 20, 60, 34}),
                        Control(11, WC_BUTTON, WS_TABSTOP, {4, 40, 60, 54}),
                        Control(12, WC_BUTTON, WS_TABSTOP, {4, 60, 60, 74}),
                        Control(IDCANCEL, WC_BUTTON, WS_TABSTOP, {4, 80, 60, 94})});
    HWND dialog = Modeless(units);
    ASSERT_NE(dialog, nullptr);
    if (c.setDefId) SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(c.setDefId), 0);
    SetFocus(GetDlgItem(dialog, c.focus));
    PumpDialog(dialog);
    Trace trace({WM_COMMAND, WM_KEYDOWN, WM_CHAR});
    trace.Name(dialog, "dialog");
    trace.Name(GetDlgItem(dialog, c.focus), "focus");
    PressKey(c.key);
    PumpDialog(dialog);
    EXPECT_EQ(trace.Compare({{"dialog", WM_COMMAND, MAKEWPARAM(c.command, BN_CLICKED)}}), "") << c.name;
    DestroyWindow(dialog);
  }
}

TEST_F(Dialogs, CloseAndEscapeAreCancelUnlessCancelIsDisabled) {
  for (const bool disabled : {false, true}) {
    auto units = Units({Control(IDCANCEL, WC_BUTTON, WS_TABSTOP | (disabled ? WS_DISABLED : 0u))});
    HWND dialog = Modeless(units);
    ASSERT_NE(dialog, nullptr);
    Trace trace({WM_COMMAND});
    trace.Name(dialog, "dialog");
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    PressKey(VK_ESCAPE);
    PumpDialog(dialog);
    const Step cancel{"dialog", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)};
    EXPECT_EQ(trace.Compare(disabled ? std::vector<Step>{} : std::vector<Step>{cancel, cancel}), "") << disabled;
    EXPECT_TRUE(IsWindow(dialog)) << "only the dialog procedure ends it";
    DestroyWindow(dialog);
  }
}

TEST_F(Dialogs, DialogCodesKeepKeysFromTheDialog) {
  DlgCodes codes;
  codes.Install();
  struct Case {
    LRESULT code;
    BYTE key;
    std::vector<UINT> controlGets;  // of WM_KEYDOWN and WM_CHAR
    bool focusMoves;
    bool command;
  };
  const Case cases[] = {
      {0, VK_DOWN, {}, true, false},
      {DLGC_WANTARROWS, VK_DOWN, {WM_KEYDOWN}, false, false},
      {0, VK_TAB, {}, true, false},
      {DLGC_WANTTAB, VK_TAB, {WM_KEYDOWN, WM_CHAR}, false, false},
      {DLGC_WANTARROWS, VK_TAB, {}, true, false},
      {0, VK_RETURN, {}, false, true},
      {DLGC_WANTALLKEYS, VK_RETURN, {WM_KEYDOWN, WM_CHAR}, false, false},
      {DLGC_WANTALLKEYS, VK_ESCAPE, {WM_KEYDOWN, WM_CHAR}, false, false},
      {0, 'A', {WM_KEYDOWN}, false, false},
      {DLGC_WANTCHARS, 'A', {WM_KEYDOWN, WM_CHAR}, false, false},
  };
  for (const Case& c : cases) {
    auto units = Units({Control(kCustom, kTestClass, WS_TABSTOP | WS_GROUP),
                        Control(kCustom + 1, kTestClass, WS_TABSTOP, {4, 20, 60, 34})});
    HWND dialog = Modeless(units);
    ASSERT_NE(dialog, nullptr);
    HWND control = GetDlgItem(dialog, kCustom);
    codes.code = {{control, c.code}, {GetDlgItem(dialog, kCustom + 1), 0}};
    ASSERT_EQ(GetFocus(), control);
    Trace trace({WM_KEYDOWN, WM_CHAR, WM_COMMAND});
    trace.Name(dialog, "dialog");
    trace.Name(control, "control");
    PressKey(c.key);
    PumpDialog(dialog);
    std::vector<Step> want;
    for (UINT m : c.controlGets) want.push_back({"control", m});
    if (c.command) want.push_back({"dialog", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)});
    EXPECT_EQ(trace.Compare(want), "") << "code " << c.code << " key " << int{c.key};
    EXPECT_EQ(GetFocus() != control, c.focusMoves) << "code " << c.code << " key " << int{c.key};
    DestroyWindow(dialog);
  }
}

TEST_F(Dialogs, TabbingToAControlWithHasSetSelSelectsItsText) {
  DlgCodes codes;
  codes.Install();
  auto units = Units({Control(1, WC_BUTTON, WS_TABSTOP), Control(kCustom, kTestClass, WS_TABSTOP, {4, 20, 60, 34})});
  HWND dialog = Modeless(units);
  ASSERT_NE(dialog, nullptr);
  HWND edit = GetDlgItem(dialog, kCustom);
  codes.code[edit] = DLGC_HASSETSEL | DLGC_WANTCHARS;
  Trace trace({WM_SETFOCUS, 0x00B1u /* EM_SETSEL */});
  trace.Name(edit, "edit");
  PressKey(VK_TAB);
  PumpDialog(dialog);
  EXPECT_EQ(trace.Compare({{"edit", WM_SETFOCUS}, {"edit", 0x00B1u, 0}}), "");
  EXPECT_EQ(GetFocus(), edit);
}

TEST_F(Dialogs, NestedModalLoopsEndInnermostFirstWithOwnersDisabledMeanwhile) {
  HWND main = Make(WS_POPUP | WS_VISIBLE);
  SetActiveWindow(main);
  Pump();
  Trace trace({WM_INITDIALOG, WM_ENABLE, WM_DESTROY});
  trace.Name(main, "main");
  auto units = Units({Control(IDOK, WC_BUTTON, WS_TABSTOP)});
  HWND outer = nullptr;
  bool mainDisabledInside = false, outerDisabledInside = false;
  INT_PTR innerResult = 0;
  CurrentDlgHandler() = [&](HWND h, UINT m, WPARAM, LPARAM lParam) -> std::optional<INT_PTR> {
    if (m == WM_INITDIALOG) {
      trace.Name(h, lParam == 1 ? "outer" : "inner");
      trace.Name(GetDlgItem(h, IDOK), lParam == 1 ? "outer's button" : "inner's button");
      if (lParam == 1) outer = h;
      PostMessageW(h, WM_APP, 0, lParam);
      return TRUE;
    }
    if (m != WM_APP) return std::nullopt;
    if (h == outer) {
      mainDisabledInside = !IsWindowEnabled(main);
      innerResult = DialogBoxIndirectParamW(nullptr, AsTemplate(units), h, TestDlgProc, 2);
    } else {
      outerDisabledInside = !IsWindowEnabled(outer);
      EndDialog(outer, 5);  // first, yet the inner loop must end before the outer one
      EndDialog(h, 7);
    }
    return TRUE;
  };
  const INT_PTR outerResult = DialogBoxIndirectParamW(nullptr, AsTemplate(units), main, TestDlgProc, 1);
  EXPECT_EQ(outerResult, 5);
  EXPECT_EQ(innerResult, 7);
  EXPECT_TRUE(mainDisabledInside);
  EXPECT_TRUE(outerDisabledInside);
  EXPECT_EQ(trace.Compare({{"outer", WM_INITDIALOG},
                           {"main", WM_ENABLE, FALSE},
                           {"inner", WM_INITDIALOG},
                           {"outer", WM_ENABLE, FALSE},
                           {"outer", WM_ENABLE, TRUE},  // enabled before the inner box goes
                           {"inner", WM_DESTROY},
                           {"inner's button", WM_DESTROY},
                           {"main", WM_ENABLE, TRUE},
                           {"outer", WM_DESTROY},
                           {"outer's button", WM_DESTROY}}),
            "");
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(GetActiveWindow(), main);
}

TEST_F(Dialogs, AModalBoxAnswersKeysThroughItsOwnLoop) {
  HWND main = Make(WS_POPUP | WS_VISIBLE);
  SetActiveWindow(main);
  struct Case {
    BYTE key;
    INT_PTR result;
  };
  for (const Case& c : {Case{VK_RETURN, 10}, Case{VK_ESCAPE, IDCANCEL}}) {
    CurrentDlgHandler() = [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<INT_PTR> {
      if (m == WM_INITDIALOG) PressKey(c.key);  // taken by the box's loop once it runs
      if (m == WM_COMMAND) EndDialog(h, LOWORD(w));
      return std::nullopt;
    };
    auto units = Units({Control(10, WC_BUTTON, BS_DEFPUSHBUTTON | WS_TABSTOP),
                        Control(IDCANCEL, WC_BUTTON, WS_TABSTOP, {4, 20, 60, 34})});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(units), main, TestDlgProc, 0), c.result);
  }
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, nullptr, main, TestDlgProc, 0), -1);
}

TEST_F(Dialogs, TemplatesFromAResourceLibraryAndBadOnesRefused) {
  const std::vector<DWORD> good = Units({Control(1, WC_BUTTON, 0)});
  auto parsed = DialogTemplate::Parse(good.data(), good.size() * sizeof(DWORD));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->caption, L"テスト");
  ASSERT_EQ(parsed->controls.size(), 1u);
  EXPECT_EQ(parsed->controls[0].className, L"Button");
  // Cut anywhere, a template is refused rather than read past its end.
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(DialogTemplate::Parse(good.data(), cut * sizeof(DWORD)).has_value()) << cut;
  }
  std::vector<DWORD> bad = good;
  bad[0] = 0;
  EXPECT_EQ(CreateDialogIndirectParamW(nullptr, AsTemplate(bad), nullptr, TestDlgProc, 0), nullptr);
  auto unknownClass = Units({Control(1, L"NoSuchClass", 0)});
  EXPECT_EQ(CreateDialogIndirectParamW(nullptr, AsTemplate(unknownClass), nullptr, TestDlgProc, 0), nullptr);
  EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(102), nullptr, TestDlgProc, 0), nullptr);
}

TEST_F(Dialogs, RelayoutPlacesEachControlAsTheOtherTemplateDoes) {
  // Portrait: a list, two unnamed labels and a button; the landscape form
  // moves them, and a child made at run time is not the template's.
  auto portrait = Units({Control(10, WC_BUTTON, 0, {4, 4, 60, 18}, L"A"), Control(-1, WC_STATIC, 0, {4, 20, 60, 30}),
                         Control(-1, WC_STATIC, 0, {4, 32, 60, 42}), Control(11, WC_BUTTON, 0, {4, 50, 60, 64})});
  HWND dialog = Modeless(portrait);
  ASSERT_NE(dialog, nullptr);
  HWND own = CreateWindowExW(0, WC_STATIC, L"", WS_CHILD, 1, 2, 3, 4, dialog, nullptr, nullptr, nullptr);
  SetDlgItemTextW(dialog, 10, L"kept");
  ShowWindow(GetDlgItem(dialog, 11), SW_HIDE);
  struct Case {
    const char* name;
    std::vector<DialogControl> controls;
    BOOL result;
    RECT want[4];  // units: 10, first label, second label, 11
  } cases[] = {
      {"landscape",
       {Control(11, WC_BUTTON, 0, {100, 4, 150, 18}), Control(-1, WC_STATIC, 0, {70, 4, 90, 14}),
        Control(10, WC_BUTTON, 0, {4, 4, 60, 30}), Control(-1, WC_STATIC, 0, {70, 20, 95, 30})},
       TRUE,
       {{4, 4, 60, 30}, {70, 4, 90, 14}, {70, 20, 95, 30}, {100, 4, 150, 18}}},
      {"a control the dialog lacks",
       {Control(12, WC_BUTTON, 0, {1, 1, 9, 9}), Control(10, WC_BUTTON, 0, {8, 8, 40, 20})},
       FALSE,
       {{8, 8, 40, 20}, {70, 4, 90, 14}, {70, 20, 95, 30}, {100, 4, 150, 18}}},
      {"back to portrait",
       {Control(10, WC_BUTTON, 0, {4, 4, 60, 18}), Control(-1, WC_STATIC, 0, {4, 20, 60, 30}),
        Control(-1, WC_STATIC, 0, {4, 32, 60, 42}), Control(11, WC_BUTTON, 0, {4, 50, 60, 64})},
       TRUE,
       {{4, 4, 60, 18}, {4, 20, 60, 30}, {4, 32, 60, 42}, {4, 50, 60, 64}}},
  };
  std::vector<HWND> labels;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(c) == -1 || GetDlgCtrlID(c) == 0xFFFF) labels.push_back(c);
  }
  ASSERT_GE(labels.size(), 2u);
  const HWND controls[4] = {GetDlgItem(dialog, 10), labels[0], labels[1], GetDlgItem(dialog, 11)};
  for (const Case& c : cases) {
    auto units = Units(c.controls);
    EXPECT_EQ(qv::RelayoutDialogIndirect(dialog, AsTemplate(units)), c.result) << c.name;
    for (int i = 0; i < 4; ++i) {
      RECT got{}, want = c.want[i];
      GetWindowRect(controls[i], &got);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
      MapDialogRect(dialog, &want);
      EXPECT_TRUE(EqualRect(&got, &want)) << c.name << " control " << i << ": " << got.left << "," << got.top << " "
                                          << got.right << "," << got.bottom;
    }
  }
  RECT ownRect{};
  GetWindowRect(own, &ownRect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ownRect), 2);
  EXPECT_EQ(ownRect.left, 1);
  EXPECT_EQ(ownRect.bottom, 6);
  WCHAR text[16] = {};
  GetDlgItemTextW(dialog, 10, text, 16);
  EXPECT_STREQ(text, L"kept");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 11)));
  EXPECT_FALSE(qv::RelayoutDialog(nullptr, dialog, MAKEINTRESOURCEW(4242)));
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace qv::test
