// The shared settings widgets in a framework window: the one-column list
// that fills its width and keeps its column from being dragged, and the
// signature editor's Back, edit commands and their enabling.
#include "app/foundation/QvSignatureView.h"
#include "app/foundation/QvSingleColumnListCtrl.h"
#include "app/protocol/Commands.h"
#include "platform/ui/commctrl/Header.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

class HostWnd : public CWnd {};

class SettingsWidgets : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    res_ = LoadProgramResources();
    ASSERT_NE(res_, nullptr);
    ASSERT_TRUE(host_.CreateEx(0, AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW)), L"",
                               WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr));
  }
  void TearDown() override {
    host_.DestroyWindow();
    CWnd::DeleteTempMap();
    if (res_) FreeLibrary(res_);
    UiTest::TearDown();
  }
  int BackMessages() const {
    int n = 0;
    for (UINT m : log_.MessagesOf(host_)) n += m == kBackMessage;
    return n;
  }
  // Whether the field's update handler enables the command now.
  static bool Enabled(CCmdTarget& target, UINT id) {
    class Probe : public CCmdUI {
     public:
      void Enable(BOOL on) override {
        enabled = on;
        m_bEnableChanged = TRUE;
      }
      BOOL enabled = TRUE;
    } probe;
    probe.m_nID = id;
    probe.DoUpdate(&target, FALSE);
    return probe.enabled;
  }

  HMODULE res_ = nullptr;
  HostWnd host_;
};

TEST_F(SettingsWidgets, TheSingleColumnFillsTheWidthAndCannotBeDragged) {
  QvSingleColumnListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{0, 0, 300, 200}, &host_, 7));
  list.InsertColumn(0, L"アカウント", LVCFMT_LEFT, 50);
  for (const int width : {420, 300, 120}) {
    list.SetWindowPos(nullptr, 0, 0, width, 200, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(list.GetColumnWidth(0), width - QvSingleColumnListCtrl::kMargin) << width;
  }
  for (const UINT code : {HDN_BEGINTRACKW, HDN_BEGINTRACKA}) {
    NMHEADERW nm{};
    nm.hdr.hwndFrom = reinterpret_cast<HWND>(list.SendMessage(LVM_GETHEADER));
    nm.hdr.code = code;
    EXPECT_EQ(list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm)), TRUE) << "refused";
  }
  list.DestroyWindow();
}

TEST_F(SettingsWidgets, TheSignatureEditorClosesItsPageOnlyWhenEmpty) {
  struct Case {
    const wchar_t* text;
    int closes;
    std::wstring after;
  } cases[] = {{L"", 1, L""}, {L"署名", 0, L"署"}};
  for (const Case& c : cases) {
    QvSignatureView view;
    ASSERT_TRUE(view.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE, RECT{10, 10, 470, 200}, &host_, 9));
    view.SetWindowText(c.text);
    view.SetFocus();
    view.SetSel(100, 100);
    RunThroughFilter();
    log_.Clear();
    qv::seams::InjectKey(VK_BACK, true);
    qv::seams::InjectKey(VK_BACK, false);
    RunThroughFilter();
    EXPECT_EQ(BackMessages(), c.closes);
    CString text;
    view.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), c.after);
    view.DestroyWindow();
  }
}

TEST_F(SettingsWidgets, CutAndCopyNeedASelectionAndCopyPasteGoThroughTheClipboard) {
  QvSignatureView view;
  ASSERT_TRUE(view.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE, RECT{10, 10, 470, 200}, &host_, 9));
  view.SetWindowText(L"山田太郎");
  view.SetSel(0, 0);
  EXPECT_FALSE(Enabled(view, kCopyCommand));
  EXPECT_FALSE(Enabled(view, kCutCommand));
  view.SetSel(0, 2);
  EXPECT_TRUE(Enabled(view, kCopyCommand));
  EXPECT_TRUE(Enabled(view, kCutCommand));
  view.SendMessage(WM_COMMAND, kCopyCommand, 0);
  view.SetSel(4, 4);
  view.SendMessage(WM_COMMAND, kPasteCommand, 0);
  CString text;
  view.GetWindowText(text);
  EXPECT_EQ(std::wstring(text.GetString()), L"山田太郎山田");
  view.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
