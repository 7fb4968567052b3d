// The file browser opened on a folder of 1,000 photos (320 x 240 JPEG) until
// every visible item shows its thumbnail on the screen, on the real clock
// (the browser takes finished thumbnails 200 ms after a paint settles),
// beside what the thumbnails cost at the least: the same visible photos
// decoded and scaled directly, one after another, on one thread.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "bench/BenchDeviceRoot.h"
#include "bench/BenchProgramRoot.h"
#include "platform/framework/AfxResource.h"
#include "platform/imaging/Imaging.h"
#include "platform/kernel/Library.h"
#include "platform/ui/window/Screen.h"

namespace {

constexpr int kPhotos = 1000;

DWORD ColourOf(int i) {
  return static_cast<DWORD>((i * 53 % 256) << 16 | (i * 97 % 256) << 8 | (i * 151 % 256));
}

std::wstring PhotoPath(int i) { return L"\\Photos\\photo" + std::to_wstring(1000 + i) + L".jpg"; }

// The device root with the photos, and the program's resources.
struct Setting {
  BenchDeviceRoot root{"filebrowser"};
  HMODULE resources = nullptr;
  Setting() {
    CreateDirectoryW(L"\\Photos", nullptr);
    std::vector<DWORD> pixels(320 * 240);
    for (int i = 0; i < kPhotos; ++i) {
      std::fill(pixels.begin(), pixels.end(), ColourOf(i));
      BitmapData data{320, 240, 320 * 4, PixelFormat32bppRGB, pixels.data(), 0};
      qv::SaveJpegFile(data, PhotoPath(i).c_str(), 90);
    }
    resources = LoadBenchProgramResources();
  }
};

Setting& Set() {
  static Setting s;
  return s;
}

std::function<void()> g_idle;

LRESULT OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_ENTERIDLE && g_idle) {
    auto step = std::move(g_idle);
    g_idle = nullptr;
    step();
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

HWND MakeOwner() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = L"WCE_QvBenchBrowserOwner";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExW(0, L"WCE_QvBenchBrowserOwner", L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr,
                         nullptr, nullptr);
}

// The middle of item i's thumbnail frame, in the list's client area.
POINT FrameMiddle(HWND list, int i) {
  RECT r{};
  r.left = LVIR_ICON;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
  return {(r.left + r.right) / 2, r.top + 4 + 61};
}

// The items whose frame's middle lies on the screen.
int VisibleItems(HWND list) {
  RECT client{};
  GetClientRect(list, &client);
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  int visible = 0;
  while (visible < count && PtInRect(&client, FrameMiddle(list, visible))) ++visible;
  return visible;
}

// Whether item i's frame shows photo i (JPEG keeps the colour within a few steps).
bool Shown(HWND list, int i) {
  POINT p = FrameMiddle(list, i);
  ClientToScreen(list, &p);
  const DWORD got = qv::ui::ScreenSurface()->Row(p.y)[p.x];
  const DWORD want = ColourOf(i);
  int distance = 0;
  for (int shift : {0, 8, 16}) distance += std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF));
  return distance < 24;
}

void BM_BrowserOpensPhotosUntilThumbnailsShown(benchmark::State& state) {
  Set();
  HWND owner = MakeOwner();
  int visible = 0;
  for (auto _ : state) {
    WCHAR file[MAX_PATH] = {};
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrInitialDir = L"\\Photos";
    request.lpstrFilter = L"画像\0*.jpg\0";
    QvFileBrowser browser(&request);
    g_idle = [&] {
      HWND list = GetDlgItem(browser.Window(), QvFileBrowser::kList);
      visible = VisibleItems(list);
      for (int next = 0; next < visible;) {
        if (Shown(list, next)) {
          ++next;
          continue;
        }
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        DispatchMessageW(&msg);
      }
      browser.EndBrowse(IDCANCEL);
    };
    browser.DoModal(QvFileBrowser::kOpen);
  }
  state.counters["thumbnails"] = visible;
  DestroyWindow(owner);
}
BENCHMARK(BM_BrowserOpensPhotosUntilThumbnailsShown)->Unit(benchmark::kMillisecond)->UseRealTime();

// The least the same thumbnails cost: decoded and scaled one after another.
void BM_SameThumbnailsDecodedDirectly(benchmark::State& state) {
  Set();
  const int count = static_cast<int>(state.range(0));
  HDC dc = GetDC(nullptr);
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      ThumbnailEntry e;
      if (DecodeThumbnail(PhotoPath(i), dc, QvFileBrowser::kThumbnailBox, &e)) DeleteObject(e.bitmap);
    }
  }
  ReleaseDC(nullptr, dc);
  state.counters["thumbnails"] = count;
}
BENCHMARK(BM_SameThumbnailsDecodedDirectly)->Arg(9)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
