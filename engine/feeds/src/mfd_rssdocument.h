// A parsed feed document: its channels, its queue of parse errors and the
// detected version.
#pragma once

#include "engine/feeds/src/mfd_list.h"
#include "engine/feeds/src/mfd_rss_error.h"
#include "engine/feeds/src/mfd_rsschannel.h"
#include "engine/feeds/src/mfd_url.h"

enum MFD_RssVersion : int32_t {
  MFD_RSS_UNKNOWN = 0,
  MFD_RSS_090 = 1,
  MFD_RSS_091 = 2,
  MFD_RSS_100 = 3,
  MFD_RSS_200 = 4,
  MFD_RSS_CSD_100 = 5,
  MFD_RSS_CSD_200 = 6,
  MFD_RSS_PENDING = 7,  // root seen, version still to be read
};

struct MFD_RssDocument {
  MFD_List* channels;  // MFD_RssChannel pointers, owned
  MFD_List* errors;    // MFD_RssError pointers, owned, oldest first
  int32_t version;
};

int MFD_RssDocument_Create(MFD_RssDocument** out);
int MFD_RssDocument_Free(MFD_RssDocument** p);
int MFD_RssDocument_ParseFile(MFD_RssDocument* doc, MFD_Url* url);
// `data` as MFD_XmlReader_ParseMemory takes it.
int MFD_RssDocument_ParseMemory(MFD_RssDocument* doc, const void* data);
// The same with the size given: nothing past it is read.
int MFD_RssDocument_ParseBytes(MFD_RssDocument* doc, const void* data, size_t size);
int MFD_RssDocument_AddChannel(MFD_RssDocument* doc, const MFD_RssChannel* channel);
int MFD_RssDocument_AddError(MFD_RssDocument* doc, MFD_RssError* error);
int MFD_RssDocument_AddErrorText(MFD_RssDocument* doc, const wchar_t* where, const wchar_t* what);
int MFD_RssDocument_PopError(MFD_RssDocument* doc, MFD_RssError** out);
int MFD_RssDocument_SetVersion(MFD_RssDocument* doc, int32_t version);
int MFD_RssDocument_GetVersion(MFD_RssDocument* doc, int32_t* out);
int MFD_RssDocument_ClearChannels(MFD_RssDocument* doc);

// 1 for a UTF-8 mark, 2 for a UTF-16 mark, else 0.
int MFD_DetectBom(const void* bytes);
// True when the text holds only CR, LF, space and tab.
bool MFD_IsBlank(const wchar_t* text);
// An error record "where: what" at the given position.
int MFD_RssError_Make(MFD_RssError** out, const wchar_t* where, const wchar_t* what, int32_t line, int32_t column);
