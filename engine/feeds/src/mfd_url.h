// A URL record with parsing and resolving of relative references. Results:
// MFD_OK, MFD_ERR_NOMEM (also a malformed text), MFD_ERR_PARAM (a null
// record or argument).
#pragma once

#include <cstddef>
#include <cstdint>

struct MFD_Url {
  wchar_t* scheme;
  wchar_t* spare;  // a text slot nothing fills
  uint8_t schemeOnly;
  wchar_t* user;
  wchar_t* host;
  wchar_t* path;
  int32_t port;
  wchar_t* resolved;  // the last result of MFD_Url_Resolve
};

int MFD_Url_Create(MFD_Url** url);
int MFD_Url_Free(MFD_Url** url);
int MFD_Url_SetUrl(MFD_Url* url, const wchar_t* text);
int MFD_Url_Parse(MFD_Url* url, const wchar_t* text);
int MFD_Url_SetScheme(MFD_Url* url, const wchar_t* text);
int MFD_Url_SetAuthority(MFD_Url* url, const wchar_t* text);
int MFD_Url_SetPath(MFD_Url* url, const wchar_t* text);
int MFD_Url_GetPath(MFD_Url* url, const wchar_t** text);
int MFD_Url_GetScheme(MFD_Url* url, const wchar_t** text);
// scheme "://" [user "@"] host [":" port]; nothing without a scheme.
size_t MFD_Url_AuthorityLength(const MFD_Url* url);
// Writes that text and its terminator; `buffer` holds AuthorityLength + 1.
int MFD_Url_BuildAuthority(const MFD_Url* url, wchar_t* buffer);
int MFD_Url_Resolve(MFD_Url* url, const wchar_t* reference, const wchar_t** text);
int MFD_Url_ResolveDots(MFD_Url* url, const wchar_t* reference);
