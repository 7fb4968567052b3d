// Message maps and routing, from the framework's documented behaviour:
// notifications reflected to the control's object first, commands through
// frame, dialog, owner and application, updates before a popup shows, the
// PreTranslateMessage walk, and frames made under "WCE_" classes.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using Routing = FrameworkTest;

constexpr int kButton = 100;
constexpr UINT ID_COPY = 0x8001, ID_PASTE = 0x8002, ID_UNHANDLED = 0x8003, ID_RANGE = 0x8010, ID_APPONLY = 0x8020;
constexpr UINT ID_CONTROL_ONLY = 1000;

HBRUSH const kChildBrush = reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(COLOR_BTNFACE + 1));
HBRUSH const kParentBrush = reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(COLOR_WINDOW + 1));

class ReflectingButton : public CButton {
 public:
  BOOL take = TRUE;          // what the _EX handlers answer
  HBRUSH brush = nullptr;    // what CtlColor gives
  BOOL OnClickedEx() {
    Called("child BN_CLICKED");
    return take;
  }
  BOOL OnClickReflect(NMHDR*, LRESULT* result) {
    Called("child NM_CLICK");
    *result = 7;
    return take;
  }
  HBRUSH CtlColor(CDC*, UINT) {
    Called("child CTLCOLOR");
    return brush;
  }
  void DrawItem(LPDRAWITEMSTRUCT) override { Called("child DRAWITEM"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ReflectingButton, CButton)
  ON_CONTROL_REFLECT_EX(BN_CLICKED, &ReflectingButton::OnClickedEx)
  ON_NOTIFY_REFLECT_EX(NM_CLICK, &ReflectingButton::OnClickReflect)
  ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

class ParentWnd : public CWnd {
 public:
  void OnClicked() { Called("parent BN_CLICKED"); }
  void OnClick(NMHDR*, LRESULT* result) {
    Called("parent NM_CLICK");
    *result = 9;
  }
  HBRUSH OnCtlColor(CDC*, CWnd*, UINT type) {
    Called("parent CTLCOLOR " + std::to_string(type));
    return kParentBrush;
  }
  void OnDrawItem(int, LPDRAWITEMSTRUCT) { Called("parent DRAWITEM"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ParentWnd, CWnd)
  ON_BN_CLICKED(kButton, &ParentWnd::OnClicked)
  ON_NOTIFY(NM_CLICK, kButton, &ParentWnd::OnClick)
  ON_WM_CTLCOLOR()
  ON_WM_DRAWITEM()
END_MESSAGE_MAP()

TEST_F(Routing, NotificationsReachTheControlFirstAndTheParentOnlyWhenLeft) {
  struct Case {
    const char* name;
    bool subclassed;
    BOOL take;
    HBRUSH brush;
    std::vector<std::string> calls;
    LRESULT notifyResult;
    HBRUSH colour;
  };
  const Case cases[] = {
      {"no control object", false, TRUE, kChildBrush,
       {"parent BN_CLICKED", "parent NM_CLICK", "parent CTLCOLOR 3", "parent DRAWITEM"}, 9, kParentBrush},
      {"control takes them", true, TRUE, kChildBrush,
       {"child BN_CLICKED", "child NM_CLICK", "child CTLCOLOR", "child DRAWITEM"}, 7, kChildBrush},
      {"control leaves them", true, FALSE, nullptr,
       {"child BN_CLICKED", "parent BN_CLICKED", "child NM_CLICK", "parent NM_CLICK", "child CTLCOLOR",
        "parent CTLCOLOR 3", "child DRAWITEM"},
       9, kParentBrush},
  };
  for (const Case& c : cases) {
    Calls().clear();
    ParentWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"親", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 400), nullptr, 0));
    HWND button = CreateWindowExW(0, WC_BUTTON, L"押す", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 200, 80,
                                  parent.m_hWnd, reinterpret_cast<HMENU>(kButton), nullptr, nullptr);
    ReflectingButton control;
    control.take = c.take;
    control.brush = c.brush;
    if (c.subclassed) {
      ASSERT_TRUE(control.SubclassDlgItem(kButton, &parent));
    }

    Pump();
    qv::seams::InjectTap(CentreOf(button));
    Pump();
    std::vector<std::string> clicked;  // the button also paints (and asks for colours) as it is pressed
    for (const std::string& call : Calls()) {
      if (call.find("BN_CLICKED") != std::string::npos) clicked.push_back(call);
    }
    Calls() = clicked;
    NMHDR head{button, kButton, NM_CLICK};
    const LRESULT notified = parent.SendMessage(WM_NOTIFY, kButton, reinterpret_cast<LPARAM>(&head));
    HDC dc = GetDC(button);
    const auto colour = reinterpret_cast<HBRUSH>(
        parent.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(button)));
    ReleaseDC(button, dc);
    DRAWITEMSTRUCT dis{ODT_BUTTON, kButton, 0, ODA_DRAWENTIRE, 0, button, nullptr, {}, 0};
    parent.SendMessage(WM_DRAWITEM, kButton, reinterpret_cast<LPARAM>(&dis));

    EXPECT_EQ(Calls(), c.calls) << c.name;
    EXPECT_EQ(notified, c.notifyResult) << c.name;
    EXPECT_EQ(colour, c.colour) << c.name;
    parent.DestroyWindow();
  }
}

