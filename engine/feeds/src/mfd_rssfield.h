// Field helpers shared by the feed model's records: owned wide texts, record
// creation and deep copies. Each record lists its text fields once (an
// X-list of Name, member) and the macros below make its setters, getters,
// copies and releases from that list.
#pragma once

#include <cstdint>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_str.h"

namespace mfd_rss {

// Duplicates `text` into *field, freeing the old value. A null text clears
// the field; a failed duplicate keeps the old value.
int SetText(wchar_t** field, const wchar_t* text);
// The same for `length` characters of a text that need not be terminated.
int SetTextN(wchar_t** field, const wchar_t* text, size_t length);
// Hands out the borrowed text; MFD_ERR_ABSENT when it is not set.
int GetText(const wchar_t* field, const wchar_t** out);
inline void FreeText(wchar_t** field) {
  if (*field == nullptr) return;  // most fields of a record are never set
  MFD_Free(*field, ".\\src\\mfd_rssfield", __LINE__, 0);
  *field = nullptr;
}
// True when the copy succeeded (a null source copies as null).
bool CopyText(wchar_t** dst, const wchar_t* src);

void* NewRecord(size_t size, const char* source, long line);
void FreeRecord(void* record, size_t size, const char* source, long line);

// Replaces *field by a deep copy of `src` with R_Copy (null clears it).
template <class R>
int SetRecord(R** field, const R* src, int (*copy)(R**, const R*), int (*release)(R**)) {
  if (src == nullptr) return release(field);
  R* made = nullptr;
  int rc = copy(&made, src);
  if (rc != MFD_OK) return rc;
  release(field);
  *field = made;
  return MFD_OK;
}

// Copies an optional sub-record; true on success.
template <class R>
bool CopyRecord(R** dst, const R* src, int (*copy)(R**, const R*)) {
  return src == nullptr || copy(dst, src) == MFD_OK;
}

template <class R>
int GetRecord(R* field, R** out) {
  if (out == nullptr) return MFD_ERR_PARAM;
  *out = field;
  return field != nullptr ? MFD_OK : MFD_ERR_ABSENT;
}

}  // namespace mfd_rss

#define MFD_RSS_MEMBER(Name, member) wchar_t* member;
#define MFD_RSS_TEXT_DECL(R, Name, member) \
  int R##_Set##Name(R* r, const wchar_t* text); \
  int R##_Get##Name(R* r, const wchar_t** out);
#define MFD_RSS_TEXT_DEF(R, Name, member)                   \
  int R##_Set##Name(R* r, const wchar_t* text) {            \
    if (r == nullptr) return MFD_ERR_PARAM;                 \
    return mfd_rss::SetText(&r->member, text);              \
  }                                                         \
  int R##_Get##Name(R* r, const wchar_t** out) {            \
    if (r == nullptr || out == nullptr) return MFD_ERR_PARAM; \
    return mfd_rss::GetText(r->member, out);                \
  }
#define MFD_RSS_RECORD_DECL(R, Sub, Name)    \
  int R##_Set##Name(R* r, const Sub* value); \
  int R##_Get##Name(R* r, Sub** out);
#define MFD_RSS_RECORD_DEF(R, Sub, Name, member)                                      \
  int R##_Set##Name(R* r, const Sub* value) {                                         \
    if (r == nullptr) return MFD_ERR_PARAM;                                           \
    return mfd_rss::SetRecord<Sub>(&r->member, value, Sub##_Copy, Sub##_Free);       \
  }                                                                                   \
  int R##_Get##Name(R* r, Sub** out) {                                                \
    if (r == nullptr) return MFD_ERR_PARAM;                                           \
    return mfd_rss::GetRecord<Sub>(r->member, out);                                   \
  }
// Create, Free and Copy of a record whose fields are the texts of `LIST`
// plus what FREEX releases (r) and COPYX copies (c from src, into ok).
#define MFD_RSS_TEXT_RECORD_DEF(R, LIST, FREEX, COPYX)                                        \
  int R##_Create(R** out) {                                                     \
    if (out == nullptr || *out != nullptr) return MFD_ERR_PARAM;                \
    *out = static_cast<R*>(mfd_rss::NewRecord(sizeof(R), MFD_SOURCE, __LINE__)); \
    return *out != nullptr ? MFD_OK : MFD_ERR_NOMEM;                            \
  }                                                                             \
  int R##_Free(R** p) {                                                         \
    if (p == nullptr || *p == nullptr) return MFD_OK;                           \
    R* r = *p;                                                                  \
    LIST(MFD_RSS_FREE_TEXT)                                                     \
    FREEX                                                                       \
    mfd_rss::FreeRecord(r, sizeof(R), MFD_SOURCE, __LINE__);                    \
    *p = nullptr;                                                               \
    return MFD_OK;                                                              \
  }                                                                             \
  int R##_Copy(R** dst, const R* src) {                                         \
    if (dst == nullptr || src == nullptr) return MFD_ERR_PARAM;                 \
    R##_Free(dst);                                                              \
    R* c = nullptr;                                                             \
    if (R##_Create(&c) != MFD_OK) return MFD_ERR_NOMEM;                         \
    bool ok = true;                                                             \
    LIST(MFD_RSS_COPY_TEXT)                                                     \
    COPYX                                                                       \
    if (!ok) {                                                                  \
      R##_Free(&c);                                                             \
      return MFD_ERR_NOMEM;                                                     \
    }                                                                           \
    *dst = c;                                                                   \
    return MFD_OK;                                                              \
  }
#define MFD_RSS_FREE_TEXT(Name, member) mfd_rss::FreeText(&r->member);
#define MFD_RSS_COPY_TEXT(Name, member) ok = ok && mfd_rss::CopyText(&c->member, src->member);
