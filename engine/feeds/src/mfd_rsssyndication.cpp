// Syndication hints of a channel: how often it is updated.
#include "engine/feeds/src/mfd_rsssyndication.h"

#define MFD_SOURCE ".\\src\\mfd_rsssyndication"

MFD_RSS_TEXT_RECORD_DEF(MFD_RssSyndication, MFD_RSSSYNDICATION_TEXTS, , )
#define MFD_RSS_DEF(Name, member) MFD_RSS_TEXT_DEF(MFD_RssSyndication, Name, member)
MFD_RSSSYNDICATION_TEXTS(MFD_RSS_DEF)

int MFD_RssSyndication_SetUpdatePeriod(MFD_RssSyndication* r, const wchar_t* text) {
  if (r == nullptr) return MFD_ERR_PARAM;
  static const wchar_t* const kPeriods[] = {L"hourly", L"daily", L"weekly", L"monthly", L"yearly"};
  for (const wchar_t* period : kPeriods) {
    if (text != nullptr && MFD_WStr_Compare(text, period) == 0) return mfd_rss::SetText(&r->updatePeriod, text);
  }
  return MFD_ERR_VALUE;
}

int MFD_RssSyndication_GetUpdatePeriod(MFD_RssSyndication* r, const wchar_t** out) {
  return MFD_RssSyndication_GetUpdatePeriodText(r, out);
}
