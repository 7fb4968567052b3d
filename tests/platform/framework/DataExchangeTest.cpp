// Dialog data exchange and validation: controls filled from members, values
// read back, the framework's messages for what does not parse or is out of
// range, the focus on the control at fault, and OnOK keeping the dialog up.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using DataExchange = FrameworkTest;

constexpr int kName = 10, kCount = 11, kCheck = 12, kRadio = 13;

class NumberDialog : public CDialog {
 public:
  CString name = L"太郎";
  UINT count = 5;
  int check = BST_CHECKED;
  int radio = 1;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kName, name);
    DDV_MaxChars(dx, name, 8);
    DDX_Text(dx, kCount, count);
    DDV_MinMaxUInt(dx, count, 1, 99);
    DDX_Check(dx, kCheck, check);
    DDX_Radio(dx, kRadio, radio);
  }
};

std::vector<DWORD> NumberTemplate() {
  return Units({Control(kName, kEditClass, WS_TABSTOP, {4, 4, 150, 18}),
                Control(kCount, kEditClass, WS_TABSTOP, {4, 22, 150, 36}),
                Control(kCheck, WC_BUTTON, BS_AUTOCHECKBOX | WS_TABSTOP, {4, 40, 150, 54}, L"通知"),
                Control(kRadio, WC_BUTTON, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {4, 58, 150, 72}, L"毎日"),
                Control(kRadio + 1, WC_BUTTON, BS_AUTORADIOBUTTON, {4, 76, 150, 90}, L"毎週"),
                Control(kRadio + 2, WC_BUTTON, BS_AUTORADIOBUTTON, {4, 94, 150, 108}, L"毎月"),
                Control(IDOK, WC_BUTTON, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, {4, 120, 70, 138}, L"OK")});
}

TEST_F(DataExchange, InitialDataFillsTheControls) {
  BoxApp app;
  auto units = NumberTemplate();
  NumberDialog dialog;
  ASSERT_TRUE(dialog.CreateIndirect(AsTemplate(units)));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kName)), L"太郎");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kCount)), L"5");
  EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_CHECKED);
  const UINT radios[] = {IsDlgButtonChecked(dialog, kRadio), IsDlgButtonChecked(dialog, kRadio + 1),
                         IsDlgButtonChecked(dialog, kRadio + 2)};
  EXPECT_EQ(radios[0] + radios[2], BST_UNCHECKED);
  EXPECT_EQ(radios[1], BST_CHECKED);
  EXPECT_TRUE(app.boxes.empty());
}

TEST_F(DataExchange, ValuesAreReadBackFromTheControls) {
  BoxApp app;
  auto units = NumberTemplate();
  NumberDialog dialog;
  ASSERT_TRUE(dialog.CreateIndirect(AsTemplate(units)));
  SetDlgItemTextW(dialog, kName, L"花子");
  SetDlgItemTextW(dialog, kCount, L" 42 ");
  CheckDlgButton(dialog, kCheck, BST_UNCHECKED);
  CheckRadioButton(dialog, kRadio, kRadio + 2, kRadio + 2);
  ASSERT_TRUE(dialog.UpdateData(TRUE));
  EXPECT_EQ(dialog.name, L"花子");
  EXPECT_EQ(dialog.count, 42u);
  EXPECT_EQ(dialog.check, BST_UNCHECKED);
  EXPECT_EQ(dialog.radio, 2);
  CheckDlgButton(dialog, kRadio + 2, BST_UNCHECKED);
  ASSERT_TRUE(dialog.UpdateData(TRUE));
  EXPECT_EQ(dialog.radio, -1);  // none of the group checked
}

TEST_F(DataExchange, WhatDoesNotParseOrFitGetsTheFrameworksMessageAndTheFocus) {
  const std::wstring notUnsigned = L"0 以上の整数を入力してください。";
  const std::wstring outOfRange = L"1 から 99 までの整数を入力してください。";
  const std::wstring tooLong = L"8 文字以内で入力してください。";
  struct Case {
    const wchar_t* name;
    const wchar_t* count;
    std::wstring message;  // empty: accepted
    int focus;
  };
  const Case cases[] = {
      {L"花子", L"99", L"", 0},
      {L"花子", L"+1", L"", 0},
      {L"花子", L"4294967296", notUnsigned, kCount},  // past the largest unsigned
      {L"花子", L"-1", notUnsigned, kCount},
      {L"花子", L"12a", notUnsigned, kCount},
      {L"花子", L"", notUnsigned, kCount},
      {L"花子", L"０", notUnsigned, kCount},  // full-width digits are not a number
      {L"花子", L"0", outOfRange, kCount},
      {L"花子", L"100", outOfRange, kCount},
      {L"花子", L"4294967295", outOfRange, kCount},
      {L"一二三四五六七八九", L"5", tooLong, kName},
  };
  for (const Case& c : cases) {
    BoxApp app;
    auto units = NumberTemplate();
    NumberDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(AsTemplate(units)));
    SetDlgItemTextW(dialog, kName, c.name);
    SetDlgItemTextW(dialog, kCount, c.count);
    SetFocus(GetDlgItem(dialog, kCheck));
    SetWindowLongW(GetDlgItem(dialog, c.focus ? c.focus : kName), 0, 0);
    const BOOL ok = dialog.UpdateData(TRUE);
    EXPECT_EQ(ok, c.message.empty()) << c.count;
    if (c.message.empty()) {
      EXPECT_TRUE(app.boxes.empty()) << c.count;
      continue;
    }
    EXPECT_EQ(app.boxes, std::vector<std::wstring>{c.message}) << c.count;
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, c.focus)) << c.count;
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, c.focus), 0), -1) << c.count;  // its text selected
  }
}

