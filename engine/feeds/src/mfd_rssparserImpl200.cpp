// RSS 2.0 handler.
#include "engine/feeds/src/mfd_rssparserImpl200.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl200"

namespace {

const wchar_t kOwn[] = L"rss2.0";

MFD_Rss200State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss200State*>(ctx->versionState); }

// Leaves whose start raises the level; category, guid and source set it
// instead, and end like the leaves.
bool IsLeaf(const wchar_t* local) {
  static const wchar_t* const kLeaves[] = {
      L"title",         L"link",      L"description", L"language", L"copyright", L"managingEditor", L"webMaster",
      L"pubDate",       L"lastBuildDate", L"generator", L"docs",   L"ttl",       L"rating",         L"hour",
      L"day",           L"url",       L"width",       L"height",   L"name",      L"author",         L"comments",
      L"cinst"};
  return MFD_RssNameIn(local, kLeaves);
}

bool EndsLikeLeaf(const wchar_t* local) {
  static const wchar_t* const kSetters[] = {L"category", L"guid", L"source"};
  return IsLeaf(local) || MFD_RssNameIn(local, kSetters);
}

void StartOwn(MFD_RssParser* ctx, MFD_Rss200State* s, const wchar_t* local, MFD_Vector* attrs) {
  MFD_RssChannel* ch = ctx->channel;
  bool top = s->inRss && s->inChannel && s->level == 0;
  // Directly in the channel: no item, image, skip list or text input open.
  bool inChannel = top && !s->inItem && !s->inImage && !s->inSkipDays && !s->inSkipHours && !s->inTextinput;
  // Directly in an item.
  bool inItem = top && s->inItem && !s->inImage && !s->inSkipDays && !s->inTextinput;
  auto attr = [attrs](const wchar_t* name) { return MFD_RssAttributeValue(attrs, name); };
  if (MFD_RssNameIs(local, L"rss")) {
    s->inRss = 1;
  } else if (MFD_RssNameIs(local, L"channel")) {
    if (s->inRss && !s->inItem && !s->inImage && !s->inSkipDays && !s->inSkipHours && !s->inTextinput &&
        s->level == 0)
      s->inChannel = 1;
  } else if (MFD_RssNameIs(local, L"item")) {
    if (top && !s->inImage && !s->inSkipDays && !s->inSkipHours && !s->inTextinput) {
      s->inItem = 1;
      MFD_RssChannelItem_Free(&ctx->item);
      MFD_RssChannelItem_Create(&ctx->item);
    }
  } else if (MFD_RssNameIs(local, L"image")) {
    if (inChannel && ch != nullptr) {
      s->inImage = 1;
      MFD_RssChannelImage_Free(&ch->image);
      MFD_RssChannelImage_Create(&ch->image);
    } else if (inItem && ctx->item != nullptr) {
      s->inImage = 1;
      MFD_RssChannelImage_Free(&ctx->item->image);
      MFD_RssChannelImage_Create(&ctx->item->image);
    }
  } else if (MFD_RssNameIs(local, L"textinput")) {
    if (inChannel && ch != nullptr) {
      s->inTextinput = 1;
      MFD_RssChannelTextInput_Free(&ch->textInput);
      MFD_RssChannelTextInput_Create(&ch->textInput);
    }
  } else if (MFD_RssNameIs(local, L"skipHours")) {
    if (inChannel) s->inSkipHours = 1;
  } else if (MFD_RssNameIs(local, L"skipDays")) {
    if (inChannel) s->inSkipDays = 1;
  } else if (MFD_RssNameIs(local, L"category")) {
    if (inChannel) {
      s->level = 1;
      MFD_RssChannel_SetCategoryDomain(ch, attr(L"domain"));
    } else if (inItem) {
      s->level = 1;
      MFD_RssChannelItem_SetCategoryDomain(ctx->item, attr(L"domain"));
    }
  } else if (MFD_RssNameIs(local, L"cloud")) {
    if (inChannel) {
      MFD_RssChannel_SetCloudDomain(ch, attr(L"domain"));
      MFD_RssChannel_SetCloudPort(ch, attr(L"port"));
      MFD_RssChannel_SetCloudPath(ch, attr(L"path"));
      MFD_RssChannel_SetCloudRegisterProcedure(ch, attr(L"registerProcedure"));
      MFD_RssChannel_SetCloudProtocol(ch, attr(L"protocol"));
    }
  } else if (MFD_RssNameIs(local, L"enclosure")) {
    if (inItem) {
      MFD_RssChannelItem_SetEnclosureUrl(ctx->item, attr(L"url"));
      MFD_RssChannelItem_SetEnclosureLength(ctx->item, attr(L"length"));
      MFD_RssChannelItem_SetEnclosureType(ctx->item, attr(L"type"));
    }
  } else if (MFD_RssNameIs(local, L"guid")) {
    if (inItem) {
      s->level = 1;
      MFD_RssChannelItem_SetIsPermaLink(ctx->item, attr(L"isPermaLink"));
    }
  } else if (MFD_RssNameIs(local, L"source")) {
    if (inItem) {
      s->level = 1;
      MFD_RssChannelItem_SetSourceUrl(ctx->item, attr(L"url"));
    }
  } else if (IsLeaf(local)) {
    ++s->level;
  }
}

