// RSS 0.91 handler.
#include "engine/feeds/src/mfd_rssparserImpl091.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl091"

namespace {

MFD_Rss091State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss091State*>(ctx->versionState); }

bool IsLeaf(MFD_RssName name) { return kMfdRss091Leaves.Has(name); }

void Start(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss091State* s = StateOf(ctx);
  if (e.ns != MFD_RssNs::Own091) return;
  MFD_RssSetCurrent(&s->element, e);
  // A container opens only directly inside the channel, outside every other
  // container and leaf.
  bool inChannel = s->inRss && s->inChannel && s->level == 0;
  bool others = s->inItem || s->inImage || s->inSkipDays || s->inSkipHours || s->inTextinput;
  MFD_RssChannel* ch = ctx->channel;
  switch (e.name) {
    case MFD_RssName::Rss: s->inRss = 1; break;
    case MFD_RssName::Channel:
      if (s->inRss && !others && s->level == 0) s->inChannel = 1;
      break;
    case MFD_RssName::Item:
      if (inChannel && !others) {
        MFD_RssOpenItem(ctx, s);
      }
      break;
    case MFD_RssName::Image:
      if (inChannel && !others && ch != nullptr) {
        MFD_RssOpenImage(s, &ch->image);
      }
      break;
    case MFD_RssName::Textinput:
      if (inChannel && !others && ch != nullptr) {
        MFD_RssOpenTextInput(s, &ch->textInput);
      }
      break;
    case MFD_RssName::SkipHours:
      if (inChannel && !others) s->inSkipHours = 1;
      break;
    case MFD_RssName::SkipDays:
      if (inChannel && !others) s->inSkipDays = 1;
      break;
    default:
      if (IsLeaf(e.name)) ++s->level;
  }
}

void End(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss091State* s = StateOf(ctx);
  if (e.ns != MFD_RssNs::Own091) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss091State::inRss, MFD_RssName::Rss, e.name, IsLeaf);
}

// The channel fields a leaf of the same name fills.
const MFD_RssField<MFD_RssChannel> kChannelFields[] = {
    {MFD_RssName::Copyright, MFD_RssChannel_SetCopyright},
    {MFD_RssName::PubDate, MFD_RssChannel_SetPubDate},
    {MFD_RssName::LastBuildDate, MFD_RssChannel_SetLastBuildDate},
    {MFD_RssName::Docs, MFD_RssChannel_SetDocs},
    {MFD_RssName::ManagingEditor, MFD_RssChannel_SetManagingEditor},
    {MFD_RssName::WebMaster, MFD_RssChannel_SetWebMaster},
    {MFD_RssName::Language, MFD_RssChannel_SetLanguage},
    {MFD_RssName::Rating, MFD_RssChannel_SetRating},
};

void Text(MFD_RssParser* ctx, MFD_RssNs ns, const wchar_t* text) {
  MFD_Rss091State* s = StateOf(ctx);
  if (ns != MFD_RssNs::Own091 || s->element.text == nullptr) return;
  if (!MFD_RssTextAllowed(ctx, s->element.text)) return;
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelImage* image = ch != nullptr ? ch->image : nullptr;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  if (MFD_RssCommonText(ctx, s, text) || MFD_RssSkipAndSizeText(ch, image, s, text)) return;
  if (s->element.name == MFD_RssName::Description) {
    if (item) MFD_RssChannelItem_SetDescription(ctx->item, text);
    else if (s->inImage) MFD_RssChannelImage_SetDescription(image, text);
    else if (s->inTextinput) MFD_RssChannelTextInput_SetDescription(input, text);
    else if (channel) MFD_RssChannel_SetDescription(ch, text);
  } else if (channel) {
    MFD_RssApplyField(kChannelFields, ch, s->element.name, text);
  }
}

}  // namespace

const MFD_RssVersionModule kMfdRss091Module = {kMfdNsOwn091, MFD_RssCreateState<MFD_Rss091State>,
                                               MFD_RssFreeState<MFD_Rss091State>, Start, End, Text};
