// The image of a channel or an item; width and height stay texts.
#pragma once

#include "engine/feeds/src/mfd_rssdublincore.h"
#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSCHANNELIMAGE_TEXTS(X) X(Title, title) X(Url, url) X(Link, link) X(Width, width) X(Height, height) X(Description, description)

struct MFD_RssChannelImage {
  MFD_RSSCHANNELIMAGE_TEXTS(MFD_RSS_MEMBER)
  MFD_RssDublinCore* dublinCore;
};

int MFD_RssChannelImage_Create(MFD_RssChannelImage** out);
int MFD_RssChannelImage_Free(MFD_RssChannelImage** p);
int MFD_RssChannelImage_Copy(MFD_RssChannelImage** dst, const MFD_RssChannelImage* src);
#define MFD_RSS_DECL_MFD_RssChannelImage(Name, member) MFD_RSS_TEXT_DECL(MFD_RssChannelImage, Name, member)
MFD_RSSCHANNELIMAGE_TEXTS(MFD_RSS_DECL_MFD_RssChannelImage)
#undef MFD_RSS_DECL_MFD_RssChannelImage
MFD_RSS_RECORD_DECL(MFD_RssChannelImage, MFD_RssDublinCore, DublinCore)
