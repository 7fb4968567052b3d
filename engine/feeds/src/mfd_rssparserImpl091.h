// RSS 0.91: an "rss" root holding one channel with its items, image, text
// input and skip lists; no namespaces.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"

struct MFD_Rss091State {
  wchar_t* element;  // current element name
  uint8_t inRss;
  uint8_t inChannel;
  uint8_t inImage;
  uint8_t inSkipHours;
  uint8_t inSkipDays;
  uint8_t inTextinput;
  uint8_t inItem;
  int32_t level;  // open leaf elements
};

extern const MFD_RssVersionModule kMfdRss091Module;
