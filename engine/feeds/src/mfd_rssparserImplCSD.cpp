// Channel-set handler.
#include "engine/feeds/src/mfd_rssparserImplCSD.h"

#include "engine/feeds/src/mfd_rssparserImpl100.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImplCSD"

namespace {

MFD_RssCsdState* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_RssCsdState*>(ctx->versionState); }

bool Own(MFD_RssNs ns) { return ns == MFD_RssNs::Csd100 || ns == MFD_RssNs::Csd200; }

// Directly in the set's description, outside any member channel or list.
bool SetOnly(const MFD_RssCsdState* s) { return s->inChannelset && !s->inChannel && !s->inChannels && !s->inSeq; }
// Directly in a member channel.
bool ChannelOnly(const MFD_RssCsdState* s) {
  return s->inChannel && !s->inChannelset && !s->inChannels && !s->inSeq;
}

// The set's start-up settings: its ch and whether it shows a menu.
void ReadInit(MFD_RssParser* ctx, MFD_RssChannel* ch, const MFD_RssAttributes& attrs) {
  if (const wchar_t* value = MFD_RssAttributeValue(ctx, attrs, L"ch")) MFD_RssChannel_SetCh(ch, value);
  if (const wchar_t* menu = MFD_RssAttributeValue(ctx, attrs, L"menu")) {
    if (MFD_RssNameIs(menu, L"on")) MFD_RssChannel_SetMenu(ch, 1);
    else if (MFD_RssNameIs(menu, L"off")) MFD_RssChannel_SetMenu(ch, 0);
  }
}

// The current element of the Dublin Core or syndication module, when `ns`
// is one of them; null otherwise.
MFD_RssCurrent* ModuleElement(MFD_RssCsdState* s, MFD_RssNs ns) {
  if (ns == MFD_RssNs::DublinCore) return &s->dublinCoreElement;
  if (ns == MFD_RssNs::Syndication) return &s->syndicationElement;
  return nullptr;
}

void Start(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_RssCsdState* s = StateOf(ctx);
  if (MFD_RssCurrent* module = ModuleElement(s, e.ns)) {
    MFD_RssSetCurrent(module, e);
    return;
  }
  if (!Own(e.ns)) return;
  MFD_RssSetCurrent(&s->element, e);
  MFD_RssChannel* ch = ctx->channel;
  switch (e.name) {
    case MFD_RssName::Csd: s->inCsd = 1; break;
    case MFD_RssName::Channelset:
      if (!s->inChannel) {
        s->inChannelset = 1;
        MFD_RssChannel_SetAbout(ch, MFD_RssAttributeValue(ctx, e.attributes, L"about"));
      }
      break;
    case MFD_RssName::Channel:
      if (!s->inChannelset) {
        s->inChannel = 1;
        MFD_RssChannelItem_Free(&ctx->item);
        MFD_RssChannelItem_Create(&ctx->item);
        MFD_RssChannelItem_SetClass(ctx->item, MFD_RssAttributeValue(ctx, e.attributes, L"class"));
      }
      break;
    case MFD_RssName::Channels: s->inChannels = 1; break;
    case MFD_RssName::Seq: s->inSeq = 1; break;
    case MFD_RssName::Init:
      if (SetOnly(s) && ch != nullptr) ReadInit(ctx, ch, e.attributes);
      break;
    case MFD_RssName::Portalmenu:
      if (SetOnly(s)) {
        MFD_RssChannel_SetStyle(ch, MFD_RssAttributeValue(ctx, e.attributes, L"style"));
        s->inPortalmenu = 1;
      }
      break;
    default: break;
  }
}

