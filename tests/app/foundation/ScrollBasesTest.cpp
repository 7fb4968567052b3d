// The scroll dialog and scroll page bases: a dialog three pages tall driven
// by scroll codes, wheel turns and Tab, its children moving with the bar; a
// page in a sheet whose children fit. The dialog scrolled half-way is kept
// as scroll-dialog.png in the build folder.
#include <string>

#include "app/foundation/QvScrollDlg.h"
#include "app/foundation/QvScrollPage.h"
#include "app/foundation/ScrollSupport.h"
#include "platform/framework/CPropertySheet.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

constexpr int kFields = 12;
constexpr int kFieldTop = 20, kFieldStep = 170, kFieldHeight = 150;
constexpr int kClient = 800;
constexpr int kContent = kFieldTop + (kFields - 1) * kFieldStep + kFieldHeight;  // 2040
constexpr int kLimit = kContent - kClient;                                      // 1240

class CountingDlg : public QvScrollDlg {
 public:
  void OnCancel() override { ++cancels; }
  void EndOk() override { ++oks; }
  int cancels = 0, oks = 0;
};

class ScrollBases : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    DialogTemplate t;
    t.style = WS_POPUP | WS_VISIBLE | DS_SETFONT;
    t.box = {0, 0, 60, 40};
    units_ = t.Build();
    ASSERT_TRUE(dialog_.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(units_.data())));
    for (int i = 0; i < kFields; ++i) {
      const std::wstring text = L"欄 " + std::to_wstring(i + 1);
      fields_[i] = CreateWindowExW(0, L"Edit", text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 20,
                                   kFieldTop + i * kFieldStep, 420, kFieldHeight, dialog_.m_hWnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), nullptr, nullptr);
      ASSERT_NE(fields_[i], nullptr);
    }
    dialog_.MoveWindow(0, 0, 480, kClient);  // WM_SIZE sets the range from the children
  }
  void TearDown() override {
    dialog_.DestroyWindow();
    FrameworkTest::TearDown();
  }
  static void Run() { RunThroughFilter(); }
  void Scroll(int code, int position = 0) {
    dialog_.SendMessage(WM_VSCROLL, MAKEWPARAM(code, static_cast<WORD>(position)), 0);
  }
  int FieldTop(int i) const {
    RECT r{};
    ::GetWindowRect(fields_[i], &r);
    ::MapWindowPoints(nullptr, dialog_.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    return r.top;
  }
  int Position() const { return ::GetScrollPos(dialog_.m_hWnd, SB_VERT); }

  std::vector<DWORD> units_;
  CountingDlg dialog_;
  HWND fields_[kFields]{};
};

TEST_F(ScrollBases, CodesAndWheelMoveTheBarAndTheChildrenWithinTheLimits) {
  SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(::GetScrollInfo(dialog_.m_hWnd, SB_VERT, &info));
  EXPECT_EQ(info.nMax, kContent);
  EXPECT_EQ(info.nPage, static_cast<UINT>(kClient + 1));
  constexpr int kWheel = -1;  // marks a wheel case; `arg` is the delta
  struct Case {
    int start, code, arg, want;
  } cases[] = {
      {0, SB_LINEDOWN, 0, 10},
      {0, SB_LINEUP, 0, 0},
      {100, SB_LINEUP, 0, 90},
      {kLimit - 5, SB_LINEDOWN, 0, kLimit},
      {0, SB_PAGEDOWN, 0, 30},
      {20, SB_PAGEUP, 0, 0},
      {kLimit - 10, SB_PAGEDOWN, 0, kLimit},
      {0, SB_BOTTOM, 0, kLimit},  // the last page, where the thumb stops too
      {500, SB_TOP, 0, 0},
      {100, SB_ENDSCROLL, 0, 100},
      {0, SB_THUMBTRACK, 5000, kLimit},
      {300, SB_THUMBTRACK, -5, 0},
      {0, SB_THUMBPOSITION, 640, 640},
      {100, kWheel, -WHEEL_DELTA, 130},  // towards the user: contents up
      {100, kWheel, WHEEL_DELTA, 70},
      {10, kWheel, WHEEL_DELTA, 0},
      {kLimit - 1, kWheel, -WHEEL_DELTA, kLimit},
  };
  for (const Case& c : cases) {
    Scroll(SB_THUMBPOSITION, c.start);
    if (c.code == kWheel) {
      qv::seams::InjectWheel({240, 400}, c.arg);
      Run();
    } else {
      Scroll(c.code, c.arg);
    }
    const std::string what = "from " + std::to_string(c.start) + " code " + std::to_string(c.code) + " arg " +
                             std::to_string(c.arg);
    EXPECT_EQ(Position(), c.want) << what;
    EXPECT_EQ(dialog_.ScrollOffset(), -c.want) << what;
    EXPECT_EQ(FieldTop(0), kFieldTop - c.want) << what;
    EXPECT_EQ(FieldTop(kFields - 1), kFieldTop + (kFields - 1) * kFieldStep - c.want) << what;
  }
}

