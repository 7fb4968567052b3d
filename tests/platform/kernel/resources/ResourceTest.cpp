// Resource libraries compiled by tools/qvrc.py, read back through the
// platform's resource functions: the sample library of this folder (one
// resource of each kind) and the program's own QvMailRes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/Resource.h"

namespace {

HMODULE LoadFromBuild(const char* folder, const wchar_t* name) {
  const char* bin = std::getenv("QV_BINARY_DIR");
  if (bin == nullptr) return nullptr;
  ::setenv("QVMAIL_LIBRARY_PATH", (std::string(bin) + "/" + folder).c_str(), 1);
  return LoadLibraryW(name);
}

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sample_ = LoadFromBuild("tests", L"QvResSample.dll");
    ASSERT_NE(sample_, nullptr);
  }
  void TearDown() override { FreeLibrary(sample_); }

  // The resource as wide units.
  std::vector<uint32_t> Units(int id, LPCWSTR type) {
    HRSRC r = FindResourceW(sample_, MAKEINTRESOURCEW(id), type);
    if (r == nullptr) return {};
    const auto* p = static_cast<const uint32_t*>(LockResource(LoadResource(sample_, r)));
    return std::vector<uint32_t>(p, p + SizeofResource(sample_, r) / 4);
  }
  static std::wstring TextAt(const std::vector<uint32_t>& u, size_t* at) {
    std::wstring s;
    while (*at < u.size() && u[*at] != 0) s.push_back(static_cast<wchar_t>(u[(*at)++]));
    ++*at;
    return s;
  }

  HMODULE sample_ = nullptr;
};

TEST_F(ResourceTest, StringsByIdInEveryMode) {
  struct Case {
    UINT id;
    int max;
    const wchar_t* expected;  // nullptr: none
    int length;
  } cases[] = {
      {1, 64, L"一", 1},
      {17, 64, L"tab\there \"quoted\" あ", 19},
      {17, 4, L"tab", 3},           // cut to max - 1 and terminated
      {31, 64, L"last of its block", 17},
      {16, 64, L"", 0},             // empty slot of an existing block
      {2, 64, L"", 0},
      {4000, 64, L"", 0},           // no such block
  };
  for (const Case& c : cases) {
    wchar_t buffer[64];
    std::wmemset(buffer, L'x', 64);
    EXPECT_EQ(LoadStringW(sample_, c.id, buffer, c.max), c.length) << c.id;
    EXPECT_STREQ(buffer, c.expected) << c.id;
  }
  // With max 0 the caller gets a pointer to the counted text itself.
  LPCWSTR text = nullptr;
  ASSERT_EQ(LoadStringW(sample_, 31, reinterpret_cast<LPWSTR>(&text), 0), 17);
  EXPECT_EQ(std::wstring(text, 17), L"last of its block");
  EXPECT_EQ(LoadStringW(nullptr, 1, reinterpret_cast<LPWSTR>(&text), 0), 0);
}

TEST_F(ResourceTest, LookupFailuresSayWhy) {
  EXPECT_EQ(FindResourceW(sample_, MAKEINTRESOURCEW(999), RT_MENU), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceW(sample_, MAKEINTRESOURCEW(140), MAKEINTRESOURCEW(23)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_NE(FindResourceW(sample_, L"#140", RT_MENU), nullptr);
  EXPECT_EQ(FindResourceW(sample_, L"#14x", RT_MENU), nullptr);
}

TEST_F(ResourceTest, MenuItemsNestAndEndEachLevel) {
  const std::vector<uint32_t> u = Units(140, RT_MENU);
  ASSERT_GT(u.size(), 2u);
  size_t at = 2;  // version, offset
  struct Item {
    uint32_t flags;
    uint32_t id;
    const wchar_t* text;
  } expected[] = {
      {0x10, 0, L"ファイル"}, {0x00, 40001, L"開く"}, {0x00, 0, L""},
      {0x81, 40002, L"保存"}, {0x88, 40003, L"終了"},
  };
  for (const Item& e : expected) {
    ASSERT_LT(at, u.size());
    EXPECT_EQ(u[at++], e.flags) << e.text;
    if (!(e.flags & 0x10)) {
      EXPECT_EQ(u[at++], e.id) << e.text;
    }
    EXPECT_EQ(TextAt(u, &at), e.text);
  }
  EXPECT_EQ(at, u.size());
}

TEST_F(ResourceTest, AcceleratorsDialogAndBitmap) {
  HRSRC accel = FindResourceW(sample_, MAKEINTRESOURCEW(194), RT_ACCELERATOR);
  ASSERT_NE(accel, nullptr);
  const auto* words = static_cast<const uint16_t*>(LockResource(LoadResource(sample_, accel)));
  ASSERT_EQ(SizeofResource(sample_, accel), 16u);
  EXPECT_EQ(std::vector<uint16_t>(words, words + 8),
            (std::vector<uint16_t>{0x01, 0x70, 40001, 0, 0x89, 's', 40002, 0}));

  const std::vector<uint32_t> d = Units(102, RT_DIALOG);
  ASSERT_GE(d.size(), 10u);
  EXPECT_EQ(d[0], 0x4C445651u);
  EXPECT_EQ(d[1], 0x80000000u | 0x00C00000u | 0x80u | 0x40u);  // popup, caption, modal frame, set font
  EXPECT_EQ(std::vector<uint32_t>(d.begin() + 3, d.begin() + 10), (std::vector<uint32_t>{0, 0, 200, 100, 9, 400, 2}));
  size_t at = 10;
  EXPECT_EQ(TextAt(d, &at), L"確認");
  EXPECT_EQ(TextAt(d, &at), L"ＭＳ Ｐゴシック");
  EXPECT_EQ(d[at], 0x50000000u | 0x10000u | 1u);  // child, visible, tab stop, default push button
  EXPECT_EQ(d[at + 6], 1u);
  at += 7;
  EXPECT_EQ(TextAt(d, &at), L"BUTTON");
  EXPECT_EQ(TextAt(d, &at), L"OK");
  EXPECT_EQ(d[at + 6], 0xFFFFFFFFu);  // IDC_STATIC
  at += 7;
  EXPECT_EQ(TextAt(d, &at), L"STATIC");
  EXPECT_EQ(TextAt(d, &at), L"本文");
  EXPECT_EQ(at, d.size());

  HRSRC bmp = FindResourceW(sample_, MAKEINTRESOURCEW(305), RT_BITMAP);
  ASSERT_NE(bmp, nullptr);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(sample_, bmp)));
  ASSERT_EQ(SizeofResource(sample_, bmp), 40u + 8 * 6 * 4);
  int32_t width, height;
  std::memcpy(&width, bytes + 4, 4);
  std::memcpy(&height, bytes + 8, 4);
  ASSERT_EQ(width, 8);
  ASSERT_EQ(height, 6);  // bottom-up
  auto pixel = [&](int x, int y) {
    uint32_t v;
    std::memcpy(&v, bytes + 40 + ((5 - y) * 8 + x) * 4, 4);
    return v & 0xFFFFFF;
  };
  struct Pixel {
    int x, y;
    uint32_t rgb;
  } pixels[] = {
      {0, 0, 0x112233}, {1, 1, 0x112233}, {0, 2, 0xFF00FF}, {1, 5, 0xFF00FF},  // rect [0,2) x [0,2)
      {2, 0, 0x00FF00}, {7, 5, 0x00FF00}, {2, 3, 0x00FF00}, {7, 2, 0x00FF00},  // frame edges
      {5, 3, 0x0000FF}, {4, 2, 0x0000FF}, {3, 1, 0xFF00FF},                    // ellipse, its corner left out
  };
  for (const Pixel& p : pixels) EXPECT_EQ(pixel(p.x, p.y), p.rgb) << p.x << "," << p.y;
}

