// RSS 0.90 handler.
#include "engine/feeds/src/mfd_rssparserImpl090.h"

#define MFD_SOURCE ".\\src\\mfd_rssparserImpl090"

namespace {

MFD_Rss090State* StateOf(MFD_RssParser* ctx) { return static_cast<MFD_Rss090State*>(ctx->versionState); }

bool Own(const wchar_t* ns) { return MFD_RssNsIs(ns, kMfdNsRdf) || MFD_RssNsIs(ns, kMfdNsRss090); }

bool IsLeaf(const wchar_t* local) {
  static const wchar_t* const kLeaves[] = {L"title", L"link", L"description", L"url", L"name"};
  return MFD_RssNameIn(local, kLeaves);
}

void Start(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local, MFD_Vector*) {
  MFD_Rss090State* s = StateOf(ctx);
  if (!Own(ns)) return;
  MFD_RssSetStateName(&s->element, local);
  bool inContainer = s->inChannel || s->inItem || s->inImage || s->inTextinput;
  if (MFD_RssNameIs(local, L"RDF")) {
    s->inRdf = 1;
  } else if (MFD_RssNameIs(local, L"channel")) {
    if (!inContainer) s->inChannel = 1;
  } else if (MFD_RssNameIs(local, L"item")) {
    if (!inContainer) {
      s->inItem = 1;
      MFD_RssChannelItem_Free(&ctx->item);
      MFD_RssChannelItem_Create(&ctx->item);
    }
  } else if (MFD_RssNameIs(local, L"image")) {
    if (!inContainer && s->level == 0 && ctx->channel != nullptr) {
      s->inImage = 1;
      MFD_RssChannelImage_Free(&ctx->channel->image);
      MFD_RssChannelImage_Create(&ctx->channel->image);
    }
  } else if (MFD_RssNameIs(local, L"textinput")) {
    if (!inContainer && s->level == 0 && ctx->channel != nullptr) {
      s->inTextinput = 1;
      MFD_RssChannelTextInput_Free(&ctx->channel->textInput);
      MFD_RssChannelTextInput_Create(&ctx->channel->textInput);
    }
  } else if (IsLeaf(local)) {
    ++s->level;
  }
}

void End(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* local) {
  MFD_Rss090State* s = StateOf(ctx);
  if (!Own(ns)) return;
  MFD_RssEndContainer(ctx, s, &MFD_Rss090State::inRdf, L"RDF", local, IsLeaf);
}

void Text(MFD_RssParser* ctx, const wchar_t* ns, const wchar_t* text) {
  MFD_Rss090State* s = StateOf(ctx);
  if (!Own(ns) || s->element == nullptr) return;
  if (!MFD_RssTextAllowed(ctx, s->element)) return;
  MFD_RssChannel* ch = ctx->channel;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool channel = s->inChannel && s->level == 1;
  const wchar_t* e = s->element;
  if (MFD_RssCommonText(ctx, s, text)) return;
  if (MFD_RssNameIs(e, L"description")) {
    if (s->inTextinput) MFD_RssChannelTextInput_SetDescription(input, text);
    else if (channel && !s->inImage) MFD_RssChannel_SetDescription(ch, text);
  }
}

}  // namespace

const MFD_RssVersionModule kMfdRss090Module = {nullptr, MFD_RssCreateState<MFD_Rss090State>,
                                                   MFD_RssFreeState<MFD_Rss090State>, Start, End, Text};
