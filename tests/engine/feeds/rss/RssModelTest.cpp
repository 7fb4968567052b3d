// The feed model: records, getters and setters, deep copies, the error
// queue, the channel template and the memory they hold.
#include <gtest/gtest.h>

#include "engine/feeds/src/mfd_rssparser.h"
#include "tests/engine/feeds/rss/RssTestSupport.h"

using rsstest::Outstanding;
using rsstest::Text;

namespace {

class RssModelTest : public ::testing::Test {
 protected:
  void SetUp() override { before_ = Outstanding(); }
  void TearDown() override {
    MFD_FailAllocationAfter(-1);
    MFD_RssChannel_FreeTemplate();
    EXPECT_EQ(Outstanding(), before_) << "allocations left behind";
  }
  long before_ = 0;
};

TEST_F(RssModelTest, TextFieldsStoreCopiesClearAndReportAbsence) {
  MFD_RssChannelItem* item = nullptr;
  ASSERT_EQ(MFD_RssChannelItem_Create(&item), MFD_OK);
  EXPECT_EQ(MFD_RssChannelItem_Create(&item), MFD_ERR_PARAM);  // out already set
  const wchar_t* out = L"x";
  EXPECT_EQ(MFD_RssChannelItem_GetTitle(item, &out), MFD_ERR_ABSENT);
  EXPECT_EQ(out, nullptr);
  wchar_t mine[] = L"見出し";
  EXPECT_EQ(MFD_RssChannelItem_SetTitle(item, mine), MFD_OK);
  mine[0] = L'X';  // the record holds its own copy
  EXPECT_EQ(MFD_RssChannelItem_GetTitle(item, &out), MFD_OK);
  EXPECT_EQ(Text(out), L"見出し");
  EXPECT_EQ(MFD_RssChannelItem_SetTitle(item, L""), MFD_OK);
  EXPECT_EQ(MFD_RssChannelItem_GetTitle(item, &out), MFD_OK);
  EXPECT_EQ(Text(out), L"");
  EXPECT_EQ(MFD_RssChannelItem_SetTitle(item, nullptr), MFD_OK);
  EXPECT_EQ(MFD_RssChannelItem_GetTitle(item, &out), MFD_ERR_ABSENT);
  EXPECT_EQ(MFD_RssChannelItem_SetTitle(nullptr, L"a"), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_RssChannelItem_GetTitle(item, nullptr), MFD_ERR_PARAM);

  // A failed duplicate keeps the old value.
  ASSERT_EQ(MFD_RssChannelItem_SetCinst(item, L"old"), MFD_OK);
  MFD_FailAllocationAfter(0);
  EXPECT_EQ(MFD_RssChannelItem_SetCinst(item, L"new"), MFD_ERR_NOMEM);
  EXPECT_EQ(MFD_RssChannelItem_GetCinst(item, &out), MFD_OK);
  EXPECT_EQ(Text(out), L"old");
  EXPECT_EQ(MFD_RssChannelItem_Free(&item), MFD_OK);
  EXPECT_EQ(item, nullptr);
  EXPECT_EQ(MFD_RssChannelItem_Free(&item), MFD_OK);
  EXPECT_EQ(MFD_RssChannelItem_Free(nullptr), MFD_OK);
}

TEST_F(RssModelTest, ChannelCopyIsDeepAndAddingCopies) {
  MFD_RssChannel* ch = nullptr;
  ASSERT_EQ(MFD_RssChannel_Create(&ch), MFD_OK);
  MFD_RssChannel_SetTitle(ch, L"チャンネル");
  MFD_RssChannel_SetTouch(ch, L"touch");
  MFD_RssChannel_SetMenu(ch, 1);
  EXPECT_EQ(MFD_RssChannel_AddSkipHour(ch, L"25"), MFD_OK);  // hours are not checked
  EXPECT_EQ(MFD_RssChannel_AddSkipDay(ch, L"Monday"), MFD_OK);
  EXPECT_EQ(MFD_RssChannel_AddSkipDay(ch, L"monday"), MFD_ERR_VALUE);
  MFD_Vector* days = nullptr;
  ASSERT_EQ(MFD_RssChannel_GetSkipDays(ch, &days), MFD_OK);
  EXPECT_EQ(MFD_Vector_Count(days), 1u);

  MFD_RssChannelImage* image = nullptr;
  MFD_RssChannelImage_Create(&image);
  MFD_RssChannelImage_SetUrl(image, L"http://example.jp/logo.png");
  EXPECT_EQ(MFD_RssChannel_SetImage(ch, image), MFD_OK);
  MFD_RssChannelImage_Free(&image);  // the channel keeps its own copy

  MFD_RssChannelItem* item = nullptr;
  MFD_RssChannelItem_Create(&item);
  MFD_RssChannelItem_SetLink(item, L"http://example.jp/1");
  EXPECT_EQ(MFD_RssChannel_AddItem(ch, item), MFD_OK);
  MFD_RssChannelItem_SetLink(item, L"http://example.jp/2");
  EXPECT_EQ(MFD_RssChannel_AddItem(ch, item), MFD_OK);
  MFD_RssChannelItem_Free(&item);

  MFD_RssChannel* copy = nullptr;
  ASSERT_EQ(MFD_RssChannel_Copy(&copy, ch), MFD_OK);
  MFD_RssChannel_Free(&ch);
  const wchar_t* out = nullptr;
  EXPECT_EQ(MFD_RssChannel_GetTitle(copy, &out), MFD_OK);
  EXPECT_EQ(Text(out), L"チャンネル");
  uint8_t menu = 0;
  MFD_RssChannel_GetMenu(copy, &menu);
  EXPECT_EQ(menu, 1);
  MFD_RssChannelImage* got = nullptr;
  ASSERT_EQ(MFD_RssChannel_GetImage(copy, &got), MFD_OK);
  EXPECT_EQ(Text(got->url), L"http://example.jp/logo.png");
  MFD_List* items = nullptr;
  ASSERT_EQ(MFD_RssChannel_GetItems(copy, &items), MFD_OK);
  ASSERT_EQ(MFD_List_Count(items), 2u);
  EXPECT_EQ(Text((*static_cast<MFD_RssChannelItem**>(MFD_List_GetLast(items)))->link), L"http://example.jp/2");
  MFD_Vector* hours = nullptr;
  ASSERT_EQ(MFD_RssChannel_GetSkipHours(copy, &hours), MFD_OK);
  EXPECT_EQ(Text(static_cast<wchar_t*>(MFD_Vector_GetFirst(hours, nullptr))), L"25");
  MFD_RssChannel_Free(&copy);
}

TEST_F(RssModelTest, EveryFailingAllocationOfACopyLeavesNothing) {
  MFD_RssChannel* ch = nullptr;
  ASSERT_EQ(MFD_RssChannel_Create(&ch), MFD_OK);
  MFD_RssChannel_SetTitle(ch, L"t");
  MFD_RssChannel_AddSkipDay(ch, L"Sunday");
  MFD_RssDublinCore* dc = nullptr;
  MFD_RssDublinCore_Create(&dc);
  MFD_RssDublinCore_SetCreator(dc, L"作者");
  MFD_RssChannel_SetDublinCore(ch, dc);
  MFD_RssChannelItem* item = nullptr;
  MFD_RssChannelItem_Create(&item);
  MFD_RssChannelItem_SetDublinCore(item, dc);
  MFD_RssChannelItem_SetGuid(item, L"g");
  MFD_RssChannel_AddItem(ch, item);
  MFD_RssChannelItem_Free(&item);
  MFD_RssDublinCore_Free(&dc);

  int failures = 0;
  for (long n = 0;; ++n) {
    MFD_RssChannel* copy = nullptr;
    MFD_FailAllocationAfter(n);
    int rc = MFD_RssChannel_Copy(&copy, ch);
    MFD_FailAllocationAfter(-1);
    if (rc == MFD_OK) {
      MFD_RssChannel_Free(&copy);
      break;
    }
    ++failures;
    EXPECT_EQ(rc, MFD_ERR_NOMEM);
    EXPECT_EQ(copy, nullptr);
  }
  EXPECT_GT(failures, 8);
  MFD_RssChannel_Free(&ch);
}

TEST_F(RssModelTest, ErrorQueuePopsOldestFirst) {
  MFD_RssDocument* doc = nullptr;
  ASSERT_EQ(MFD_RssDocument_Create(&doc), MFD_OK);
  EXPECT_EQ(MFD_RssDocument_ParseMemory(doc, nullptr), MFD_ERR_VALUE);
  MFD_RssDocument_AddErrorText(doc, L"second", L"one");
  MFD_RssError* e = nullptr;
  ASSERT_EQ(MFD_RssDocument_PopError(doc, &e), MFD_OK);
  int32_t line = 0, column = 0;
  MFD_RssError_GetLine(e, &line);
  MFD_RssError_GetColumn(e, &column);
  EXPECT_EQ(line, -1);
  EXPECT_EQ(column, -1);
  EXPECT_EQ(Text(e->message), L"ParseMemory: invalid data");
  MFD_RssError_Free(&e);
  ASSERT_EQ(MFD_RssDocument_PopError(doc, &e), MFD_OK);
  EXPECT_EQ(Text(e->message), L"second: one");
  MFD_RssError_Free(&e);
  EXPECT_EQ(MFD_RssDocument_PopError(doc, &e), MFD_ERR_ABSENT);
  EXPECT_EQ(doc->errors, nullptr);
  EXPECT_EQ(MFD_RssDocument_PopError(doc, nullptr), MFD_ERR_PARAM);
  MFD_RssDocument_Free(&doc);
}

TEST_F(RssModelTest, VersionsBomsBlanksAndRestrictedValues) {
  MFD_RssDocument* doc = nullptr;
  ASSERT_EQ(MFD_RssDocument_Create(&doc), MFD_OK);
  EXPECT_EQ(MFD_RssDocument_SetVersion(doc, 0), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_RssDocument_SetVersion(doc, 8), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_RssDocument_SetVersion(doc, 7), MFD_OK);
  int32_t v = 0;
  MFD_RssDocument_GetVersion(doc, &v);
  EXPECT_EQ(v, 7);
  MFD_RssDocument_ClearChannels(doc);
  MFD_RssDocument_GetVersion(doc, &v);
  EXPECT_EQ(v, 0);
  MFD_RssDocument_Free(&doc);

  EXPECT_EQ(MFD_DetectBom("\xFF\xFE<"), 2);
  EXPECT_EQ(MFD_DetectBom("\xFE\xFF<"), 2);
  EXPECT_EQ(MFD_DetectBom("\xEF\xBB\xBF<"), 1);
  EXPECT_EQ(MFD_DetectBom("<rss/>"), 0);
  EXPECT_EQ(MFD_DetectBom(nullptr), MFD_ERR_PARAM);
  EXPECT_TRUE(MFD_IsBlank(L" \t\r\n"));
  EXPECT_TRUE(MFD_IsBlank(L""));
  EXPECT_FALSE(MFD_IsBlank(L" \u3000"));

  MFD_RssSyndication* sy = nullptr;
  MFD_RssSyndication_Create(&sy);
  EXPECT_EQ(MFD_RssSyndication_SetUpdatePeriod(sy, L"daily"), MFD_OK);
  EXPECT_EQ(MFD_RssSyndication_SetUpdatePeriod(sy, L"Daily"), MFD_ERR_VALUE);
  const wchar_t* out = nullptr;
  EXPECT_EQ(MFD_RssSyndication_GetUpdatePeriod(sy, &out), MFD_OK);
  EXPECT_EQ(Text(out), L"daily");
  MFD_RssSyndication_Free(&sy);
}

TEST_F(RssModelTest, TemplateKeepsHeaderButNotDatesSkipsOrItems) {
  MFD_RssChannel* ch = nullptr;
  MFD_RssChannel_Create(&ch);
  MFD_RssChannel_SetTitle(ch, L"saved");
  MFD_RssChannel_SetLastBuildDate(ch, L"today");
  MFD_RssChannel_AddSkipHour(ch, L"1");
  MFD_RssChannelItem* item = nullptr;
  MFD_RssChannelItem_Create(&item);
  MFD_RssChannel_AddItem(ch, item);
  MFD_RssChannelItem_Free(&item);
  EXPECT_EQ(MFD_RssChannel_SaveTemplate(ch), MFD_OK);
  MFD_RssChannel_Free(&ch);

  MFD_RssChannel* fresh = nullptr;
  ASSERT_EQ(MFD_RssChannel_NewFromTemplate(&fresh), MFD_OK);
  EXPECT_EQ(Text(fresh->title), L"saved");
  EXPECT_EQ(fresh->lastBuildDate, nullptr);
  EXPECT_EQ(fresh->skipHours, nullptr);
  EXPECT_EQ(fresh->items, nullptr);
  MFD_RssChannel_Free(&fresh);
}

}  // namespace
