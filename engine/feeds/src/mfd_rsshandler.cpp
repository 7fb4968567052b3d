// The callback tables and the framework of the version handlers.
#include "engine/feeds/src/mfd_rsshandler.h"

#include <cstring>
#include <cwchar>

#include "engine/feeds/src/mfd_rssparserImpl090.h"
#include "engine/feeds/src/mfd_rssparserImpl091.h"
#include "engine/feeds/src/mfd_rssparserImpl100.h"
#include "engine/feeds/src/mfd_rssparserImpl200.h"
#include "engine/feeds/src/mfd_rssparserImplCSD.h"

#define MFD_SOURCE ".\\src\\mfd_rsshandler"

namespace {

MFD_RssParser* Of(void* user) { return static_cast<MFD_RssParser*>(user); }

MFD_RssNamespace* NamespaceAt(const MFD_ListNode* node) { return *static_cast<MFD_RssNamespace**>(node->data); }

MFD_RssNs KindOf(MFD_RssNamespace* ns) {
  if (ns->kind == 0) ns->kind = static_cast<uint8_t>(static_cast<uint8_t>(MFD_RssNsOf(ns->uri)) + 1);
  return static_cast<MFD_RssNs>(ns->kind - 1);
}

// The namespace of the innermost open element; None when none is open.
MFD_RssNs InnermostNs(const MFD_RssParser* ctx) {
  const MFD_RssScopeStack& scopes = ctx->scopeStack;
  return scopes.depth == 0 ? MFD_RssNs::None : static_cast<MFD_RssNs>(scopes.entries[scopes.depth - 1].kind);
}

bool HasDefaultDeclaration(const MFD_RssParser* ctx) {
  for (const MFD_ListNode* n = ctx->declarations->first; n != nullptr; n = n->next) {
    const wchar_t* prefix = NamespaceAt(n)->prefix;
    if (prefix == nullptr || *prefix == L'\0') return true;
  }
  return false;
}

// Documents without namespaces resolve their elements to the version's
// pseudo-namespace, declared by their first element.
void DeclareImplicit(MFD_RssParser* ctx, const wchar_t* uri, const wchar_t* local) {
  if (uri == nullptr || HasDefaultDeclaration(ctx)) return;
  MFD_RssNamespace* ns = nullptr;
  if (MFD_RssNamespace_Create(&ns) != MFD_OK) return;
  if (MFD_RssNamespace_SetPrefix(ns, L"") != MFD_OK || MFD_RssNamespace_SetUri(ns, uri) != MFD_OK ||
      MFD_RssNamespace_SetElement(ns, local) != MFD_OK || MFD_List_Append(ctx->declarations, &ns) != 0) {
    MFD_RssNamespace_Free(&ns);
  }
}

// Whether `prefix` is the first `length` characters of `qName`, whole.
bool PrefixIs(const wchar_t* prefix, const wchar_t* qName, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (prefix[i] != qName[i]) return false;
  }
  return prefix[length] == L'\0';
}

// The declaration of a name's non-empty prefix must exist; a name without
// one always resolves.
bool Resolve(const MFD_RssParser* ctx, const wchar_t* qName, const MFD_RssQName& q) {
  if (!q.prefixed) return true;
  for (const MFD_ListNode* n = ctx->declarations->first; n != nullptr; n = n->next) {
    const wchar_t* prefix = NamespaceAt(n)->prefix;
    if (prefix != nullptr && *prefix != L'\0' && PrefixIs(prefix, qName, q.prefixLength)) return true;
  }
  return false;
}

// Makes room for `more` items of T past `used` in *items, doubling.
template <class T>
bool Reserve(T** items, size_t used, size_t more, size_t* room) {
  if (used + more <= *room) return true;
  size_t grown = *room < 16 ? 16 : *room;
  while (grown < used + more) grown *= 2;
  auto* made = static_cast<T*>(MFD_MALLOC(grown * sizeof(T)));
  if (made == nullptr) return false;
  if (used > 0) std::memcpy(made, *items, used * sizeof(T));
  MFD_FREE(*items);
  *items = made;
  *room = grown;
  return true;
}