void End(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_RssCsdState* s = StateOf(ctx);
  if (MFD_RssCurrent* module = ModuleElement(s, e.ns)) {
    MFD_RssClearCurrent(module);
    return;
  }
  if (!Own(e.ns)) return;
  switch (e.name) {
    case MFD_RssName::Csd: s->inCsd = 0; break;
    case MFD_RssName::Channelset: s->inChannelset = 0; break;
    case MFD_RssName::Channels: s->inChannels = 0; break;
    case MFD_RssName::Seq: s->inSeq = 0; break;
    case MFD_RssName::Portalmenu: s->inPortalmenu = 0; break;
    case MFD_RssName::Channel:
      if (s->inChannel) MFD_RssParser_HandOverItem(ctx);
      s->inChannel = 0;
      MFD_RssChannelItem_Free(&ctx->item);
      break;
    default: break;
  }
  MFD_RssClearCurrent(&s->element);
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
  switch (s->element.name) {
    case MFD_RssName::Title:
      if (member) MFD_RssChannelItem_SetTitle(item, text);
      else if (set) MFD_RssChannel_SetTitle(ch, text);
      break;
    case MFD_RssName::Link:
      if (member) MFD_RssChannelItem_SetLink(item, text);
      else if (set) MFD_RssChannel_SetLink(ch, text);
      break;
    case MFD_RssName::Description:
      if (member) MFD_RssChannelItem_SetDescription(item, text);
      else if (set) MFD_RssChannel_SetDescription(ch, text);
      break;
    case MFD_RssName::Accesskey:
      if (member) MFD_RssChannelSet_SetAccesskey(ItemChannelSet(item), text);
      break;
    case MFD_RssName::Image:
      if (member) MFD_RssChannelSet_SetImage(ItemChannelSet(item), text);
      else if (set) ReplaceChannelImage(ch, text);
      break;
    case MFD_RssName::BackgroundImg:
      if (set && s->inPortalmenu) MFD_RssChannel_SetBackgroundImg(ch, text);
      break;
    case MFD_RssName::Template:
      if (set && s->inPortalmenu) MFD_RssChannel_SetTemplate(ch, text);
      break;
    case MFD_RssName::Touch:
      if (set && !s->inPortalmenu) MFD_RssChannel_SetTouch(ch, text);
      break;
    case MFD_RssName::Count:
      if (s->inChannelset && s->inChannels && !s->inChannel && !s->inSeq) MFD_RssChannel_SetCount(ch, text);
      break;
    default: break;
  }
}

// What the set and a member channel each take from Dublin Core.
const MFD_RssField<MFD_RssDublinCore> kSetDublinCore[] = {
    {MFD_RssName::Creator, MFD_RssDublinCore_SetCreator},   {MFD_RssName::Date, MFD_RssDublinCore_SetDate},
    {MFD_RssName::Relation, MFD_RssDublinCore_SetRelation}, {MFD_RssName::Type, MFD_RssDublinCore_SetType},
    {MFD_RssName::Identifier, MFD_RssDublinCore_SetIdentifier},
};
const MFD_RssField<MFD_RssDublinCore> kChannelDublinCore[] = {
    {MFD_RssName::Type, MFD_RssDublinCore_SetType},
    {MFD_RssName::Identifier, MFD_RssDublinCore_SetIdentifier},
    {MFD_RssName::Source, MFD_RssDublinCore_SetSource},
    {MFD_RssName::Subject, MFD_RssDublinCore_SetSubject},
};

template <size_t N>
void FillDublinCore(MFD_RssDublinCore** slot, const MFD_RssField<MFD_RssDublinCore> (&fields)[N], MFD_RssName name,
                    const wchar_t* text) {
  const MFD_RssField<MFD_RssDublinCore>* f = MFD_RssFindField(fields, name);
  if (f == nullptr || (*slot == nullptr && MFD_RssDublinCore_Create(slot) != MFD_OK)) return;
  f->set(*slot, text);
}

void DublinCoreText(MFD_RssParser* ctx, MFD_RssCsdState* s, const wchar_t* text) {
  if (s->dublinCoreElement.text == nullptr) return;
  MFD_RssName e = s->dublinCoreElement.name;
  if (s->inChannelset && !s->inChannel && ctx->channel != nullptr)
    FillDublinCore(&ctx->channel->dublinCore, kSetDublinCore, e, text);
  else if (s->inChannel && !s->inChannelset && ctx->item != nullptr)
    FillDublinCore(&ctx->item->dublinCore, kChannelDublinCore, e, text);
}

void SyndicationText(MFD_RssParser* ctx, MFD_RssCsdState* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssName e = s->syndicationElement.name;
  if (s->syndicationElement.text == nullptr || ch == nullptr || !s->inChannelset || s->inChannel) return;
  if (e != MFD_RssName::UpdatePeriod && e != MFD_RssName::UpdateFrequency && e != MFD_RssName::UpdateBase) return;
  if (ch->syndication == nullptr && MFD_RssSyndication_Create(&ch->syndication) != MFD_OK) return;
  if (e == MFD_RssName::UpdatePeriod) MFD_RssSyndication_SetUpdatePeriod(ch->syndication, text);
  else if (e == MFD_RssName::UpdateFrequency) MFD_RssSyndication_SetUpdateFrequency(ch->syndication, text);
  else MFD_RssSyndication_SetUpdateBase(ch->syndication, text);
}

void Text(MFD_RssParser* ctx, MFD_RssNs ns, const wchar_t* text) {
  MFD_RssCsdState* s = StateOf(ctx);
  MFD_RssModuleText(ctx, s, Own(ns), ns, text, MainText, DublinCoreText, SyndicationText);
}

}  // namespace

const MFD_RssVersionModule kMfdRssCsdModule = {nullptr, MFD_RssCreateState<MFD_RssCsdState>,
                                               MFD_RssFreeState<MFD_RssCsdState>, Start, End, Text};
