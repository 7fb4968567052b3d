// Syndication hints of a channel: how often it is updated.
#pragma once

#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSSYNDICATION_TEXTS(X) X(UpdatePeriodText, updatePeriod) X(UpdateFrequency, updateFrequency) X(UpdateBase, updateBase)

struct MFD_RssSyndication {
  MFD_RSSSYNDICATION_TEXTS(MFD_RSS_MEMBER)
};

int MFD_RssSyndication_Create(MFD_RssSyndication** out);
int MFD_RssSyndication_Free(MFD_RssSyndication** p);
int MFD_RssSyndication_Copy(MFD_RssSyndication** dst, const MFD_RssSyndication* src);
#define MFD_RSS_DECL_MFD_RssSyndication(Name, member) MFD_RSS_TEXT_DECL(MFD_RssSyndication, Name, member)
MFD_RSSSYNDICATION_TEXTS(MFD_RSS_DECL_MFD_RssSyndication)
#undef MFD_RSS_DECL_MFD_RssSyndication
// Only "hourly", "daily", "weekly", "monthly" or "yearly"; else MFD_ERR_VALUE.
int MFD_RssSyndication_SetUpdatePeriod(MFD_RssSyndication* r, const wchar_t* text);
int MFD_RssSyndication_GetUpdatePeriod(MFD_RssSyndication* r, const wchar_t** out);
