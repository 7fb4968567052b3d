// RSS 2.0: RSS 0.91 grown by categories, cloud, enclosures, guids, sources
// and item images; no namespaces.
#pragma once

#include "engine/feeds/src/mfd_rsshandler.h"
#include "engine/feeds/src/mfd_rssparserImpl091.h"

// The same state as RSS 0.91.
using MFD_Rss200State = MFD_Rss091State;

extern const MFD_RssVersionModule kMfdRss200Module;
