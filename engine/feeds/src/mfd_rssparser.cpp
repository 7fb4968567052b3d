// One parse of a feed document: the context, the default callbacks with
// version detection, and the services the version handlers share.
#include "engine/feeds/src/mfd_rssparser.h"

#include <cwchar>

#include "engine/feeds/src/mfd_rsshandler.h"

#define MFD_SOURCE ".\\src\\mfd_rssparser"

const wchar_t kMfdNsRdf[] = L"http://www.w3.org/1999/02/22-rdf-syntax-ns#";
const wchar_t kMfdNsRss090[] = L"http://my.netscape.com/rdf/simple/0.9/";
const wchar_t kMfdNsRss100[] = L"http://purl.org/rss/1.0/";
// The maker's web host serves the channel-set schemas.
const wchar_t kMfdNsCsd100[] = L"http://www.norvale.co.jp/2005/csd/1.0/";
const wchar_t kMfdNsCsd200[] = L"http://www.norvale.co.jp/2006/csd/2.0/";

namespace {

MFD_RssParser* Of(void* user) { return static_cast<MFD_RssParser*>(user); }

void FreeNamespaces(MFD_List** list) {
  if (*list == nullptr) return;
  for (MFD_ListNode* n = (*list)->first; n != nullptr; n = n->next) {
    MFD_RssNamespace* ns = *static_cast<MFD_RssNamespace**>(n->data);
    MFD_RssNamespace_Free(&ns);
  }
  MFD_List_Free(list);
}

int ReportError(const wchar_t* kind, const wchar_t* message, void* user) {
  MFD_RssParser_Report(Of(user), kind, message);
  return 0;
}
int OnFatalError(const wchar_t* message, MFD_XmlLocatorCell*, void* user) {
  return ReportError(L"fatalError", message, user);
}
int OnError(const wchar_t* message, MFD_XmlLocatorCell*, void* user) { return ReportError(L"error", message, user); }
int OnWarning(const wchar_t* message, MFD_XmlLocatorCell*, void* user) {
  return ReportError(L"warning", message, user);
}

// Stores `version` in the context and the document and installs its table.
// A step that fails ends the parse as a failure rather than leaving the
// document to be read by nobody.
bool Settle(MFD_RssParser* ctx, int32_t version, bool installTable) {
  if (MFD_RssParser_InstallVersion(ctx, version) != MFD_OK ||
      MFD_RssDocument_SetVersion(ctx->document, version) != MFD_OK ||
      (installTable && MFD_RssHandler_SetVersion(ctx->handler, version) != MFD_OK)) {
    ctx->error = 1;
    MFD_RssParser_Report(ctx, L"defaultStartElement", L"version not installed");
    return false;
  }
  return true;
}

int VersionError(MFD_RssParser* ctx, const wchar_t* uri, const wchar_t* qName) {
  ctx->error = 1;
  if (uri == nullptr || *uri == L'\0') {
    MFD_RssParser_Report(ctx, L"defaultStartElement: version error (no namespace)", qName);
  } else {
    MFD_RssParser_Report(ctx, L"defaultStartElement: version error", qName);
    MFD_RssParser_Report(ctx, L"defaultStartElement: version error", uri);
  }
  return 0;
}

// The version of a pending root from its attributes; 0 when they name none
// (an RDF root's declarations are then registered for its children).
int32_t ScanRootAttributes(MFD_RssParser* ctx, MFD_Vector* attributes, const wchar_t* localName) {
  bool rdf = false, rss090 = false, rss100 = false;
  for (MFD_VectorNode* n = attributes != nullptr ? attributes->first : nullptr; n != nullptr; n = n->next) {
    const wchar_t* name = MFD_RssAttribute_Name(n);
    const wchar_t* value = MFD_RssAttribute_Value(n);
    if (MFD_RssNameIs(name, L"version") && MFD_RssNameIs(value, L"0.91")) return MFD_RSS_091;
    if (MFD_RssNameIs(name, L"version") && MFD_RssNameIs(value, L"2.0")) return MFD_RSS_200;
    if (MFD_RssNameIs(name, L"xmlns:rdf") && MFD_RssNameIs(value, kMfdNsRdf)) rdf = true;
    if (MFD_RssNameIs(name, L"xmlns") && MFD_RssNameIs(value, kMfdNsRss090)) rss090 = true;
    if (MFD_RssNameIs(name, L"xmlns") && MFD_RssNameIs(value, kMfdNsRss100)) rss100 = true;
    if (rdf && (rss090 || rss100)) {
      MFD_RssParser_RegisterDeclarations(ctx, attributes, localName);
      break;
    }
  }
  return 0;
}

int Parse(MFD_RssDocument* document, const wchar_t* path, const void* data, size_t size) {
  if (document == nullptr || (path == nullptr && data == nullptr)) return MFD_ERR_PARAM;
  // The handlers go on past a field they could not store; the parse as a
  // whole still fails when memory ran out on the way.
  const long failures = MFD_AllocationFailures();
  MFD_RssParser* ctx = nullptr;
  if (MFD_RssParser_Create(&ctx, document) != MFD_OK) return MFD_ERR_NOMEM;
  MFD_XmlReader* reader = nullptr;
  int rc = MFD_XmlReader_Create(&reader);
  if (rc == MFD_OK) rc = MFD_XmlReader_SetContentHandler(reader, &ctx->handler->content);
  if (rc == MFD_OK) rc = MFD_XmlReader_SetErrorHandler(reader, &ctx->handler->errors);
  if (rc == MFD_OK) rc = MFD_XmlReader_SetUserData(reader, ctx);
  if (rc == MFD_OK) rc = path != nullptr ? MFD_XmlReader_ParseUrl(reader, path) : MFD_XmlReader_ParseBytes(reader, data, size);
  if (reader != nullptr) {
    MFD_XmlReader_SetContentHandler(reader, nullptr);
    MFD_XmlReader_SetErrorHandler(reader, nullptr);
    MFD_XmlReader_SetUserData(reader, nullptr);
    MFD_XmlReader_Free(&reader);
  }
  if (ctx->error != 0 || MFD_AllocationFailures() != failures) rc = MFD_ERR_NOMEM;
  MFD_RssParser_Free(&ctx);
  return rc == MFD_OK ? MFD_OK : MFD_ERR_NOMEM;
}

}  // namespace

