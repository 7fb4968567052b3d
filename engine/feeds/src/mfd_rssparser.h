// One parse of a feed document into an MFD_RssDocument: the parse context,
// version detection on the root element and the services the version
// handlers share (namespace declarations, scope, gathered text, commits and
// error reports).
#pragma once

#include "engine/feeds/src/mfd_rssdocument.h"
#include "engine/feeds/src/mfd_rssnamespace.h"
#include "engine/feeds/src/mfd_vect.h"
#include "engine/feeds/src/mfd_xmlhandler.h"

struct MFD_RssHandler;

// One open element: the namespace of its scope, and its qualified name as
// split at its start, kept so that its end, which names it again, is
// recognised by one compare.
struct MFD_RssScope {
  uint8_t kind;  // MFD_RssNs
  uint8_t name;  // MFD_RssName of the local part
  uint8_t prefixed;
  uint32_t prefixLength;
  size_t at;      // where the name is kept in the stack's `names`
  size_t length;  // its length; 0 for a known name without a prefix, which
                  // needs no keeping, kMfdNameNotKept when it could not be kept
};
constexpr size_t kMfdNameNotKept = ~size_t{0};

// The open elements, innermost last: a start pushes and an end pops without
// copying a declaration.
struct MFD_RssScopeStack {
  MFD_RssScope* entries;
  uint32_t depth;
  uint32_t room;
  wchar_t* names;  // the kept names, one after the other
  size_t namesLength;
  size_t namesRoom;
};

struct MFD_RssParser {
  MFD_RssDocument* document;  // not owned
  MFD_List* declarations;     // MFD_RssNamespace pointers, owned
  MFD_RssScopeStack scopeStack;
  MFD_XmlLocatorCell* locator;
  wchar_t* text;  // gathered characters of the current element
  uint8_t error;
  int32_t version;
  MFD_RssHandler* handler;
  MFD_RssChannel* channel;
  MFD_RssChannelItem* item;
  void* versionState;
  // Gathered text: its length and room, and whether it still has to be
  // handed to the version's text assignment.
  size_t textLength;
  size_t textRoom;
  uint8_t textPending;
  int32_t reports;  // errors this parse has queued
  // A terminated copy of the attribute value a handler last asked for.
  wchar_t* value;
  size_t valueRoom;
};

// Text of one element beyond this many characters is dropped, so that a
// hostile feed cannot make the parse hold unbounded text.
constexpr size_t kMfdMaxElementText = size_t{1} << 20;
// Namespace declarations one parse holds at most; each element's name is
// resolved against all of them, so a document declaring thousands would make
// the parse quadratic. Further declarations are not registered.
constexpr uint32_t kMfdMaxDeclarations = 256;
// Errors one parse queues at most; later ones are dropped.
constexpr int32_t kMfdMaxReports = 64;

// The namespaces detection compares against.
extern const wchar_t kMfdNsRdf[];
extern const wchar_t kMfdNsRss090[];
extern const wchar_t kMfdNsRss100[];
extern const wchar_t kMfdNsCsd100[];
extern const wchar_t kMfdNsCsd200[];

int MFD_RssParser_Create(MFD_RssParser** out, MFD_RssDocument* document);
int MFD_RssParser_Free(MFD_RssParser** p);
int MFD_RssParser_ParseFile(MFD_RssDocument* document, const wchar_t* path);
int MFD_RssParser_ParseMemory(MFD_RssDocument* document, const void* data);
int MFD_RssParser_ParseBytes(MFD_RssDocument* document, const void* data, size_t size);
int MFD_RssParser_InstallVersion(MFD_RssParser* context, int32_t version);
int MFD_RssParser_CommitChannel(MFD_RssParser* context);
int MFD_RssParser_CommitItem(MFD_RssParser* context);
// The end of an item and of the document: the same result as committing a
// copy and freeing the current record, without the copy. The current record
// is null afterwards either way.
int MFD_RssParser_HandOverItem(MFD_RssParser* context);
int MFD_RssParser_HandOverChannel(MFD_RssParser* context);
int MFD_RssParser_Report(MFD_RssParser* context, const wchar_t* where, const wchar_t* what);
// Appends a declaration for every "xmlns" or "xmlns:p" pair of `attributes`
// (the temporary list of MFD_RssParser_CopyAttributes).
int MFD_RssParser_RegisterDeclarations(MFD_RssParser* context, MFD_Vector* attributes, const wchar_t* elementName);
// The same for one attribute (its texts need not be terminated): appends a
// declaration when it is one. False once the declarations are at their bound.
bool MFD_RssParser_RegisterDeclaration(MFD_RssParser* context, const wchar_t* name, size_t nameLength,
                                       const wchar_t* value, size_t valueLength, const wchar_t* elementName);

// The element's attributes as a vector of "name\0value\0" elements; false
// when one cannot be read. A null cell has no attributes.
bool MFD_RssParser_CopyAttributes(MFD_XmlAttributesCell* cell, MFD_Vector** out);
const wchar_t* MFD_RssAttribute_Name(const MFD_VectorNode* node);
const wchar_t* MFD_RssAttribute_Value(const MFD_VectorNode* node);

// The default callbacks (before a version is known).
int MFD_RssParser_DefaultStartElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                      const wchar_t* qName, int qLength, MFD_XmlAttributesCell* attributes,
                                      void* user);
int MFD_RssParser_DefaultEndElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                    const wchar_t* qName, int qLength, void* user);
int MFD_RssParser_StartDocument(void* user);
int MFD_RssParser_EndDocument(void* user);
int MFD_RssParser_SetDocumentLocator(MFD_XmlLocatorCell* locator, void* user);
// fatalError, error and warning: each queues "kind: message" and lets the
// reader go on.
const MFD_XmlErrorTable* MFD_RssParser_ErrorTable();