class RoutingApp : public CWinApp {
 public:
  void OnAppOnly() { Called("app"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RoutingApp, CWinApp)
  ON_COMMAND(ID_APPONLY, &RoutingApp::OnAppOnly)
END_MESSAGE_MAP()

class MenuFrame : public ScriptFrame {
 public:
  BOOL canPaste = FALSE;
  void OnCopy() { Called("copy"); }
  void OnPaste() { Called("paste"); }
  void OnControlOnly() { Called("frame 1000"); }
  void OnRange(UINT id) { Called("range " + std::to_string(id - ID_RANGE)); }
  void OnUpdateCopy(CCmdUI* ui) {
    Called("update copy");
    ui->SetCheck(1);
    ui->SetText(L"コピー済み");
  }
  void OnUpdatePaste(CCmdUI* ui) {
    Called("update paste");
    ui->Enable(canPaste);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MenuFrame, ScriptFrame)
  ON_COMMAND(ID_COPY, &MenuFrame::OnCopy)
  ON_COMMAND(ID_PASTE, &MenuFrame::OnPaste)
  ON_COMMAND(ID_CONTROL_ONLY, &MenuFrame::OnControlOnly)
  ON_COMMAND_RANGE(ID_RANGE, ID_RANGE + 2, &MenuFrame::OnRange)
  ON_UPDATE_COMMAND_UI(ID_COPY, &MenuFrame::OnUpdateCopy)
  ON_UPDATE_COMMAND_UI(ID_PASTE, &MenuFrame::OnUpdatePaste)
END_MESSAGE_MAP()

MenuFrame* MakeFrame() {
  auto* frame = new MenuFrame;  // deletes itself with its window
  EXPECT_TRUE(frame->Create(nullptr, L"フレーム", WS_POPUP | WS_VISIBLE));
  return frame;
}

// Copy, Paste, a separator, an item nobody handles, and a sub-menu.
void FillPopup(CMenu& popup) {
  popup.CreatePopupMenu();
  popup.AppendMenu(MF_STRING, ID_COPY, L"コピー");
  popup.AppendMenu(MF_STRING, ID_PASTE, L"貼り付け");
  popup.AppendMenu(MF_SEPARATOR);
  popup.AppendMenu(MF_STRING, ID_UNHANDLED, L"未対応");
  CMenu sub;
  sub.CreatePopupMenu();
  sub.AppendMenu(MF_STRING, ID_RANGE + 1, L"範囲");
  popup.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Detach()), L"その他");
}

TEST_F(Routing, EveryPopupItemIsUpdatedBeforeThePopupShows) {
  MenuFrame* frame = MakeFrame();
  CMenu popup;
  FillPopup(popup);
  UINT shownStates[5] = {};
  Script() = {[&] {  // once the menu is up and waits
    Called("shown");
    for (UINT i = 0; i < 5; ++i) shownStates[i] = popup.GetMenuState(i, MF_BYPOSITION);
  }};
  ASSERT_TRUE(popup.TrackPopupMenu(TPM_LEFTALIGN, 10, 10, frame));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"update copy", "update paste", "shown"}));
  EXPECT_EQ(shownStates[0] & (MF_CHECKED | MF_GRAYED), MF_CHECKED);
  EXPECT_EQ(shownStates[1] & MF_GRAYED, MF_GRAYED);  // its handler disabled it
  EXPECT_EQ(shownStates[3] & MF_GRAYED, MF_GRAYED);  // no handler at all
  EXPECT_EQ(shownStates[4] & MF_GRAYED, 0u);          // the sub-menu's first item has a handler
  CString text;
  popup.GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_EQ(text, L"コピー済み");
  frame->DestroyWindow();
}

