// Channel-set handler.
#include "engine/feeds/src/mfd_rssparserImplCSD.h"

#include "engine/feeds/src/mfd_rssparserImpl100.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImplCSD"

namespace {

MFD_RssCsdState* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_RssCsdState*>(ctx->versionState); }

bool Own(const wchar_t* ns) { return MFD_RssNsIs(ns, kMfdNsCsd100) || MFD_RssNsIs(ns, kMfdNsCsd200); }

// Directly in the set's description, outside any member channel or list.
bool SetOnly(const MFD_RssCsdState* s) { return s->inChannelset && !s->inChannel && !s->inChannels && !s->inSeq; }
// Directly in a member channel.
bool ChannelOnly(const MFD_RssCsdState* s) {
  return s->inChannel && !s->inChannelset && !s->inChannels && !s->inSeq;
}

// The set's start-up settings: its ch and whether it shows a menu.
void ReadInit(MFD_RssChannel* ch, MFD_Vector* attrs) {
  bool haveCh = false, haveMenu = false;
  for (MFD_VectorNode* n = attrs != nullptr ? attrs->first : nullptr; n != nullptr && !(haveCh && haveMenu);
       n = n->next) {
    const wchar_t* name = MFD_RssAttribute_Name(n);
    const wchar_t* value = MFD_RssAttribute_Value(n);
    if (!haveCh && MFD_RssNameIs(name, L"ch")) {
      MFD_RssChannel_SetCh(ch, value);
      haveCh = true;
    } else if (!haveMenu && MFD_RssNameIs(name, L"menu")) {
      if (MFD_RssNameIs(value, L"on")) MFD_RssChannel_SetMenu(ch, 1);
      else if (MFD_RssNameIs(value, L"off")) MFD_RssChannel_SetMenu(ch, 0);
      haveMenu = true;
    }
  }
}

// An element of the Dublin Core or syndication module: its name becomes (or,
// when null, stops being) that module's current element name.
bool ModuleElement(MFD_RssCsdState* s, const wchar_t* ns, const wchar_t* name) {
  if (MFD_RssNsIs(ns, kMfdNsDublinCore)) MFD_RssSetStateName(&s->dublinCoreElement, name);
  else if (MFD_RssNsIs(ns, kMfdNsSyndication)) MFD_RssSetStateName(&s->syndicationElement, name);
  else return false;
  return true;
}

void Start(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local, MFD_Vector* attrs) {
  MFD_RssCsdState* s = StateOf(ctx);
  if (ModuleElement(s, ns, local) || !Own(ns)) return;
  MFD_RssSetStateName(&s->element, local);
  MFD_RssChannel* ch = ctx->channel;
  if (MFD_RssNameIs(local, L"csd")) {
    s->inCsd = 1;
  } else if (MFD_RssNameIs(local, L"channelset")) {
    if (!s->inChannel) {
      s->inChannelset = 1;
      MFD_RssChannel_SetAbout(ch, MFD_RssAttributeValue(attrs, L"about"));
    }
  } else if (MFD_RssNameIs(local, L"channel")) {
    if (!s->inChannelset) {
      s->inChannel = 1;
      MFD_RssChannelItem_Free(&ctx->item);
      MFD_RssChannelItem_Create(&ctx->item);
      MFD_RssChannelItem_SetClass(ctx->item, MFD_RssAttributeValue(attrs, L"class"));
    }
  } else if (MFD_RssNameIs(local, L"channels")) {
    s->inChannels = 1;
  } else if (MFD_RssNameIs(local, L"Seq")) {
    s->inSeq = 1;
  } else if (MFD_RssNameIs(local, L"init")) {
    if (SetOnly(s) && ch != nullptr) ReadInit(ch, attrs);
  } else if (MFD_RssNameIs(local, L"portalmenu")) {
    if (SetOnly(s)) {
      MFD_RssChannel_SetStyle(ch, MFD_RssAttributeValue(attrs, L"style"));
      s->inPortalmenu = 1;
    }
  }
}

void End(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local) {
  MFD_RssCsdState* s = StateOf(ctx);
  if (ModuleElement(s, ns, nullptr) || !Own(ns)) return;
  if (MFD_RssNameIs(local, L"csd")) {
    s->inCsd = 0;
  } else if (MFD_RssNameIs(local, L"channelset")) {
    s->inChannelset = 0;
  } else if (MFD_RssNameIs(local, L"channels")) {
    s->inChannels = 0;
  } else if (MFD_RssNameIs(local, L"Seq")) {
    s->inSeq = 0;
  } else if (MFD_RssNameIs(local, L"portalmenu")) {
    s->inPortalmenu = 0;
  } else if (MFD_RssNameIs(local, L"channel")) {
    if (s->inChannel) MFD_RssParser_HandOverItem(ctx);
    s->inChannel = 0;
    MFD_RssChannelItem_Free(&ctx->item);
  }
  MFD_RssSetStateName(&s->element, nullptr);
}

// The item's channel-set record, made on first use.
MFD_RssChannelSet* ItemChannelSet(MFD_RssChannelItem* item) {
  if (item == nullptr) return nullptr;
  if (item->channelSet == nullptr) MFD_RssChannelSet_Create(&item->channelSet);
  return item->channelSet;
}

