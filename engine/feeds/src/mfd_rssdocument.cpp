// A parsed feed document.
#include "engine/feeds/src/mfd_rssdocument.h"

#include <cwchar>

#include "engine/feeds/src/mfd_rssparser.h"

#define MFD_SOURCE ".\\src\\mfd_rssdocument"

namespace {

template <class R>
R* RecordAt(const MFD_ListNode* node) {
  return *static_cast<R**>(node->data);
}

template <class R>
void FreeRecords(MFD_List** list, int (*release)(R**)) {
  if (*list == nullptr) return;
  for (MFD_ListNode* n = (*list)->first; n != nullptr; n = n->next) {
    R* r = RecordAt<R>(n);
    release(&r);
  }
  MFD_List_Free(list);
}

}  // namespace

int MFD_RssDocument_Create(MFD_RssDocument** out) {
  if (out == nullptr || *out != nullptr) return MFD_ERR_PARAM;
  *out = static_cast<MFD_RssDocument*>(MFD_MALLOC(sizeof(MFD_RssDocument)));
  return *out != nullptr ? MFD_OK : MFD_ERR_NOMEM;
}

int MFD_RssDocument_Free(MFD_RssDocument** p) {
  if (p == nullptr || *p == nullptr) return MFD_OK;
  FreeRecords<MFD_RssChannel>(&(*p)->channels, MFD_RssChannel_Free);
  FreeRecords<MFD_RssError>(&(*p)->errors, MFD_RssError_Free);
  mfd_rss::FreeRecord(*p, sizeof(MFD_RssDocument), MFD_SOURCE, __LINE__);
  *p = nullptr;
  return MFD_OK;
}

int MFD_RssDocument_ParseFile(MFD_RssDocument* doc, MFD_Url* url) {
  if (doc == nullptr) return MFD_ERR_PARAM;
  const wchar_t* path = nullptr;
  if (MFD_Url_GetPath(url, &path) != MFD_OK || path == nullptr) {
    MFD_RssDocument_AddErrorText(doc, L"invalid url path", L"");
    return MFD_ERR_PARAM;
  }
  return MFD_RssParser_ParseFile(doc, path);
}

int MFD_RssDocument_ParseMemory(MFD_RssDocument* doc, const void* data) {
  return MFD_RssDocument_ParseBytes(doc, data, static_cast<size_t>(-1));
}

int MFD_RssDocument_ParseBytes(MFD_RssDocument* doc, const void* data, size_t size) {
  if (doc == nullptr) return MFD_ERR_PARAM;
  if (data == nullptr) {
    MFD_RssDocument_AddErrorText(doc, L"ParseMemory", L"invalid data");
    return MFD_ERR_VALUE;
  }
  return MFD_RssParser_ParseBytes(doc, data, size);
}

int MFD_RssDocument_AddChannel(MFD_RssDocument* doc, const MFD_RssChannel* channel) {
  if (doc == nullptr || channel == nullptr) return MFD_ERR_PARAM;
  if (doc->channels == nullptr && MFD_List_Create(&doc->channels, sizeof(MFD_RssChannel*)) != 0) return MFD_ERR_NOMEM;
  MFD_RssChannel* copy = nullptr;
  int rc = MFD_RssChannel_Copy(&copy, channel);
  if (rc != MFD_OK) return rc;
  if (MFD_List_Append(doc->channels, &copy) != 0) {
    MFD_RssChannel_Free(&copy);
    return MFD_ERR_NOMEM;
  }
  return MFD_OK;
}

int MFD_RssDocument_AddError(MFD_RssDocument* doc, MFD_RssError* error) {
  if (doc == nullptr || error == nullptr) return MFD_ERR_PARAM;
  if (doc->errors == nullptr && MFD_List_Create(&doc->errors, sizeof(MFD_RssError*)) != 0) return MFD_ERR_NOMEM;
  return MFD_List_Append(doc->errors, &error) == 0 ? MFD_OK : MFD_ERR_NOMEM;
}

int MFD_RssError_Make(MFD_RssError** out, const wchar_t* where, const wchar_t* what, int32_t line, int32_t column) {
  size_t a = MFD_WStr_Length(where), b = MFD_WStr_Length(what);
  auto* message = static_cast<wchar_t*>(MFD_MALLOC((a + b + 3) * sizeof(wchar_t)));
  if (message == nullptr) return MFD_ERR_NOMEM;
  if (a > 0) std::wmemcpy(message, where, a);
  std::wmemcpy(message + a, L": ", 2);
  if (b > 0) std::wmemcpy(message + a + 2, what, b);
  int rc = MFD_RssError_Create(out);
  if (rc == MFD_OK) {
    (*out)->message = message;  // handed over: no second copy
    (*out)->line = line;
    (*out)->column = column;
  } else {
    MFD_FREE(message);
  }
  return rc;
}

int MFD_RssDocument_AddErrorText(MFD_RssDocument* doc, const wchar_t* where, const wchar_t* what) {
  MFD_RssError* error = nullptr;
  if (MFD_RssError_Make(&error, where, what, -1, -1) != MFD_OK) return MFD_OK;
  if (MFD_RssDocument_AddError(doc, error) != MFD_OK) MFD_RssError_Free(&error);
  return MFD_OK;
}

int MFD_RssDocument_PopError(MFD_RssDocument* doc, MFD_RssError** out) {
  if (doc == nullptr || out == nullptr) return MFD_ERR_PARAM;
  if (doc->errors == nullptr || doc->errors->first == nullptr) {
    MFD_List_Free(&doc->errors);
    return MFD_ERR_ABSENT;
  }
  MFD_RssError* oldest = RecordAt<MFD_RssError>(doc->errors->first);
  int rc = MFD_RssError_Copy(out, oldest);
  MFD_RssError_Free(&oldest);
  MFD_List_Seek(doc->errors, 0, 0);
  MFD_List_Remove(doc->errors);
  if (doc->errors->first == nullptr) MFD_List_Free(&doc->errors);
  return rc == MFD_OK ? MFD_OK : MFD_ERR_NOMEM;
}

int MFD_RssDocument_SetVersion(MFD_RssDocument* doc, int32_t version) {
  if (doc == nullptr || version == 0 || version >= 8) return MFD_ERR_PARAM;
  doc->version = version;
  return MFD_OK;
}

int MFD_RssDocument_GetVersion(MFD_RssDocument* doc, int32_t* out) {
  if (doc == nullptr || out == nullptr) return MFD_ERR_PARAM;
  *out = doc->version;
  return MFD_OK;
}

int MFD_RssDocument_ClearChannels(MFD_RssDocument* doc) {
  if (doc == nullptr) return MFD_ERR_PARAM;
  FreeRecords<MFD_RssChannel>(&doc->channels, MFD_RssChannel_Free);
  doc->version = 0;
  return MFD_OK;
}

int MFD_DetectBom(const void* bytes) {
  if (bytes == nullptr) return MFD_ERR_PARAM;
  const auto* p = static_cast<const uint8_t*>(bytes);
  if (p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return 1;
  if ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE)) return 2;
  return 0;
}

bool MFD_IsBlank(const wchar_t* text) {
  if (text == nullptr) return true;
  for (; *text != L'\0'; ++text) {
    if (*text != L'\r' && *text != L'\n' && *text != L' ' && *text != L'\t') return false;
  }
  return true;
}