TEST_F(Routing, APickedItemSendsItsCommandOnlyWhenEnabled) {
  struct Case {
    UINT pick;
    std::vector<BYTE> keys;  // to the item, then Enter
    BOOL canPaste;
    std::vector<std::string> ran;
  };
  // The framework asks once more as the command arrives. Enter on a
  // disabled item leaves the menu open; it closes when the script runs out.
  const Case cases[] = {{ID_COPY, {VK_DOWN}, FALSE, {"update copy", "copy"}},
                        {ID_PASTE, {VK_DOWN, VK_DOWN}, FALSE, {}},
                        {ID_PASTE, {VK_DOWN, VK_DOWN}, TRUE, {"update paste", "paste"}},
                        {ID_UNHANDLED, {VK_DOWN, VK_DOWN, VK_DOWN}, TRUE, {}},  // over the separator
                        {ID_RANGE + 1, {VK_UP, VK_RIGHT}, FALSE, {"range 1"}}};
  for (const Case& c : cases) {
    MenuFrame* frame = MakeFrame();
    frame->canPaste = c.canPaste;
    CMenu popup;
    FillPopup(popup);
    for (BYTE key : c.keys) PressKey(key);
    PressKey(VK_RETURN);
    popup.TrackPopupMenu(TPM_LEFTALIGN, 10, 10, frame);
    Calls().clear();
    Pump();
    EXPECT_EQ(Calls(), c.ran) << "pick " << std::hex << c.pick;
    frame->DestroyWindow();
  }
}

TEST_F(Routing, AMenuOrKeyCommandThatBecameDisabledIsNotRun) {
  MenuFrame* frame = MakeFrame();
  for (const BOOL canPaste : {FALSE, TRUE}) {
    frame->canPaste = canPaste;
    Calls().clear();
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_PASTE, 1), 0);  // as an accelerator sends it
    const std::vector<std::string> ran = canPaste ? std::vector<std::string>{"update paste", "paste"}
                                                  : std::vector<std::string>{"update paste"};
    EXPECT_EQ(Calls(), ran);
  }
  frame->DestroyWindow();
}

