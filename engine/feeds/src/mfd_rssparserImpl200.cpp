// RSS 2.0 handler.
#include "engine/feeds/src/mfd_rssparserImpl200.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl200"

namespace {

MFD_Rss200State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss200State*>(ctx->versionState); }

// Leaves whose start raises the level: RSS 0.91's and those RSS 2.0 added.
// Category, guid and source set it instead, and end like the leaves.
constexpr MFD_RssNameSet kLeaves = kMfdRss091Leaves.With({MFD_RssName::Generator, MFD_RssName::Ttl, MFD_RssName::Author,
                                                          MFD_RssName::Comments, MFD_RssName::Cinst});

bool IsLeaf(MFD_RssName name) { return kLeaves.Has(name); }

bool EndsLikeLeaf(MFD_RssName name) {
  return IsLeaf(name) || name == MFD_RssName::Category || name == MFD_RssName::Guid || name == MFD_RssName::Source;
}

void StartOwn(MFD_RssParser* ctx, MFD_Rss200State* s, const MFD_RssElement& e) {
  MFD_RssChannel* ch = ctx->channel;
  bool top = s->inRss && s->inChannel && s->level == 0;
  // Directly in the channel: no item, image, skip list or text input open.
  bool inChannel = top && !s->inItem && !s->inImage && !s->inSkipDays && !s->inSkipHours && !s->inTextinput;
  // Directly in an item.
  bool inItem = top && s->inItem && !s->inImage && !s->inSkipDays && !s->inTextinput;
  auto attr = [ctx, &e](const wchar_t* name) { return MFD_RssAttributeValue(ctx, e.attributes, name); };
  switch (e.name) {
    case MFD_RssName::Rss: s->inRss = 1; break;
    case MFD_RssName::Channel:
      if (s->inRss && !s->inItem && !s->inImage && !s->inSkipDays && !s->inSkipHours && !s->inTextinput &&
          s->level == 0)
        s->inChannel = 1;
      break;
    case MFD_RssName::Item:
      if (top && !s->inImage && !s->inSkipDays && !s->inSkipHours && !s->inTextinput) {
        MFD_RssOpenItem(ctx, s);
      }
      break;
    case MFD_RssName::Image:
      if (inChannel && ch != nullptr) {
        MFD_RssOpenImage(s, &ch->image);
      } else if (inItem && ctx->item != nullptr) {
        MFD_RssOpenImage(s, &ctx->item->image);
      }
      break;
    case MFD_RssName::Textinput:
      if (inChannel && ch != nullptr) {
        MFD_RssOpenTextInput(s, &ch->textInput);
      }
      break;
    case MFD_RssName::SkipHours:
      if (inChannel) s->inSkipHours = 1;
      break;
    case MFD_RssName::SkipDays:
      if (inChannel) s->inSkipDays = 1;
      break;
    case MFD_RssName::Category:
      if (inChannel) {
        s->level = 1;
        MFD_RssChannel_SetCategoryDomain(ch, attr(L"domain"));
      } else if (inItem) {
        s->level = 1;
        MFD_RssChannelItem_SetCategoryDomain(ctx->item, attr(L"domain"));
      }
      break;
    case MFD_RssName::Cloud:
      if (inChannel) {
        MFD_RssChannel_SetCloudDomain(ch, attr(L"domain"));
        MFD_RssChannel_SetCloudPort(ch, attr(L"port"));
        MFD_RssChannel_SetCloudPath(ch, attr(L"path"));
        MFD_RssChannel_SetCloudRegisterProcedure(ch, attr(L"registerProcedure"));
        MFD_RssChannel_SetCloudProtocol(ch, attr(L"protocol"));
      }
      break;
    case MFD_RssName::Enclosure:
      if (inItem) {
        MFD_RssChannelItem_SetEnclosureUrl(ctx->item, attr(L"url"));
        MFD_RssChannelItem_SetEnclosureLength(ctx->item, attr(L"length"));
        MFD_RssChannelItem_SetEnclosureType(ctx->item, attr(L"type"));
      }
      break;
    case MFD_RssName::Guid:
      if (inItem) {
        s->level = 1;
        MFD_RssChannelItem_SetIsPermaLink(ctx->item, attr(L"isPermaLink"));
      }
      break;
    case MFD_RssName::Source:
      if (inItem) {
        s->level = 1;
        MFD_RssChannelItem_SetSourceUrl(ctx->item, attr(L"url"));
      }
      break;
    default:
      if (IsLeaf(e.name)) ++s->level;
  }
}

void Start(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss200State* s = StateOf(ctx);
  if (e.ns == MFD_RssNs::Csd100) {
    if (e.name == MFD_RssName::Channelset && s->inChannel && !s->inItem)
      MFD_RssChannel_SetAbout(ctx->channel, MFD_RssAttributeValue(ctx, e.attributes, L"about"));
    return;
  }
  if (e.ns != MFD_RssNs::Own200) return;
  MFD_RssSetCurrent(&s->element, e);
  StartOwn(ctx, s, e);
}

