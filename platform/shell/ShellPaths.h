// Inside the shell: the small readings of device paths its services share.
#pragma once

#include <string>
#include <string_view>

namespace qv::shell {

// Lower case, as names and schemes compare.
std::wstring Lower(std::wstring_view s);
// The text after the last name's last ".", empty when it has none.
std::wstring Extension(std::wstring_view path);
bool IsFolder(const std::wstring& path);

}  // namespace qv::shell