int MFD_RssParser_Create(MFD_RssParser** out, MFD_RssDocument* document) {
  if (out == nullptr || *out != nullptr || document == nullptr) return MFD_ERR_PARAM;
  auto* ctx = static_cast<MFD_RssParser*>(MFD_MALLOC(sizeof(MFD_RssParser)));
  if (ctx == nullptr) return MFD_ERR_NOMEM;
  ctx->document = document;
  if (MFD_List_Create(&ctx->declarations, sizeof(MFD_RssNamespace*)) != 0 ||
      MFD_RssHandler_Create(&ctx->handler) != MFD_OK || MFD_RssHandler_SetVersion(ctx->handler, 8) != MFD_OK) {
    MFD_RssParser_Free(&ctx);
    return MFD_ERR_NOMEM;
  }
  *out = ctx;
  return MFD_OK;
}

int MFD_RssParser_Free(MFD_RssParser** p) {
  if (p == nullptr || *p == nullptr) return MFD_OK;
  MFD_RssParser* ctx = *p;
  const MFD_RssVersionModule* module = MFD_RssHandler_Module(ctx->version);
  if (ctx->versionState != nullptr && module != nullptr) module->freeState(&ctx->versionState);
  FreeNamespaces(&ctx->declarations);
  MFD_FREE(ctx->scopeStack.entries);
  MFD_FREE(ctx->scopeStack.names);
  MFD_FREE(ctx->text);
  MFD_FREE(ctx->value);
  MFD_RssHandler_Free(&ctx->handler);
  MFD_RssChannelItem_Free(&ctx->item);
  MFD_RssChannel_Free(&ctx->channel);
  mfd_rss::FreeRecord(ctx, sizeof(MFD_RssParser), MFD_SOURCE, __LINE__);
  *p = nullptr;
  return MFD_OK;
}