TEST_F(ScrollBases, TabbingBelowTheClientScrollsTheFieldIntoViewAndGrowingPullsContentsDown) {
  ::SetFocus(fields_[3]);
  qv::seams::InjectKey(VK_TAB, true);
  qv::seams::InjectKey(VK_TAB, false);
  Run();
  ASSERT_EQ(::GetFocus(), fields_[4]);
  EXPECT_EQ(FieldTop(4) + kFieldHeight, kClient);  // its bottom on the client's bottom
  // Scrolled to the end, a taller window leaves no empty room below the last field.
  Scroll(SB_BOTTOM);
  ::SetFocus(fields_[kFields - 1]);
  dialog_.MoveWindow(0, 0, 480, kClient + 200);
  EXPECT_EQ(FieldTop(kFields - 1) + kFieldHeight, kClient + 200);
  EXPECT_EQ(Position(), kLimit - 200);
  EXPECT_EQ(dialog_.ScrollOffset(), -(kLimit - 200));
}

TEST_F(ScrollBases, EndOkAndDoneCommandsReachTheDialogsOperations) {
  dialog_.SendMessage(WM_COMMAND, kEndOkCommand, 0);
  dialog_.SendMessage(WM_COMMAND, kDoneCommand, 0);
  dialog_.SendMessage(WM_COMMAND, kDoneCommand, 0);
  EXPECT_EQ(dialog_.oks, 1);
  EXPECT_EQ(dialog_.cancels, 2);
}

TEST_F(ScrollBases, DialogScrolledHalfWayIsDrawn) {
  Scroll(SB_THUMBPOSITION, kLimit / 2);
  ::SetFocus(fields_[5]);
  Run();
  dialog_.UpdateWindow();
  EXPECT_EQ(Position(), kLimit / 2);
  EXPECT_TRUE(qv::seams::SaveScreenPng(BuildFile("scroll-dialog.png")));
}

TEST_F(ScrollBases, APageWhoseChildrenFitScrollsNothingAndDoneEndsTheSheet) {
  BoxApp app;
  auto* frame = new ScriptFrame;
  ASSERT_TRUE(frame->Create(nullptr, L"フレーム", WS_POPUP | WS_VISIBLE));
  app.m_pMainWnd = frame;
  DialogTemplate t;
  t.style = WS_CHILD | DS_SETFONT;
  t.box = {0, 0, 200, 120};
  t.controls.push_back({WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, {10, 10, 190, 30}, 100, L"Edit", L"名前"});
  const auto units = t.Build();
  QvScrollPage page(reinterpret_cast<LPCDLGTEMPLATEW>(units.data()));
  CPropertySheet sheet(L"設定");
  sheet.AddPage(&page);
  int positions[3] = {-1, -1, -1};
  Script() = {
      [&] {
        const int codes[3] = {SB_LINEDOWN, SB_PAGEDOWN, SB_BOTTOM};
        for (int i = 0; i < 3; ++i) {
          page.SendMessage(WM_VSCROLL, MAKEWPARAM(codes[i], 0), 0);
          positions[i] = page.ScrollOffset();
        }
      },
      [&] { page.SendMessage(WM_COMMAND, kDoneCommand, 0); },
  };
  EXPECT_EQ(sheet.DoModal(), QvScrollPage::kDoneResult);
  for (int p : positions) EXPECT_EQ(p, 0);
  frame->DestroyWindow();
}

}  // namespace
}  // namespace qv::test
