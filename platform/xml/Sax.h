// The SAX2 XML reader of the device, a COM class: create it with
// CoCreateInstance(CLSID_SAXXMLReader, ..., IID_ISAXXMLReader), give it a
// content handler and an error handler, then parse a byte array
// (VT_ARRAY | VT_UI1) or a document named by a URL. Events arrive
// synchronously on the parsing thread. Texts handed to handlers are the
// reader's own, valid only during the call; lengths count characters (one
// wchar_t per code point). The three names of startElement and endElement,
// and the names and values an attribute list hands out, are followed by a
// NUL, so that a handler needs no copy to terminate them; other texts are
// not terminated.
//
// Hostile documents are bounded: element nesting is limited
// ("max-element-depth", 256 unless set), entity declarations that refer to
// other entities are refused and entity expansion may not amplify the input
// beyond a small factor; external entities and DTDs are never fetched.
// Encodings: UTF-8, UTF-16 (with a mark, or named), ISO-8859-1, US-ASCII,
// Shift_JIS (as CP932) and EUC-JP.
#pragma once

#include "platform/com/Com.h"

inline constexpr CLSID CLSID_SAXXMLReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
inline constexpr IID IID_ISAXXMLReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
inline constexpr IID IID_ISAXContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
inline constexpr IID IID_ISAXErrorHandler = {
    0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};
inline constexpr IID IID_ISAXLocator = {
    0x9B7E472A, 0x0DE4, 0x4640, {0xBF, 0xF3, 0x84, 0xD3, 0x8A, 0x05, 0x1C, 0x31}};
inline constexpr IID IID_ISAXAttributes = {
    0xF078ABE1, 0x45D2, 0x4832, {0x91, 0xEA, 0x44, 0x66, 0xCE, 0x2F, 0x25, 0xC9}};

// Results of a parse besides S_OK, E_INVALIDARG and the handlers' own codes.
// A malformed document gives QV_XML_E_SYNTAX_BASE plus the syntax error's
// number (1 to 0x7F).
#define QV_XML_E_SYNTAX_BASE (static_cast<HRESULT>(0xC00CE500u))
// A content handler returned a failure: the parse was abandoned.
#define QV_XML_E_ABORTED (static_cast<HRESULT>(0xC00CE56Du))
#define QV_XML_E_TOO_DEEP (static_cast<HRESULT>(0xC00CE580u))
#define QV_XML_E_ENTITY (static_cast<HRESULT>(0xC00CE581u))
#define QV_XML_E_PREFIX (static_cast<HRESULT>(0xC00CE582u))
#define QV_XML_E_DTD_PROHIBITED (static_cast<HRESULT>(0xC00CE583u))
#define QV_XML_E_TOO_LARGE (static_cast<HRESULT>(0xC00CE584u))
#define QV_XML_E_ENCODING (static_cast<HRESULT>(0xC00CE585u))
// parseURL: the resource is not there; the scheme is not one the device reads.
#define INET_E_OBJECT_NOT_FOUND (static_cast<HRESULT>(0x800C0006u))
#define INET_E_UNKNOWN_PROTOCOL (static_cast<HRESULT>(0x800C000Du))

struct ISAXLocator : IUnknown {
  // 1-based; the position of the current event, or of the error.
  virtual HRESULT getColumnNumber(int* column) = 0;
  virtual HRESULT getLineNumber(int* line) = 0;
  virtual HRESULT getPublicId(const wchar_t** publicId) = 0;
  virtual HRESULT getSystemId(const wchar_t** systemId) = 0;
};

struct ISAXAttributes : IUnknown {
  virtual HRESULT getLength(int* length) = 0;
  virtual HRESULT getURI(int index, const wchar_t** uri, int* uriLength) = 0;
  virtual HRESULT getLocalName(int index, const wchar_t** localName, int* localLength) = 0;
  virtual HRESULT getQName(int index, const wchar_t** qName, int* qLength) = 0;
  virtual HRESULT getName(int index, const wchar_t** uri, int* uriLength, const wchar_t** localName,
                          int* localLength, const wchar_t** qName, int* qLength) = 0;
  virtual HRESULT getIndexFromName(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                   int* index) = 0;
  virtual HRESULT getIndexFromQName(const wchar_t* qName, int qLength, int* index) = 0;
  virtual HRESULT getType(int index, const wchar_t** type, int* typeLength) = 0;
  virtual HRESULT getValue(int index, const wchar_t** value, int* valueLength) = 0;
  virtual HRESULT getValueFromName(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                                   const wchar_t** value, int* valueLength) = 0;
  virtual HRESULT getValueFromQName(const wchar_t* qName, int qLength, const wchar_t** value,
                                    int* valueLength) = 0;
};