// Pushes the scope of a starting element: the namespace of the newest
// declaration of its prefix, or none, so that every start has exactly one
// entry for its end to pop; and the element's name.
void PushScope(MFD_RssParser* ctx, const wchar_t* qName, const MFD_RssQName& q) {
  MFD_RssNamespace* match = nullptr;
  for (const MFD_ListNode* n = ctx->declarations->last; n != nullptr && match == nullptr; n = n->prev) {
    const wchar_t* prefix = NamespaceAt(n)->prefix;
    if (q.prefixLength == 0 ? prefix == nullptr || *prefix == L'\0' : PrefixIs(prefix, qName, q.prefixLength))
      match = NamespaceAt(n);
  }
  MFD_RssScopeStack& scopes = ctx->scopeStack;
  if (scopes.depth == scopes.room) {
    size_t room = scopes.room;
    if (!Reserve(&scopes.entries, scopes.depth, 1, &room)) {
      ctx->error = 1;  // the scope would no longer match the open elements
      return;
    }
    scopes.room = static_cast<uint32_t>(room);
  }
  MFD_RssScope& e = scopes.entries[scopes.depth++];
  e.kind = static_cast<uint8_t>(match != nullptr ? KindOf(match) : MFD_RssNs::None);
  e.name = static_cast<uint8_t>(q.name);
  e.prefixed = q.prefixed ? 1 : 0;
  e.prefixLength = static_cast<uint32_t>(q.prefixLength);
  e.at = scopes.namesLength;
  e.length = kMfdNameNotKept;
  // A known name without a prefix is its table's text: nothing to keep.
  if (!q.prefixed && q.name != MFD_RssName::Other) {
    e.length = 0;
    return;
  }
  if (scopes.namesLength + q.length <= scopes.namesRoom ||
      Reserve(&scopes.names, scopes.namesLength, q.length, &scopes.namesRoom)) {
    wchar_t* kept = scopes.names + scopes.namesLength;
    for (size_t i = 0; i < q.length; ++i) kept[i] = qName[i];  // names are short
    scopes.namesLength += q.length;
    e.length = q.length;
  }
}

void PopScope(MFD_RssParser* ctx) {
  MFD_RssScopeStack& scopes = ctx->scopeStack;
  if (scopes.depth == 0) return;
  const MFD_RssScope& e = scopes.entries[--scopes.depth];
  if (e.length != kMfdNameNotKept) scopes.namesLength = e.at;
}

// The split of a name the reader gave with its lengths; they are taken only
// when the qualified name's own length agrees.
MFD_RssQName SplitGiven(const wchar_t* qName, int qLength, int localLength) {
  const size_t n = std::wcslen(qName);
  if (qLength < 0 || localLength < 0 || n != static_cast<size_t>(qLength)) return MFD_RssSplitName(qName);
  return MFD_RssSplitName(qName, n, static_cast<size_t>(localLength));
}

// Whether `qName` is the name the scope entry was pushed for. The compare
// stops at the name's end, so a shorter name is never read past.
bool SameName(const MFD_RssScopeStack& scopes, const MFD_RssScope& e, const wchar_t* qName) {
  if (e.length == kMfdNameNotKept) return false;
  const wchar_t* kept = scopes.names + e.at;
  size_t length = e.length;
  if (e.length == 0 && !e.prefixed && e.name != static_cast<uint8_t>(MFD_RssName::Other)) {
    kept = MFD_RssNameText(static_cast<MFD_RssName>(e.name));
    length = MFD_RssNameLength(static_cast<MFD_RssName>(e.name));
  }
  return std::wcsncmp(qName, kept, length) == 0 && qName[length] == L'\0';
}

// An ending element's name split: the split of its start when it is the
// innermost open element, as it is in every well-formed document.
MFD_RssQName SplitEnd(const MFD_RssParser* ctx, const wchar_t* qName, int qLength, int localLength) {
  const MFD_RssScopeStack& scopes = ctx->scopeStack;
  if (scopes.depth > 0) {
    const MFD_RssScope& e = scopes.entries[scopes.depth - 1];
    if (SameName(scopes, e, qName)) {
      const size_t skip = e.prefixed ? e.prefixLength + 1 : 0;
      return {e.prefixLength, qName + skip, static_cast<MFD_RssName>(e.name), e.prefixed != 0, 0};
    }
  }
  return SplitGiven(qName, qLength, localLength);
}

