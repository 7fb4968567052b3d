// RSS 1.0: an RDF document like RSS 0.90 in its own namespace, with the
// Dublin Core and syndication modules.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"

struct MFD_Rss100State {
  MFD_RssCurrent element;             // current element
  MFD_RssCurrent dublinCoreElement;   // current Dublin Core element
  MFD_RssCurrent syndicationElement;  // current syndication element
  uint8_t inRdf;
  uint8_t inChannel;
  uint8_t inImage;
  uint8_t inTextinput;
  uint8_t inItem;
  int32_t level;  // open leaf elements
};

extern const MFD_RssVersionModule kMfdRss100Module;
