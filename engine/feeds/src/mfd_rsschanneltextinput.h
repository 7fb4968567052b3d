// The text input box of a channel.
#pragma once

#include "engine/feeds/src/mfd_rssdublincore.h"
#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSCHANNELTEXTINPUT_TEXTS(X) X(Title, title) X(Description, description) X(Name, name) X(Link, link)

struct MFD_RssChannelTextInput {
  MFD_RSSCHANNELTEXTINPUT_TEXTS(MFD_RSS_MEMBER)
  MFD_RssDublinCore* dublinCore;
};

int MFD_RssChannelTextInput_Create(MFD_RssChannelTextInput** out);
int MFD_RssChannelTextInput_Free(MFD_RssChannelTextInput** p);
int MFD_RssChannelTextInput_Copy(MFD_RssChannelTextInput** dst, const MFD_RssChannelTextInput* src);
#define MFD_RSS_DECL_MFD_RssChannelTextInput(Name, member) MFD_RSS_TEXT_DECL(MFD_RssChannelTextInput, Name, member)
MFD_RSSCHANNELTEXTINPUT_TEXTS(MFD_RSS_DECL_MFD_RssChannelTextInput)
#undef MFD_RSS_DECL_MFD_RssChannelTextInput
MFD_RSS_RECORD_DECL(MFD_RssChannelTextInput, MFD_RssDublinCore, DublinCore)
