// The framework's own messages (the texts of data exchange, validation and
// its exceptions), in our Japanese wording. A resource library may carry a
// string of the same id, which then wins; "%1".."%9" are filled in by the
// AfxFormatString calls.
#pragma once

#include "platform/framework/AfxTypes.h"

class CString;

#define AFX_IDS_APP_TITLE 0xE000u
#define AFX_IDP_INTERNAL_FAILURE 0xF108u
#define AFX_IDP_COMMAND_FAILURE 0xF109u
#define AFX_IDP_FAILED_MEMORY_ALLOC 0xF10Au
#define AFX_IDP_PARSE_INT 0xF110u
#define AFX_IDP_PARSE_REAL 0xF111u
#define AFX_IDP_PARSE_INT_RANGE 0xF112u
#define AFX_IDP_PARSE_REAL_RANGE 0xF113u
#define AFX_IDP_PARSE_STRING_SIZE 0xF114u
#define AFX_IDP_PARSE_RADIO_BUTTON 0xF115u
#define AFX_IDP_PARSE_BYTE 0xF116u
#define AFX_IDP_PARSE_UINT 0xF117u
#define AFX_IDS_NOT_SUPPORTED_EXCEPTION 0xF186u
#define AFX_IDS_MEMORY_EXCEPTION 0xF187u
#define AFX_IDS_INVALID_ARG_EXCEPTION 0xF188u

// The text of a string: the resource handle's, else the framework's own;
// empty for an id that is neither.
QV_PLATFORM_API CString AfxLoadFrameworkString(UINT id);
// Replaces "%1".."%9" in `format` with the given texts.
QV_PLATFORM_API void AfxFormatStrings(CString& out, LPCTSTR format, LPCTSTR const* strings, int count);
QV_PLATFORM_API void AfxFormatString1(CString& out, UINT id, LPCTSTR s1);
QV_PLATFORM_API void AfxFormatString2(CString& out, UINT id, LPCTSTR s1, LPCTSTR s2);
