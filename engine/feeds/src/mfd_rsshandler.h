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
  if constexpr (requires { s->dublinCoreElement; }) mfd_rss::FreeText(&s->dublinCoreElement);
  if constexpr (requires { s->syndicationElement; }) mfd_rss::FreeText(&s->syndicationElement);
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

// A leaf that fills one field of a T from its text.
template <class T>
struct MFD_RssField {
  const wchar_t* name;
  int (*set)(T*, const wchar_t*);
};

// The field of `fields` named `name`; null when none.
template <class T, size_t N>
const MFD_RssField<T>* MFD_RssFindField(const MFD_RssField<T> (&fields)[N], const wchar_t* name) {
  for (const MFD_RssField<T>& f : fields) {
    if (MFD_RssNameIs(name, f.name)) return &f;
  }
  return nullptr;
}

// Fills the field of `target` named `name` with `text`, when there is one.
template <class T, size_t N>
void MFD_RssApplyField(const MFD_RssField<T> (&fields)[N], T* target, const wchar_t* name, const wchar_t* text) {
  if (const MFD_RssField<T>* f = MFD_RssFindField(fields, name)) f->set(target, text);
}

// False, after reporting the element, when the parse has already failed.
bool MFD_RssTextAllowed(MFD_RssParser* context, const wchar_t* element);

// The end of an element of the common RSS layout: the root (`root`, whose
// flag is `inRoot`), channel, image, text input, the skip lists where S has
// them, and the item, whose end hands it over to the channel; any other
// element for which `endsLeaf` holds closes one leaf level. The current
// element name is cleared.
template <class S>
void MFD_RssEndContainer(MFD_RssParser* context, S* s, uint8_t S::*inRoot, const wchar_t* root,
                         const wchar_t* local, bool (*endsLeaf)(const wchar_t*)) {
  bool container = true;
  if (MFD_RssNameIs(local, root)) s->*inRoot = 0;
  else if (MFD_RssNameIs(local, L"channel")) s->inChannel = 0;
  else if (MFD_RssNameIs(local, L"image")) s->inImage = 0;
  else if (MFD_RssNameIs(local, L"textinput")) s->inTextinput = 0;
  else if (MFD_RssNameIs(local, L"item")) {
    if (s->inItem) MFD_RssParser_HandOverItem(context);
    s->inItem = 0;
  } else container = false;
  if constexpr (requires { s->inSkipHours; s->inSkipDays; }) {
    if (!container && MFD_RssNameIs(local, L"skipHours")) {
      s->inSkipHours = 0;
      container = true;
    } else if (!container && MFD_RssNameIs(local, L"skipDays")) {
      s->inSkipDays = 0;
      container = true;
    }
  }
  if (!container && endsLeaf(local) && s->level > 0) --s->level;
  MFD_RssSetStateName(&s->element, nullptr);
}

// Text of title, link, url and name, which the RDF versions and RSS 0.91
// give alike to the item, image, text input or channel open at one leaf
// level; false for any other element.
template <class S>
bool MFD_RssCommonText(MFD_RssParser* context, const S* s, const wchar_t* text) {
  MFD_RssChannel* ch = context->channel;
  MFD_RssChannelImage* image = ch != nullptr ? ch->image : nullptr;
  MFD_RssChannelTextInput* input = ch != nullptr ? ch->textInput : nullptr;
  bool item = s->inItem && s->level == 1;
  bool channel = s->inChannel && s->level == 1;
  const wchar_t* e = s->element;
  if (MFD_RssNameIs(e, L"title")) {
    if (item) MFD_RssChannelItem_SetTitle(context->item, text);
    else if (s->inImage) MFD_RssChannelImage_SetTitle(image, text);
    else if (s->inTextinput) MFD_RssChannelTextInput_SetTitle(input, text);
    else if (channel) MFD_RssChannel_SetTitle(ch, text);
  } else if (MFD_RssNameIs(e, L"link")) {
    if (item) MFD_RssChannelItem_SetLink(context->item, text);
    else if (s->inTextinput) MFD_RssChannelTextInput_SetLink(input, text);
    else if (s->inImage) MFD_RssChannelImage_SetLink(image, text);
    else if (channel) MFD_RssChannel_SetLink(ch, text);
  } else if (MFD_RssNameIs(e, L"url")) {
    if (s->inImage) MFD_RssChannelImage_SetUrl(image, text);
  } else if (MFD_RssNameIs(e, L"name")) {
    if (s->inTextinput) MFD_RssChannelTextInput_SetName(input, text);
  } else {
    return false;
  }
  return true;
}

// Namespaces of the Dublin Core and syndication modules.
extern const wchar_t kMfdNsDublinCore[];
extern const wchar_t kMfdNsSyndication[];

// Text of a handler with the Dublin Core and syndication modules: a failed
// parse reports the element; otherwise the text goes to the handler's own
// elements (`own` of its namespace), or to either module.
template <class S>
void MFD_RssModuleText(MFD_RssParser* context, S* s, bool own, const wchar_t* ns, const wchar_t* text,
                       void (*mainText)(MFD_RssParser*, S*, const wchar_t*),
                       void (*dublinCoreText)(MFD_RssParser*, S*, const wchar_t*),
                       void (*syndicationText)(MFD_RssParser*, S*, const wchar_t*)) {
  if (context->error != 0) {
    MFD_RssParser_Report(context, L"characters (parse error)", s->element != nullptr ? s->element : L"");
    return;
  }
  if (own && s->element != nullptr) mainText(context, s, text);
  else if (MFD_RssNsIs(ns, kMfdNsDublinCore)) dublinCoreText(context, s, text);
  else if (MFD_RssNsIs(ns, kMfdNsSyndication)) syndicationText(context, s, text);
}
