// The shell's own strings, as its resource library "shellres.dll" would give
// them by id: the column heads and labels of file lists, the size units and
// the user's documents folder. The program asks for them by the library's
// ids; no library is loaded for them.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

namespace qv::shell {

// The text of the shell string `id`; empty for an id the shell has none for.
QV_PLATFORM_API std::wstring LoadShellString(UINT id);

}  // namespace qv::shell
