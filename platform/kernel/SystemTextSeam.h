// Texts a test gives the system's message table: for a code, the text
// FormatMessageW answers instead of the table's (a test needs a text of a
// shape the table has none of, e.g. one without a line end).
#pragma once

#include <optional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::systext_seam {

QV_PLATFORM_API void SetText(DWORD code, const std::wstring& text);
QV_PLATFORM_API void Reset();
std::optional<std::wstring> Text(DWORD code);

}  // namespace qv::systext_seam