void DropDeclarationsOf(MFD_RssParser* ctx, const wchar_t* local) {
  MFD_List* list = ctx->declarations;
  for (MFD_ListNode* node = list->last; node != nullptr;) {
    MFD_ListNode* prev = node->prev;
    MFD_RssNamespace* ns = NamespaceAt(node);
    const wchar_t* element = ns->element;
    if (element != nullptr && element[0] == local[0] && std::wcscmp(element, local) == 0) {
      MFD_RssNamespace_Free(&ns);
      list->current = node;
      MFD_List_Remove(list);
    }
    node = prev;
  }
}

void ClearText(MFD_RssParser* ctx) {
  ctx->textLength = 0;
  ctx->textPending = 0;
  if (ctx->text != nullptr) ctx->text[0] = L'\0';
}

// Hands the gathered text to the version's text assignment. Gathering and
// assigning once per run of characters gives the field the same final value
// as re-assigning it after every chunk, without copying the text anew for
// each chunk.
void FlushText(MFD_RssParser* ctx, const MFD_RssVersionModule* module) {
  if (!ctx->textPending) return;
  ctx->textPending = 0;
  if (ctx->text != nullptr) module->text(ctx, InnermostNs(ctx), ctx->text);
}

bool AppendText(MFD_RssParser* ctx, const wchar_t* chunk, size_t length) {
  if (ctx->textLength + length > kMfdMaxElementText) length = kMfdMaxElementText - ctx->textLength;
  size_t need = ctx->textLength + length + 1;
  if (need > ctx->textRoom) {
    size_t room = ctx->textRoom < 64 ? 64 : ctx->textRoom;
    while (room < need) room *= 2;
    auto* grown = static_cast<wchar_t*>(MFD_MALLOC(room * sizeof(wchar_t)));
    if (grown == nullptr) return false;
    if (ctx->textLength > 0) std::wmemcpy(grown, ctx->text, ctx->textLength);
    MFD_FREE(ctx->text);
    ctx->text = grown;
    ctx->textRoom = room;
  }
  if (length > 0) std::wmemcpy(ctx->text + ctx->textLength, chunk, length);
  ctx->textLength += length;
  ctx->text[ctx->textLength] = L'\0';
  return true;
}

// The element's attributes as a view; false when the reader cannot count
// them. The reader's list answers for every index below its count.
bool ReadAttributes(MFD_XmlAttributesCell* cell, MFD_RssAttributes* out) {
  *out = {cell, 0};
  if (cell == nullptr) return true;  // an event without attributes has no cell
  return MFD_XmlAttributes_GetLength(cell, &out->count) == MFD_OK;
}

// Registers the namespace declarations among the attributes; the values of
// other attributes are not read.
void RegisterDeclarations(MFD_RssParser* ctx, const MFD_RssAttributes& attrs, const wchar_t* elementName) {
  for (int i = 0; i < attrs.count; ++i) {
    const wchar_t *name = nullptr, *value = nullptr;
    size_t n = 0, v = 0;
    if (!MFD_RssAttributeName(attrs, i, &name, &n) || n < 5 || std::wmemcmp(name, L"xmlns", 5) != 0) continue;
    if (!MFD_RssAttributeText(attrs, i, &value, &v)) continue;
    if (!MFD_RssParser_RegisterDeclaration(ctx, name, n, value, v, elementName)) break;
  }
}

