// RSS 1.0 handler.
#include "engine/feeds/src/mfd_rssparserImpl100.h"

#include "engine/feeds/src/mfd_rssparserImpl090.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl100"

const wchar_t kMfdNsDublinCore[] = L"http://purl.org/dc/elements/1.1/";
const wchar_t kMfdNsSyndication[] = L"http://purl.org/rss/1.0/modules/syndication/";

namespace {

MFD_Rss100State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss100State*>(ctx->versionState); }

bool Own(MFD_RssNs ns) { return ns == MFD_RssNs::Rdf || ns == MFD_RssNs::Rss100; }

constexpr MFD_RssNameSet kLeaves{MFD_RssName::Title, MFD_RssName::Link,  MFD_RssName::Description,
                                 MFD_RssName::Template, MFD_RssName::Url, MFD_RssName::Name,
                                 MFD_RssName::Items, MFD_RssName::Seq,  MFD_RssName::Li};

bool IsLeaf(MFD_RssName name) { return kLeaves.Has(name); }

// An element of the RSS 0.90 namespace: the document is RSS 0.90 after all,
// and its handler takes this element on.
void SwitchTo090(MFD_RssParser* ctx, const MFD_RssElement& e) {
  if (MFD_RssParser_InstallVersion(ctx, MFD_RSS_090) != MFD_OK ||
      MFD_RssDocument_SetVersion(ctx->document, MFD_RSS_090) != MFD_OK ||
      MFD_RssHandler_SetVersion(ctx->handler, MFD_RSS_090) != MFD_OK) {
    ctx->error = 1;
    return;
  }
  kMfdRss090Module.start(ctx, e);
}

void Start(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss100State* s = StateOf(ctx);
  switch (e.ns) {
    case MFD_RssNs::Rss090: SwitchTo090(ctx, e); return;
    case MFD_RssNs::DublinCore: MFD_RssSetCurrent(&s->dublinCoreElement, e); return;
    case MFD_RssNs::Syndication: MFD_RssSetCurrent(&s->syndicationElement, e); return;
    default:
      if (!Own(e.ns)) return;
  }
  MFD_RssSetCurrent(&s->element, e);
  bool inContainer = s->inChannel || s->inItem || s->inImage || s->inTextinput;
  MFD_RssChannel* ch = ctx->channel;
  switch (e.name) {
    case MFD_RssName::Rdf: s->inRdf = 1; break;
    case MFD_RssName::Channel:
      if (!inContainer) {
        s->inChannel = 1;
        const wchar_t* about = MFD_RssAttributeValue(ctx, e.attributes, L"rdf:about");
        if (about != nullptr) MFD_RssChannel_SetAbout(ch, about);
      }
      break;
    case MFD_RssName::Item:
      if (!inContainer) {
        MFD_RssOpenItem(ctx, s);
      }
      break;
    case MFD_RssName::Image:
      if (!inContainer && s->level == 0 && ch != nullptr) {
        MFD_RssOpenImage(s, &ch->image);
      }
      break;
    case MFD_RssName::Textinput:
      if (!inContainer && s->level == 0 && ch != nullptr) {
        MFD_RssOpenTextInput(s, &ch->textInput);
      }
      break;
    default:
      if (IsLeaf(e.name)) ++s->level;
  }
}

void End(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss100State* s = StateOf(ctx);
  switch (e.ns) {
    case MFD_RssNs::DublinCore: MFD_RssClearCurrent(&s->dublinCoreElement); return;
    case MFD_RssNs::Syndication: MFD_RssClearCurrent(&s->syndicationElement); return;
    default:
      if (!Own(e.ns)) return;
  }
  MFD_RssEndContainer(ctx, s, &MFD_Rss100State::inRdf, MFD_RssName::Rdf, e.name, IsLeaf);
}

void MainText(MFD_RssParser* ctx, MFD_Rss100State* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  if (MFD_RssCommonText(ctx, s, text)) return;
  if (s->element.name == MFD_RssName::Description) {
    if (item) MFD_RssChannelItem_SetDescription(ctx->item, text);
    else if (s->inTextinput) MFD_RssChannelTextInput_SetDescription(input, text);
    else if (channel && !s->inImage) MFD_RssChannel_SetDescription(ch, text);
  } else if (s->element.name == MFD_RssName::Template) {
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
    {MFD_RssName::Contributor, MFD_RssDublinCore_SetContributor},
    {MFD_RssName::Coverage, MFD_RssDublinCore_SetCoverage},
    {MFD_RssName::Creator, MFD_RssDublinCore_SetCreator},
    {MFD_RssName::Date, MFD_RssDublinCore_SetDate},
    {MFD_RssName::Description, MFD_RssDublinCore_SetDescription},
    {MFD_RssName::Format, MFD_RssDublinCore_SetFormat},
    {MFD_RssName::Identifier, MFD_RssDublinCore_SetIdentifier},
    {MFD_RssName::Language, MFD_RssDublinCore_SetLanguage},
    {MFD_RssName::Publisher, MFD_RssDublinCore_SetPublisher},
    {MFD_RssName::Relation, MFD_RssDublinCore_SetRelation},
    {MFD_RssName::Rights, MFD_RssDublinCore_SetRights},
    {MFD_RssName::Source, MFD_RssDublinCore_SetSource},
    {MFD_RssName::Subject, MFD_RssDublinCore_SetSubject},
    {MFD_RssName::Title, MFD_RssDublinCore_SetTitle},
    {MFD_RssName::Type, MFD_RssDublinCore_SetType},
};

void DublinCoreText(MFD_RssParser* ctx, MFD_Rss100State* s, const wchar_t* text) {
  if (s->dublinCoreElement.text == nullptr) return;
  MFD_RssDublinCore* dc = DublinCoreTarget(ctx, s);
  if (dc != nullptr) MFD_RssApplyField(kDublinCoreFields, dc, s->dublinCoreElement.name, text);
}

void SyndicationText(MFD_RssParser* ctx, MFD_Rss100State* s, const wchar_t* text) {
  MFD_RssChannel* ch = ctx->channel;
  if (s->syndicationElement.text == nullptr || ch == nullptr || !s->inChannel || s->level != 0 || s->inItem ||
      s->inImage || s->inTextinput)
    return;
  if (ch->syndication == nullptr && MFD_RssSyndication_Create(&ch->syndication) != MFD_OK) return;
  switch (s->syndicationElement.name) {
    case MFD_RssName::UpdatePeriod: MFD_RssSyndication_SetUpdatePeriod(ch->syndication, text); break;
    case MFD_RssName::UpdateFrequency: MFD_RssSyndication_SetUpdateFrequency(ch->syndication, text); break;
    case MFD_RssName::UpdateBase: MFD_RssSyndication_SetUpdateBase(ch->syndication, text); break;
    default: break;
  }
}

void Text(MFD_RssParser* ctx, MFD_RssNs ns, const wchar_t* text) {
  MFD_Rss100State* s = StateOf(ctx);
  MFD_RssModuleText(ctx, s, Own(ns), ns, text, MainText, DublinCoreText, SyndicationText);
}

}  // namespace

const MFD_RssVersionModule kMfdRss100Module = {nullptr, MFD_RssCreateState<MFD_Rss100State>,
                                               MFD_RssFreeState<MFD_Rss100State>, Start, End, Text};
