// One namespace declaration: prefix (empty for the default namespace), URI and the element that declared it.
#include "engine/feeds/src/mfd_rssnamespace.h"

#define MFD_SOURCE ".\\src\\mfd_rssnamespace"

MFD_RSS_TEXT_RECORD_DEF(MFD_RssNamespace, MFD_RSSNAMESPACE_TEXTS, , c->kind = src->kind;)
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssNamespace, Name, member)
MFD_RSS_DEF(Prefix, prefix)
MFD_RSS_DEF(Element, element)
#undef MFD_RSS_DEF

int MFD_RssNamespace_SetUri(MFD_RssNamespace* r, const wchar_t* text) {
  if (r == nullptr) return MFD_ERR_PARAM;
  int rc = mfd_rss::SetText(&r->uri, text);
  if (rc == MFD_OK) r->kind = 0;
  return rc;
}

int MFD_RssNamespace_GetUri(MFD_RssNamespace* r, const wchar_t** out) {
  if (r == nullptr || out == nullptr) return MFD_ERR_PARAM;
  return mfd_rss::GetText(r->uri, out);
}
