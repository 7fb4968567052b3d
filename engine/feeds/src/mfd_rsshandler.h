// The two callback tables a parse hands the XML reader, and the framework
// every version handler runs on: name resolution against the declared
// namespaces, the scope of open elements and gathering of text. A version
// module says only what its own elements do.
#pragma once

#include <initializer_list>

#include "engine/feeds/src/mfd_rssnames.h"
#include "engine/feeds/src/mfd_rssparser.h"

struct MFD_RssHandler {
  MFD_XmlContentTable content;
  MFD_XmlErrorTable errors;
};

int MFD_RssHandler_Create(MFD_RssHandler** out);
int MFD_RssHandler_Free(MFD_RssHandler** p);
// 0 and 8 the default table, 1 to 6 a version's table; 7 has none.
int MFD_RssHandler_SetVersion(MFD_RssHandler* handler, int32_t version);

// A starting element's attributes as the reader holds them: nothing is
// copied unless a handler asks for a value.
struct MFD_RssAttributes {
  MFD_XmlAttributesCell* cell;  // null when there are none
  int count;
};

// An element as the version modules see it.
struct MFD_RssElement {
  MFD_RssNs ns;        // of the innermost open element's scope
  MFD_RssName name;    // Other for names no handler knows
  const wchar_t* local;  // the local name itself, good during the call
  MFD_RssAttributes attributes;  // at the start only
};

// What one version module contributes.
struct MFD_RssVersionModule {
  // Pseudo-namespace of documents without namespaces, or null.
  const wchar_t* implicitUri;
  int (*createState)(void** state);
  void (*freeState)(void** state);
  // An element starts or ends.
  void (*start)(MFD_RssParser* context, const MFD_RssElement& element);
  void (*end)(MFD_RssParser* context, const MFD_RssElement& element);
  // The element's whole text so far; `ns` as for start and end.
  void (*text)(MFD_RssParser* context, MFD_RssNs ns, const wchar_t* text);
};

// The module of versions 1 to 6; null for the others.
const MFD_RssVersionModule* MFD_RssHandler_Module(int32_t version);

// Helpers for the modules.
bool MFD_RssNsIs(const wchar_t* ns, const wchar_t* uri);
bool MFD_RssNameIs(const wchar_t* name, const wchar_t* expected);

// The element a state is in, or none (text null).
struct MFD_RssCurrent {
  const wchar_t* text;  // its local name, for reports
  MFD_RssName name;
  wchar_t* own;  // storage of a name the table does not know, kept for the next
  size_t room;
};
// Makes an element whose name no handler knows current, storing its name.
// Should it not be stored, the state keeps the element it had.
void MFD_RssSetCurrentOther(MFD_RssCurrent* current, const MFD_RssElement& element);
// Makes `element` current (a known name is the table's text).
inline void MFD_RssSetCurrent(MFD_RssCurrent* current, const MFD_RssElement& element) {
  if (element.name == MFD_RssName::Other) {
    MFD_RssSetCurrentOther(current, element);
    return;
  }
  current->name = element.name;
  current->text = MFD_RssNameText(element.name);
}
inline void MFD_RssClearCurrent(MFD_RssCurrent* current) {
  current->name = MFD_RssName::Other;
  current->text = nullptr;
}

// A version's zero-filled state record S, and its release (S holds its
// current element in `element`).
template <class S>
int MFD_RssCreateState(void** state) {
  if (state == nullptr || *state != nullptr) return MFD_ERR_PARAM;
  *state = mfd_rss::NewRecord(sizeof(S), ".\\src\\mfd_rsshandler", __LINE__);
  return *state != nullptr ? MFD_OK : MFD_ERR_NOMEM;
}

void MFD_RssFreeCurrent(MFD_RssCurrent* current);

template <class S>
void MFD_RssFreeState(void** state) {
  auto* s = static_cast<S*>(*state);
  if (s == nullptr) return;
  MFD_RssFreeCurrent(&s->element);
  if constexpr (requires { s->dublinCoreElement; }) MFD_RssFreeCurrent(&s->dublinCoreElement);
  if constexpr (requires { s->syndicationElement; }) MFD_RssFreeCurrent(&s->syndicationElement);
  mfd_rss::FreeRecord(s, sizeof(S), ".\\src\\mfd_rsshandler", __LINE__);
  *state = nullptr;
}

