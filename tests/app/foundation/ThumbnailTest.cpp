// The file browser's thumbnails: the queue and its limit, the sizes, the
// decoding through the Imaging component, the loader's thread and its stop,
// and the least-recently-used caches.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/foundation/KeyedCache.h"
#include "app/foundation/Thumbnails.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/TestImages.h"

namespace {

using qv::test::Pixels;

int g_notices = 0;

LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && wParam == 0 && lParam == 0) {
    ++g_notices;
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

Pixels Solid(UINT width, UINT height, DWORD argb) {
  Pixels p;
  p.width = width;
  p.height = height;
  p.argb.assign(static_cast<size_t>(width) * height, argb);
  return p;
}

class ThumbnailTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = L"WCE_QvThumbnailTest";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    g_notices = 0;
  }
  void TearDown() override {
    DestroyWindow(window_);
    DeviceRootTest::TearDown();
  }

  // A picture file in the device root, by its device path.
  std::wstring Picture(const std::string& name, const Pixels& pixels) {
    const qv::test::Bytes png = qv::test::MakePng(pixels, qv::test::PngKind::Rgba);
    WriteHost(name, std::string(png.begin(), png.end()));
    return L"\\" + std::wstring(name.begin(), name.end());
  }
  // Dispatches until `count` notices came (real time: decoding runs on the loader's thread).
  void AwaitNotices(int count) {
    MSG msg;
    while (g_notices < count && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }
  static COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
  }

  HWND window_ = nullptr;
};

TEST(ThumbnailSizeTest, LongerSideFitsTheBox) {
  struct Case {
    UINT w, h, box;
    LONG cx, cy;
  } cases[] = {
      {640, 480, 64, 64, 48}, {480, 640, 64, 48, 64}, {30, 20, 64, 30, 20},
      {64, 64, 64, 64, 64},   {65, 10, 64, 64, 9},    {1, 1000, 64, 0, 64},
  };
  for (const Case& c : cases) {
    const SIZE s = ThumbnailSize(c.w, c.h, c.box);
    EXPECT_EQ(s.cx, c.cx) << c.w << "x" << c.h;
    EXPECT_EQ(s.cy, c.cy) << c.w << "x" << c.h;
  }
}

TEST_F(ThumbnailTest, DecodesOnTheThreadAndTellsTheWindowEachTime) {
  const std::wstring red = Picture("red.png", Solid(640, 480, 0xFFFF0000u));
  const std::wstring blue = Picture("blue.png", Solid(30, 20, 0xFF0000FFu));
  ThumbnailLoader loader;
  ASSERT_TRUE(loader.Start(window_, 64));
  EXPECT_TRUE(loader.Request(1, red));
  EXPECT_TRUE(loader.Request(1, red));  // queued once
  EXPECT_TRUE(loader.Request(2, blue));
  EXPECT_TRUE(loader.Request(3, L"\\missing.jpg"));
  AwaitNotices(3);

  std::vector<ThumbnailEntry> done;
  ThumbnailEntry e;
  while (loader.TakeDone(&e)) done.push_back(e);
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[0].itemId, 1);
  EXPECT_EQ(done[0].width, 64);
  EXPECT_EQ(done[0].height, 48);
  EXPECT_EQ(PixelOf(done[0].bitmap, 10, 10), RGB(255, 0, 0));
  EXPECT_EQ(done[1].width, 30);
  EXPECT_EQ(PixelOf(done[1].bitmap, 29, 19), RGB(0, 0, 255));
  EXPECT_EQ(done[2].path, L"\\missing.jpg");  // a failure still finishes, without a bitmap
  EXPECT_EQ(done[2].bitmap, nullptr);
  for (const ThumbnailEntry& d : done) {
    if (d.bitmap) DeleteObject(d.bitmap);
  }

  // Taken entries are gone; a path already done is not decoded again.
  EXPECT_TRUE(loader.Request(2, blue));
  AwaitNotices(4);
  EXPECT_TRUE(loader.TakeDone(&e));
  DeleteObject(e.bitmap);
  loader.Stop();
}

// See-through pictures land on white.
TEST_F(ThumbnailTest, TransparentPixelsAreWhite) {
  Pixels p = Solid(8, 8, 0x00000000u);
  p.At(0, 0) = 0xFF00FF00u;
  const std::wstring path = Picture("clear.png", p);
  ThumbnailEntry e;
  HDC dc = GetDC(window_);
  ASSERT_TRUE(DecodeThumbnail(path, dc, 64, &e));
  ReleaseDC(window_, dc);
  EXPECT_EQ(PixelOf(e.bitmap, 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(e.bitmap, 5, 5), RGB(255, 255, 255));
  DeleteObject(e.bitmap);
}

// Requests and finished thumbnails together are cut to 32 before a new
// request: the oldest finished ones go first.
TEST_F(ThumbnailTest, FinishedThumbnailsGiveWayOldestFirst) {
  const std::wstring pic = Picture("p.png", Solid(4, 4, 0xFF123456u));
  std::vector<std::wstring> paths;
  for (int i = 0; i < 34; ++i) {
    paths.push_back(L"\\copy" + std::to_wstring(i) + L".png");
    CopyFileW(pic.c_str(), paths.back().c_str(), FALSE);
  }
  ThumbnailLoader loader;
  ASSERT_TRUE(loader.Start(window_, 64));
  for (int i = 0; i < 32; ++i) loader.Request(i, paths[i]);
  AwaitNotices(32);
  loader.Request(32, paths[32]);  // 32 done: none dropped
  AwaitNotices(33);
  loader.Request(33, paths[33]);  // 33 done: the oldest goes
  AwaitNotices(34);
  std::vector<int> ids;
  ThumbnailEntry e;
  while (loader.TakeDone(&e)) {
    ids.push_back(e.itemId);
    DeleteObject(e.bitmap);
  }
  ASSERT_EQ(ids.size(), 33u);
  EXPECT_EQ(ids.front(), 1);
  EXPECT_EQ(ids.back(), 33);
}

// A loader destroyed while its thread decodes is never freed under it: the
// thread finishes with state of its own (ASan would see a use after free).
TEST_F(ThumbnailTest, DestroyedWhileDecoding) {
  const std::wstring big = Picture("big.png", Solid(2000, 1500, 0xFF808080u));
  for (int round = 0; round < 3; ++round) {
    auto loader = std::make_unique<ThumbnailLoader>();
    ASSERT_TRUE(loader->Start(window_, 64));
    loader->Request(1, big);
    loader.reset();  // stops: waits for the picture being decoded
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(KeyedCacheTest, LeastRecentlyUsedGoesAndEveryValueIsFreed) {
  static std::vector<int> freed;
  freed.clear();
  {
    KeyedCache<int> cache(3, [](const int& v) { freed.push_back(v); });
    cache.Put(L"a", 1);
    cache.Put(L"b", 2);
    cache.Put(L"c", 3);
    int v = 0;
    EXPECT_TRUE(cache.Get(L"a", &v));  // a becomes the most recent
    EXPECT_EQ(v, 1);
    cache.Put(L"d", 4);  // b was least recently used
    EXPECT_EQ(freed, std::vector<int>{2});
    cache.Put(L"c", 30);  // an existing key frees its old value, evicts nothing
    EXPECT_EQ(freed, (std::vector<int>{2, 3}));
    EXPECT_EQ(cache.Size(), 3u);
    EXPECT_FALSE(cache.Get(L"b", &v));
  }
  std::multiset<int> rest(freed.begin() + 2, freed.end());
  EXPECT_EQ(rest, (std::multiset<int>{1, 4, 30}));
}

}  // namespace