TEST_F(DataExchange, OkStaysOpenOnAFailureAndEndsOnceTheValuesHold) {
  BoxApp app;
  auto* frame = new ScriptFrame;
  ASSERT_TRUE(frame->Create(nullptr, L"フレーム", WS_POPUP | WS_VISIBLE));
  app.m_pMainWnd = frame;
  auto units = NumberTemplate();
  NumberDialog dialog;
  dialog.InitModalIndirect(AsTemplate(units), frame);
  bool upAfterFailure = false;
  HWND focusAfterFailure = nullptr, countField = nullptr;
  Script() = {
      [&] { SetDlgItemTextW(dialog, kCount, L"0"); },
      [&] { qv::seams::InjectTap(CentreOf(GetDlgItem(dialog, IDOK))); },
      [&] {
        upAfterFailure = IsWindowVisible(dialog);
        focusAfterFailure = GetFocus();
        countField = GetDlgItem(dialog, kCount);
        SetDlgItemTextW(dialog, kCount, L"7");
        qv::seams::InjectTap(CentreOf(GetDlgItem(dialog, IDOK)));
      },
  };
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(upAfterFailure);
  EXPECT_EQ(focusAfterFailure, countField);
  EXPECT_NE(countField, nullptr);
  EXPECT_EQ(app.boxes, std::vector<std::wstring>{L"1 から 99 までの整数を入力してください。"});
  EXPECT_EQ(dialog.count, 7u);
  EXPECT_EQ(dialog.m_hWnd, nullptr);  // destroyed on the way out
  EXPECT_TRUE(IsWindowEnabled(frame->m_hWnd));
  app.m_pMainWnd = nullptr;
  frame->DestroyWindow();
}

constexpr int kCombo = 20, kList = 21;

// A combo box and a list box exchanged both by index and by text.
class ListDialog : public CDialog {
 public:
  bool byText = false, exact = false;
  int comboIndex = -1, listIndex = -1;
  CString comboText, listText;
  void DoDataExchange(CDataExchange* dx) override {
    if (!byText) {
      DDX_CBIndex(dx, kCombo, comboIndex);
      DDX_LBIndex(dx, kList, listIndex);
    } else if (exact) {
      DDX_CBStringExact(dx, kCombo, comboText);
      DDX_LBStringExact(dx, kList, listText);
    } else {
      DDX_CBString(dx, kCombo, comboText);
      DDX_LBString(dx, kList, listText);
    }
  }
  BOOL OnInitDialog() override {
    for (const wchar_t* line : {L"mail.example.jp", L"Mail", L"インターネット", L"会社"}) {
      SendDlgItemMessageW(m_hWnd, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
      SendDlgItemMessageW(m_hWnd, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    return CDialog::OnInitDialog();
  }
};

std::vector<DWORD> ListTemplate() {
  return Units({Control(kCombo, WC_COMBOBOX, CBS_DROPDOWNLIST | WS_TABSTOP, {4, 4, 150, 80}),
                Control(kList, WC_LISTBOX, LBS_NOTIFY | WS_TABSTOP, {4, 84, 150, 150})});
}

// Filling selects the member's line in both kinds; reading gives back the
// selection the user left, by index and by text.
TEST_F(DataExchange, ComboAndListBoxesByIndexAndByText) {
  struct Case {
    bool byText, exact;
    int index;            // filled, when by index
    const wchar_t* text;  // filled, when by text
    int selected;         // the line selected after filling
    int userPick;         // the user's line before reading back; -1 for none
    const wchar_t* readText;
  };
  const Case cases[] = {
      {false, false, 2, nullptr, 2, 3, L"会社"},
      {false, false, -1, nullptr, -1, -1, L""},
      {false, false, 9, nullptr, -1, 0, L"mail.example.jp"},  // past the end: nothing selected
      {true, false, 0, L"インターネット", 2, 1, L"Mail"},
      {true, false, 0, L"mail", 0, 2, L"インターネット"},  // first line starting so, case aside
      {true, false, 0, L"不明", -1, -1, L""},             // no line: selection unchanged
      {true, true, 0, L"mail", 1, 0, L"mail.example.jp"},  // whole line only, case aside
      {true, true, 0, L"Mai", -1, 3, L"会社"},
  };
  for (const Case& c : cases) {
    BoxApp app;
    auto units = ListTemplate();
    ListDialog dialog;
    dialog.byText = c.byText;
    dialog.exact = c.exact;
    dialog.comboIndex = dialog.listIndex = c.index;
    if (c.text) dialog.comboText = dialog.listText = c.text;
    ASSERT_TRUE(dialog.CreateIndirect(AsTemplate(units)));
    const std::wstring label = c.text ? c.text : std::to_wstring(c.index);
    EXPECT_EQ(SendDlgItemMessageW(dialog, kCombo, CB_GETCURSEL, 0, 0), c.selected) << label;
    EXPECT_EQ(SendDlgItemMessageW(dialog, kList, LB_GETCURSEL, 0, 0), c.selected) << label;
    SendDlgItemMessageW(dialog, kCombo, CB_SETCURSEL, static_cast<WPARAM>(c.userPick), 0);
    SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, static_cast<WPARAM>(c.userPick), 0);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    if (c.byText) {
      EXPECT_EQ(dialog.comboText, c.readText) << label;
      EXPECT_EQ(dialog.listText, c.readText) << label;
    } else {
      EXPECT_EQ(dialog.comboIndex, c.userPick) << label;
      EXPECT_EQ(dialog.listIndex, c.userPick) << label;
    }
    EXPECT_TRUE(app.boxes.empty()) << label;
  }
}

}  // namespace
}  // namespace qv::test
