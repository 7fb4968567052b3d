// Owned wide texts and record memory of the feed model.
#include "engine/feeds/src/mfd_rssfield.h"

#include <cstring>
#include <cwchar>

#define MFD_SOURCE ".\\src\\mfd_rssfield"

namespace mfd_rss {

int SetText(wchar_t** field, const wchar_t* text) {
  wchar_t* copy = MFD_WStr_Dup(text);
  if (copy == nullptr && text != nullptr) return MFD_ERR_NOMEM;
  if (*field != nullptr) MFD_FREE(*field);
  *field = copy;
  return MFD_OK;
}

int SetTextN(wchar_t** field, const wchar_t* text, size_t length) {
  auto* copy = static_cast<wchar_t*>(MFD_MALLOC((length + 1) * sizeof(wchar_t)));
  if (copy == nullptr) return MFD_ERR_NOMEM;
  if (length > 0) std::wmemcpy(copy, text, length);
  if (*field != nullptr) MFD_FREE(*field);
  *field = copy;
  return MFD_OK;
}

int GetText(const wchar_t* field, const wchar_t** out) {
  *out = field;
  return field != nullptr ? MFD_OK : MFD_ERR_ABSENT;
}

bool CopyText(wchar_t** dst, const wchar_t* src) {
  if (src == nullptr) return true;
  *dst = MFD_WStr_Dup(src);
  return *dst != nullptr;
}

void* NewRecord(size_t size, const char* source, long line) { return MFD_Malloc(size, source, line, 0); }

void FreeRecord(void* record, size_t size, const char* source, long line) {
  std::memset(record, 0, size);
  MFD_Free(record, source, line, 0);
}

}  // namespace mfd_rss