int MFD_RssParser_ParseFile(MFD_RssDocument* document, const wchar_t* path) {
  if (path == nullptr) return MFD_ERR_PARAM;
  return Parse(document, path, nullptr, 0);
}

int MFD_RssParser_ParseMemory(MFD_RssDocument* document, const void* data) {
  return MFD_RssParser_ParseBytes(document, data, static_cast<size_t>(-1));
}

int MFD_RssParser_ParseBytes(MFD_RssDocument* document, const void* data, size_t size) {
  if (data == nullptr) return MFD_ERR_PARAM;
  return Parse(document, nullptr, data, size);
}

int MFD_RssParser_InstallVersion(MFD_RssParser* ctx, int32_t version) {
  if (ctx == nullptr) return MFD_ERR_PARAM;
  if (version == MFD_RSS_PENDING) {
    ctx->version = version;
    ctx->document->version = version;
    return MFD_OK;
  }
  if (version < MFD_RSS_090 || version > MFD_RSS_CSD_200) return MFD_OK;
  const MFD_RssVersionModule* old = MFD_RssHandler_Module(ctx->version);
  if (ctx->versionState != nullptr && old != nullptr) old->freeState(&ctx->versionState);
  const MFD_RssVersionModule* module = MFD_RssHandler_Module(version);
  int rc = module != nullptr ? module->createState(&ctx->versionState) : MFD_ERR_NOMEM;
  ctx->version = version;
  ctx->document->version = version;
  return rc;
}

int MFD_RssParser_CommitChannel(MFD_RssParser* ctx) {
  if (ctx == nullptr || ctx->document == nullptr || ctx->channel == nullptr) return MFD_ERR_VALUE;
  return MFD_RssDocument_AddChannel(ctx->document, ctx->channel);
}

int MFD_RssParser_CommitItem(MFD_RssParser* ctx) {
  if (ctx == nullptr || ctx->document == nullptr || ctx->channel == nullptr || ctx->item == nullptr)
    return MFD_ERR_VALUE;
  return MFD_RssChannel_AddItem(ctx->channel, ctx->item);
}

namespace {

// Appends *record to *list (created on first use) and clears *record; frees
// it when it cannot be appended.
template <class R>
int HandOver(MFD_List** list, R** record, int (*release)(R**)) {
  if (*list == nullptr && MFD_List_Create(list, sizeof(R*)) != 0) {
    release(record);
    return MFD_ERR_NOMEM;
  }
  if (MFD_List_Append(*list, record) != 0) {
    release(record);
    return MFD_ERR_NOMEM;
  }
  *record = nullptr;
  return MFD_OK;
}

}  // namespace

int MFD_RssParser_HandOverItem(MFD_RssParser* ctx) {
  if (ctx == nullptr || ctx->document == nullptr || ctx->channel == nullptr || ctx->item == nullptr) {
    if (ctx != nullptr) MFD_RssChannelItem_Free(&ctx->item);
    return MFD_ERR_VALUE;
  }
  return HandOver<MFD_RssChannelItem>(&ctx->channel->items, &ctx->item, MFD_RssChannelItem_Free);
}

int MFD_RssParser_HandOverChannel(MFD_RssParser* ctx) {
  if (ctx == nullptr || ctx->document == nullptr || ctx->channel == nullptr) return MFD_ERR_VALUE;
  return HandOver<MFD_RssChannel>(&ctx->document->channels, &ctx->channel, MFD_RssChannel_Free);
}