// LoadBitmap and LoadIcon read the library's pictures: bitmaps opaque,
// icons see-through where their alpha is 0.
TEST_F(ResourceTest, PicturesThroughTheDrawingLayer) {
  HBITMAP bitmap = LoadBitmapW(sample_, MAKEINTRESOURCEW(305));
  HICON icon = LoadIconW(sample_, MAKEINTRESOURCEW(306));
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadBitmapW(sample_, MAKEINTRESOURCEW(306)), nullptr);  // an icon is no bitmap
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x11, 0x22, 0x33));  // top-left, from bottom-up rows
  EXPECT_EQ(GetPixel(dc, 5, 3), RGB(0, 0, 0xFF));
  EXPECT_EQ(GetPixel(dc, 0, 5), RGB(0xFF, 0, 0xFF));

  // The icon over the bitmap's magenta corner: only its middle square covers it.
  ASSERT_TRUE(DrawIconEx(dc, 0, 2, icon, 4, 4, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(GetPixel(dc, 0, 2), RGB(0xFF, 0, 0xFF));
  EXPECT_EQ(GetPixel(dc, 1, 3), RGB(0xFF, 0, 0));
  EXPECT_EQ(GetPixel(dc, 2, 4), RGB(0xFF, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 5), RGB(0xFF, 0, 0xFF));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  DestroyIcon(icon);
}

// Text in a bitmap: blue ink blended over white, both characters inked,
// and the ink centred in the picture.
TEST_F(ResourceTest, TextInABitmapIsCentredInk) {
  HBITMAP bitmap = LoadBitmapW(sample_, MAKEINTRESOURCEW(307));
  ASSERT_NE(bitmap, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  int left = 40, right = -1, top = 20, bottom = -1, inkedLeftHalf = 0, inkedRightHalf = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      // Blended blue over white: red and green fall together, blue stays full.
      EXPECT_EQ(GetRValue(c), GetGValue(c)) << x << "," << y;
      EXPECT_EQ(GetBValue(c), 0xFF) << x << "," << y;
      if (c == RGB(0xFF, 0xFF, 0xFF)) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
      (x < 20 ? inkedLeftHalf : inkedRightHalf) += GetRValue(c) < 0x80;
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  EXPECT_GT(inkedLeftHalf, 10);
  EXPECT_GT(inkedRightHalf, 10);
  EXPECT_NEAR(left + right, 39, 3) << left << ".." << right;
  EXPECT_NEAR(top + bottom, 19, 3) << top << ".." << bottom;
  EXPECT_GE(bottom - top, 10) << "the text is drawn at its size";
}

// Every id the engine-error table names has a text in the program's library.
TEST(QvMailResTest, EngineErrorTextsArePresent) {
  HMODULE res = LoadFromBuild("outside/QvMailRes", L"QvMailRes.dll");
  ASSERT_NE(res, nullptr);
  const UINT ids[] = {20089, 20090, 20091, 20092, 20093, 20094, 20095, 20096, 20097, 20100, 20101, 20102,
                      20103, 20104, 20106, 20107, 20108, 20113, 20114, 20119, 20120, 20121, 20122, 20123,
                      20124, 20126, 20127, 20128, 20129, 20131, 20132, 20133, 20134,
                      20176, 20240, 20241, 20242, 20243};
  for (UINT id : ids) {
    wchar_t buffer[256];
    EXPECT_GT(LoadStringW(res, id, buffer, 256), 0) << id;
  }
  FreeLibrary(res);
}

}  // namespace
