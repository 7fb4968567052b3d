// One item of a channel.
#include "engine/feeds/src/mfd_rsschannelitem.h"

#define MFD_SOURCE ".\\src\\mfd_rsschannelitem"

#define MFD_RSS_FREEX  MFD_RssChannelImage_Free(&r->image); MFD_RssDublinCore_Free(&r->dublinCore); MFD_RssChannelSet_Free(&r->channelSet);
#define MFD_RSS_COPYX  ok = ok && mfd_rss::CopyRecord<MFD_RssChannelImage>(&c->image, src->image, MFD_RssChannelImage_Copy); ok = ok && mfd_rss::CopyRecord<MFD_RssDublinCore>(&c->dublinCore, src->dublinCore, MFD_RssDublinCore_Copy); ok = ok && mfd_rss::CopyRecord<MFD_RssChannelSet>(&c->channelSet, src->channelSet, MFD_RssChannelSet_Copy);
MFD_RSS_TEXT_RECORD_DEF(MFD_RssChannelItem, MFD_RSSCHANNELITEM_TEXTS, MFD_RSS_FREEX, MFD_RSS_COPYX)
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssChannelItem, Name, member)
MFD_RSSCHANNELITEM_TEXTS(MFD_RSS_DEF)
MFD_RSS_RECORD_DEF(MFD_RssChannelItem, MFD_RssChannelImage, Image, image)
MFD_RSS_RECORD_DEF(MFD_RssChannelItem, MFD_RssDublinCore, DublinCore, dublinCore)
MFD_RSS_RECORD_DEF(MFD_RssChannelItem, MFD_RssChannelSet, ChannelSet, channelSet)
