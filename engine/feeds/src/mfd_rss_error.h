// One parse error: its position (-1 when it has none) and its message.
#pragma once

#include "engine/feeds/src/mfd_rssfield.h"

struct MFD_RssError {
  int32_t line;
  int32_t column;
  wchar_t* message;
};

int MFD_RssError_Create(MFD_RssError** out);
int MFD_RssError_Free(MFD_RssError** p);
int MFD_RssError_Copy(MFD_RssError** dst, const MFD_RssError* src);
int MFD_RssError_SetLine(MFD_RssError* r, int32_t line);
int MFD_RssError_GetLine(MFD_RssError* r, int32_t* out);
int MFD_RssError_SetColumn(MFD_RssError* r, int32_t column);
int MFD_RssError_GetColumn(MFD_RssError* r, int32_t* out);
MFD_RSS_TEXT_DECL(MFD_RssError, Message, message)
