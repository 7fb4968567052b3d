// The callback tables and the framework of the version handlers.
#include "engine/feeds/src/mfd_rsshandler.h"

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

// The URI of the innermost open element; null when none.
const wchar_t* InnermostUri(const MFD_RssParser* ctx) {
  if (ctx->scopeStack == nullptr || ctx->scopeStack->last == nullptr) return nullptr;
  return NamespaceAt(ctx->scopeStack->last)->uri;
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

// Splits a qualified name into its prefix length and local part; the
// declaration of a non-empty prefix must exist. The prefix is the part before
// the first colon, matched whole.
bool Resolve(const MFD_RssParser* ctx, const wchar_t* qName, size_t* prefixLength, const wchar_t** local) {
  const wchar_t* colon = std::wcschr(qName, L':');
  if (colon == nullptr) {
    *prefixLength = 0;
    *local = qName;
    return true;
  }
  *prefixLength = static_cast<size_t>(colon - qName);
  *local = colon + 1;
  for (const MFD_ListNode* n = ctx->declarations->first; n != nullptr; n = n->next) {
    const wchar_t* prefix = NamespaceAt(n)->prefix;
    if (prefix != nullptr && *prefix != L'\0' && MFD_WStr_Length(prefix) == *prefixLength &&
        MFD_WStr_CompareN(prefix, qName, *prefixLength) == 0)
      return true;
  }
  return false;
}

// Pushes the scope of a starting element: a copy of the newest declaration
// of its prefix, or an entry without URI, so that every start has exactly
// one entry for its end to pop.
void PushScope(MFD_RssParser* ctx, const wchar_t* qName, size_t prefixLength) {
  const MFD_RssNamespace* match = nullptr;
  for (const MFD_ListNode* n = ctx->declarations->first; n != nullptr; n = n->next) {
    const wchar_t* prefix = NamespaceAt(n)->prefix;
    size_t length = MFD_WStr_Length(prefix);
    if (length == prefixLength && (length == 0 || MFD_WStr_CompareN(prefix, qName, length) == 0))
      match = NamespaceAt(n);
  }
  MFD_RssNamespace* entry = nullptr;
  int rc = match != nullptr ? MFD_RssNamespace_Copy(&entry, match) : MFD_RssNamespace_Create(&entry);
  if (rc != MFD_OK || MFD_List_Append(ctx->scopeStack, &entry) != 0) {
    MFD_RssNamespace_Free(&entry);
    ctx->error = 1;  // the scope would no longer match the open elements
  }
}

void PopScope(MFD_RssParser* ctx) {
  if (ctx->scopeStack->last == nullptr) return;
  MFD_RssNamespace* entry = NamespaceAt(ctx->scopeStack->last);
  MFD_RssNamespace_Free(&entry);
  MFD_List_Seek(ctx->scopeStack, 0, 2);
  MFD_List_Remove(ctx->scopeStack);
}

void DropDeclarationsOf(MFD_RssParser* ctx, const wchar_t* local) {
  MFD_List* list = ctx->declarations;
  if (MFD_List_Seek(list, 0, 2) != 0) return;
  for (;;) {
    MFD_ListNode* node = list->current;
    MFD_ListNode* prev = node->prev;
    MFD_RssNamespace* ns = NamespaceAt(node);
    if (MFD_RssNameIs(ns->element, local)) {
      MFD_RssNamespace_Free(&ns);
      MFD_List_Remove(list);
    }
    if (prev == nullptr) break;
    list->current = prev;
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
  if (ctx->text != nullptr) module->text(ctx, InnermostUri(ctx), ctx->text);
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

int VersionStartElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* qName, int,
                        MFD_XmlAttributesCell* attributes, void* user) {
  MFD_RssParser* ctx = Of(user);
  const MFD_RssVersionModule* module = ctx != nullptr ? MFD_RssHandler_Module(ctx->version) : nullptr;
  if (module == nullptr || ctx->versionState == nullptr || ctx->error != 0 || qName == nullptr) return 0;
  FlushText(ctx, module);
  MFD_Vector* pairs = nullptr;
  if (!MFD_RssParser_CopyAttributes(attributes, &pairs)) return 0;
  size_t prefixLength = 0;
  const wchar_t* local = nullptr;
  bool resolved = Resolve(ctx, qName, &prefixLength, &local);
  DeclareImplicit(ctx, module->implicitUri, local);
  MFD_RssParser_RegisterDeclarations(ctx, pairs, local);
  if (!resolved) resolved = Resolve(ctx, qName, &prefixLength, &local);  // declared by this element
  if (!resolved) {
    ctx->error = 1;
    MFD_RssParser_Report(ctx, L"startElement (namespace error)", L"no namespace matched");
  } else {
    PushScope(ctx, qName, prefixLength);
    module->start(ctx, InnermostUri(ctx), local, pairs);
    if (ctx->error != 0) MFD_RssParser_Report(ctx, L"startElement (parse error)", local);
  }
  MFD_Vector_Free(&pairs);
  ClearText(ctx);
  return 0;
}

int VersionEndElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* qName, int, void* user) {
  MFD_RssParser* ctx = Of(user);
  const MFD_RssVersionModule* module = ctx != nullptr ? MFD_RssHandler_Module(ctx->version) : nullptr;
  if (module == nullptr || ctx->versionState == nullptr || qName == nullptr) return 0;
  FlushText(ctx, module);
  size_t prefixLength = 0;
  const wchar_t* local = nullptr;
  if (!Resolve(ctx, qName, &prefixLength, &local)) {
    ctx->error = 1;
    MFD_RssParser_Report(ctx, L"endElement (namespace error)", L"element name has unknown namespace prefix.");
    return 0;
  }
  module->end(ctx, InnermostUri(ctx), local);
  if (ctx->error != 0) MFD_RssParser_Report(ctx, L"endElement (parse error)", qName);
  PopScope(ctx);
  DropDeclarationsOf(ctx, local);
  return 0;
}

int VersionCharacters(const wchar_t* text, int, int length, void* user) {
  MFD_RssParser* ctx = Of(user);
  if (ctx == nullptr || ctx->versionState == nullptr || ctx->error != 0 || text == nullptr) return 0;
  size_t n = length < 0 ? MFD_WStr_Length(text) : static_cast<size_t>(length);
  size_t i = 0;
  while (i < n && (text[i] == L'\r' || text[i] == L'\n' || text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i == n || ctx->scopeStack->last == nullptr) return 0;  // blank, or outside every element
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

void MFD_RssSetStateName(wchar_t** field, const wchar_t* name) { mfd_rss::SetText(field, name); }

const wchar_t* MFD_RssAttributeValue(MFD_Vector* attributes, const wchar_t* name) {
  for (MFD_VectorNode* n = attributes != nullptr ? attributes->first : nullptr; n != nullptr; n = n->next) {
    if (MFD_RssNameIs(MFD_RssAttribute_Name(n), name)) return MFD_RssAttribute_Value(n);
  }
  return nullptr;
}

bool MFD_RssTextAllowed(MFD_RssParser* context, const wchar_t* element) {
  if (context->error == 0) return true;
  MFD_RssParser_Report(context, L"characters (parse error)", element);
  return false;
}
