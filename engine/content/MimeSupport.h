// Small pieces the MIME decoder, encoder and feed code share: text widening,
// memory and disk checks, safe file names for parts taken from mail, and
// whole-file reads and writes on the device file system.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>

#include "engine/public/content/Enclosure.h"
#include "engine/public/content/PartFileName.h"

namespace content {

// The temporary picture folder of the feed reader, as a device path and as
// the relative reference placed in feed HTML.
inline constexpr wchar_t kFeedTmpFolder[] = L"\\Application Data\\Rivulet\\Tmp\\";
inline constexpr wchar_t kFeedTmpReference[] = L"Application Data/Rivulet/Tmp/";

// Device code page to wide text; NUL bytes do not end the text.
std::wstring WidenSjis(std::string_view sjis);
// WidenSjis with every LF not after a CR made CR LF, in one pass; empty when
// the heap cannot hold the result.
std::wstring WidenSjisCrLf(std::string_view sjis);
// The length WidenSjisCrLf gives, without making the text.
size_t WidenedCrLfLength(std::string_view sjis);
// Wide text to the device code page (81 AC for what it cannot hold).
std::string NarrowSjis(std::wstring_view wide);

// True when the free physical memory is more than `bytes`.
bool PhysicalMemoryAbove(size_t bytes);
// True when the volume of `folder` has fewer than `bytes` free.
bool DiskSpaceBelow(const std::wstring& folder, uint64_t bytes);

// The name a part gets when its mail gives none fit to use.
inline constexpr wchar_t kNoFileName[] = L"NoName";
// Longest name a part may have on its own, in characters, and in the bytes
// of UTF-8 (a file system holds 255 bytes a name; 200 Japanese characters
// take 600).
inline constexpr size_t kFileNameLimit = 200;
inline constexpr size_t kFileNameBytes = 240;

// The name a part is written under in a folder of `folderLength`
// characters: its "name", else its shown name, made safe by SafePartFileName
// (engine/public/content/PartFileName.h).
std::wstring PartFileName(const Enclosure& part, size_t folderLength);

// Whole-file read; false when the file cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string* out, uint32_t* lastError = nullptr);
// Creates a new file (never replacing one) and writes the bytes. Returns
// 0x2000000, 0x2000208 when the file exists, 0x2000002 when it cannot be
// created, 0x2000201 after a short write (the file is then deleted).
uint32_t WriteNewFile(const std::wstring& path, std::string_view bytes);
bool FileExists(const std::wstring& path);

// Bytes of a part inside the text, clamped to it.
std::string_view PartBytes(std::string_view text, int64_t offset, int64_t length);

// Splits an address-list header value at commas outside double quotes,
// angle brackets and comments; blank fields are left out.
std::list<std::string> SplitAddressList(std::string_view value);
// Every "<id>" of a message-id list, without the brackets; the whole trimmed
// value when it has none.
std::list<std::string> MessageIdsOf(std::string_view value);

}  // namespace content
