// What the display shows: windows painted with Japanese text and shapes,
// presented, and read back from the X server pixel for pixel against the
// in-memory screen, upright and turned. The pictures are kept in the build
// folder as display-portrait.png and display-landscape.png.
#include <cwchar>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/imaging/Imaging.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::CurrentHandler;
using qv::test::DisplayTest;
using qv::test::XPicture;

constexpr COLORREF kTitleBlue = RGB(0, 60, 140);
constexpr COLORREF kPaper = RGB(255, 250, 235);
constexpr COLORREF kLeaf = RGB(150, 220, 150);
constexpr COLORREF kBand = RGB(220, 230, 255);

HFONT Gothic(LONG height, LONG weight = FW_NORMAL) {
  LOGFONTW lf{};
  lf.lfHeight = -height;
  lf.lfWeight = weight;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wcsncpy(lf.lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

void Fill(HDC dc, RECT r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

// The main window: a title bar, a list of mail and a leaf-green mark; its
// children paint themselves (a band and a note), all sized to the client.
void PaintMain(HWND hwnd, HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  Fill(dc, client, kPaper);
  Fill(dc, {0, 0, client.right, 56}, kTitleBlue);
  SetBkMode(dc, TRANSPARENT);
  HFONT bold = Gothic(27, FW_BOLD);
  HGDIOBJ old = SelectObject(dc, bold);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT title{0, 0, client.right, 56};
  DrawTextW(dc, L"受信トレイ (3)", -1, &title, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  HFONT regular = Gothic(24);
  SelectObject(dc, regular);
  SetTextColor(dc, RGB(0, 0, 0));
  const wchar_t* lines[] = {L"山田太郎　会議の資料について", L"鈴木花子　Re: 明日の予定", L"お知らせ　新着メール３件"};
  int y = 70;
  for (const wchar_t* line : lines) {
    TextOutW(dc, 16, y, line, static_cast<int>(std::wcslen(line)));
    MoveToEx(dc, 8, y + 36, nullptr);
    LineTo(dc, client.right - 8, y + 36);
    y += 44;
  }
  SelectObject(dc, old);
  DeleteObject(regular);
  DeleteObject(bold);
  HBRUSH leaf = CreateSolidBrush(kLeaf);
  HPEN outline = CreatePen(PS_SOLID, 2, RGB(0, 100, 0));
  HGDIOBJ oldBrush = SelectObject(dc, leaf);
  HGDIOBJ oldPen = SelectObject(dc, outline);
  Ellipse(dc, client.right - 130, 220, client.right - 20, 330);
  Rectangle(dc, 20, 220, 160, 300);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(outline);
  DeleteObject(leaf);
}

void PaintChild(HWND hwnd, HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  Fill(dc, client, kBand);
  HFONT font = Gothic(20);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(160, 0, 0));
  DrawTextW(dc, L"メニュー　　新規作成", -1, &client, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteObject(font);
}

class ScreenPictures : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (IsSkipped()) return;
    CurrentHandler() = [this](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (m != WM_PAINT) return std::nullopt;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      if (h == main_) PaintMain(h, dc);
      else PaintChild(h, dc);
      EndPaint(h, &ps);
      return 0;
    };
    main_ = Make(WS_POPUP | WS_VISIBLE);
    band_ = Make(WS_CHILD | WS_VISIBLE, main_, {0, 720, 480, 800}, 1);
    note_ = Make(WS_CHILD | WS_VISIBLE, main_, {240, 400, 460, 460}, 2);
  }

  // The X server shows exactly the in-memory screen; the first difference otherwise.
  static std::string Compare(const XPicture& shown) {
    const auto screen = qv::ui::ScreenSurface();
    if (shown.width != screen->Width() || shown.height != screen->Height()) {
      return "window " + std::to_string(shown.width) + "x" + std::to_string(shown.height) + ", screen " +
             std::to_string(screen->Width()) + "x" + std::to_string(screen->Height());
    }
    for (int y = 0; y < shown.height; ++y) {
      for (int x = 0; x < shown.width; ++x) {
        const DWORD want = screen->Row(y)[x] & 0xFFFFFFu;
        if (shown.At(x, y) != want) {
          char b[96];
          std::snprintf(b, sizeof b, "(%d,%d): shown %06x, screen %06x", x, y, shown.At(x, y), want);
          return b;
        }
      }
    }
    return "";
  }

  // Colours the picture must hold where the windows painted them.
  static void ExpectPainted(const XPicture& shown, RECT noteOnScreen) {
    auto rgb = [](COLORREF c) { return qv::gdi::PixelOf(c) & 0xFFFFFFu; };
    EXPECT_EQ(shown.At(5, 5), rgb(kTitleBlue));
    EXPECT_EQ(shown.At(90, 260), rgb(kLeaf));  // inside the rectangle
    EXPECT_EQ(shown.At(noteOnScreen.left + 3, noteOnScreen.top + 3), rgb(kBand));
    std::set<DWORD> colours(shown.pixels.begin(), shown.pixels.end());
    EXPECT_GT(colours.size(), 20u) << "text drawn with FreeType has many shades";
  }

  // The PNG holds the very pixels of the screen.
  static void SaveAndCheck(const std::string& name) {
    const std::string path = OutputPath(name);
    ASSERT_TRUE(qv::seams::SaveScreenPng(path)) << path;
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    qv::Image image;
    ASSERT_TRUE(image.LoadMemory(bytes.data(), bytes.size()));
    qv::Bitmap decoded;
    ASSERT_TRUE(image.Decode(&decoded));
    const auto screen = qv::ui::ScreenSurface();
    ASSERT_EQ(static_cast<int>(decoded.Width()), screen->Width());
    ASSERT_EQ(static_cast<int>(decoded.Height()), screen->Height());
    for (int y = 0; y < screen->Height(); ++y) {
      for (int x = 0; x < screen->Width(); ++x) {
        ASSERT_EQ(decoded.Pixel(x, y), 0xFF000000u | (screen->Row(y)[x] & 0xFFFFFFu)) << x << "," << y;
      }
    }
  }

  HWND main_ = nullptr;
  HWND band_ = nullptr;
  HWND note_ = nullptr;
};

TEST_F(ScreenPictures, TheWindowShowsTheScreenUprightAndTurned) {
  Pump();
  XPicture shown = Grab();
  EXPECT_EQ(Compare(shown), "");
  ExpectPainted(shown, {240, 400, 460, 460});
  SaveAndCheck("display-portrait.png");

  // Turned by its key: the main window follows the screen and repaints,
  // the window turns with it.
  Key(SDL_KEYDOWN, qv::display::kRotateKey);
  Key(SDL_KEYUP, qv::display::kRotateKey);
  Pump();
  ASSERT_EQ(qv::ui::CurrentProfile().orientation, qv::ui::Orientation::Landscape);
  MoveWindow(band_, 500, 80, 280, 80, TRUE);
  Pump();
  shown = Grab();
  EXPECT_EQ(shown.width, 800);
  EXPECT_EQ(shown.height, 480);
  EXPECT_EQ(Compare(shown), "");
  ExpectPainted(shown, {240, 400, 460, 460});
  SaveAndCheck("display-landscape.png");
}

// Only what changed is presented again, and a change always is.
TEST_F(ScreenPictures, ARepaintReachesTheWindow) {
  Pump();
  EXPECT_EQ(Compare(Grab()), "");
  CurrentHandler() = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT client;
    GetClientRect(h, &client);
    Fill(dc, client, RGB(10, 20, 30));
    EndPaint(h, &ps);
    return 0;
  };
  InvalidateRect(note_, nullptr, TRUE);
  Pump();
  const XPicture shown = Grab();
  EXPECT_EQ(Compare(shown), "");
  EXPECT_EQ(shown.At(250, 410), 0x0A141Eu);
  EXPECT_EQ(shown.At(5, 5), qv::gdi::PixelOf(kTitleBlue) & 0xFFFFFFu);  // untouched
}

}  // namespace