TEST_F(Routing, IdleUpdatesTheButtonsOfTheFramesBar) {
  RoutingApp app;
  MenuFrame* frame = MakeFrame();
  app.m_pMainWnd = frame;
  CWnd bar;
  ASSERT_TRUE(bar.Create(nullptr, L"", WS_VISIBLE, CRect(0, 700, 480, 800), frame, AFX_IDW_TOOLBAR));
  const UINT ids[] = {ID_COPY, ID_PASTE, ID_UNHANDLED, ID_APPONLY};
  HWND buttons[4];
  for (int i = 0; i < 4; ++i) {
    buttons[i] = CreateWindowExW(0, WC_BUTTON, L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, i * 120, 0, 120, 100,
                                 bar.m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ids[i])), nullptr, nullptr);
  }
  frame->canPaste = FALSE;
  app.OnIdle(0);
  EXPECT_TRUE(IsWindowEnabled(buttons[0]));
  EXPECT_EQ(TextOf(buttons[0]), L"コピー済み");
  EXPECT_FALSE(IsWindowEnabled(buttons[1]));
  EXPECT_FALSE(IsWindowEnabled(buttons[2]));  // nothing takes its command
  EXPECT_TRUE(IsWindowEnabled(buttons[3]));   // the application does
  frame->canPaste = TRUE;
  app.OnIdle(0);
  EXPECT_TRUE(IsWindowEnabled(buttons[1]));
  app.m_pMainWnd = nullptr;
  frame->DestroyWindow();
}

class OwnedDialog : public CDialog {
 public:
  void OnDialogOwn() { Called("dialog"); }
  DECLARE_MESSAGE_MAP()
};

constexpr UINT ID_DIALOG_OWN = 0x8030;

BEGIN_MESSAGE_MAP(OwnedDialog, CDialog)
  ON_COMMAND(ID_DIALOG_OWN, &OwnedDialog::OnDialogOwn)
END_MESSAGE_MAP()

TEST_F(Routing, ADialogsCommandsGoToItsOwnerThenTheApplication) {
  RoutingApp app;
  MenuFrame* frame = MakeFrame();
  const UINT ids[] = {ID_DIALOG_OWN, ID_COPY, ID_APPONLY, ID_CONTROL_ONLY};
  std::vector<DialogControl> controls;
  for (int i = 0; i < 4; ++i) {
    controls.push_back(Control(static_cast<int>(ids[i]), WC_BUTTON, BS_PUSHBUTTON | WS_TABSTOP, {4, 4 + 20 * i, 80, 18 + 20 * i}));
  }
  auto units = Units(controls);
  OwnedDialog dialog;
  ASSERT_TRUE(dialog.CreateIndirect(AsTemplate(units), frame));
  const char* const expected[] = {"dialog", "copy", "app", nullptr};  // a control's id is not routed
  for (int i = 0; i < 4; ++i) {
    Calls().clear();
    qv::seams::InjectTap(CentreOf(dialog.GetDlgItem(static_cast<int>(ids[i]))->m_hWnd));
    PumpDialog(dialog.m_hWnd);
    EXPECT_EQ(Calls(), expected[i] ? std::vector<std::string>{expected[i]} : std::vector<std::string>{}) << i;
  }
  dialog.DestroyWindow();
  frame->DestroyWindow();
}

// Every PreTranslateMessage on the way, named.
class Walker : public CWnd {
 public:
  explicit Walker(std::string name, BOOL consume = FALSE) : name_(std::move(name)), consume_(consume) {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) Called(name_);
    return consume_;
  }
  void OnKeyDown(UINT, UINT, UINT) { Called(name_ + " WM_KEYDOWN"); }
  DECLARE_MESSAGE_MAP()

 private:
  std::string name_;
  BOOL consume_;
};

BEGIN_MESSAGE_MAP(Walker, CWnd)
  ON_WM_KEYDOWN()
END_MESSAGE_MAP()

class WalkFrame : public CFrameWnd {
 public:
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) Called("frame");
    return FALSE;
  }
};

class WalkApp : public CWinApp {
 public:
  BOOL PreTranslateMessage(MSG* msg) override {
    if (CWinApp::PreTranslateMessage(msg)) return TRUE;
    if (msg->message == WM_KEYDOWN) Called("app");
    return FALSE;
  }
};

