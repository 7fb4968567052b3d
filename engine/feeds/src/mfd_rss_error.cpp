// One parse error.
#include "engine/feeds/src/mfd_rss_error.h"

#define MFD_SOURCE ".\\src\\mfd_rss_error"

#define MFD_RSSERROR_TEXTS(X) X(Message, message)
#define MFD_RSSERROR_COPY \
  c->line = src->line;   \
  c->column = src->column;
MFD_RSS_TEXT_RECORD_DEF(MFD_RssError, MFD_RSSERROR_TEXTS, , MFD_RSSERROR_COPY)
MFD_RSS_TEXT_DEF(MFD_RssError, Message, message)

int MFD_RssError_SetLine(MFD_RssError* r, int32_t line) {
  if (r == nullptr) return MFD_ERR_PARAM;
  r->line = line;
  return MFD_OK;
}
int MFD_RssError_GetLine(MFD_RssError* r, int32_t* out) {
  if (r == nullptr || out == nullptr) return MFD_ERR_PARAM;
  *out = r->line;
  return MFD_OK;
}
int MFD_RssError_SetColumn(MFD_RssError* r, int32_t column) {
  if (r == nullptr) return MFD_ERR_PARAM;
  r->column = column;
  return MFD_OK;
}
int MFD_RssError_GetColumn(MFD_RssError* r, int32_t* out) {
  if (r == nullptr || out == nullptr) return MFD_ERR_PARAM;
  *out = r->column;
  return MFD_OK;
}
