// The text input box of a channel.
#include "engine/feeds/src/mfd_rsschanneltextinput.h"

#define MFD_SOURCE ".\\src\\mfd_rsschanneltextinput"

#define MFD_RSS_FREEX  MFD_RssDublinCore_Free(&r->dublinCore);
#define MFD_RSS_COPYX  ok = ok && mfd_rss::CopyRecord<MFD_RssDublinCore>(&c->dublinCore, src->dublinCore, MFD_RssDublinCore_Copy);
MFD_RSS_TEXT_RECORD_DEF(MFD_RssChannelTextInput, MFD_RSSCHANNELTEXTINPUT_TEXTS, MFD_RSS_FREEX, MFD_RSS_COPYX)
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssChannelTextInput, Name, member)
MFD_RSSCHANNELTEXTINPUT_TEXTS(MFD_RSS_DEF)
MFD_RSS_RECORD_DEF(MFD_RssChannelTextInput, MFD_RssDublinCore, DublinCore, dublinCore)