int VersionStartElement(const wchar_t*, int, const wchar_t*, int localLength, const wchar_t* qName, int qLength,
                        MFD_XmlAttributesCell* attributes, void* user) {
  MFD_RssParser* ctx = Of(user);
  const MFD_RssVersionModule* module = ctx != nullptr ? MFD_RssHandler_Module(ctx->version) : nullptr;
  if (module == nullptr || ctx->versionState == nullptr || ctx->error != 0 || qName == nullptr) return 0;
  FlushText(ctx, module);
  MFD_RssAttributes attrs;
  if (!ReadAttributes(attributes, &attrs)) return 0;
  const MFD_RssQName q = SplitGiven(qName, qLength, localLength);
  bool resolved = Resolve(ctx, qName, q);
  DeclareImplicit(ctx, module->implicitUri, q.local);
  RegisterDeclarations(ctx, attrs, q.local);
  if (!resolved) resolved = Resolve(ctx, qName, q);  // declared by this element
  if (!resolved) {
    ctx->error = 1;
    MFD_RssParser_Report(ctx, L"startElement (namespace error)", L"no namespace matched");
  } else {
    PushScope(ctx, qName, q);
    module->start(ctx, {InnermostNs(ctx), q.name, q.local, attrs});
    if (ctx->error != 0) MFD_RssParser_Report(ctx, L"startElement (parse error)", q.local);
  }
  ClearText(ctx);
  return 0;
}

int VersionEndElement(const wchar_t*, int, const wchar_t*, int localLength, const wchar_t* qName, int qLength,
                      void* user) {
  MFD_RssParser* ctx = Of(user);
  const MFD_RssVersionModule* module = ctx != nullptr ? MFD_RssHandler_Module(ctx->version) : nullptr;
  if (module == nullptr || ctx->versionState == nullptr || qName == nullptr) return 0;
  FlushText(ctx, module);
  const MFD_RssQName q = SplitEnd(ctx, qName, qLength, localLength);
  if (!Resolve(ctx, qName, q)) {
    ctx->error = 1;
    MFD_RssParser_Report(ctx, L"endElement (namespace error)", L"element name has unknown namespace prefix.");
    return 0;
  }
  module->end(ctx, {InnermostNs(ctx), q.name, q.local, {nullptr, 0}});
  if (ctx->error != 0) MFD_RssParser_Report(ctx, L"endElement (parse error)", qName);
  PopScope(ctx);
  DropDeclarationsOf(ctx, q.local);
  return 0;
}

int VersionCharacters(const wchar_t* text, int, int length, void* user) {
  MFD_RssParser* ctx = Of(user);
  if (ctx == nullptr || ctx->versionState == nullptr || ctx->error != 0 || text == nullptr) return 0;
  size_t n = length < 0 ? MFD_WStr_Length(text) : static_cast<size_t>(length);
  size_t i = 0;
  while (i < n && (text[i] == L'\r' || text[i] == L'\n' || text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i == n || ctx->scopeStack.depth == 0) return 0;  // blank, or outside every element
  if (!AppendText(ctx, text, n)) {
    ctx->error = 1;
    return 0;
  }
  ctx->textPending = 1;
  return 0;
}

int VersionEndDocument(void* user) {
  MFD_RssParser* ctx = Of(user);
  const MFD_RssVersionModule* module = ctx != nullptr ? MFD_RssHandler_Module(ctx->version) : nullptr;
  if (module != nullptr) FlushText(ctx, module);
  return MFD_RssParser_EndDocument(user);
}

const MFD_XmlContentTable kDefaultTable = {
    nullptr, MFD_RssParser_DefaultStartElement, MFD_RssParser_DefaultEndElement, nullptr,
    MFD_RssParser_StartDocument, MFD_RssParser_EndDocument, MFD_RssParser_SetDocumentLocator};
const MFD_XmlContentTable kVersionTable = {
    VersionCharacters, VersionStartElement, VersionEndElement, nullptr,
    MFD_RssParser_StartDocument, VersionEndDocument, MFD_RssParser_SetDocumentLocator};

}  // namespace

int MFD_RssHandler_Create(MFD_RssHandler** out) {
  if (out == nullptr || *out != nullptr) return MFD_ERR_PARAM;
  *out = static_cast<MFD_RssHandler*>(MFD_MALLOC(sizeof(MFD_RssHandler)));
  return *out != nullptr ? MFD_OK : MFD_ERR_NOMEM;
}

int MFD_RssHandler_Free(MFD_RssHandler** p) {
  if (p == nullptr || *p == nullptr) return MFD_OK;
  mfd_rss::FreeRecord(*p, sizeof(MFD_RssHandler), MFD_SOURCE, __LINE__);
  *p = nullptr;
  return MFD_OK;
}