int MFD_RssParser_Report(MFD_RssParser* ctx, const wchar_t* where, const wchar_t* what) {
  if (ctx == nullptr || ctx->reports >= kMfdMaxReports) return MFD_OK;
  int line = -1, column = -1;
  if (MFD_XmlLocator_GetLine(ctx->locator, &line) != MFD_OK) line = -1;
  if (MFD_XmlLocator_GetColumn(ctx->locator, &column) != MFD_OK) column = -1;
  MFD_RssError* error = nullptr;
  if (MFD_RssError_Make(&error, where, what, line, column) != MFD_OK) return MFD_OK;
  if (MFD_RssDocument_AddError(ctx->document, error) != MFD_OK) {
    MFD_RssError_Free(&error);
  } else {
    ++ctx->reports;
  }
  return MFD_OK;
}

int MFD_RssParser_RegisterDeclarations(MFD_RssParser* ctx, MFD_Vector* attributes, const wchar_t* elementName) {
  if (ctx == nullptr) return MFD_ERR_PARAM;
  for (MFD_VectorNode* n = attributes != nullptr ? attributes->first : nullptr; n != nullptr; n = n->next) {
    const wchar_t* name = MFD_RssAttribute_Name(n);
    const wchar_t* value = MFD_RssAttribute_Value(n);
    if (!MFD_RssParser_RegisterDeclaration(ctx, name, MFD_WStr_Length(name), value, MFD_WStr_Length(value),
                                           elementName))
      break;
  }
  return MFD_OK;
}

bool MFD_RssParser_RegisterDeclaration(MFD_RssParser* ctx, const wchar_t* name, size_t nameLength,
                                       const wchar_t* value, size_t valueLength, const wchar_t* elementName) {
  // Only "xmlns" itself and "xmlns:p" declare; other names merely holding
  // the letters are attributes.
  size_t skip;
  if (nameLength < 5 || std::wmemcmp(name, L"xmlns", 5) != 0) return true;
  if (nameLength == 5) skip = 5;
  else if (name[5] == L':') skip = 6;
  else return true;
  if (MFD_List_Count(ctx->declarations) >= kMfdMaxDeclarations) return false;
  MFD_RssNamespace* ns = nullptr;
  if (MFD_RssNamespace_Create(&ns) != MFD_OK) return true;
  if (mfd_rss::SetTextN(&ns->prefix, name + skip, nameLength - skip) != MFD_OK ||
      mfd_rss::SetTextN(&ns->uri, value, valueLength) != MFD_OK ||
      MFD_RssNamespace_SetElement(ns, elementName) != MFD_OK || MFD_List_Append(ctx->declarations, &ns) != 0) {
    MFD_RssNamespace_Free(&ns);
  }
  return true;
}

bool MFD_RssParser_CopyAttributes(MFD_XmlAttributesCell* cell, MFD_Vector** out) {
  int count = 0;  // an event without attributes has no cell
  if (cell != nullptr && MFD_XmlAttributes_GetLength(cell, &count) != MFD_OK) return false;
  if (MFD_Vector_Create(out) != 0) return false;
  for (int i = 0; i < count; ++i) {
    const wchar_t *name = nullptr, *value = nullptr;
    int nameLength = 0, valueLength = 0;
    bool ok = MFD_XmlAttributes_GetQName(cell, i, &name, &nameLength) == MFD_OK &&
              MFD_XmlAttributes_GetValue(cell, i, &value, &valueLength) == MFD_OK;
    if (ok) {
      size_t n = nameLength < 0 ? MFD_WStr_Length(name) : static_cast<size_t>(nameLength);
      size_t v = valueLength < 0 ? MFD_WStr_Length(value) : static_cast<size_t>(valueLength);
      size_t bytes = (n + v + 2) * sizeof(wchar_t);
      auto* pair = static_cast<wchar_t*>(MFD_MALLOC(bytes));
      ok = pair != nullptr && bytes <= UINT32_MAX;
      if (ok) {
        if (n > 0) std::wmemcpy(pair, name, n);
        if (v > 0) std::wmemcpy(pair + n + 1, value, v);
        ok = MFD_Vector_Append(*out, pair, static_cast<uint32_t>(bytes)) == 0;
      }
      MFD_FREE(pair);
    }
    if (!ok) {
      MFD_Vector_Free(out);
      return false;
    }
  }
  return true;
}

