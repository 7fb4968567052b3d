// One channel.
#include "engine/feeds/src/mfd_rsschannel.h"

#define MFD_SOURCE ".\\src\\mfd_rsschannel"

namespace mfd_rss {
namespace {

void FreeTextVector(MFD_Vector** v) { MFD_Vector_Free(v); }

bool CopyTextVector(MFD_Vector** dst, MFD_Vector* src) {
  if (src == nullptr) return true;
  if (MFD_Vector_Create(dst) != 0) return false;
  for (MFD_VectorNode* n = src->first; n != nullptr; n = n->next) {
    if (MFD_Vector_Append(*dst, n->data, n->size) != 0) return false;
  }
  return true;
}

MFD_RssChannelItem* ItemOf(const MFD_ListNode* node) { return *static_cast<MFD_RssChannelItem**>(node->data); }

void FreeItems(MFD_List** items) {
  if (*items == nullptr) return;
  for (MFD_ListNode* n = (*items)->first; n != nullptr; n = n->next) {
    MFD_RssChannelItem* item = ItemOf(n);
    MFD_RssChannelItem_Free(&item);
  }
  MFD_List_Free(items);
}

// Appends a deep copy of `item`, creating the list on first use.
int AppendItem(MFD_List** items, const MFD_RssChannelItem* item) {
  if (*items == nullptr && MFD_List_Create(items, sizeof(MFD_RssChannelItem*)) != 0) return MFD_ERR_NOMEM;
  MFD_RssChannelItem* copy = nullptr;
  if (MFD_RssChannelItem_Copy(&copy, item) != MFD_OK) return MFD_ERR_NOMEM;
  if (MFD_List_Append(*items, &copy) != 0) {
    MFD_RssChannelItem_Free(&copy);
    return MFD_ERR_NOMEM;
  }
  return MFD_OK;
}

bool CopyItems(MFD_List** dst, MFD_List* src) {
  if (src == nullptr) return true;
  if (MFD_List_Create(dst, sizeof(MFD_RssChannelItem*)) != 0) return false;
  for (MFD_ListNode* n = src->first; n != nullptr; n = n->next) {
    if (AppendItem(dst, ItemOf(n)) != MFD_OK) return false;
  }
  return true;
}

int AddText(MFD_Vector** v, const wchar_t* text) {
  if (*v == nullptr && MFD_Vector_Create(v) != 0) return MFD_ERR_NOMEM;
  size_t bytes = (MFD_WStr_Length(text) + 1) * sizeof(wchar_t);
  if (bytes > UINT32_MAX || MFD_Vector_Append(*v, text, static_cast<uint32_t>(bytes)) != 0) return MFD_ERR_NOMEM;
  return MFD_OK;
}

MFD_RssChannel* gTemplate = nullptr;

}  // namespace
}  // namespace mfd_rss

#define MFD_RSS_FREEX  mfd_rss::FreeTextVector(&r->skipHours); mfd_rss::FreeTextVector(&r->skipDays); mfd_rss::FreeItems(&r->items); MFD_RssChannelImage_Free(&r->image); MFD_RssChannelTextInput_Free(&r->textInput); MFD_RssDublinCore_Free(&r->dublinCore); MFD_RssSyndication_Free(&r->syndication);
#define MFD_RSS_COPYX  c->menu = src->menu; ok = ok && mfd_rss::CopyTextVector(&c->skipHours, src->skipHours) && mfd_rss::CopyTextVector(&c->skipDays, src->skipDays) && mfd_rss::CopyItems(&c->items, src->items); ok = ok && mfd_rss::CopyRecord<MFD_RssChannelImage>(&c->image, src->image, MFD_RssChannelImage_Copy); ok = ok && mfd_rss::CopyRecord<MFD_RssChannelTextInput>(&c->textInput, src->textInput, MFD_RssChannelTextInput_Copy); ok = ok && mfd_rss::CopyRecord<MFD_RssDublinCore>(&c->dublinCore, src->dublinCore, MFD_RssDublinCore_Copy); ok = ok && mfd_rss::CopyRecord<MFD_RssSyndication>(&c->syndication, src->syndication, MFD_RssSyndication_Copy);
MFD_RSS_TEXT_RECORD_DEF(MFD_RssChannel, MFD_RSSCHANNEL_TEXTS, MFD_RSS_FREEX, MFD_RSS_COPYX)
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssChannel, Name, member)
MFD_RSSCHANNEL_TEXTS(MFD_RSS_DEF)
MFD_RSS_RECORD_DEF(MFD_RssChannel, MFD_RssChannelImage, Image, image)
MFD_RSS_RECORD_DEF(MFD_RssChannel, MFD_RssChannelTextInput, TextInput, textInput)
MFD_RSS_RECORD_DEF(MFD_RssChannel, MFD_RssDublinCore, DublinCore, dublinCore)
MFD_RSS_RECORD_DEF(MFD_RssChannel, MFD_RssSyndication, Syndication, syndication)