// The set's own image is given by its address alone.
void ReplaceChannelImage(MFD_RssChannel* ch, const wchar_t* url) {
  MFD_RssChannelImage* image = nullptr;
  if (ch == nullptr || MFD_RssChannelImage_Create(&image) != MFD_OK) return;
  if (MFD_RssChannelImage_SetUrl(image, url) != MFD_OK) {
    MFD_RssChannelImage_Free(&image);
    return;
  }
  MFD_RssChannelImage_Free(&ch->image);
  ch->image = image;
}

void MainText(MFD_RssParser* ctx, MFD_RssCsdState* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelItem* item = ctx->item;
  bool set = SetOnly(s) && ch != nullptr;
  bool member = ChannelOnly(s) && item != nullptr;
  const wchar_t* e = s->element;
  if (MFD_RssNameIs(e, L"title")) {
    if (member) MFD_RssChannelItem_SetTitle(item, text);
    else if (set) MFD_RssChannel_SetTitle(ch, text);
  } else if (MFD_RssNameIs(e, L"link")) {
    if (member) MFD_RssChannelItem_SetLink(item, text);
    else if (set) MFD_RssChannel_SetLink(ch, text);
  } else if (MFD_RssNameIs(e, L"description")) {
    if (member) MFD_RssChannelItem_SetDescription(item, text);
    else if (set) MFD_RssChannel_SetDescription(ch, text);
  } else if (MFD_RssNameIs(e, L"accesskey")) {
    if (member) MFD_RssChannelSet_SetAccesskey(ItemChannelSet(item), text);
  } else if (MFD_RssNameIs(e, L"image")) {
    if (member) MFD_RssChannelSet_SetImage(ItemChannelSet(item), text);
    else if (set) ReplaceChannelImage(ch, text);
  } else if (MFD_RssNameIs(e, L"background-img")) {
    if (set && s->inPortalmenu) MFD_RssChannel_SetBackgroundImg(ch, text);
  } else if (MFD_RssNameIs(e, L"template")) {
    if (set && s->inPortalmenu) MFD_RssChannel_SetTemplate(ch, text);
  } else if (MFD_RssNameIs(e, L"touch")) {
    if (set && !s->inPortalmenu) MFD_RssChannel_SetTouch(ch, text);
  } else if (MFD_RssNameIs(e, L"count")) {
    if (s->inChannelset && s->inChannels && !s->inChannel && !s->inSeq) MFD_RssChannel_SetCount(ch, text);
  }
}

// What the set and a member channel each take from Dublin Core.
const MFD_RssField<MFD_RssDublinCore> kSetDublinCore[] = {
    {L"creator", MFD_RssDublinCore_SetCreator},   {L"date", MFD_RssDublinCore_SetDate},
    {L"relation", MFD_RssDublinCore_SetRelation}, {L"type", MFD_RssDublinCore_SetType},
    {L"identifier", MFD_RssDublinCore_SetIdentifier},
};
const MFD_RssField<MFD_RssDublinCore> kChannelDublinCore[] = {
    {L"type", MFD_RssDublinCore_SetType},
    {L"identifier", MFD_RssDublinCore_SetIdentifier},
    {L"source", MFD_RssDublinCore_SetSource},
    {L"subject", MFD_RssDublinCore_SetSubject},
};

template <size_t N>
void FillDublinCore(MFD_RssDublinCore** slot, const MFD_RssField<MFD_RssDublinCore> (&fields)[N],
                    const wchar_t* name, const wchar_t* text) {
  const MFD_RssField<MFD_RssDublinCore>* f = MFD_RssFindField(fields, name);
  if (f == nullptr || (*slot == nullptr && MFD_RssDublinCore_Create(slot) != MFD_OK)) return;
  f->set(*slot, text);
}

void DublinCoreText(MFD_RssParser* ctx, MFD_RssCsdState* s, const wchar_t* text) {
  const wchar_t* e = s->dublinCoreElement;
  if (e == nullptr) return;
  if (s->inChannelset && !s->inChannel && ctx->channel != nullptr)
    FillDublinCore(&ctx->channel->dublinCore, kSetDublinCore, e, text);
  else if (s->inChannel && !s->inChannelset && ctx->item != nullptr)
    FillDublinCore(&ctx->item->dublinCore, kChannelDublinCore, e, text);
}

void SyndicationText(MFD_RssParser* ctx, MFD_RssCsdState* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  const wchar_t* e = s->syndicationElement;
  if (e == nullptr || ch == nullptr || !s->inChannelset || s->inChannel) return;
  static const wchar_t* const kNames[] = {L"updatePeriod", L"updateFrequency", L"updateBase"};
  if (!MFD_RssNameIn(e, kNames)) return;
  if (ch->syndication == nullptr && MFD_RssSyndication_Create(&ch->syndication) != MFD_OK) return;
  if (MFD_RssNameIs(e, L"updatePeriod")) MFD_RssSyndication_SetUpdatePeriod(ch->syndication, text);
  else if (MFD_RssNameIs(e, L"updateFrequency")) MFD_RssSyndication_SetUpdateFrequency(ch->syndication, text);
  else MFD_RssSyndication_SetUpdateBase(ch->syndication, text);
}

void Text(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* text) {
  MFD_RssCsdState* s = StateOf(ctx);
  MFD_RssModuleText(ctx, s, Own(ns), ns, text, MainText, DublinCoreText, SyndicationText);
}

}  // namespace

const MFD_RssVersionModule kMfdRssCsdModule = {nullptr, MFD_RssCreateState<MFD_RssCsdState>,
                                               MFD_RssFreeState<MFD_RssCsdState>, Start, End, Text};
