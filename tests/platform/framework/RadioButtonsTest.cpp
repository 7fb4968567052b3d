// The window wrapper's radio-button range: checking one of a range and
// reading which one is checked.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using RadioButtons = FrameworkTest;

TEST_F(RadioButtons, RadioButtonsOfARangeAreCheckedAndReadThroughTheWrapper) {
  auto units = Units({Control(1, WC_BUTTON, BS_RADIOBUTTON | WS_GROUP, {4, 4, 80, 18}),
                      Control(2, WC_BUTTON, BS_RADIOBUTTON, {4, 20, 80, 34}),
                      Control(3, WC_BUTTON, BS_RADIOBUTTON, {4, 40, 80, 54}),
                      Control(4, WC_BUTTON, BS_AUTOCHECKBOX | WS_GROUP, {4, 60, 80, 74})});
  HWND dialog = CreateDialogIndirectParamW(nullptr, AsTemplate(units), nullptr, TestDlgProc, 0);
  ASSERT_NE(dialog, nullptr);
  CWnd* wnd = CWnd::FromHandle(dialog);
  CheckDlgButton(dialog, 4, BST_CHECKED);
  EXPECT_EQ(wnd->GetCheckedRadioButton(1, 3), 0) << "none checked yet";
  struct Case {
    int first, last, check;
    int read;  // GetCheckedRadioButton(1, 3) after
  } cases[] = {{1, 3, 2, 2}, {1, 3, 3, 3}, {1, 2, 1, 1}, {2, 3, 2, 1}, {1, 3, 3, 3}};
  for (const Case& c : cases) {
    wnd->CheckRadioButton(c.first, c.last, c.check);
    EXPECT_EQ(wnd->GetCheckedRadioButton(1, 3), c.read) << c.check;
    EXPECT_EQ(IsDlgButtonChecked(dialog, c.check), BST_CHECKED);
  }
  EXPECT_EQ(IsDlgButtonChecked(dialog, 4), BST_CHECKED) << "outside the range";
  EXPECT_EQ(wnd->GetCheckedRadioButton(4, 4), 4);
  CWnd::DeleteTempMap();
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace qv::test
