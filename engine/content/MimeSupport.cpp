#include "engine/content/MimeSupport.h"

#include <algorithm>

#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderText.h"
#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/codepage/CodePage.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Memory.h"

namespace content {

namespace {

// The wide length of a NUL-free run of the code page.
size_t WideLength(std::string_view run) {
  if (run.empty()) return 0;
  int count = MultiByteToWideChar(CP_ACP, 0, run.data(), static_cast<int>(run.size()), nullptr, 0);
  return count > 0 ? static_cast<size_t>(count) : 0;
}

// Widens a NUL-free run into `out`, which has room for WideLength(run).
size_t WidenRun(std::string_view run, wchar_t* out, size_t room) {
  if (run.empty() || room == 0) return 0;
  int made = MultiByteToWideChar(CP_ACP, 0, run.data(), static_cast<int>(run.size()), out, static_cast<int>(room));
  return made > 0 ? static_cast<size_t>(made) : 0;
}

// Calls `each` with every run between NUL bytes, in order.
template <typename Each>
void ForEachRun(std::string_view text, Each each) {
  for (size_t start = 0;;) {
    size_t nul = text.find('\0', start);
    each(text.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
    if (nul == std::string_view::npos) return;
    start = nul + 1;
  }
}

}  // namespace

// The platform conversion stops at a NUL; a NUL inside mail text must not
// cut off what follows it, so each run is widened on its own.
std::wstring WidenSjis(std::string_view sjis) {
  size_t length = 0;
  ForEachRun(sjis, [&](std::string_view run) { length += WideLength(run); });
  std::wstring out(length, L'\0');
  size_t at = 0;
  ForEachRun(sjis, [&](std::string_view run) { at += WidenRun(run, out.data() + at, length - at); });
  out.resize(at);
  return out;
}

namespace {

// The length of the wide text with CR LF line ends, and how many of them
// need a CR put in. CR and LF are single bytes that no pair swallows and
// nothing else widens to, so the line ends can be counted on the bytes: an
// LF needs a CR when the byte before it, NULs skipped, is none.
size_t CrLfLength(std::string_view sjis, size_t* bare) {
  size_t length = 0;
  *bare = 0;
  ForEachRun(sjis, [&](std::string_view run) { length += WideLength(run); });
  for (size_t at = sjis.find('\n'); at != std::string_view::npos; at = sjis.find('\n', at + 1)) {
    size_t before = at;
    while (before > 0 && sjis[before - 1] == '\0') --before;
    if (before == 0 || sjis[before - 1] != '\r') ++*bare;
  }
  return length + *bare;
}

}  // namespace

size_t WidenedCrLfLength(std::string_view sjis) {
  size_t bare = 0;
  const size_t total = CrLfLength(sjis, &bare);
  return foundation::CheckHeapRoom(total * 2) == QVMDL_SUCCESS ? total : 0;
}

std::wstring WidenSjisCrLf(std::string_view sjis) {
  size_t bare = 0;
  const size_t total = CrLfLength(sjis, &bare);
  if (foundation::CheckHeapRoom(total * 2) != QVMDL_SUCCESS) return std::wstring();
  // Widened into the tail of the result, then moved down line by line with
  // the CRs put in: one buffer, no second copy of the text.
  std::wstring out(total, L'\0');
  wchar_t* p = out.data();
  size_t r = bare, made = bare;
  ForEachRun(sjis, [&](std::string_view run) { made += WidenRun(run, p + made, total - made); });
  size_t w = 0;
  while (r < made) {
    const wchar_t* lf = std::char_traits<wchar_t>::find(p + r, made - r, L'\n');
    size_t end = lf == nullptr ? made : static_cast<size_t>(lf - p);
    if (end > r && w != r) std::char_traits<wchar_t>::move(p + w, p + r, end - r);
    w += end - r;
    r = end;
    if (lf == nullptr) break;
    if (w == 0 || p[w - 1] != L'\r') p[w++] = L'\r';
    p[w++] = L'\n';
    ++r;
  }
  out.resize(w);
  return out;
}

std::string NarrowSjis(std::wstring_view wide) {
  std::string out;
  if (!wide.empty()) WStringToSjis(wide, out);
  return out;
}

bool PhysicalMemoryAbove(size_t bytes) {
  MEMORYSTATUS status{};
  status.dwLength = sizeof(status);
  GlobalMemoryStatus(&status);
  return status.dwAvailPhys > bytes;
}

bool DiskSpaceBelow(const std::wstring& folder, uint64_t bytes) {
  ULARGE_INTEGER free{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(folder.c_str(), &free, &total, &totalFree)) return false;
  return free.QuadPart < bytes;
}

namespace {

// What no file name may hold: separators of every form a device path takes,
// the characters the file system reserves, controls (C0, DEL, C1), the
// direction marks that make a name read otherwise than it is stored, and
// halves of surrogate pairs.
bool Unfit(wchar_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (std::wstring_view(L"/\\:*?\"<>|").find(c) != std::wstring_view::npos) return true;
  if (c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) return true;
  return (c >= 0xD800 && c <= 0xDFFF) || static_cast<uint32_t>(c) > 0x10FFFF;
}

bool Blank(wchar_t c) { return c == L'.' || c == L' '; }

size_t Utf8Bytes(wchar_t c) {
  const auto u = static_cast<uint32_t>(c);
  return u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
}

size_t Utf8Bytes(std::wstring_view s) {
  size_t n = 0;
  for (wchar_t c : s) n += Utf8Bytes(c);
  return n;
}

}  // namespace

std::wstring SafePartFileName(std::wstring_view name, size_t folderLength, size_t pathLimit) {
  std::wstring kept;
  kept.reserve(name.size());
  for (wchar_t c : name) {
    if (!Unfit(c)) kept.push_back(c);
  }
  // Leading dots make "." and ".." and hidden files; trailing ones and blanks
  // the file system drops, so the name would not be the one checked.
  size_t lead = 0;
  while (lead < kept.size() && Blank(kept[lead])) ++lead;
  kept.erase(0, lead);
  while (!kept.empty() && Blank(kept.back())) kept.pop_back();
  if (kept.empty()) kept = kNoFileName;
  size_t room = pathLimit > folderLength ? pathLimit - folderLength : 0;
  room = std::clamp<size_t>(room, 1, kFileNameLimit);
  if (kept.size() > room || Utf8Bytes(kept) > kFileNameBytes) {
    size_t dot = kept.rfind(L'.');
    std::wstring ext = (dot != std::wstring::npos && kept.size() - dot <= 16 && kept.size() - dot < room)
                           ? kept.substr(dot)
                           : std::wstring();
    kept.resize(std::min(kept.size(), room) - ext.size());
    // Then as many characters as the bytes allow.
    size_t bytes = Utf8Bytes(kept) + Utf8Bytes(ext);
    while (bytes > kFileNameBytes && kept.size() > 1) {
      bytes -= Utf8Bytes(kept.back());
      kept.pop_back();
    }
    // The cut may end the stem on a dot or a blank; the first character is
    // neither, so something is left.
    while (Blank(kept.back())) kept.pop_back();
    kept += ext;
  }
  return kept;
}

std::wstring PartFileName(const Enclosure& part, size_t folderLength) {
  return SafePartFileName(part.name.empty() ? part.displayName : part.name, folderLength);
}

bool ReadWholeFile(const std::wstring& path, std::string* out, uint32_t* lastError) {
  out->clear();
  qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.is_valid()) {
    if (lastError != nullptr) *lastError = GetLastError();
    return false;
  }
  DWORD high = 0;
  DWORD size = GetFileSize(file.get(), &high);
  bool ok = size != INVALID_FILE_SIZE && high == 0;
  if (ok) {
    out->resize(size);
    DWORD read = 0;
    ok = size == 0 || (ReadFile(file.get(), out->data(), size, &read, nullptr) && read == size);
  }
  if (!ok && lastError != nullptr) *lastError = GetLastError();
  file.reset();
  if (!ok) out->clear();
  return ok;
}

uint32_t WriteNewFile(const std::wstring& path, std::string_view bytes) {
  // CREATE_NEW: a file that exists is never replaced, even one that appeared
  // after an earlier check.
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) {
    DWORD error = GetLastError();
    return (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) ? QVMDL_ERR_EML_FILE_EXISTS
                                                                         : QVMDL_ERR_EML_FILE_IO;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    ok = WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) && written == chunk;
    done += written;
  }
  file.reset();
  if (!ok) {
    DeleteFileW(path.c_str());
    return QVMDL_ERR_EML_DISK_SPACE;
  }
  return QVMDL_SUCCESS;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string_view PartBytes(std::string_view text, int64_t offset, int64_t length) {
  if (offset < 0 || length <= 0 || static_cast<uint64_t>(offset) >= text.size()) return {};
  uint64_t end = std::min<uint64_t>(text.size(), static_cast<uint64_t>(offset) + static_cast<uint64_t>(length));
  return text.substr(static_cast<size_t>(offset), static_cast<size_t>(end - offset));
}

