// Channel-set documents, versions 1.0 and 2.0: a list of member channels in
// our own namespace. The set fills the document's one channel and every
// member channel becomes an item of it. Both versions share these callbacks.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"

struct MFD_RssCsdState {
  MFD_RssCurrent element;             // current element
  MFD_RssCurrent dublinCoreElement;   // current Dublin Core element
  MFD_RssCurrent syndicationElement;  // current syndication element
  uint8_t inPortalmenu;
  uint8_t inCsd;
  uint8_t inChannelset;
  uint8_t inChannel;
  uint8_t inChannels;
  uint8_t inSeq;
};

extern const MFD_RssVersionModule kMfdRssCsdModule;