void End(MFD_RssParser* ctx, const MFD_RssElement& e) {
  MFD_Rss200State* s = StateOf(ctx);
  if (e.ns != MFD_RssNs::Own200) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss200State::inRss, MFD_RssName::Rss, e.name, EndsLikeLeaf);
}

const MFD_RssField<MFD_RssChannel> kChannelFields[] = {
    {MFD_RssName::Copyright, MFD_RssChannel_SetCopyright},
    {MFD_RssName::LastBuildDate, MFD_RssChannel_SetLastBuildDate},
    {MFD_RssName::Docs, MFD_RssChannel_SetDocs},
    {MFD_RssName::ManagingEditor, MFD_RssChannel_SetManagingEditor},
    {MFD_RssName::WebMaster, MFD_RssChannel_SetWebMaster},
    {MFD_RssName::Language, MFD_RssChannel_SetLanguage},
    {MFD_RssName::Rating, MFD_RssChannel_SetRating},
    {MFD_RssName::Ttl, MFD_RssChannel_SetTtl},
    {MFD_RssName::Generator, MFD_RssChannel_SetGenerator},
};

const MFD_RssField<MFD_RssChannelItem> kItemFields[] = {
    {MFD_RssName::Author, MFD_RssChannelItem_SetAuthor}, {MFD_RssName::Comments, MFD_RssChannelItem_SetComments},
    {MFD_RssName::Cinst, MFD_RssChannelItem_SetCinst},   {MFD_RssName::Guid, MFD_RssChannelItem_SetGuid},
    {MFD_RssName::Source, MFD_RssChannelItem_SetSource},
};

// title, link and description: the item (or its image), the channel's image,
// the text input or the channel, the first that applies.
struct HeaderField {
  MFD_RssName name;
  int (*item)(MFD_RssChannelItem*, const wchar_t*);
  int (*image)(MFD_RssChannelImage*, const wchar_t*);
  int (*input)(MFD_RssChannelTextInput*, const wchar_t*);
  int (*channel)(MFD_RssChannel*, const wchar_t*);
  bool inputBeforeImage;
};
const HeaderField kHeaderFields[] = {
    {MFD_RssName::Title, MFD_RssChannelItem_SetTitle, MFD_RssChannelImage_SetTitle, MFD_RssChannelTextInput_SetTitle,
     MFD_RssChannel_SetTitle, false},
    {MFD_RssName::Link, MFD_RssChannelItem_SetLink, MFD_RssChannelImage_SetLink, MFD_RssChannelTextInput_SetLink,
     MFD_RssChannel_SetLink, true},
    {MFD_RssName::Description, MFD_RssChannelItem_SetDescription, MFD_RssChannelImage_SetDescription,
     MFD_RssChannelTextInput_SetDescription, MFD_RssChannel_SetDescription, false},
};

void Text(MFD_RssParser* ctx, MFD_RssNs ns, const wchar_t* text) {
  MFD_Rss200State* s = StateOf(ctx);
  if (ns != MFD_RssNs::Own200 || s->element.text == nullptr) return;
  if (!MFD_RssTextAllowed(ctx, s->element.text)) return;
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelItem* it = ctx->item;
  MFD_RssChannelImage* chImage = ch != nullptr ? ch->image : nullptr;
  MFD_RssChannelImage* image = s->inItem ? (it != nullptr ? it->image : nullptr) : chImage;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  const MFD_RssName e = s->element.name;
  for (const HeaderField& f : kHeaderFields) {
    if (e != f.name) continue;
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
  if (MFD_RssSkipAndSizeText(ch, image, s, text)) return;
  switch (e) {
    case MFD_RssName::Url:
      if (s->inImage) MFD_RssChannelImage_SetUrl(image, text);
      break;
    case MFD_RssName::Name:
      if (s->inTextinput) MFD_RssChannelTextInput_SetName(input, text);
      break;
    case MFD_RssName::PubDate:
      if (channel && !s->inItem) MFD_RssChannel_SetPubDate(ch, text);
      else if (channel) MFD_RssChannelItem_SetPubDate(it, text);
      break;
    case MFD_RssName::Category:
      if (channel && s->inItem) MFD_RssChannelItem_SetCategory(it, text);
      else if (channel) MFD_RssChannel_SetCategory(ch, text);
      break;
    default:
      if (channel) MFD_RssApplyField(kChannelFields, ch, e, text);
      if (item) MFD_RssApplyField(kItemFields, it, e, text);
  }
}

}  // namespace

const MFD_RssVersionModule kMfdRss200Module = {kMfdNsOwn200, MFD_RssCreateState<MFD_Rss200State>,
                                               MFD_RssFreeState<MFD_Rss200State>, Start, End, Text};
