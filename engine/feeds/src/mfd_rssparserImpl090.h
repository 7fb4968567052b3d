// RSS 0.90: an RDF document whose channel, image, text input and items are
// siblings under the RDF root.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"

struct MFD_Rss090State {
  MFD_RssCurrent element;  // current element
  uint8_t inRdf;
  uint8_t inChannel;
  uint8_t inImage;
  uint8_t inTextinput;
  uint8_t inItem;
  int32_t level;  // open leaf elements
};

extern const MFD_RssVersionModule kMfdRss090Module;
