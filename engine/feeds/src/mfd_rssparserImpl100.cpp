// RSS 1.0 handler.
#include "engine/feeds/src/mfd_rssparserImpl100.h"

#include "engine/feeds/src/mfd_rssparserImpl090.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl100"

const wchar_t kMfdNsDublinCore[] = L"http://purl.org/dc/elements/1.1/";
const wchar_t kMfdNsSyndication[] = L"http://purl.org/rss/1.0/modules/syndication/";

namespace {

MFD_Rss100State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss100State*>(ctx->versionState); }

bool Own(const wchar_t* ns) { return MFD_RssNsIs(ns, kMfdNsRdf) || MFD_RssNsIs(ns, kMfdNsRss100); }

bool IsLeaf(const wchar_t* local) {
  static const wchar_t* const kLeaves[] = {L"title", L"link",  L"description", L"template", L"url",
                                           L"name",  L"items", L"Seq",         L"li"};
  return MFD_RssNameIn(local, kLeaves);
}

// An element of the RSS 0.90 namespace: the document is RSS 0.90 after all,
// and its handler takes this element on.
void SwitchTo090(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local, MFD_Vector* attrs) {
  if (MFD_RssParser_InstallVersion(ctx, MFD_RSS_090) != MFD_OK ||
      MFD_RssDocument_SetVersion(ctx->document, MFD_RSS_090) != MFD_OK ||
      MFD_RssHandler_SetVersion(ctx->handler, MFD_RSS_090) != MFD_OK) {
    ctx->error = 1;
    return;
  }
  kMfdRss090Module.start(ctx, ns, local, attrs);
}

void Start(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local, MFD_Vector* attrs) {
  MFD_Rss100State* s = StateOf(ctx);
  if (MFD_RssNsIs(ns, kMfdNsRss090)) {
    SwitchTo090(ctx, ns, local, attrs);
    return;
  }
  if (MFD_RssNsIs(ns, kMfdNsDublinCore)) {
    MFD_RssSetStateName(&s->dublinCoreElement, local);
    return;
  }
  if (MFD_RssNsIs(ns, kMfdNsSyndication)) {
    MFD_RssSetStateName(&s->syndicationElement, local);
    return;
  }
  if (!Own(ns)) return;
  MFD_RssSetStateName(&s->element, local);
  bool inContainer = s->inChannel || s->inItem || s->inImage || s->inTextinput;
  MFD_RssChannel* ch = ctx->channel;
  if (MFD_RssNameIs(local, L"RDF")) {
    s->inRdf = 1;
  } else if (MFD_RssNameIs(local, L"channel")) {
    if (!inContainer) {
      s->inChannel = 1;
      const wchar_t* about = MFD_RssAttributeValue(attrs, L"rdf:about");
      if (about != nullptr) MFD_RssChannel_SetAbout(ch, about);
    }
  } else if (MFD_RssNameIs(local, L"item")) {
    if (!inContainer) {
      s->inItem = 1;
      MFD_RssChannelItem_Free(&ctx->item);
      MFD_RssChannelItem_Create(&ctx->item);
    }
  } else if (MFD_RssNameIs(local, L"image")) {
    if (!inContainer && s->level == 0 && ch != nullptr) {
      s->inImage = 1;
      MFD_RssChannelImage_Free(&ch->image);
      MFD_RssChannelImage_Create(&ch->image);
    }
  } else if (MFD_RssNameIs(local, L"textinput")) {
    if (!inContainer && s->level == 0 && ch != nullptr) {
      s->inTextinput = 1;
      MFD_RssChannelTextInput_Free(&ch->textInput);
      MFD_RssChannelTextInput_Create(&ch->textInput);
    }
  } else if (IsLeaf(local)) {
    ++s->level;
  }
}

void End(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local) {
  MFD_Rss100State* s = StateOf(ctx);
  if (MFD_RssNsIs(ns, kMfdNsDublinCore)) {
    MFD_RssSetStateName(&s->dublinCoreElement, nullptr);
    return;
  }
  if (MFD_RssNsIs(ns, kMfdNsSyndication)) {
    MFD_RssSetStateName(&s->syndicationElement, nullptr);
    return;
  }
  if (!Own(ns)) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss100State::inRdf, L"RDF", local, IsLeaf);
}

