// Writing one decoded part of a stored mail to a file: mail attachments to
// the folder the caller names, feed parts to the feed reader's picture folder.
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/MimeSupport.h"
#include "engine/content/TransferText.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Files.h"

namespace {

bool IsFeedPartRequest(const std::string& raw) {
  if (!content::StartsWithNoCase(raw, "X-Kxr-Rivulet")) return false;
  size_t eol = raw.find('\n');
  std::string line = raw.substr(0, eol);
  size_t colon = line.find(':');
  std::string value = colon == std::string::npos ? std::string() : content::TrimBlanks(line.substr(colon + 1));
  return !content::EqualsNoCase(value, "contents");
}

}  // namespace

bool EmlCompose::GetEnclosure(const std::string& raw, const Enclosure& part) {
  if (IsFeedPartRequest(raw)) return RssGetImage(raw, part);
  if (part.folder.empty()) return setQvMiddleEmlError(QVMDL_ERR_EML_BAD_CONTENT);
  std::wstring folder = part.folder;
  if (folder.back() != L'\\') folder.push_back(L'\\');
  return setQvMiddleEmlError(static_cast<uint32_t>(writePartFile(raw, part, folder, false)));
}

bool EmlCompose::RssGetImage(const std::string& raw, const Enclosure& part) {
  return setQvMiddleEmlError(static_cast<uint32_t>(writePartFile(raw, part, content::kFeedTmpFolder, true)));
}

int EmlCompose::writePartFile(const std::string& raw, const Enclosure& part, const std::wstring& folder, bool feed) {
  if (part.length > 0 && content::DiskSpaceBelow(folder, static_cast<uint64_t>(part.length)))
    return QVMDL_ERR_EML_DISK_SPACE;
  if (!content::PhysicalMemoryAbove(raw.size() * 2)) return QVMDL_ERR_EML_NOT_ENOUGH_MEMORY;
  // The name comes from the mail: it is made safe and shortened before the
  // existence check, and an existing file is never replaced.
  std::wstring path = folder + content::PartFileName(part, folder.size());
  if (content::FileExists(path)) return QVMDL_ERR_EML_FILE_EXISTS;
  std::string text;
  int code = replace0D0Ato0A(raw, text);
  if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
  // Feed parts leave out the LF before the boundary.
  int64_t length = feed ? static_cast<int64_t>(part.length) - 1 : part.length;
  std::string data(content::PartBytes(text, part.offset, length));
  if (feed) {
    Enclosure plain = part;
    // Feed parts know only the three codings; anything else is text.
    if (!content::EqualsNoCase(content::NarrowSjis(part.transferEncoding), "quoted-printable") &&
        !content::EqualsNoCase(content::NarrowSjis(part.transferEncoding), "base64") &&
        !content::EqualsNoCase(content::NarrowSjis(part.transferEncoding), "x-uuencode"))
      plain.transferEncoding.clear();
    code = decodeEnclosure(&data, &plain);
  } else {
    code = decodeEnclosure(&data, &part);
  }
  if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
  return static_cast<int>(content::WriteNewFile(path, data));
}
