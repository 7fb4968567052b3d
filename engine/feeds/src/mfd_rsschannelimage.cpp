// The image of a channel or an item; width and height stay texts.
#include "engine/feeds/src/mfd_rsschannelimage.h"

#define MFD_SOURCE ".\\src\\mfd_rsschannelimage"

#define MFD_RSS_FREEX  MFD_RssDublinCore_Free(&r->dublinCore);
#define MFD_RSS_COPYX  ok = ok && mfd_rss::CopyRecord<MFD_RssDublinCore>(&c->dublinCore, src->dublinCore, MFD_RssDublinCore_Copy);
MFD_RSS_TEXT_RECORD_DEF(MFD_RssChannelImage, MFD_RSSCHANNELIMAGE_TEXTS, MFD_RSS_FREEX, MFD_RSS_COPYX)
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssChannelImage, Name, member)
MFD_RSSCHANNELIMAGE_TEXTS(MFD_RSS_DEF)
MFD_RSS_RECORD_DEF(MFD_RssChannelImage, MFD_RssDublinCore, DublinCore, dublinCore)
