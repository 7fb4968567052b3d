// One namespace declaration: prefix (empty for the default namespace), URI and the element that declared it.
#include "engine/feeds/src/mfd_rssnamespace.h"

#define MFD_SOURCE ".\\src\\mfd_rssnamespace"

MFD_RSS_TEXT_RECORD_DEF(MFD_RssNamespace, MFD_RSSNAMESPACE_TEXTS, , )
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssNamespace, Name, member)
MFD_RSSNAMESPACE_TEXTS(MFD_RSS_DEF)
