// The text recorder: what windows wrote, with its font, colour, place and
// whether the clip cut it, so screen tests can check words without pixels.
#include "platform/gdi/Gdi.h"
#include "platform/testing/TextLog.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
using TextLogTest = UiTest;

TEST_F(TextLogTest, RunsAreRecordedPerWindowWithTheirFontColourPlaceAndClip) {
  qv::seams::TextLog log;
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND fits = CreateWindowExW(0, L"STATIC", L"件名", WS_CHILD | WS_VISIBLE, 10, 10, 200, 30, parent, nullptr,
                              nullptr, nullptr);
  HWND narrow = CreateWindowExW(0, L"STATIC", L"差出人のとても長い名前", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 10,
                                50, 40, 30, parent, nullptr, nullptr, nullptr);
  UpdateWindow(parent);
  Pump();

  qv::seams::DrawnText t;
  ASSERT_TRUE(log.Last(fits, L"件名", &t));
  EXPECT_EQ(t.window, fits);
  EXPECT_FALSE(t.clipped);
  EXPECT_FALSE(t.face.empty());
  EXPECT_GT(t.height, 0);
  EXPECT_EQ(t.rect.left, 0) << "logical coordinates: the static's own client";
  ASSERT_TRUE(log.Last(narrow, L"差出人", &t));
  EXPECT_TRUE(t.clipped);
  EXPECT_EQ(log.Clipped(fits), "");
  EXPECT_NE(log.Clipped(nullptr).find("差出人"), std::string::npos);

  // Drawn by hand: the window of a GetDC, a memory DC's null, the colour set,
  // the shown text with its ellipsis, and an ExtTextOut clip.
  log.Clear();
  HDC dc = GetDC(parent);
  SetTextColor(dc, RGB(200, 0, 0));
  RECT box{0, 100, 60, 130};
  DrawTextW(dc, L"受信箱の未読メール", -1, &box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  RECT small{0, 140, 20, 160};
  ExtTextOutW(dc, 0, 140, ETO_CLIPPED, &small, L"送信済み", 4, nullptr);
  ReleaseDC(parent, dc);
  HDC memory = CreateCompatibleDC(nullptr);
  TextOutW(memory, 0, 0, L"&下書き", 4);
  DeleteDC(memory);

  const std::vector<qv::seams::DrawnText> all = log.All();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].window, parent);
  EXPECT_EQ(all[0].color, RGB(200, 0, 0));
  EXPECT_EQ(all[0].text.substr(all[0].text.size() - 3), L"...") << "shown as cut, with its ellipsis";
  EXPECT_FALSE(all[0].clipped) << "the ellipsis keeps it inside its box";
  EXPECT_LE(all[0].rect.right, 60);
  EXPECT_TRUE(all[1].clipped);
  EXPECT_EQ(all[1].text, L"送信済み");
  EXPECT_EQ(all[2].window, nullptr);
  EXPECT_EQ(log.Of(parent).size(), 2u);
}

}  // namespace
