// RSS 0.91: an "rss" root holding one channel with its items, image, text
// input and skip lists; no namespaces.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"

struct MFD_Rss091State {
  MFD_RssCurrent element;  // current element
  uint8_t inRss;
  uint8_t inChannel;
  uint8_t inImage;
  uint8_t inSkipHours;
  uint8_t inSkipDays;
  uint8_t inTextinput;
  uint8_t inItem;
  int32_t level;  // open leaf elements
};

// The leaves whose start raises the level.
inline constexpr MFD_RssNameSet kMfdRss091Leaves{
    MFD_RssName::Title,     MFD_RssName::Link,          MFD_RssName::Description, MFD_RssName::Language,
    MFD_RssName::Copyright, MFD_RssName::ManagingEditor, MFD_RssName::WebMaster,  MFD_RssName::PubDate,
    MFD_RssName::LastBuildDate, MFD_RssName::Docs,       MFD_RssName::Rating,     MFD_RssName::Hour,
    MFD_RssName::Day,       MFD_RssName::Url,           MFD_RssName::Width,       MFD_RssName::Height,
    MFD_RssName::Name};

extern const MFD_RssVersionModule kMfdRss091Module;
