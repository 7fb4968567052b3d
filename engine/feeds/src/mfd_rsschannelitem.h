// One item of a channel.
#pragma once

#include "engine/feeds/src/mfd_rsschannelimage.h"
#include "engine/feeds/src/mfd_rssdublincore.h"
#include "engine/feeds/src/mfd_rsschannelset.h"
#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSCHANNELITEM_TEXTS_A(X) X(Title, title) X(Description, description) X(Link, link) X(Template, templ) X(Author, author) X(Category, category)
#define MFD_RSSCHANNELITEM_TEXTS_B(X) X(CategoryDomain, categoryDomain) X(Comments, comments) X(EnclosureUrl, enclosureUrl) X(EnclosureLength, enclosureLength) X(EnclosureType, enclosureType) X(Guid, guid) X(IsPermaLink, isPermaLink) X(PubDate, pubDate) X(Source, source) X(SourceUrl, sourceUrl)
#define MFD_RSSCHANNELITEM_TEXTS_C(X) X(Class, cls) X(Cinst, cinst)
#define MFD_RSSCHANNELITEM_TEXTS(X) MFD_RSSCHANNELITEM_TEXTS_A(X) MFD_RSSCHANNELITEM_TEXTS_B(X) MFD_RSSCHANNELITEM_TEXTS_C(X)

struct MFD_RssChannelItem {
  MFD_RSSCHANNELITEM_TEXTS_A(MFD_RSS_MEMBER)
  MFD_RssChannelImage* image;
  MFD_RSSCHANNELITEM_TEXTS_B(MFD_RSS_MEMBER)
  MFD_RssDublinCore* dublinCore;
  MFD_RssChannelSet* channelSet;
  MFD_RSSCHANNELITEM_TEXTS_C(MFD_RSS_MEMBER)
};

int MFD_RssChannelItem_Create(MFD_RssChannelItem** out);
int MFD_RssChannelItem_Free(MFD_RssChannelItem** p);
int MFD_RssChannelItem_Copy(MFD_RssChannelItem** dst, const MFD_RssChannelItem* src);
#define MFD_RSS_DECL_MFD_RssChannelItem(Name, member) MFD_RSS_TEXT_DECL(MFD_RssChannelItem, Name, member)
MFD_RSSCHANNELITEM_TEXTS(MFD_RSS_DECL_MFD_RssChannelItem)
#undef MFD_RSS_DECL_MFD_RssChannelItem
MFD_RSS_RECORD_DECL(MFD_RssChannelItem, MFD_RssChannelImage, Image)
MFD_RSS_RECORD_DECL(MFD_RssChannelItem, MFD_RssDublinCore, DublinCore)
MFD_RSS_RECORD_DECL(MFD_RssChannelItem, MFD_RssChannelSet, ChannelSet)
