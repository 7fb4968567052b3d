// RSS 0.90 handler.
#include "engine/feeds/src/mfd_rssparserImpl090.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl090"

namespace {

MFD_Rss090State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss090State*>(ctx->versionState); }

bool Own(MFD_RssNs ns) { return ns == MFD_RssNs::Rdf || ns == MFD_RssNs::Rss090; }

constexpr MFD_RssNameSet kLeaves{MFD_RssName::Title, MFD_RssName::Link, MFD_RssName::Description, MFD_RssName::Url,
                                 MFD_RssName::Name};

bool IsLeaf(MFD_RssName name) { return kLeaves.Has(name); }

void Start(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss090State* s = StateOf(ctx);
  if (!Own(e.ns)) return;
  MFD_RssSetCurrent(&s->element, e);
  bool inContainer = s->inChannel || s->inItem || s->inImage || s->inTextinput;
  switch (e.name) {
    case MFD_RssName::Rdf: s->inRdf = 1; break;
    case MFD_RssName::Channel:
      if (!inContainer) s->inChannel = 1;
      break;
    case MFD_RssName::Item:
      if (!inContainer) {
        MFD_RssOpenItem(ctx, s);
      }
      break;
    case MFD_RssName::Image:
      if (!inContainer && s->level == 0 && ctx->channel != nullptr) {
        MFD_RssOpenImage(s, &ctx->channel->image);
      }
      break;
    case MFD_RssName::Textinput:
      if (!inContainer && s->level == 0 && ctx->channel != nullptr) {
        MFD_RssOpenTextInput(s, &ctx->channel->textInput);
      }
      break;
    default:
      if (IsLeaf(e.name)) ++s->level;
  }
}

void End(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss090State* s = StateOf(ctx);
  if (!Own(e.ns)) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss090State::inRdf, MFD_RssName::Rdf, e.name, IsLeaf);
}

void Text(MFD_RssParser* ctx, MFD_RssNs ns, const wchar_t* text) {
  MFD_Rss090State* s = StateOf(ctx);
  if (!Own(ns) || s->element.text == nullptr) return;
  if (!MFD_RssTextAllowed(ctx, s->element.text)) return;
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool channel = s->inChannel && s->level == 1;
  if (MFD_RssCommonText(ctx, s, text)) return;
  if (s->element.name == MFD_RssName::Description) {
    if (s->inTextinput) MFD_RssChannelTextInput_SetDescription(input, text);
    else if (channel && !s->inImage) MFD_RssChannel_SetDescription(ch, text);
  }
}

}  // namespace

const MFD_RssVersionModule kMfdRss090Module = {nullptr, MFD_RssCreateState<MFD_Rss090State>,
                                                   MFD_RssFreeState<MFD_Rss090State>, Start, End, Text};
