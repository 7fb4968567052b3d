// Extras of an item of a channel-set document: its access key and image.
#pragma once

#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSCHANNELSET_TEXTS(X) X(Accesskey, accesskey) X(Image, image)

struct MFD_RssChannelSet {
  MFD_RSSCHANNELSET_TEXTS(MFD_RSS_MEMBER)
};

int MFD_RssChannelSet_Create(MFD_RssChannelSet** out);
int MFD_RssChannelSet_Free(MFD_RssChannelSet** p);
int MFD_RssChannelSet_Copy(MFD_RssChannelSet** dst, const MFD_RssChannelSet* src);
#define MFD_RSS_DECL_MFD_RssChannelSet(Name, member) MFD_RSS_TEXT_DECL(MFD_RssChannelSet, Name, member)
MFD_RSSCHANNELSET_TEXTS(MFD_RSS_DECL_MFD_RssChannelSet)
#undef MFD_RSS_DECL_MFD_RssChannelSet
