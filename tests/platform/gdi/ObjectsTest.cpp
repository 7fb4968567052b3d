// Handles and objects: stock objects, GetObject, deletion rules, device
// capabilities, resources, icons, image lists, and DCs on worker threads.
#include <thread>

#include "platform/gdi/DeviceCaps.h"
#include "platform/gdi/ImageList.h"
#include "platform/gdi/ResourceImages.h"
#include "platform/kernel/Library.h"
#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGray = RGB(128, 128, 128);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

TEST(GdiObjects, StockObjectsAndWhatGetObjectReports) {
  struct Case {
    int index;
    DWORD type;
    COLORREF color;
  } cases[] = {
      {WHITE_BRUSH, OBJ_BRUSH, RGB(255, 255, 255)}, {BLACK_BRUSH, OBJ_BRUSH, 0}, {LTGRAY_BRUSH, OBJ_BRUSH, RGB(192, 192, 192)},
      {WHITE_PEN, OBJ_PEN, RGB(255, 255, 255)},     {BLACK_PEN, OBJ_PEN, 0},     {SYSTEM_FONT, OBJ_FONT, 0},
      {DEFAULT_GUI_FONT, OBJ_FONT, 0},
  };
  for (const Case& k : cases) {
    HGDIOBJ o = GetStockObject(k.index);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(GetObjectType(o), k.type);
    if (k.type == OBJ_BRUSH) {
      LOGBRUSH lb{};
      ASSERT_EQ(GetObjectW(o, sizeof lb, &lb), static_cast<int>(sizeof lb));
      EXPECT_EQ(lb.lbColor, k.color);
    } else if (k.type == OBJ_PEN) {
      LOGPEN lp{};
      ASSERT_EQ(GetObjectW(o, sizeof lp, &lp), static_cast<int>(sizeof lp));
      EXPECT_EQ(lp.lopnColor, k.color);
    } else {
      LOGFONTW lf{};
      ASSERT_EQ(GetObjectW(o, sizeof lf, &lf), static_cast<int>(sizeof lf));
      EXPECT_STREQ(lf.lfFaceName, kPGothic);
    }
    // Deleting a stock object does nothing.
    EXPECT_TRUE(DeleteObject(o));
    EXPECT_EQ(GetObjectType(o), k.type);
  }
  LOGBRUSH lb{};
  GetObjectW(GetStockObject(NULL_BRUSH), sizeof lb, &lb);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_NULL));
  EXPECT_EQ(GetStockObject(99), nullptr);

  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetObjectType(brush), 0u);
}

TEST(GdiObjects, BitmapsBelongToOneDcAtATime) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(a);
  EXPECT_EQ(GetObjectType(a), static_cast<DWORD>(OBJ_MEMDC));
  HBITMAP bitmap = CreateCompatibleBitmap(a, 7, 5);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 7);
  EXPECT_EQ(bm.bmHeight, 5);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  HGDIOBJ first = SelectObject(a, bitmap);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), bitmap);
  EXPECT_EQ(SelectObject(b, bitmap), nullptr);  // already in a
  EXPECT_FALSE(DeleteObject(bitmap));           // still selected
  EXPECT_EQ(SelectObject(a, first), bitmap);
  EXPECT_NE(SelectObject(b, bitmap), nullptr);
  DeleteDC(b);  // lets the bitmap go
  EXPECT_TRUE(DeleteObject(bitmap));
  DeleteDC(a);
  EXPECT_EQ(GetObjectType(a), 0u);
}

TEST(GdiObjects, DeviceCapsFollowTheScreenProfile) {
  Canvas c(2, 2);
  struct Case {
    int index;
    int portrait;
    int landscape;
  } cases[] = {
      {LOGPIXELSX, 192, 192}, {LOGPIXELSY, 192, 192}, {HORZRES, 480, 800}, {VERTRES, 800, 480},
      {BITSPIXEL, 32, 32},    {PLANES, 1, 1},         {TECHNOLOGY, DT_RASDISPLAY, DT_RASDISPLAY},
  };
  for (bool landscape : {false, true}) {
    gdi::SetScreenSize(landscape ? 800 : 480, landscape ? 480 : 800);
    for (const Case& k : cases)
      EXPECT_EQ(GetDeviceCaps(c.dc(), k.index), landscape ? k.landscape : k.portrait) << k.index;
  }
  gdi::SetScreenSize(gdi::kPortraitWidth, gdi::kPortraitHeight);
}

// Two resources: bitmap 101 (2x1, red and blue) and icon 102 (2x2, one transparent corner).
class FakeResources : public gdi::ResourceImages {
 public:
  bool LoadBitmapPixels(HINSTANCE, LPCWSTR name, Bitmap* out) override {
    if (name != MAKEINTRESOURCEW(101)) return Fail();
    out->Create(2, 1);
    Set(out, 0, 0, 0xFFFF0000u);
    Set(out, 1, 0, 0x000000FFu);
    return true;
  }
  bool LoadIconPixels(HINSTANCE, LPCWSTR name, Bitmap* out) override {
    if (name != MAKEINTRESOURCEW(102)) return Fail();
    out->Create(2, 2);
    Set(out, 0, 0, 0x00000000u);
    Set(out, 1, 0, 0xFF00FF00u);
    Set(out, 0, 1, 0xFF00FF00u);
    Set(out, 1, 1, 0xFF00FF00u);
    return true;
  }