TEST_F(Routing, PreTranslateWalksFromTheFocusToTheTopLevelThenTheApplication) {
  struct Case {
    const char* name;
    bool popupOwned;  // the focus is in a top-level popup the frame owns
    BOOL viewConsumes;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"in the frame", false, FALSE, {"field", "view", "frame", "app", "field WM_KEYDOWN"}},
      {"taken on the way", false, TRUE, {"field", "view"}},
      {"in an owned popup", true, FALSE, {"field", "view", "frame", "app", "field WM_KEYDOWN"}},
  };
  for (const Case& c : cases) {
    WalkApp app;
    auto* frame = new WalkFrame;
    ASSERT_TRUE(frame->Create(nullptr, L"フレーム", WS_POPUP | WS_VISIBLE));
    app.m_pMainWnd = frame;
    Walker view("view", c.viewConsumes), field("field");
    if (c.popupOwned) {
      ASSERT_TRUE(view.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 200), frame, 0));
    } else {
      ASSERT_TRUE(view.Create(nullptr, L"", WS_VISIBLE, CRect(0, 0, 200, 200), frame, 1));
    }
    ASSERT_TRUE(field.Create(nullptr, L"", WS_VISIBLE, CRect(0, 0, 100, 40), &view, 2));
    field.SetFocus();
    Pump();
    Calls().clear();
    qv::seams::InjectKey(VK_DOWN, true);
    ASSERT_TRUE(app.PumpMessage());
    EXPECT_EQ(Calls(), c.calls) << c.name;
    qv::seams::InjectKey(VK_DOWN, false);
    Pump();
    view.DestroyWindow();
    app.m_pMainWnd = nullptr;
    frame->DestroyWindow();
  }
}

class ClassFrame : public CFrameWnd {
 public:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override {
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, L"QvSampleFrame", &wc)) {
      wc.lpfnWndProc = DefWindowProcW;
      wc.lpszClassName = L"QvSampleFrame";
      RegisterClassW(&wc);
    }
    cs.lpszClass = L"QvSampleFrame";
    cs.style = WS_POPUP | WS_VISIBLE;
    return CFrameWnd::PreCreateWindow(cs);
  }
  int OnCreate(LPCREATESTRUCT cs) {
    Called("OnCreate");
    return CFrameWnd::OnCreate(cs);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ClassFrame, CFrameWnd)
  ON_WM_CREATE()
END_MESSAGE_MAP()

TEST_F(Routing, AFrameIsMadeUnderTheWceCopyOfItsClassAndSeesItsCreation) {
  auto* frame = new ClassFrame;
  ASSERT_TRUE(frame->LoadFrame(128));
  EXPECT_EQ(qv::seams::ReadWindow(frame->m_hWnd).className, L"WCE_QvSampleFrame");
  EXPECT_EQ(Calls(), std::vector<std::string>{"OnCreate"});
  EXPECT_EQ(CWnd::FindWindow(L"WCE_QvSampleFrame", nullptr), frame);
  HWND hwnd = frame->m_hWnd;
  frame->DestroyWindow();  // and the frame deletes itself
  EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
}

TEST_F(Routing, SubclassingAttachesAndUnsubclassingGivesTheWindowBack) {
  ParentWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 400), nullptr, 0));
  HWND button = CreateWindowExW(0, WC_BUTTON, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, parent.m_hWnd,
                                reinterpret_cast<HMENU>(kButton), nullptr, nullptr);
  const auto original = GetWindowLongW(button, GWL_WNDPROC);
  CWnd* temporary = CWnd::FromHandle(button);
  EXPECT_EQ(CWnd::FromHandlePermanent(button), nullptr);
  ReflectingButton control;
  ASSERT_TRUE(control.SubclassDlgItem(kButton, &parent));
  EXPECT_NE(CWnd::FromHandle(button), temporary);
  EXPECT_EQ(CWnd::FromHandle(button), &control);
  EXPECT_FALSE(ReflectingButton().SubclassWindow(button));  // one object per window
  EXPECT_EQ(control.UnsubclassWindow(), button);
  EXPECT_EQ(GetWindowLongW(button, GWL_WNDPROC), original);
  EXPECT_EQ(CWnd::FromHandlePermanent(button), nullptr);
  parent.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
