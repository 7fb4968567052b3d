// Dublin Core metadata of a channel, item, image or text input.
#include "engine/feeds/src/mfd_rssdublincore.h"

#define MFD_SOURCE ".\\src\\mfd_rssdublincore"

MFD_RSS_TEXT_RECORD_DEF(MFD_RssDublinCore, MFD_RSSDUBLINCORE_TEXTS, , )
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssDublinCore, Name, member)
MFD_RSSDUBLINCORE_TEXTS(MFD_RSS_DEF)
