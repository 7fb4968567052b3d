// The safe base name a part taken from mail is stored under. Exported so that
// the program names the very file the engine writes for a part, and so that
// no name from mail reaches a path of the program unchecked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/public/QvMiddleExport.h"

namespace content {

// Longest path a part file may have, in characters.
inline constexpr size_t kPartPathLimit = 256;

// Every name from mail that becomes a file name, or a name shown for a part
// that may be saved under it, goes through here: one base name with no path
// separator ("/" or "\\"), none of the characters the file system reserves
// (< > : " | ? *), no control or direction characters, no leading dots (so
// neither "." nor ".." nor a hidden file) and no trailing dots or blanks;
// kNoFileName when nothing is left. The name is shortened, keeping its
// extension, to kFileNameLimit characters (and kFileNameBytes in UTF-8) and
// so that folder + name stays within `pathLimit` characters. The
// name must be decoded (charset, RFC 2047, RFC 2231) before it comes here:
// a separator hidden in an encoding would survive a check of the raw bytes.
QVMIDDLE_API std::wstring SafePartFileName(std::wstring_view name, size_t folderLength,
                                           size_t pathLimit = kPartPathLimit);

}  // namespace content
