// A small program on the framework, run headless through a scripted session:
// the application starts its frame, the soft key opens the frame's menu,
// the settings dialog comes up with data exchange, the user taps and types,
// OK fails validation once and then succeeds, and the menu's exit ends the
// program. The session's messages are a table; the dialog is kept as a PNG.
#include <cstdlib>
#include <filesystem>

#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using Session = FrameworkTest;

constexpr UINT ID_SETTINGS = 0x8101, ID_EXIT = 0x8102;
constexpr int kCount = 20, kNotify = 21;

Trace* g_trace = nullptr;

class SettingsDialog : public CDialog {
 public:
  UINT count = 5;
  int notify = BST_UNCHECKED;
  BOOL OnInitDialog() override {
    g_trace->Name(m_hWnd, "dialog");
    for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) g_trace->Name(c, "control");
    Called("OnInitDialog");
    return CDialog::OnInitDialog();
  }
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kCount, count);
    DDV_MinMaxUInt(dx, count, 1, 50);
    DDX_Check(dx, kNotify, notify);
  }
};

class SessionFrame : public ScriptFrame {
 public:
  CMenu popup;
  INT_PTR result = 0;
  UINT count = 0;
  int notify = 0;
  std::vector<DWORD> units;

  int OnCreate(LPCREATESTRUCT cs) {
    popup.CreatePopupMenu();
    popup.AppendMenu(MF_STRING, ID_SETTINGS, L"設定…");
    popup.AppendMenu(MF_STRING, ID_EXIT, L"終了");
    return ScriptFrame::OnCreate(cs);
  }
  void OnKeyDown(UINT key, UINT, UINT) {
    if (key == VK_TSOFT1) popup.TrackPopupMenu(TPM_LEFTALIGN, 0, 800, this);
  }
  void OnSettings() {
    Called("OnSettings");
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    t.box = {0, 0, 130, 80};
    t.caption = L"受信の設定";
    t.controls = {Control(-1, WC_STATIC, SS_LEFT, {6, 8, 48, 20}, L"件数"),
                  Control(kCount, kEditClass, WS_TABSTOP, {52, 6, 124, 20}),
                  Control(kNotify, WC_BUTTON, BS_AUTOCHECKBOX | WS_TABSTOP, {6, 28, 124, 42}, L"新着を知らせる"),
                  Control(IDOK, WC_BUTTON, BS_DEFPUSHBUTTON | WS_TABSTOP, {10, 56, 60, 72}, L"OK"),
                  Control(IDCANCEL, WC_BUTTON, BS_PUSHBUTTON | WS_TABSTOP, {68, 56, 124, 72}, L"キャンセル")};
    units = t.Build();
    SettingsDialog dialog;
    dialog.InitModalIndirect(AsTemplate(units), this);
    result = dialog.DoModal();
    count = dialog.count;
    notify = dialog.notify;
  }
  void OnExit() {
    Called("OnExit");
    DestroyWindow();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SessionFrame, ScriptFrame)
  ON_WM_CREATE()
  ON_WM_KEYDOWN()
  ON_COMMAND(ID_SETTINGS, &SessionFrame::OnSettings)
  ON_COMMAND(ID_EXIT, &SessionFrame::OnExit)
END_MESSAGE_MAP()

class SessionApp : public BoxApp {
 public:
  SessionFrame* frame = nullptr;
  BOOL InitInstance() override {
    Called("InitInstance");
    frame = new SessionFrame;
    if (!frame->Create(nullptr, L"セッション", WS_POPUP | WS_VISIBLE)) return FALSE;
    g_trace->Name(frame->m_hWnd, "frame");
    m_pMainWnd = frame;
    return TRUE;
  }
  BOOL OnIdle(LONG count) override {
    // Between dialogs the script goes on when the program is idle.
    // A script that ran out with the program still up ends it, so as to fail, not hang.
    if (count == 0 && m_pMainWnd && !TakeStep(m_pMainWnd->m_hWnd)) {
      Called("script over");
      m_pMainWnd->DestroyWindow();
    }
    return BoxApp::OnIdle(count);
  }
  int ExitInstance() override {
    Called("ExitInstance");
    return BoxApp::ExitInstance();
  }
};

void Press(BYTE key) { PressKey(key); }
void Type(const wchar_t* digits) {
  for (const wchar_t* p = digits; *p; ++p) Press(static_cast<BYTE>(*p));
}

TEST_F(Session, TapsKeysAValidationFailureAndOk) {
  Trace trace({WM_INITMENUPOPUP, WM_COMMAND, WM_INITDIALOG, WM_NCDESTROY});
  g_trace = &trace;
  SessionApp app;
  HWND dialog = nullptr;
  const char* dir = std::getenv("QV_BINARY_DIR");
  const std::string png = std::string(dir ? dir : ".") + "/framework-settings-dialog.png";
  std::filesystem::remove(png);
  std::wstring shownText;
  Script() = {
      [] {
        Press(VK_TSOFT1);  // the menu; its first item opens the dialog
        Press(VK_DOWN);
        Press(VK_RETURN);
      },
      [&] {
        dialog = GetActiveWindow();
        qv::seams::InjectTap(CentreOf(GetDlgItem(dialog, kCount)));
      },
      [] {
        Press(VK_BACK);
        Type(L"75");
      },
      [&] { qv::seams::InjectTap(CentreOf(GetDlgItem(dialog, IDOK))); },  // 75 is past 50
      [&] {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kCount));
        Press(VK_BACK);
        Press(VK_BACK);
        Type(L"30");
        qv::seams::InjectTap(CentreOf(GetDlgItem(dialog, kNotify)));
      },
      [&] {
        shownText = TextOf(GetDlgItem(dialog, kCount));
        EXPECT_TRUE(qv::seams::SaveScreenPng(png));
        Press(VK_RETURN);  // the default button
      },
      [] {
        Press(VK_TSOFT1);  // the menu again: its last item this time
        Press(VK_UP);
        Press(VK_RETURN);
      },
  };
  WCHAR cmdLine[] = L"";
  const int exitCode = AfxWinMain(nullptr, nullptr, cmdLine, SW_SHOW);
  g_trace = nullptr;

  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(Script().empty());
  EXPECT_EQ(Calls(), (std::vector<std::string>{"InitInstance", "OnSettings", "OnInitDialog", "OnExit", "ExitInstance"}));
  EXPECT_EQ(app.boxes, std::vector<std::wstring>{L"1 から 50 までの整数を入力してください。"});
  EXPECT_EQ(shownText, L"30");
  ASSERT_NE(app.frame, nullptr);
  const std::vector<Step> want{
      {"frame", WM_INITMENUPOPUP},
      {"?", WM_NCDESTROY},  // the menu's window closes before its command arrives
      {"frame", WM_COMMAND, MAKEWPARAM(ID_SETTINGS, 0)},
      {"dialog", WM_INITDIALOG},
      {"dialog", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},     // the tap: validation fails
      {"dialog", WM_COMMAND, MAKEWPARAM(kNotify, BN_CLICKED)},  // the check box
      {"dialog", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},     // Enter
      {"control", WM_NCDESTROY},
      {"control", WM_NCDESTROY},
      {"control", WM_NCDESTROY},
      {"control", WM_NCDESTROY},
      {"control", WM_NCDESTROY},
      {"dialog", WM_NCDESTROY},
      {"frame", WM_INITMENUPOPUP},
      {"?", WM_NCDESTROY},
      {"frame", WM_COMMAND, MAKEWPARAM(ID_EXIT, 0)},
      {"frame", WM_NCDESTROY},
  };
  EXPECT_EQ(trace.Compare(want), "");
  EXPECT_TRUE(std::filesystem::exists(png));
}

}  // namespace
}  // namespace qv::test