// The value of the attribute named exactly `name`, as a terminated text good
// until the next call and during the element's start; null when absent.
const wchar_t* MFD_RssAttributeValue(MFD_RssParser* context, const MFD_RssAttributes& attributes,
                                     const wchar_t* name);
// The qualified name and the value of attribute `index` (below the count),
// neither terminated; false when the reader cannot give it.
bool MFD_RssAttributeName(const MFD_RssAttributes& attributes, int index, const wchar_t** name, size_t* length);
bool MFD_RssAttributeText(const MFD_RssAttributes& attributes, int index, const wchar_t** value, size_t* length);

// A set of names, for the lists a version keeps (its leaves and the like).
class MFD_RssNameSet {
 public:
  constexpr MFD_RssNameSet(std::initializer_list<MFD_RssName> names) {
    for (MFD_RssName n : names) Add(n);
  }
  // This set and `names`.
  constexpr MFD_RssNameSet With(std::initializer_list<MFD_RssName> names) const {
    MFD_RssNameSet more = *this;
    for (MFD_RssName n : names) more.Add(n);
    return more;
  }
  constexpr bool Has(MFD_RssName name) const {
    const auto i = static_cast<size_t>(name);
    return ((bits_[i / 64] >> (i % 64)) & 1u) != 0;
  }

 private:
  constexpr void Add(MFD_RssName name) {
    const auto i = static_cast<size_t>(name);
    bits_[i / 64] |= uint64_t{1} << (i % 64);
  }
  uint64_t bits_[2] = {0, 0};
};
static_assert(static_cast<size_t>(MFD_RssName::UpdateBase) < 128, "names fit the set");

// The item, image or text input of a state S starts: its flag is set and a
// fresh record replaces any earlier one.
template <class S>
void MFD_RssOpenItem(MFD_RssParser* context, S* s) {
  s->inItem = 1;
  MFD_RssChannelItem_Free(&context->item);
  MFD_RssChannelItem_Create(&context->item);
}
template <class S>
void MFD_RssOpenImage(S* s, MFD_RssChannelImage** image) {
  s->inImage = 1;
  MFD_RssChannelImage_Free(image);
  MFD_RssChannelImage_Create(image);
}
template <class S>
void MFD_RssOpenTextInput(S* s, MFD_RssChannelTextInput** input) {
  s->inTextinput = 1;
  MFD_RssChannelTextInput_Free(input);
  MFD_RssChannelTextInput_Create(input);
}

// A leaf that fills one field of a T from its text.
template <class T>
struct MFD_RssField {
  MFD_RssName name;
  int (*set)(T*, const wchar_t*);
};

