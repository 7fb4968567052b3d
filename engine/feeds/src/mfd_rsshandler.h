// The two callback tables a parse hands the XML reader, and the framework
// every version handler runs on: name resolution against the declared
// namespaces, the scope of open elements and gathering of text. A version
// module says only what its own elements do.
#pragma once

#include "engine/feeds/src/mfd_rssparser.h"

struct MFD_RssHandler {
  MFD_XmlContentTable content;
  MFD_XmlErrorTable errors;
};

int MFD_RssHandler_Create(MFD_RssHandler** out);
int MFD_RssHandler_Free(MFD_RssHandler** p);
// 0 and 8 the default table, 1 to 6 a version's table; 7 has none.
int MFD_RssHandler_SetVersion(MFD_RssHandler* handler, int32_t version);

// What one version module contributes.
struct MFD_RssVersionModule {
  // Pseudo-namespace of documents without namespaces, or null.
  const wchar_t* implicitUri;
  int (*createState)(void** state);
  void (*freeState)(void** state);
  // An element in the namespace `ns` (null when none) starts or ends.
  void (*start)(MFD_RssParser* context, const wchar_t* ns, const wchar_t* local, MFD_Vector* attributes);
  void (*end)(MFD_RssParser* context, const wchar_t* ns, const wchar_t* local);
  // The element's whole text so far.
  void (*text)(MFD_RssParser* context, const wchar_t* ns, const wchar_t* text);
};

// The module of versions 1 to 6; null for the others.
const MFD_RssVersionModule* MFD_RssHandler_Module(int32_t version);

// Helpers for the modules.
bool MFD_RssNsIs(const wchar_t* ns, const wchar_t* uri);
bool MFD_RssNameIs(const wchar_t* name, const wchar_t* expected);
// Replaces a state's text field (the current element name and the like).
void MFD_RssSetStateName(wchar_t** field, const wchar_t* name);

// A version's zero-filled state record S, and its release (S holds its
// current element name in `element`).
template <class S>
int MFD_RssCreateState(void** state) {
  if (state == nullptr || *state != nullptr) return MFD_ERR_PARAM;
  *state = mfd_rss::NewRecord(sizeof(S), ".\\src\\mfd_rsshandler", __LINE__);
  return *state != nullptr ? MFD_OK : MFD_ERR_NOMEM;
}

template <class S>
void MFD_RssFreeState(void** state) {
  auto* s = static_cast<S*>(*state);
  if (s == nullptr) return;
  mfd_rss::FreeText(&s->element);
  mfd_rss::FreeRecord(s, sizeof(S), ".\\src\\mfd_rsshandler", __LINE__);
  *state = nullptr;
}

// True when `name` is one of `names`.
template <size_t N>
bool MFD_RssNameIn(const wchar_t* name, const wchar_t* const (&names)[N]) {
  for (const wchar_t* n : names) {
    if (MFD_RssNameIs(name, n)) return true;
  }
  return false;
}

// The value of the attribute named exactly `name`; null when absent.
const wchar_t* MFD_RssAttributeValue(MFD_Vector* attributes, const wchar_t* name);