void Start(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local, MFD_Vector* attrs) {
  MFD_Rss200State* s = StateOf(ctx);
  if (MFD_RssNsIs(ns, kMfdNsCsd100)) {
    if (MFD_RssNameIs(local, L"channelset") && s->inChannel && !s->inItem)
      MFD_RssChannel_SetAbout(ctx->channel, MFD_RssAttributeValue(attrs, L"about"));
    return;
  }
  if (!MFD_RssNsIs(ns, kOwn)) return;
  MFD_RssSetStateName(&s->element, local);
  StartOwn(ctx, s, local, attrs);
}

void End(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local) {
  MFD_Rss200State* s = StateOf(ctx);
  if (!MFD_RssNsIs(ns, kOwn)) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss200State::inRss, L"rss", local, EndsLikeLeaf);
}

const MFD_RssField<MFD_RssChannel> kChannelFields[] = {
    {L"copyright", MFD_RssChannel_SetCopyright},           {L"lastBuildDate", MFD_RssChannel_SetLastBuildDate},
    {L"docs", MFD_RssChannel_SetDocs},                     {L"managingEditor", MFD_RssChannel_SetManagingEditor},
    {L"webMaster", MFD_RssChannel_SetWebMaster},           {L"language", MFD_RssChannel_SetLanguage},
    {L"rating", MFD_RssChannel_SetRating},                 {L"ttl", MFD_RssChannel_SetTtl},
    {L"generator", MFD_RssChannel_SetGenerator},
};

const MFD_RssField<MFD_RssChannelItem> kItemFields[] = {
    {L"author", MFD_RssChannelItem_SetAuthor}, {L"comments", MFD_RssChannelItem_SetComments},
    {L"cinst", MFD_RssChannelItem_SetCinst},   {L"guid", MFD_RssChannelItem_SetGuid},
    {L"source", MFD_RssChannelItem_SetSource},
};

// title, link and description: the item (or its image), the channel's image,
// the text input or the channel, the first that applies.
struct HeaderField {
  const wchar_t* name;
  int (*item)(MFD_RssChannelItem*, const wchar_t*);
  int (*image)(MFD_RssChannelImage*, const wchar_t*);
  int (*input)(MFD_RssChannelTextInput*, const wchar_t*);
  int (*channel)(MFD_RssChannel*, const wchar_t*);
  bool inputBeforeImage;
};
const HeaderField kHeaderFields[] = {
    {L"title", MFD_RssChannelItem_SetTitle, MFD_RssChannelImage_SetTitle, MFD_RssChannelTextInput_SetTitle,
     MFD_RssChannel_SetTitle, false},
    {L"link", MFD_RssChannelItem_SetLink, MFD_RssChannelImage_SetLink, MFD_RssChannelTextInput_SetLink,
     MFD_RssChannel_SetLink, true},
    {L"description", MFD_RssChannelItem_SetDescription, MFD_RssChannelImage_SetDescription,
     MFD_RssChannelTextInput_SetDescription, MFD_RssChannel_SetDescription, false},
};

void Text(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* text) {
  MFD_Rss200State* s = StateOf(ctx);
  if (!MFD_RssNsIs(ns, kOwn) || s->element == nullptr) return;
  if (!MFD_RssTextAllowed(ctx, s->element)) return;
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelItem* it = ctx->item;
  MFD_RssChannelImage* chImage = ch != nullptr ? ch->image : nullptr;
  MFD_RssChannelImage* image = s->inItem ? (it != nullptr ? it->image : nullptr) : chImage;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  const wchar_t* e = s->element;
  for (const HeaderField& f : kHeaderFields) {
    if (!MFD_RssNameIs(e, f.name)) continue;
    if (item) {
      if (s->inImage) f.image(image, text);
      else f.item(it, text);
    } else if (s->inImage && !(f.inputBeforeImage && s->inTextinput)) {
      f.image(chImage, text);
    } else if (s->inTextinput) {
      f.input(input, text);
    } else if (channel) {
      f.channel(ch, text);
    }
    return;
  }
  if (MFD_RssNameIs(e, L"url")) {
    if (s->inImage) MFD_RssChannelImage_SetUrl(image, text);
  } else if (MFD_RssNameIs(e, L"width")) {
    if (s->inImage) MFD_RssChannelImage_SetWidth(image, text);
  } else if (MFD_RssNameIs(e, L"height")) {
    if (s->inImage) MFD_RssChannelImage_SetHeight(image, text);
  } else if (MFD_RssNameIs(e, L"name")) {
    if (s->inTextinput) MFD_RssChannelTextInput_SetName(input, text);
  } else if (MFD_RssNameIs(e, L"pubDate")) {
    if (channel && !s->inItem) MFD_RssChannel_SetPubDate(ch, text);
    else if (channel) MFD_RssChannelItem_SetPubDate(it, text);
  } else if (MFD_RssNameIs(e, L"category")) {
    if (channel && s->inItem) MFD_RssChannelItem_SetCategory(it, text);
    else if (channel) MFD_RssChannel_SetCategory(ch, text);
  } else if (MFD_RssNameIs(e, L"hour")) {
    if (s->inSkipHours) MFD_RssChannel_AddSkipHour(ch, text);
  } else if (MFD_RssNameIs(e, L"day")) {
    if (s->inSkipDays) MFD_RssChannel_AddSkipDay(ch, text);
  } else {
    if (channel) MFD_RssApplyField(kChannelFields, ch, e, text);
    if (item) MFD_RssApplyField(kItemFields, it, e, text);
  }
}

}  // namespace

const MFD_RssVersionModule kMfdRss200Module = {kOwn, MFD_RssCreateState<MFD_Rss200State>,
                                               MFD_RssFreeState<MFD_Rss200State>, Start, End, Text};