std::list<std::string> SplitAddressList(std::string_view value) {
  std::list<std::string> out;
  bool quoted = false, angle = false;
  int comment = 0;
  size_t start = 0;
  for (size_t i = 0; i <= value.size(); ++i) {
    char c = i < value.size() ? value[i] : ',';
    bool end = i == value.size();
    if (!end) {
      if (quoted) {
        if (c == '\\' && i + 1 < value.size()) ++i;
        else if (c == '"') quoted = false;
        continue;
      }
      if (comment > 0) {
        if (c == '\\' && i + 1 < value.size()) ++i;
        else if (c == '(') ++comment;
        else if (c == ')') --comment;
        continue;
      }
      if (c == '"') quoted = true;
      else if (c == '(') comment = 1;
      else if (c == '<') angle = true;
      else if (c == '>') angle = false;
      if (c != ',' || angle) continue;
    }
    std::string_view field = value.substr(start, std::min(i, value.size()) - start);
    if (!TrimBlanks(field).empty()) out.emplace_back(field);
    start = i + 1;
    angle = false;
  }
  return out;
}

std::list<std::string> MessageIdsOf(std::string_view value) {
  std::list<std::string> ids;
  size_t pos = 0;
  for (;;) {
    size_t lt = value.find('<', pos);
    if (lt == std::string_view::npos) break;
    size_t gt = value.find('>', lt + 1);
    if (gt == std::string_view::npos) break;
    std::string id = TrimBlanks(value.substr(lt + 1, gt - lt - 1));
    if (!id.empty()) ids.push_back(std::move(id));
    pos = gt + 1;
  }
  if (ids.empty()) {
    std::string whole = TrimBlanks(value);
    if (!whole.empty()) ids.push_back(std::move(whole));
  }
  return ids;
}

}  // namespace content
