// Address fields: display name and address, comma lists, and the making of a
// field for an outgoing header.
#pragma once

#include <list>
#include <string>
#include <string_view>

namespace content {

void SplitAddress(std::string_view field, std::string& address, std::string& name);
void SplitAddressW(std::wstring_view field, std::wstring& address, std::wstring& name);
void BareAddressOf(std::string_view field, std::string& address);
std::string AddressOf(std::string_view field);
std::wstring AddressOfW(std::wstring_view field);
std::list<std::string> AddressListOf(const std::list<std::string>& fields);
// Wide fields to narrow bare addresses (device code page).
std::list<std::string> AddressListOfW(const std::list<std::wstring>& fields);
// Splits at every "," outside double quotes; blank fields are left out.
std::list<std::string> SplitCommaList(std::string_view value);
// "name <address>" with the name as RFC 2047 words when it is not ASCII.
// CR, LF and NUL never reach the result.
std::string MakeAddressField(std::wstring_view address, std::wstring_view name, bool b);

}  // namespace content
