// One namespace declaration: prefix (empty for the default namespace), URI and the element that declared it.
#pragma once

#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSNAMESPACE_TEXTS(X) X(Prefix, prefix) X(Uri, uri) X(Element, element)

struct MFD_RssNamespace {
  MFD_RSSNAMESPACE_TEXTS(MFD_RSS_MEMBER)
  // Which namespace the handlers take the URI for, plus one; 0 until first
  // asked and again after the URI changes, so it is worked out once for a
  // declaration rather than once for every element in its scope.
  uint8_t kind;
};

int MFD_RssNamespace_Create(MFD_RssNamespace** out);
int MFD_RssNamespace_Free(MFD_RssNamespace** p);
int MFD_RssNamespace_Copy(MFD_RssNamespace** dst, const MFD_RssNamespace* src);
#define MFD_RSS_DECL_MFD_RssNamespace(Name, member) MFD_RSS_TEXT_DECL(MFD_RssNamespace, Name, member)
MFD_RSSNAMESPACE_TEXTS(MFD_RSS_DECL_MFD_RssNamespace)
#undef MFD_RSS_DECL_MFD_RssNamespace
