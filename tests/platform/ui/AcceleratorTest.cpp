// Accelerator tables in a dialog's message loop: TranslateAcceleratorW runs
// before IsDialogMessageW, so a key of the table reaches the dialog as
// WM_COMMAND with HIWORD 1 and the dialog never handles that key itself.

#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

using Accelerators = DialogTest;

constexpr WORD kEnter = 100, kSave = 101, kHelp = 102, kLetter = 103;

// The program's loop: the table first, then the dialog.
void PumpWith(HWND dialog, HACCEL table) {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (TranslateAcceleratorW(dialog, table, &m)) continue;
    if (!IsDialogMessageW(dialog, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
}

TEST_F(Accelerators, AKeyOfTheTableIsACommandBeforeTheDialogSeesIt) {
  ACCEL entries[] = {{FVIRTKEY, VK_RETURN, kEnter},
                     {FVIRTKEY | FCONTROL, 'S', kSave},
                     {FVIRTKEY | FSHIFT, VK_F1, kHelp},
                     {0, 'a', kLetter}};
  HACCEL table = CreateAcceleratorTableW(entries, 4);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 4);
  struct Case {
    const char* name;
    std::vector<BYTE> held;  // modifiers
    BYTE key;
    std::vector<Step> want;
  };
  const Case cases[] = {
      {"Enter", {}, VK_RETURN, {{"dialog", WM_COMMAND, MAKEWPARAM(kEnter, 1)}}},
      {"Ctrl+S", {VK_CONTROL}, 'S', {{"button", WM_KEYDOWN, VK_CONTROL}, {"dialog", WM_COMMAND, MAKEWPARAM(kSave, 1)}}},
      {"S alone", {}, 'S', {{"button", WM_KEYDOWN, 'S'}}},
      {"Shift+F1", {VK_SHIFT}, VK_F1, {{"button", WM_KEYDOWN, VK_SHIFT}, {"dialog", WM_COMMAND, MAKEWPARAM(kHelp, 1)}}},
      {"F1 alone", {}, VK_F1, {{"button", WM_KEYDOWN}}},
      {"a character", {}, 'A', {{"button", WM_KEYDOWN}, {"dialog", WM_COMMAND, MAKEWPARAM(kLetter, 1)}}},
      {"a key not in the table", {}, VK_ESCAPE, {{"dialog", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)}}},
  };
  const auto units = Units({Control(IDOK, WC_BUTTON, BS_DEFPUSHBUTTON | WS_TABSTOP, {10, 10, 70, 30}, L"OK")});
  for (const Case& c : cases) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, AsTemplate(units), nullptr, TestDlgProc, 0);
    ASSERT_NE(dialog, nullptr);
    PumpWith(dialog, table);
    Trace trace({WM_COMMAND, WM_KEYDOWN, WM_CHAR});
    trace.Name(dialog, "dialog");
    trace.Name(GetDlgItem(dialog, IDOK), "button");
    for (BYTE k : c.held) qv::seams::InjectKey(k, true);
    PressKey(c.key);
    for (BYTE k : c.held) qv::seams::InjectKey(k, false);
    PumpWith(dialog, table);
    EXPECT_EQ(trace.Compare(c.want), "") << c.name;
    DestroyWindow(dialog);
  }
  EXPECT_TRUE(DestroyAcceleratorTable(table));
  EXPECT_FALSE(DestroyAcceleratorTable(table));
}

TEST_F(Accelerators, LoadedFromResourcesAndRefusedWhenCutShort) {
  HMODULE res = LoadSampleResources();
  ASSERT_NE(res, nullptr);
  HACCEL table = LoadAcceleratorsW(res, MAKEINTRESOURCEW(194));
  ASSERT_NE(table, nullptr);
  ACCEL read[4] = {};
  ASSERT_EQ(CopyAcceleratorTableW(table, read, 4), 2);
  EXPECT_EQ(read[0].fVirt, FVIRTKEY);
  EXPECT_EQ(read[0].key, VK_F1);
  EXPECT_EQ(read[0].cmd, 40001);
  EXPECT_EQ(read[1].fVirt, FVIRTKEY | FCONTROL);
  DestroyAcceleratorTable(table);
  EXPECT_EQ(LoadAcceleratorsW(res, MAKEINTRESOURCEW(195)), nullptr);
  const WORD unended[] = {FVIRTKEY, VK_F1, 1, 0};
  std::vector<ACCEL> out;
  EXPECT_FALSE(qv::ui::ParseAcceleratorResource(unended, sizeof unended, &out));
  EXPECT_FALSE(qv::ui::ParseAcceleratorResource(unended, 7, &out));
  EXPECT_TRUE(out.empty());
  FreeLibrary(res);
}

}  // namespace
}  // namespace qv::test
