// The texts of URLs on their way to the wire: host names, ports, request
// paths and canonicalization. A URL's bytes are those of the device's code
// page (CP932); nothing below 0x21 and no 0x7F ever reaches a request line.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace qv::inet {

// The CP932 bytes of a wide text; false when a character has none.
bool WideToUrlBytes(std::wstring_view text, std::string* bytes);
// A host name, a dotted address or a bracketed IPv6 address.
bool ValidHost(std::string_view host);
// Decimal digits only, 1 to 65535.
bool ParsePort(std::string_view text, DWORD* port);
// A request path from "/": refuses bytes below 0x21 and 0x7F, sends the
// bytes above 0x7F as %XX.
bool EncodePath(std::string_view bytes, std::string* path);
// InternetCanonicalizeUrlW's work: ERROR_SUCCESS or the error.
DWORD CanonicalizeUrl(std::wstring_view url, DWORD flags, std::wstring* out);

}  // namespace qv::inet