void MainText(MFD_RssParser* ctx, MFD_Rss100State* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  const wchar_t* e = s->element;
  if (MFD_RssCommonText(ctx, s, text)) return;
  if (MFD_RssNameIs(e, L"description")) {
    if (item) MFD_RssChannelItem_SetDescription(ctx->item, text);
    else if (s->inTextinput) MFD_RssChannelTextInput_SetDescription(input, text);
    else if (channel && !s->inImage) MFD_RssChannel_SetDescription(ch, text);
  } else if (MFD_RssNameIs(e, L"template")) {
    if (item) MFD_RssChannelItem_SetTemplate(ctx->item, text);
    else if (channel && !s->inImage && !s->inTextinput) MFD_RssChannel_SetTemplate(ch, text);
  }
}

// The record whose Dublin Core the text fills, made on first use.
MFD_RssDublinCore* DublinCoreTarget(MFD_RssParser* ctx, MFD_Rss100State* s) {
  MFD_RssDublinCore** slot = nullptr;
  MFD_RssChannel* ch = ctx->channel;
  if (!s->inChannel && s->inItem && s->level == 0 && ctx->item != nullptr) {
    slot = &ctx->item->dublinCore;
  } else if (s->inChannel && !s->inItem && s->level == 0 && ch != nullptr) {
    if (s->inImage && ch->image != nullptr) slot = &ch->image->dublinCore;
    else if (s->inTextinput && ch->textInput != nullptr) slot = &ch->textInput->dublinCore;
    else if (!s->inImage && !s->inTextinput) slot = &ch->dublinCore;
  }
  if (slot == nullptr) return nullptr;
  if (*slot == nullptr) MFD_RssDublinCore_Create(slot);
  return *slot;
}

const MFD_RssField<MFD_RssDublinCore> kDublinCoreFields[] = {
    {L"contributor", MFD_RssDublinCore_SetContributor}, {L"coverage", MFD_RssDublinCore_SetCoverage},
    {L"creator", MFD_RssDublinCore_SetCreator},         {L"date", MFD_RssDublinCore_SetDate},
    {L"description", MFD_RssDublinCore_SetDescription}, {L"format", MFD_RssDublinCore_SetFormat},
    {L"identifier", MFD_RssDublinCore_SetIdentifier},   {L"language", MFD_RssDublinCore_SetLanguage},
    {L"publisher", MFD_RssDublinCore_SetPublisher},     {L"relation", MFD_RssDublinCore_SetRelation},
    {L"rights", MFD_RssDublinCore_SetRights},           {L"source", MFD_RssDublinCore_SetSource},
    {L"subject", MFD_RssDublinCore_SetSubject},         {L"title", MFD_RssDublinCore_SetTitle},
    {L"type", MFD_RssDublinCore_SetType},
};

void DublinCoreText(MFD_RssParser* ctx, MFD_Rss100State* s, const wchar_t* text) {
  if (s->dublinCoreElement == nullptr) return;
  MFD_RssDublinCore* dc = DublinCoreTarget(ctx, s);
  if (dc != nullptr) MFD_RssApplyField(kDublinCoreFields, dc, s->dublinCoreElement, text);
}

void SyndicationText(MFD_RssParser* ctx, MFD_Rss100State* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  if (s->syndicationElement == nullptr || ch == nullptr || !s->inChannel || s->level != 0 || s->inItem ||
      s->inImage || s->inTextinput)
    return;
  if (ch->syndication == nullptr && MFD_RssSyndication_Create(&ch->syndication) != MFD_OK) return;
  const wchar_t* e = s->syndicationElement;
  if (MFD_RssNameIs(e, L"updatePeriod")) MFD_RssSyndication_SetUpdatePeriod(ch->syndication, text);
  else if (MFD_RssNameIs(e, L"updateFrequency")) MFD_RssSyndication_SetUpdateFrequency(ch->syndication, text);
  else if (MFD_RssNameIs(e, L"updateBase")) MFD_RssSyndication_SetUpdateBase(ch->syndication, text);
}

void Text(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* text) {
  MFD_Rss100State* s = StateOf(ctx);
  MFD_RssModuleText(ctx, s, Own(ns), ns, text, MainText, DublinCoreText, SyndicationText);
}

}  // namespace

const MFD_RssVersionModule kMfdRss100Module = {nullptr, MFD_RssCreateState<MFD_Rss100State>,
                                               MFD_RssFreeState<MFD_Rss100State>, Start, End, Text};
