// RSS 1.0: an RDF document like RSS 0.90 in its own namespace, with the
// Dublin Core and syndication modules.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"

struct MFD_Rss100State {
  wchar_t* element;             // current element name
  wchar_t* dublinCoreElement;   // current Dublin Core element name
  wchar_t* syndicationElement;  // current syndication element name
  uint8_t inRdf;
  uint8_t inChannel;
  uint8_t inImage;
  uint8_t inTextinput;
  uint8_t inItem;
  int32_t level;  // open leaf elements
};

extern const MFD_RssVersionModule kMfdRss100Module;
