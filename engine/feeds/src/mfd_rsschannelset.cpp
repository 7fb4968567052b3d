// Extras of an item of a channel-set document: its access key and image.
#include "engine/feeds/src/mfd_rsschannelset.h"

#define MFD_SOURCE ".\\src\\mfd_rsschannelset"

MFD_RSS_TEXT_RECORD_DEF(MFD_RssChannelSet, MFD_RSSCHANNELSET_TEXTS, , )
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssChannelSet, Name, member)
MFD_RSSCHANNELSET_TEXTS(MFD_RSS_DEF)