// The field of `fields` named `name`; null when none.
template <class T, size_t N>
const MFD_RssField<T>* MFD_RssFindField(const MFD_RssField<T> (&fields)[N], MFD_RssName name) {
  for (const MFD_RssField<T>& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

// Fills the field of `target` named `name` with `text`, when there is one.
template <class T, size_t N>
void MFD_RssApplyField(const MFD_RssField<T> (&fields)[N], T* target, MFD_RssName name, const wchar_t* text) {
  if (const MFD_RssField<T>* f = MFD_RssFindField(fields, name)) f->set(target, text);
}

// False, after reporting the element, when the parse has already failed.
bool MFD_RssTextAllowed(MFD_RssParser* context, const wchar_t* element);

// The end of an element of the common RSS layout: the root (`root`, whose
// flag is `inRoot`), channel, image, text input, the skip lists where S has
// them, and the item, whose end hands it over to the channel; any other
// element for which `endsLeaf` holds closes one leaf level. The current
// element is cleared.
template <class S>
void MFD_RssEndContainer(MFD_RssParser* context, S* s, uint8_t S::*inRoot, MFD_RssName root, MFD_RssName name,
                         bool (*endsLeaf)(MFD_RssName)) {
  bool container = true;
  if (name == root) {
    s->*inRoot = 0;
  } else {
    switch (name) {
      case MFD_RssName::Channel: s->inChannel = 0; break;
      case MFD_RssName::Image: s->inImage = 0; break;
      case MFD_RssName::Textinput: s->inTextinput = 0; break;
      case MFD_RssName::Item:
        if (s->inItem) MFD_RssParser_HandOverItem(context);
        s->inItem = 0;
        break;
      default: container = false;
    }
  }
  if constexpr (requires { s->inSkipHours; s->inSkipDays; }) {
    if (!container && name == MFD_RssName::SkipHours) {
      s->inSkipHours = 0;
      container = true;
    } else if (!container && name == MFD_RssName::SkipDays) {
      s->inSkipDays = 0;
      container = true;
    }
  }
  if (!container && endsLeaf(name) && s->level > 0) --s->level;
  MFD_RssClearCurrent(&s->element);
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
  switch (s->element.name) {
    case MFD_RssName::Title:
      if (item) MFD_RssChannelItem_SetTitle(context->item, text);
      else if (s->inImage) MFD_RssChannelImage_SetTitle(image, text);
      else if (s->inTextinput) MFD_RssChannelTextInput_SetTitle(input, text);
      else if (channel) MFD_RssChannel_SetTitle(ch, text);
      return true;
    case MFD_RssName::Link:
      if (item) MFD_RssChannelItem_SetLink(context->item, text);
      else if (s->inTextinput) MFD_RssChannelTextInput_SetLink(input, text);
      else if (s->inImage) MFD_RssChannelImage_SetLink(image, text);
      else if (channel) MFD_RssChannel_SetLink(ch, text);
      return true;
    case MFD_RssName::Url:
      if (s->inImage) MFD_RssChannelImage_SetUrl(image, text);
      return true;
    case MFD_RssName::Name:
      if (s->inTextinput) MFD_RssChannelTextInput_SetName(input, text);
      return true;
    default: return false;
  }
}

// Text of the skip lists' hour and day and of an image's width and height,
// which RSS 0.91 and 2.0 take alike; false for any other element.
template <class S>
bool MFD_RssSkipAndSizeText(MFD_RssChannel* ch, MFD_RssChannelImage* image, const S* s, const wchar_t* text) {
  switch (s->element.name) {
    case MFD_RssName::Hour:
      if (s->inSkipHours) MFD_RssChannel_AddSkipHour(ch, text);
      return true;
    case MFD_RssName::Day:
      if (s->inSkipDays) MFD_RssChannel_AddSkipDay(ch, text);
      return true;
    case MFD_RssName::Width:
      if (s->inImage) MFD_RssChannelImage_SetWidth(image, text);
      return true;
    case MFD_RssName::Height:
      if (s->inImage) MFD_RssChannelImage_SetHeight(image, text);
      return true;
    default: return false;
  }
}

// Namespaces of the Dublin Core and syndication modules.
extern const wchar_t kMfdNsDublinCore[];
extern const wchar_t kMfdNsSyndication[];

// Text of a handler with the Dublin Core and syndication modules: a failed
// parse reports the element; otherwise the text goes to the handler's own
// elements (`own` of its namespace), or to either module.
template <class S>
void MFD_RssModuleText(MFD_RssParser* context, S* s, bool own, MFD_RssNs ns, const wchar_t* text,
                       void (*mainText)(MFD_RssParser*, S*, const wchar_t*),
                       void (*dublinCoreText)(MFD_RssParser*, S*, const wchar_t*),
                       void (*syndicationText)(MFD_RssParser*, S*, const wchar_t*)) {
  if (context->error != 0) {
    MFD_RssParser_Report(context, L"characters (parse error)", s->element.text != nullptr ? s->element.text : L"");
    return;
  }
  if (own && s->element.text != nullptr) mainText(context, s, text);
  else if (ns == MFD_RssNs::DublinCore) dublinCoreText(context, s, text);
  else if (ns == MFD_RssNs::Syndication) syndicationText(context, s, text);
}