const wchar_t* MFD_RssAttribute_Name(const MFD_VectorNode* node) { return static_cast<const wchar_t*>(node->data); }
const wchar_t* MFD_RssAttribute_Value(const MFD_VectorNode* node) {
  const wchar_t* name = MFD_RssAttribute_Name(node);
  return name + MFD_WStr_Length(name) + 1;
}

int MFD_RssParser_DefaultStartElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                      const wchar_t* qName, int qLength, MFD_XmlAttributesCell* attributes,
                                      void* user) {
  MFD_RssParser* ctx = Of(user);
  if (ctx == nullptr || qName == nullptr) return 0;
  int32_t version = 0;
  bool known = ctx->version == MFD_RSS_UNKNOWN;  // no version yet
  if (MFD_RssNameIs(qName, L"csd")) {
    if (MFD_RssNsIs(uri, kMfdNsCsd200)) version = MFD_RSS_CSD_200;
    else if (MFD_RssNsIs(uri, kMfdNsCsd100)) version = MFD_RSS_CSD_100;
  } else if (MFD_RssNameIs(qName, L"rdf:RDF")) {
    if (MFD_RssNsIs(uri, kMfdNsRdf) && known) version = MFD_RSS_PENDING;
  } else if (MFD_RssNameIs(qName, L"rss")) {
    if (known) version = MFD_RSS_PENDING;
  } else if (MFD_RssNsIs(uri, kMfdNsRss090)) {
    version = MFD_RSS_090;
  } else if (MFD_RssNsIs(uri, kMfdNsRss100)) {
    version = MFD_RSS_100;
  }
  if (version == 0) return VersionError(ctx, uri, qName);
  if (version == MFD_RSS_PENDING) {
    if (!Settle(ctx, version, false)) return 0;
    MFD_Vector* pairs = nullptr;
    if (!MFD_RssParser_CopyAttributes(attributes, &pairs)) return 0;
    const wchar_t* colon = std::wcschr(qName, L':');
    version = ScanRootAttributes(ctx, pairs, colon != nullptr ? colon + 1 : qName);
    MFD_Vector_Free(&pairs);
    if (version == 0) return 0;
  }
  if (!Settle(ctx, version, true)) return 0;
  MFD_XmlStartElementFn next = ctx->handler->content.startElement;
  if (next == nullptr || next == MFD_RssParser_DefaultStartElement) return 0;
  return next(uri, uriLength, localName, localLength, qName, qLength, attributes, user);
}

int MFD_RssParser_DefaultEndElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int, void*) { return 0; }

int MFD_RssParser_StartDocument(void* user) {
  MFD_RssParser* ctx = Of(user);
  if (ctx == nullptr) return 0;
  MFD_RssChannel_Free(&ctx->channel);
  MFD_RssChannel_NewFromTemplate(&ctx->channel);
  return 0;
}

int MFD_RssParser_EndDocument(void* user) {
  MFD_RssParser* ctx = Of(user);
  if (ctx == nullptr || ctx->channel == nullptr) return 0;
  MFD_RssParser_HandOverChannel(ctx);
  return 0;
}

int MFD_RssParser_SetDocumentLocator(MFD_XmlLocatorCell* locator, void* user) {
  if (user != nullptr) Of(user)->locator = locator;
  return 0;
}

namespace {
const MFD_XmlErrorTable kErrorTable = {OnFatalError, OnError, OnWarning};
}  // namespace

const MFD_XmlErrorTable* MFD_RssParser_ErrorTable() { return &kErrorTable; }