int MFD_RssChannel_GetSkipHours(MFD_RssChannel* r, MFD_Vector** out) {
  if (r == nullptr) return MFD_ERR_PARAM;
  return mfd_rss::GetRecord<MFD_Vector>(r->skipHours, out);
}
int MFD_RssChannel_GetSkipDays(MFD_RssChannel* r, MFD_Vector** out) {
  if (r == nullptr) return MFD_ERR_PARAM;
  return mfd_rss::GetRecord<MFD_Vector>(r->skipDays, out);
}
int MFD_RssChannel_GetItems(MFD_RssChannel* r, MFD_List** out) {
  if (r == nullptr) return MFD_ERR_PARAM;
  return mfd_rss::GetRecord<MFD_List>(r->items, out);
}

int MFD_RssChannel_AddSkipHour(MFD_RssChannel* r, const wchar_t* text) {
  if (r == nullptr || text == nullptr) return MFD_ERR_PARAM;
  return mfd_rss::AddText(&r->skipHours, text);
}

int MFD_RssChannel_AddSkipDay(MFD_RssChannel* r, const wchar_t* text) {
  if (r == nullptr || text == nullptr) return MFD_ERR_PARAM;
  static const wchar_t* const kDays[] = {L"Monday", L"Tuesday", L"Wednesday", L"Thursday",
                                         L"Friday", L"Saturday", L"Sunday"};
  for (const wchar_t* day : kDays) {
    if (MFD_WStr_Compare(text, day) == 0) return mfd_rss::AddText(&r->skipDays, text);
  }
  return MFD_ERR_VALUE;
}

int MFD_RssChannel_AddItem(MFD_RssChannel* r, const MFD_RssChannelItem* item) {
  if (r == nullptr || item == nullptr) return MFD_ERR_PARAM;
  return mfd_rss::AppendItem(&r->items, item);
}

int MFD_RssChannel_SetMenu(MFD_RssChannel* r, uint8_t flag) {
  if (r == nullptr) return MFD_ERR_PARAM;
  r->menu = flag;
  return MFD_OK;
}
int MFD_RssChannel_GetMenu(MFD_RssChannel* r, uint8_t* out) {
  if (r == nullptr || out == nullptr) return MFD_ERR_PARAM;
  *out = r->menu;
  return MFD_OK;
}

int MFD_RssChannel_NewFromTemplate(MFD_RssChannel** out) {
  if (out == nullptr) return MFD_ERR_PARAM;
  if (mfd_rss::gTemplate == nullptr && MFD_RssChannel_Create(&mfd_rss::gTemplate) != MFD_OK) return MFD_ERR_NOMEM;
  return MFD_RssChannel_Copy(out, mfd_rss::gTemplate);
}

int MFD_RssChannel_SaveTemplate(const MFD_RssChannel* channel) {
  if (channel == nullptr) return MFD_ERR_PARAM;
  if (mfd_rss::gTemplate == nullptr && MFD_RssChannel_Create(&mfd_rss::gTemplate) != MFD_OK) return MFD_ERR_NOMEM;
  MFD_RssChannel* t = mfd_rss::gTemplate;
  int rc = MFD_OK;
#define MFD_RSS_SAVE(Name, member) \
  if (rc == MFD_OK && &t->member != &t->lastBuildDate) rc = mfd_rss::SetText(&t->member, channel->member);
  MFD_RSSCHANNEL_TEXTS(MFD_RSS_SAVE)
#undef MFD_RSS_SAVE
  if (rc == MFD_OK) rc = MFD_RssChannel_SetImage(t, channel->image);
  if (rc == MFD_OK) rc = MFD_RssChannel_SetTextInput(t, channel->textInput);
  if (rc == MFD_OK) rc = MFD_RssChannel_SetDublinCore(t, channel->dublinCore);
  if (rc == MFD_OK) rc = MFD_RssChannel_SetSyndication(t, channel->syndication);
  t->menu = channel->menu;
  return rc;
}

int MFD_RssChannel_FreeTemplate() { return MFD_RssChannel_Free(&mfd_rss::gTemplate); }
