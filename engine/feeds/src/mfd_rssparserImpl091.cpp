// RSS 0.91 handler.
#include "engine/feeds/src/mfd_rssparserImpl091.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl091"

namespace {

const wchar_t kOwn[] = L"rss0.91";

MFD_Rss091State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss091State*>(ctx->versionState); }

bool IsLeaf(const wchar_t* local) {
  static const wchar_t* const kLeaves[] = {L"title",         L"link",      L"description", L"language", L"copyright",
                                           L"managingEditor", L"webMaster", L"pubDate",     L"lastBuildDate",
                                           L"docs",          L"rating",    L"hour",        L"day",      L"url",
                                           L"width",         L"height",    L"name"};
  return MFD_RssNameIn(local, kLeaves);
}

void Start(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local, MFD_Vector*) {
  MFD_Rss091State* s = StateOf(ctx);
  if (!MFD_RssNsIs(ns, kOwn)) return;
  MFD_RssSetStateName(&s->element, local);
  // A container opens only directly inside the channel, outside every other
  // container and leaf.
  bool inChannel = s->inRss && s->inChannel && s->level == 0;
  bool others = s->inItem || s->inImage || s->inSkipDays || s->inSkipHours || s->inTextinput;
  MFD_RssChannel* ch = ctx->channel;
  if (MFD_RssNameIs(local, L"rss")) {
    s->inRss = 1;
  } else if (MFD_RssNameIs(local, L"channel")) {
    if (s->inRss && !others && s->level == 0) s->inChannel = 1;
  } else if (MFD_RssNameIs(local, L"item")) {
    if (inChannel && !others) {
      s->inItem = 1;
      MFD_RssChannelItem_Free(&ctx->item);
      MFD_RssChannelItem_Create(&ctx->item);
    }
  } else if (MFD_RssNameIs(local, L"image")) {
    if (inChannel && !others && ch != nullptr) {
      s->inImage = 1;
      MFD_RssChannelImage_Free(&ch->image);
      MFD_RssChannelImage_Create(&ch->image);
    }
  } else if (MFD_RssNameIs(local, L"textinput")) {
    if (inChannel && !others && ch != nullptr) {
      s->inTextinput = 1;
      MFD_RssChannelTextInput_Free(&ch->textInput);
      MFD_RssChannelTextInput_Create(&ch->textInput);
    }
  } else if (MFD_RssNameIs(local, L"skipHours")) {
    if (inChannel && !others) s->inSkipHours = 1;
  } else if (MFD_RssNameIs(local, L"skipDays")) {
    if (inChannel && !others) s->inSkipDays = 1;
  } else if (IsLeaf(local)) {
    ++s->level;
  }
}

void End(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local) {
  MFD_Rss091State* s = StateOf(ctx);
  if (!MFD_RssNsIs(ns, kOwn)) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss091State::inRss, L"rss", local, IsLeaf);
}

// The channel fields a leaf of the same name fills.
const MFD_RssField<MFD_RssChannel> kChannelFields[] = {
    {L"copyright", MFD_RssChannel_SetCopyright},       {L"pubDate", MFD_RssChannel_SetPubDate},
    {L"lastBuildDate", MFD_RssChannel_SetLastBuildDate}, {L"docs", MFD_RssChannel_SetDocs},
    {L"managingEditor", MFD_RssChannel_SetManagingEditor}, {L"webMaster", MFD_RssChannel_SetWebMaster},
    {L"language", MFD_RssChannel_SetLanguage},         {L"rating", MFD_RssChannel_SetRating},
};

void Text(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* text) {
  MFD_Rss091State* s = StateOf(ctx);
  if (!MFD_RssNsIs(ns, kOwn) || s->element == nullptr) return;
  if (!MFD_RssTextAllowed(ctx, s->element)) return;
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelImage* image = ch != nullptr ? ch->image : nullptr;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  const wchar_t* e = s->element;
  if (MFD_RssCommonText(ctx, s, text)) return;
  if (MFD_RssNameIs(e, L"description")) {
    if (item) MFD_RssChannelItem_SetDescription(ctx->item, text);
    else if (s->inImage) MFD_RssChannelImage_SetDescription(image, text);
    else if (s->inTextinput) MFD_RssChannelTextInput_SetDescription(input, text);
    else if (channel) MFD_RssChannel_SetDescription(ch, text);
  } else if (MFD_RssNameIs(e, L"hour")) {
    if (s->inSkipHours) MFD_RssChannel_AddSkipHour(ch, text);
  } else if (MFD_RssNameIs(e, L"day")) {
    if (s->inSkipDays) MFD_RssChannel_AddSkipDay(ch, text);
  } else if (MFD_RssNameIs(e, L"width")) {
    if (s->inImage) MFD_RssChannelImage_SetWidth(image, text);
  } else if (MFD_RssNameIs(e, L"height")) {
    if (s->inImage) MFD_RssChannelImage_SetHeight(image, text);
  } else if (channel) {
    MFD_RssApplyField(kChannelFields, ch, e, text);
  }
}

}  // namespace

const MFD_RssVersionModule kMfdRss091Module = {kOwn, MFD_RssCreateState<MFD_Rss091State>,
                                               MFD_RssFreeState<MFD_Rss091State>, Start, End, Text};