// A handler result that is not S_OK stops the parse.
struct ISAXContentHandler : IUnknown {
  virtual HRESULT putDocumentLocator(ISAXLocator* locator) = 0;
  virtual HRESULT startDocument() = 0;
  virtual HRESULT endDocument() = 0;
  virtual HRESULT startPrefixMapping(const wchar_t* prefix, int prefixLength, const wchar_t* uri,
                                     int uriLength) = 0;
  virtual HRESULT endPrefixMapping(const wchar_t* prefix, int prefixLength) = 0;
  virtual HRESULT startElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                               const wchar_t* qName, int qLength, ISAXAttributes* attributes) = 0;
  virtual HRESULT endElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                             const wchar_t* qName, int qLength) = 0;
  virtual HRESULT characters(const wchar_t* chars, int length) = 0;
  virtual HRESULT ignorableWhitespace(const wchar_t* chars, int length) = 0;
  virtual HRESULT processingInstruction(const wchar_t* target, int targetLength, const wchar_t* data,
                                        int dataLength) = 0;
  virtual HRESULT skippedEntity(const wchar_t* name, int nameLength) = 0;
};

// Every error this reader finds is fatal: fatalError is called once and the
// parse ends with the error's code, or with the handler's own failure.
struct ISAXErrorHandler : IUnknown {
  virtual HRESULT error(ISAXLocator* locator, const wchar_t* message, HRESULT code) = 0;
  virtual HRESULT fatalError(ISAXLocator* locator, const wchar_t* message, HRESULT code) = 0;
  virtual HRESULT ignorableWarning(ISAXLocator* locator, const wchar_t* message, HRESULT code) = 0;
};

// Features: "http://xml.org/sax/features/namespaces" (true; false is refused
// with E_FAIL), "http://xml.org/sax/features/namespace-prefixes" (true:
// xmlns attributes stay in the attribute list), "prohibit-dtd" (false),
// "http://xml.org/sax/features/external-general-entities" and
// "...external-parameter-entities" (kept but never acted on: nothing is
// fetched), "normalize-line-breaks" (true; kept); "validation" and
// "string-interning" read false and refuse changes with E_FAIL; any other
// name is E_INVALIDARG. Properties (VT_I4): "max-element-depth" (0 means the
// built-in bound) and "max-xml-size" in KiB of input (0: no limit). Features
// and properties cannot change during a parse (E_FAIL).
struct ISAXXMLReader : IUnknown {
  virtual HRESULT getFeature(const wchar_t* name, VARIANT_BOOL* value) = 0;
  virtual HRESULT putFeature(const wchar_t* name, VARIANT_BOOL value) = 0;
  virtual HRESULT getProperty(const wchar_t* name, VARIANT* value) = 0;
  virtual HRESULT putProperty(const wchar_t* name, VARIANT value) = 0;
  virtual HRESULT getContentHandler(ISAXContentHandler** handler) = 0;
  virtual HRESULT putContentHandler(ISAXContentHandler* handler) = 0;
  virtual HRESULT getErrorHandler(ISAXErrorHandler** handler) = 0;
  virtual HRESULT putErrorHandler(ISAXErrorHandler* handler) = 0;
  virtual HRESULT getBaseURL(const wchar_t** baseUrl) = 0;
  virtual HRESULT putBaseURL(const wchar_t* baseUrl) = 0;
  // VT_ARRAY | VT_UI1, or VT_BYREF | VT_VARIANT pointing at one; anything
  // else is E_INVALIDARG. A parse cannot start inside another (E_FAIL).
  virtual HRESULT parse(VARIANT input) = 0;
  // A device file: "file:///Folder/File", "\Folder\File" or "/Folder/File"
  // (a name without a leading separator is taken from the root). Missing file:
  // INET_E_OBJECT_NOT_FOUND; a bad name: HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
  // any other scheme: INET_E_UNKNOWN_PROTOCOL.
  virtual HRESULT parseURL(const wchar_t* url) = 0;
};

namespace qv::xml_seam {
// Makes CoCreateInstance answer the reader's class as a device without the
// reader would (E_NOINTERFACE for its interface); true puts it back.
QV_PLATFORM_API void SetReaderAvailable(bool available);
}  // namespace qv::xml_seam
