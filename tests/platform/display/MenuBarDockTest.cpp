// The soft-key bar on the desktop display: a full-screen dialog with a list
// laid down to its client's bottom shows the whole list above the bar, and
// the bar stays along the screen's bottom edge whenever the rotate key turns
// the screen. The screens are kept as display-menubar-portrait.png and
// display-menubar-landscape.png in the build folder.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/kernel/Library.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellUi.h"
#include "platform/gdi/Surface.h"
#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::CurrentHandler;
using qv::test::DisplayTest;
using qv::test::XPicture;

constexpr COLORREF kPaper = RGB(255, 250, 235);
constexpr COLORREF kRows = RGB(220, 230, 255);
constexpr COLORREF kLastRow = RGB(200, 40, 40);  // the list's bottom row
constexpr COLORREF kBar = RGB(30, 90, 60);
constexpr int kListTop = 60;
constexpr int kRowHeight = 40;

DWORD Rgb(COLORREF c) { return qv::gdi::PixelOf(c) & 0xFFFFFFu; }

void Fill(HDC dc, RECT r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

class MenuBarDock : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (IsSkipped()) return;
    const char* bin = std::getenv("QV_BINARY_DIR");
    ASSERT_NE(bin, nullptr);
    ::setenv("QVMAIL_LIBRARY_PATH", (std::string(bin) + "/tests").c_str(), 1);
    res_ = LoadLibraryW(L"QvResSample.dll");
    ASSERT_NE(res_, nullptr);
    // The dialog lays its list down to its client's bottom on every size;
    // the list's rows end with a red one at its very bottom.
    CurrentHandler() = [this](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
      if (m == WM_SIZE && h == dialog_ && list_) {
        RECT client{};
        GetClientRect(dialog_, &client);
        MoveWindow(list_, 0, kListTop, client.right, client.bottom - kListTop, TRUE);
        return 0;
      }
      if (m == WM_COMMAND && h == dialog_) {
        commands_.push_back(LOWORD(w));
        return 0;
      }
      if (m != WM_PAINT) return std::nullopt;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT client{};
      GetClientRect(h, &client);
      if (h == list_) {
        for (int y = 0; y < client.bottom; y += kRowHeight) Fill(dc, {0, y, client.right, y + kRowHeight - 2}, kRows);
        Fill(dc, {0, client.bottom - 10, client.right, client.bottom}, kLastRow);
      } else {
        Fill(dc, client, kPaper);
      }
      EndPaint(h, &ps);
      return 0;
    };
    dialog_ = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 200});
    list_ = Make(WS_CHILD | WS_VISIBLE, dialog_, {0, kListTop, 200, 100}, 1);
    SHINITDLGINFO init{SHIDIM_FLAGS, dialog_, SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&init));
    SHMENUBARINFO info{sizeof info, dialog_, SHCMBF_HMENU | SHCMBF_COLORBK, 140, res_, 0, 0, nullptr, kBar};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    bar_ = info.hwndMB;
    SetForegroundWindow(dialog_);
    SetFocus(list_);
  }
  void TearDown() override {
    if (!IsSkipped()) qv::ui::SetOrientation(qv::ui::Orientation::Portrait);
    if (res_) FreeLibrary(res_);
    DisplayTest::TearDown();
  }

  void Rotate() {
    Key(SDL_KEYDOWN, qv::display::kRotateKey);
    Key(SDL_KEYUP, qv::display::kRotateKey);
    Pump();
  }

  // The bar along the screen's bottom, on screen and on the X server; the
  // list's bottom row above it, whole.
  void ExpectDocked(const char* when) {
    SCOPED_TRACE(when);
    const auto screen = qv::ui::CurrentProfile();
    const int barTop = screen.height - qv::shell::kMenuBarHeight;
    RECT bar{};
    GetWindowRect(bar_, &bar);
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.top, barTop);
    EXPECT_EQ(bar.right, screen.width);
    EXPECT_EQ(bar.bottom, screen.height);
    EXPECT_TRUE(IsWindowVisible(bar_));
    RECT client{};
    GetClientRect(dialog_, &client);
    POINT corner{client.right, client.bottom};
    ClientToScreen(dialog_, &corner);
    EXPECT_EQ(corner.x, screen.width) << "the dialog takes the screen's width";
    EXPECT_EQ(corner.y, barTop) << "the dialog ends where the bar begins";
    RECT list{};
    GetWindowRect(list_, &list);
    EXPECT_EQ(list.bottom, barTop);

    const XPicture shown = Grab();
    ASSERT_EQ(shown.width, screen.width);
    ASSERT_EQ(shown.height, screen.height);
    for (int x : {1, screen.width / 2, screen.width - 2}) {
      EXPECT_EQ(shown.At(x, barTop - 1), Rgb(kLastRow)) << "the list's last row, x " << x;
      EXPECT_EQ(shown.At(x, barTop - 10), Rgb(kLastRow)) << "the list's last row, x " << x;
    }
    for (int x : {0, screen.width - 1}) {
      EXPECT_EQ(shown.At(x, barTop), Rgb(kBar)) << "the bar's top edge, x " << x;
      EXPECT_EQ(shown.At(x, screen.height - 1), Rgb(kBar)) << "the bar's bottom edge, x " << x;
    }
  }

  HMODULE res_ = nullptr;
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
  HWND bar_ = nullptr;
  std::vector<WPARAM> commands_;
};

TEST_F(MenuBarDock, AFullScreenDialogsListEndsAboveTheBarUprightAndTurned) {
  Pump();
  ExpectDocked("portrait");
  ASSERT_TRUE(qv::seams::SaveScreenPng(OutputPath("display-menubar-portrait.png")));

  Rotate();
  ASSERT_EQ(qv::ui::CurrentProfile().orientation, qv::ui::Orientation::Landscape);
  ExpectDocked("landscape");
  ASSERT_TRUE(qv::seams::SaveScreenPng(OutputPath("display-menubar-landscape.png")));

  Rotate();
  ASSERT_EQ(qv::ui::CurrentProfile().orientation, qv::ui::Orientation::Portrait);
  ExpectDocked("portrait again");
}

// The bar follows its window: moved, it docks again; hidden and shown, it
// goes and comes with it; the window's own tap on the bar still reaches it.
TEST_F(MenuBarDock, TheBarFollowsItsWindowAndItsButtonsAnswerTheStylus) {
  Pump();
  MoveWindow(dialog_, 0, 0, 300, 400, TRUE);
  RECT bar{};
  GetWindowRect(bar_, &bar);
  EXPECT_EQ(bar.top, 800 - qv::shell::kMenuBarHeight);
  EXPECT_EQ(bar.right, 480);
  ShowWindow(dialog_, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(bar_));
  ShowWindow(dialog_, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(bar_));
  EXPECT_EQ(SHFindMenuBar(list_), bar_);
  Pump();

  // A tap on the right-hand button ("終了") sends its command to the dialog.
  Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 400, 800 - qv::shell::kMenuBarHeight / 2);
  Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 400, 800 - qv::shell::kMenuBarHeight / 2);
  Pump();
  EXPECT_EQ(commands_, std::vector<WPARAM>{40003});
}

}  // namespace