 private:
  static bool Fail() {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
  }
  static void Set(Bitmap* b, UINT x, UINT y, DWORD argb) {
    BYTE* p = b->Row(y) + x * 4;
    p[0] = static_cast<BYTE>(argb), p[1] = static_cast<BYTE>(argb >> 8), p[2] = static_cast<BYTE>(argb >> 16);
    p[3] = static_cast<BYTE>(argb >> 24);
  }
};

TEST(GdiObjects, BitmapsAndIconsLoadThroughTheResourceImages) {
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(101)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  FakeResources resources;
  gdi::SetResourceImages(&resources);
  HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(101));
  HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(102));
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(7)), nullptr);
  gdi::SetResourceImages(nullptr);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(icon, nullptr);
  Canvas c(6, 6, kGray);
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(c.dc(), 0, 0, 2, 1, source, 0, 0, SRCCOPY);
  EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(c.At(1, 0), RGB(0, 0, 255));  // bitmaps are opaque whatever their alpha
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(bitmap);
  ASSERT_TRUE(DrawIcon(c.dc(), 2, 2, icon));
  EXPECT_EQ(c.At(2, 2), kGray);
  EXPECT_EQ(c.At(3, 2), RGB(0, 255, 0));
  c.Clear(kGray);
  ASSERT_TRUE(DrawIconEx(c.dc(), 2, 2, icon, 4, 4, 0, nullptr, DI_NORMAL));  // stretched
  EXPECT_EQ(c.At(3, 3), kGray);
  EXPECT_EQ(c.At(4, 3), RGB(0, 255, 0));
  EXPECT_EQ(c.At(3, 4), RGB(0, 255, 0));
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
}

// A strip of `count` 4x4 images: image i is filled with colour i, with a
// magenta top-left pixel.
HBITMAP Strip(int count) {
  Canvas strip(4 * count, 4);
  for (int i = 0; i < count; ++i) {
    HBRUSH b = CreateSolidBrush(RGB(10 * (i + 1), 20, 30));
    RECT r{4 * i, 0, 4 * i + 4, 4};
    FillRect(strip.dc(), &r, b);
    DeleteObject(b);
    SetPixel(strip.dc(), 4 * i, 0, kMagenta);
  }
  HBITMAP copy = CreateCompatibleBitmap(nullptr, 4 * count, 4);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, copy);
  BitBlt(dc, 0, 0, 4 * count, 4, strip.dc(), 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteDC(dc);
  return copy;
}

TEST(GdiImageList, GrowsRemovesAndDrawsMaskedAndSelected) {
  HIMAGELIST list = ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 1, 1);
  ASSERT_NE(list, nullptr);
  HBITMAP three = Strip(3), two = Strip(2);
  EXPECT_EQ(ImageList_AddMasked(list, three, kMagenta), 0);
  EXPECT_EQ(ImageList_AddMasked(list, two, kMagenta), 3);  // grows past its first size
  EXPECT_EQ(ImageList_GetImageCount(list), 5);
  int w = 0, h = 0;
  ASSERT_TRUE(ImageList_GetIconSize(list, &w, &h));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 4);
  const COLORREF colors[] = {RGB(10, 20, 30), RGB(20, 20, 30), RGB(30, 20, 30), RGB(10, 20, 30), RGB(20, 20, 30)};
  Canvas c(8, 8, kGray);
  for (int i = 0; i < 5; ++i) {
    c.Clear(kGray);
    ASSERT_TRUE(ImageList_Draw(list, i, c.dc(), 2, 2, ILD_NORMAL));
    EXPECT_EQ(c.At(2, 2), kGray) << i;  // the masked pixel lets the background through
    EXPECT_EQ(c.At(3, 2), colors[i]) << i;
    EXPECT_EQ(RectText(c.Ink(kGray)), RectText(RECT{2, 2, 6, 6}));
  }
  // Selected: half way to the highlight colour, the mask kept.
  c.Clear(kGray);
  ImageList_Draw(list, 1, c.dc(), 2, 2, ILD_SELECTED);
  COLORREF hi = GetSysColor(COLOR_HIGHLIGHT), got = c.At(3, 3);
  EXPECT_NEAR(GetRValue(got), (20 + GetRValue(hi)) / 2, 1);
  EXPECT_NEAR(GetGValue(got), (20 + GetGValue(hi)) / 2, 1);
  EXPECT_NEAR(GetBValue(got), (30 + GetBValue(hi)) / 2, 1);
  EXPECT_EQ(c.At(2, 2), kGray);
  // The mask alone.
  c.Clear(kGray);
  ImageList_Draw(list, 0, c.dc(), 0, 0, ILD_MASK);
  EXPECT_EQ(c.At(0, 0), kWhite);
  EXPECT_EQ(c.At(1, 1), RGB(0, 0, 0));
  // Removing one moves the later ones down.
  ASSERT_TRUE(ImageList_Remove(list, 1));
  EXPECT_EQ(ImageList_GetImageCount(list), 4);
  const COLORREF after[] = {colors[0], colors[2], colors[3], colors[4]};
  for (int i = 0; i < 4; ++i) {
    ImageList_Draw(list, i, c.dc(), 0, 0, ILD_NORMAL);
    EXPECT_EQ(c.At(1, 1), after[i]) << i;
  }
  EXPECT_FALSE(ImageList_Draw(list, 4, c.dc(), 0, 0, ILD_NORMAL));
  ASSERT_TRUE(ImageList_RemoveAll(list));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  // Without ILC_MASK the key colour is drawn like any other.
  HIMAGELIST plain = ImageList_Create(4, 4, ILC_COLOR32, 2, 2);
  ImageList_AddMasked(plain, three, kMagenta);
  c.Clear(kGray);
  ImageList_Draw(plain, 0, c.dc(), 0, 0, ILD_TRANSPARENT);
  EXPECT_EQ(c.At(0, 0), kMagenta);
  EXPECT_TRUE(ImageList_Destroy(plain));
  EXPECT_TRUE(ImageList_Destroy(list));
  DeleteObject(three);
  DeleteObject(two);
}

