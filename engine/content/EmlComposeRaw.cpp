// Stored outgoing text to what is sent (envelope, fresh Date and Message-Id,
// no Bcc), and removal of the attachments of a stored mail.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/content/AddressField.h"
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "platform/kernel/Time.h"

namespace {

constexpr char kFooter[] = "\r\n\r\n--------------------\r\nsent from TELLARO 03\r\n";

// One physical header line with its continuation lines.
struct HeaderLine {
  size_t begin;  // first byte of the line
  size_t end;    // just past its last line end
  std::string_view text;
};

// The logical lines of the header of `raw` (CR LF or LF), up to the blank line.
std::vector<HeaderLine> HeaderLines(std::string_view raw, size_t* headerEnd) {
  std::vector<HeaderLine> lines;
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t eol = raw.find('\n', pos);
    size_t next = eol == std::string_view::npos ? raw.size() : eol + 1;
    std::string_view first = raw.substr(pos, next - pos);
    if (first == "\n" || first == "\r\n") break;  // the blank line
    while (next < raw.size() && (raw[next] == ' ' || raw[next] == '\t')) {
      eol = raw.find('\n', next);
      next = eol == std::string_view::npos ? raw.size() : eol + 1;
    }
    lines.push_back({pos, next, raw.substr(pos, next - pos)});
    pos = next;
  }
  *headerEnd = pos;
  return lines;
}

// The raw (undecoded) value of the first header of that name, unfolded.
std::string RawHeaderValue(const std::vector<HeaderLine>& lines, std::string_view name) {
  for (const auto& line : lines) {
    if (!content::StartsWithNoCase(line.text, name)) continue;
    std::string value(line.text.substr(name.size()));
    std::erase(value, '\r');
    content::UnfoldHeader(value, true, false);
    return content::TrimBlanks(value);
  }
  return std::string();
}

bool ParanoiaOff() {
  DWORD value = 0;
  return GetRegistryDword(HKEY_CURRENT_USER, L"Software\\NORVALE\\QvMail", L"paranoia", &value) && value != 1;
}

}  // namespace

void EmlCompose::EmlToRawEmailS(std::string* stored, RawEmail_S* raw) {
  if (stored == nullptr || raw == nullptr || raw->text == nullptr) {
    setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
    return;
  }
  size_t headerEnd = 0;
  std::vector<HeaderLine> lines = HeaderLines(*stored, &headerEnd);
  for (const char* name : {"to:", "cc:", "bcc:"})
    for (const auto& field : content::SplitAddressList(RawHeaderValue(lines, name))) {
      std::string bare;
      content::BareAddressOf(field, bare);
      if (!bare.empty()) raw->recipients.push_back(content::WithoutLineBreaks(bare));
    }
  std::string from;
  content::BareAddressOf(RawHeaderValue(lines, "from:"), from);
  raw->sender = content::WithoutLineBreaks(from);

  SYSTEMTIME now{};
  GetLocalTime(&now);
  char id[64];
  std::snprintf(id, sizeof(id), "%04d%02d%02d%02d%02d%02d.z%04d.", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  std::string dateLine;
  makeDateField(dateLine, nullptr);
  std::string fresh = dateLine.substr(1) + "\r\nMessage-Id: <" + id + raw->sender + ">\r\n";

  // Only header lines are looked at; Bcc goes, Date is renewed, everything
  // else is copied as it stands.
  std::string& text = *raw->text;
  text.clear();
  text.reserve(stored->size() + fresh.size() + sizeof(kFooter));
  bool dated = false;
  for (const auto& line : lines) {
    if (content::StartsWithNoCase(line.text, "bcc:")) continue;
    if (content::StartsWithNoCase(line.text, "date:") && !dated) {
      text += fresh;
      dated = true;
      continue;
    }
    text.append(line.text);
  }
  if (!dated) text += fresh;
  text.append(*stored, headerEnd, std::string::npos);
  bool multipart = text.find("Content-Type: multipart/mixed;") != std::string::npos ||
                   text.find("Content-Type: multipart/alternative;") != std::string::npos ||
                   text.find("Content-Type: multipart/related;") != std::string::npos;
  if (!ParanoiaOff() && !multipart) text += kFooter;
  setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::DeleteEnclosureFromRawData(const std::string* raw, std::string* out) {
  if (raw == nullptr || out == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  Email mail;
  if (!Decode(&mail, raw)) return false;
  std::list<Enclosure> drop = mail.attachments;
  if (mail.isPictureMail != 0) {
    if (mail.attachments.size() < 2) return setQvMiddleEmlError(QVMDL_ERR_EML_PICTURE_PARTS);
    drop.pop_front();  // the picture stays
  }
  std::string text;
  int code = replace0D0Ato0A(*raw, text);
  if (code != static_cast<int>(QVMDL_SUCCESS)) return setQvMiddleEmlError(static_cast<uint32_t>(code));
  // Each dropped part goes from its boundary line up to the next boundary
  // line; the header and every other byte stay as they were.
  std::vector<std::pair<size_t, size_t>> cuts;
  for (const auto& part : drop) {
    if (part.offset <= 0 || static_cast<size_t>(part.offset) > text.size()) continue;
    size_t body = static_cast<size_t>(part.offset);
    size_t end = std::min(text.size(), body + static_cast<size_t>(std::max(part.length, 0)));
    // Back over the part header to its boundary line ("--" at a line start).
    size_t lineStart = body;
    size_t begin = std::string::npos;
    while (lineStart > 0) {
      size_t prev = text.rfind('\n', lineStart >= 2 ? lineStart - 2 : 0);
      size_t start = (prev == std::string::npos || lineStart < 2) ? 0 : prev + 1;
      if (text.compare(start, 2, "--") == 0) {
        begin = start;
        break;
      }
      if (start == 0) break;
      lineStart = start;
    }
    if (begin == std::string::npos) continue;  // a single-part mail has no part to cut
    cuts.emplace_back(begin, end);
  }
  std::sort(cuts.begin(), cuts.end());
  std::string kept;
  kept.reserve(text.size());
  size_t at = 0;
  for (const auto& [begin, end] : cuts) {
    if (end <= at) continue;  // inside a part already cut
    if (begin > at) kept.append(text, at, begin - at);
    at = std::max(at, end);
  }
  kept.append(text, at, std::string::npos);
  code = replace0Ato0D0A_S(kept, *out);
  if (code != static_cast<int>(QVMDL_SUCCESS)) {
    out->clear();
    return setQvMiddleEmlError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
  }
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}