int MFD_RssHandler_SetVersion(MFD_RssHandler* handler, int32_t version) {
  if (handler == nullptr || version < 0 || version > 8) return MFD_ERR_PARAM;
  handler->errors = *MFD_RssParser_ErrorTable();
  if (version == 0 || version == 8) {
    handler->content = kDefaultTable;
    return MFD_OK;
  }
  if (MFD_RssHandler_Module(version) == nullptr) return MFD_ERR_NOMEM;
  handler->content = kVersionTable;
  return MFD_OK;
}

const MFD_RssVersionModule* MFD_RssHandler_Module(int32_t version) {
  switch (version) {
    case MFD_RSS_090: return &kMfdRss090Module;
    case MFD_RSS_091: return &kMfdRss091Module;
    case MFD_RSS_100: return &kMfdRss100Module;
    case MFD_RSS_200: return &kMfdRss200Module;
    case MFD_RSS_CSD_100:
    case MFD_RSS_CSD_200: return &kMfdRssCsdModule;
    default: return nullptr;
  }
}

bool MFD_RssNsIs(const wchar_t* ns, const wchar_t* uri) {
  return ns != nullptr && uri != nullptr && MFD_WStr_Compare(ns, uri) == 0;
}

bool MFD_RssNameIs(const wchar_t* name, const wchar_t* expected) { return MFD_RssNsIs(name, expected); }

void MFD_RssSetCurrentOther(MFD_RssCurrent* current, const MFD_RssElement& element) {
  size_t n = MFD_WStr_Length(element.local);
  if (n + 1 > current->room) {
    auto* grown = static_cast<wchar_t*>(MFD_MALLOC((n + 1) * sizeof(wchar_t)));
    if (grown == nullptr) return;
    MFD_FREE(current->own);
    current->own = grown;
    current->room = n + 1;
  }
  std::wmemcpy(current->own, element.local, n + 1);
  current->name = MFD_RssName::Other;
  current->text = current->own;
}

void MFD_RssFreeCurrent(MFD_RssCurrent* current) {
  MFD_FREE(current->own);
  *current = {};
}

bool MFD_RssAttributeName(const MFD_RssAttributes& attributes, int index, const wchar_t** name, size_t* length) {
  int n = 0;
  if (MFD_XmlAttributes_GetQName(attributes.cell, index, name, &n) != MFD_OK) return false;
  *length = n < 0 ? MFD_WStr_Length(*name) : static_cast<size_t>(n);
  return true;
}

bool MFD_RssAttributeText(const MFD_RssAttributes& attributes, int index, const wchar_t** value, size_t* length) {
  int n = 0;
  if (MFD_XmlAttributes_GetValue(attributes.cell, index, value, &n) != MFD_OK) return false;
  *length = n < 0 ? MFD_WStr_Length(*value) : static_cast<size_t>(n);
  return true;
}

const wchar_t* MFD_RssAttributeValue(MFD_RssParser* ctx, const MFD_RssAttributes& attributes, const wchar_t* name) {
  const size_t nameLength = MFD_WStr_Length(name);
  for (int i = 0; i < attributes.count; ++i) {
    const wchar_t *n = nullptr, *value = nullptr;
    size_t nl = 0, length = 0;
    if (!MFD_RssAttributeName(attributes, i, &n, &nl) || nl != nameLength || std::wmemcmp(n, name, nl) != 0) continue;
    if (!MFD_RssAttributeText(attributes, i, &value, &length)) return nullptr;
    if (value[length] == L'\0') return value;  // the reader terminates its values (Sax.h)
    if (length + 1 > ctx->valueRoom) {
      auto* grown = static_cast<wchar_t*>(MFD_MALLOC((length + 1) * sizeof(wchar_t)));
      if (grown == nullptr) return nullptr;
      MFD_FREE(ctx->value);
      ctx->value = grown;
      ctx->valueRoom = length + 1;
    }
    if (length > 0) std::wmemcpy(ctx->value, value, length);
    ctx->value[length] = L'\0';
    return ctx->value;
  }
  return nullptr;
}

bool MFD_RssTextAllowed(MFD_RssParser* context, const wchar_t* element) {
  if (context->error == 0) return true;
  MFD_RssParser_Report(context, L"characters (parse error)", element);
  return false;
}
