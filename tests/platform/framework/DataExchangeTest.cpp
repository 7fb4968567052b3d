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

}  // namespace
}  // namespace qv::test
