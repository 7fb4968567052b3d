// The file browser over a folder of 1,000 pictures in the SDL2 window on
// the tests' own X server: the visible items' thumbnails come in, the X
// server shows the in-memory screen pixel for pixel, and both pictures are
// kept in the build folder (display-filebrowser.png from the X server,
// app-filebrowser.png from the screen).
#include <algorithm>

#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "tests/app/display/ProgramDisplayTest.h"

namespace qv::test {
namespace {

using FileBrowserDisplayTest = ProgramDisplayTest;

// A picture of its own colour per index, with a darker band across.
Bytes Picture(int i) {
  Pixels p;
  p.width = 96 + i % 3 * 16;
  p.height = 72;
  const DWORD colour = 0xFF000000u | static_cast<DWORD>((i * 53 % 256) << 16 | (i * 97 % 256) << 8 | (i * 151 % 256));
  p.argb.assign(static_cast<size_t>(p.width) * p.height, colour);
  for (UINT y = 30; y < 42; ++y) {
    for (UINT x = 0; x < p.width; ++x) p.At(x, y) = 0xFF202020u;
  }
  return i % 2 ? MakePng(p, PngKind::Rgb) : MakeJpeg(p);
}

TEST_F(FileBrowserDisplayTest, AThousandPicturesInTheWindow) {
  CreateDirectoryW(L"\\Pictures", nullptr);
  for (int i = 0; i < 1000; ++i) {
    const Bytes bytes = Picture(i);
    std::ofstream(Host("Pictures/photo" + std::to_string(1000 + i) + (i % 2 ? ".png" : ".jpg")), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  WCHAR file[MAX_PATH] = {};
  OPENFILENAMEW request{};
  request.lStructSize = sizeof(request);
  request.hwndOwner = frame_->m_hWnd;
  request.lpstrFilter = L"画像ファイル (*.bmp,*.jpg,*.gif,*png)\0*.bmp;*.jpg;*.jpeg;*.gif;*.png\0";
  request.lpstrFile = file;
  request.nMaxFile = MAX_PATH;
  request.lpstrInitialDir = L"\\Pictures";
  request.lpstrTitle = L"画像選択";
  QvFileBrowser browser(&request);
  int items = 0, drawn = 0;
  Script() = {[&] {
    HWND list = GetDlgItem(browser.Window(), QvFileBrowser::kList);
    items = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    RECT client{};
    GetClientRect(list, &client);
    int visible = 0;
    for (int i = 0; i < items; ++i) {
      RECT r{};
      r.left = LVIR_BOUNDS;
      SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
      RECT overlap{};
      visible += IntersectRect(&overlap, &r, &client) ? 1 : 0;
    }
    // Real time while the loader decodes (one notice per picture the first
    // paint asked for); the UI clock then lets the browser take them.
    const auto notices = [&] {
      size_t n = 0;
      for (UINT m : log_.MessagesOf(browser.Window())) n += m == WM_USER ? 1 : 0;
      return n;
    };
    MSG msg;
    while (notices() < static_cast<size_t>(visible) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    qv::seams::AdvanceUiClock(QvFileBrowser::kTimerDelay);
    qv::seams::PumpMessages();
    // Pictures drawn whole: frames that show their own picture's colour at
    // its middle and near both of its sides.
    for (int i = 0; i < visible; ++i) {
      RECT r{};
      r.left = LVIR_ICON;
      SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
      const int middle = (r.left + r.right) / 2, half = std::min(96 + i % 3 * 16, 120) / 2;
      const DWORD want = 0xFF000000u | static_cast<DWORD>((i * 53 % 256) << 16 | (i * 97 % 256) << 8 | (i * 151 % 256));
      int shown = 0;
      for (int x : {middle - half + 2, middle, middle + half - 3}) {
        POINT p{x, r.top + 4 + 61 - 20};  // above the band
        ClientToScreen(list, &p);
        const DWORD got = qv::ui::ScreenSurface()->Row(p.y)[p.x];
        shown += ColorDistance(0xFF000000u | got, want) < 40 ? 1 : 0;
      }
      drawn += shown == 3 ? 1 : 0;
    }
    EXPECT_TRUE(qv::seams::SaveScreenPng(OutputPath("app-filebrowser.png")));
    Capture();
    browser.EndBrowse(IDCANCEL);
  }};
  EXPECT_EQ(browser.DoModal(QvFileBrowser::kOpen), IDCANCEL);
  EXPECT_EQ(items, 1000);
  EXPECT_GE(drawn, 6) << "the visible pictures are drawn as thumbnails";
  ExpectShownAndKeep("display-filebrowser.png");
}

}  // namespace
}  // namespace qv::test
