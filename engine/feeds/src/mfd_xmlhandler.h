// Joins the plain-function feed parser to the platform's SAX2 reader: makes
// the reader, turns its events into calls of plain callback tables, starts a
// parse from a URL or from memory and reads attributes and positions.
// Results: MFD_OK, MFD_ERR_NOINTERFACE, MFD_ERR_PARAM, MFD_ERR_VALUE,
// MFD_ERR_ABSENT, MFD_ERR_NOTFOUND, MFD_ERR_ABORTED (mfd_common.h).
#pragma once

#include "platform/xml/Sax.h"

// What handlers hand the parser in place of the reader's interfaces.
struct MFD_XmlLocatorCell {
  ISAXLocator* locator;
};
struct MFD_XmlAttributesCell {
  ISAXAttributes* attributes;  // set only during a start-element call
};

// Callback tables; a null slot ignores its event. Texts are NUL-terminated
// (the ignorable-whitespace text excepted) and good during the call only; a
// non-zero result stops the reader. The user data comes last.
typedef int (*MFD_XmlCharactersFn)(const wchar_t* text, int start, int length, void* user);
typedef int (*MFD_XmlStartElementFn)(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                     const wchar_t* qName, int qLength, MFD_XmlAttributesCell* attributes,
                                     void* user);
typedef int (*MFD_XmlEndElementFn)(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                   const wchar_t* qName, int qLength, void* user);
typedef int (*MFD_XmlDocumentFn)(void* user);
typedef int (*MFD_XmlLocatorFn)(MFD_XmlLocatorCell* locator, void* user);
typedef int (*MFD_XmlErrorFn)(const wchar_t* message, MFD_XmlLocatorCell* locator, void* user);

struct MFD_XmlContentTable {
  MFD_XmlCharactersFn characters;
  MFD_XmlStartElementFn startElement;
  MFD_XmlEndElementFn endElement;
  MFD_XmlCharactersFn ignorableWhitespace;
  MFD_XmlDocumentFn startDocument;
  MFD_XmlDocumentFn endDocument;
  MFD_XmlLocatorFn setDocumentLocator;
};

struct MFD_XmlErrorTable {
  MFD_XmlErrorFn fatalError;
  MFD_XmlErrorFn error;
  MFD_XmlErrorFn warning;
};

struct MFD_XmlReaderRecord;
// The caller's handle: a small holder of the reader record.
struct MFD_XmlReader {
  MFD_XmlReaderRecord* record;
};

int MFD_XmlReader_Create(MFD_XmlReader** reader);
int MFD_XmlReader_Free(MFD_XmlReader** reader);
int MFD_XmlReader_SetContentHandler(MFD_XmlReader* reader, const MFD_XmlContentTable* table);
int MFD_XmlReader_SetErrorHandler(MFD_XmlReader* reader, const MFD_XmlErrorTable* table);
int MFD_XmlReader_SetUserData(MFD_XmlReader* reader, void* data);
int MFD_XmlReader_SetFeature(MFD_XmlReader* reader, const wchar_t* name, int value);
int MFD_XmlReader_ParseUrl(MFD_XmlReader* reader, const wchar_t* url);
// `data` is NUL-terminated 8-bit text, or UTF-16 (16-bit units in the
// machine's order) ended by a zero unit: with a byte-order mark, or without
// one when its 8-bit length is 0 (big-endian) or 1 (little-endian).
int MFD_XmlReader_ParseMemory(MFD_XmlReader* reader, const void* data);
// The same with the document's size in bytes given: nothing past it is read.
int MFD_XmlReader_ParseBytes(MFD_XmlReader* reader, const void* data, size_t size);

int MFD_XmlAttributes_GetLength(MFD_XmlAttributesCell* cell, int* length);
int MFD_XmlAttributes_GetQName(MFD_XmlAttributesCell* cell, int index, const wchar_t** text, int* length);
int MFD_XmlAttributes_GetValue(MFD_XmlAttributesCell* cell, int index, const wchar_t** text, int* length);
int MFD_XmlLocator_GetColumn(MFD_XmlLocatorCell* cell, int* column);
int MFD_XmlLocator_GetLine(MFD_XmlLocatorCell* cell, int* line);