TEST(GdiImageList, IconsAndMaskBitmaps) {
  HBITMAP color = Strip(1);
  HBITMAP mask = CreateCompatibleBitmap(nullptr, 4, 4);  // black: all image...
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, mask);
    SetPixel(dc, 3, 3, kWhite);  // ...but one corner
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  HIMAGELIST list = ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 1, 4);
  EXPECT_EQ(ImageList_Add(list, color, mask), 0);
  ICONINFO info{TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(ImageList_AddIcon(list, icon), 1);
  Canvas c(4, 4, kGray);
  for (int i = 0; i < 2; ++i) {
    c.Clear(kGray);
    ImageList_Draw(list, i, c.dc(), 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(c.At(3, 3), kGray) << i;
    EXPECT_EQ(c.At(0, 0), kMagenta) << i;  // the mask bitmap decides, not the colour
    EXPECT_EQ(c.At(2, 2), RGB(10, 20, 30)) << i;
  }
  DestroyIcon(icon);
  ImageList_Destroy(list);
  DeleteObject(color);
  DeleteObject(mask);
}

// What a thumbnail worker does: its own memory DC, bitmap, font and text.
std::vector<DWORD> Thumbnail(int seed) {
  Canvas c(64, 48);
  Font font(kPGothic, -13 - seed % 3, seed % 2 ? FW_BOLD : FW_NORMAL);
  Selected selected(c.dc(), font.get());
  HBRUSH brush = CreateSolidBrush(RGB(seed * 40, 90, 200));
  Selected b(c.dc(), brush);
  Ellipse(c.dc(), 2, 2, 40, 30);
  RECT r{0, 20, 64, 48};
  DrawTextW(c.dc(), L"写真 IMG_0012.jpg", -1, &r, DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
  return c.Pixels();
}

TEST(GdiObjects, MemoryDcsDrawTheSameOnWorkerThreads) {
  std::vector<std::vector<DWORD>> expected;
  for (int seed = 0; seed < 4; ++seed) expected.push_back(Thumbnail(seed));
  std::vector<std::thread> workers;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([t, &expected, &mismatches] {
      for (int round = 0; round < 25; ++round)
        for (int seed = 0; seed < 4; ++seed) mismatches[t] += Thumbnail((seed + t) % 4) != expected[(seed + t) % 4];
    });
  for (std::thread& w : workers) w.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

// Callers written for the device find the image-list functions by name in
// the common-control library; each name resolves to the function itself.
TEST(GdiImageList, FoundByNameInTheCommonControlLibrary) {
  HMODULE library = LoadLibraryW(COMMCTRL_LIBRARY);
  ASSERT_NE(library, nullptr);
  const struct {
    const wchar_t* name;
    const void* function;
  } names[] = {
      {L"ImageList_GetImageCount", reinterpret_cast<const void*>(&ImageList_GetImageCount)},
      {L"ImageList_Draw", reinterpret_cast<const void*>(&ImageList_Draw)},
      {L"ImageList_AddMasked", reinterpret_cast<const void*>(&ImageList_AddMasked)},
      {L"ImageList_Remove", reinterpret_cast<const void*>(&ImageList_Remove)},
  };
  for (const auto& n : names) {
    EXPECT_EQ(reinterpret_cast<const void*>(GetProcAddressW(library, n.name)), n.function) << n.name;
  }
  EXPECT_EQ(GetProcAddressW(library, L"ImageList_NoSuchCall"), nullptr);
  FreeLibrary(library);
}

}  // namespace
}  // namespace qv::test
