// The MIME part walk of the decoder: part headers, RFC 2231 parameters, text
// bodies, filing of attachments and embedded messages.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/foundation/MailMemory.h"
#include "engine/content/MimeSupport.h"
#include "engine/content/Pictograph.h"
#include "engine/content/TransferText.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Sync.h"
#include "platform/kernel/Time.h"

namespace {

// Multipart and embedded messages nested deeper than this are filed as
// unopened parts: hostile mail must not recurse without bound.
constexpr int kMaxMimeDepth = 16;

const wchar_t kMessageSeparator[] = L"\r\n\r\n----------------\r\n";

bool Is(const std::wstring& value, const wchar_t* what) { return content::ToLowerW(value) == what; }

// The boundary starts a line and is followed by "--", blanks or the line end.
bool BoundaryAt(const std::string& text, size_t at, const std::string& boundary) {
  if (at > 0 && text[at - 1] != '\n') return false;
  if (text.compare(at, boundary.size(), boundary) != 0) return false;
  size_t after = at + boundary.size();
  if (after >= text.size()) return true;
  char c = text[after];
  return c == '\n' || c == '-' || c == ' ' || c == '\t' || c == '\r';
}

size_t FindBoundary(const std::string& text, size_t from, const std::string& boundary) {
  for (size_t at = text.find(boundary, from); at != std::string::npos; at = text.find(boundary, at + 1))
    if (BoundaryAt(text, at, boundary)) return at;
  return std::string::npos;
}

size_t PastLine(const std::string& text, size_t at) {
  size_t lf = text.find('\n', at);
  return lf == std::string::npos ? text.size() : lf + 1;
}

std::wstring WidenParam(const std::string& value) {
  return content::WidenSjis(content::DecodeHeaderWords(value, false));
}

std::string LfToCrLf(const std::string& in) {
  std::string out;
  EmlCompose().replace0Ato0D0A_S(in, out);
  return out;
}

struct Rfc2231Piece {
  int section;
  bool starred;
  std::string value;
};

// "name*", "name*0*", "name*1" ... of one family: section number and star.
bool Rfc2231Section(const std::string& param, const std::string& family, int* section, bool* starred) {
  if (!content::StartsWithNoCase(param, family) || param.size() <= family.size() || param[family.size()] != '*')
    return false;
  std::string rest = param.substr(family.size() + 1);
  *starred = !rest.empty() && rest.back() == '*';
  if (*starred) rest.pop_back();
  if (rest.empty()) {
    *section = 0;
    *starred = true;  // "name*" is one starred piece
    return true;
  }
  int n = 0;
  for (char c : rest) {
    int d = foundation::DigitValue(static_cast<unsigned char>(c));
    if (d < 0) return false;
    n = std::min(n * 10 + d, 10000);
  }
  *section = n;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- RFC 2231

namespace {

// Joins the pieces of one parameter family; percent-encoded runs are
// converted by the charset of the first piece. Result in Shift_JIS.
std::string parseRFC2231(std::vector<Rfc2231Piece> pieces) {
  std::stable_sort(pieces.begin(), pieces.end(),
                   [](const Rfc2231Piece& a, const Rfc2231Piece& b) { return a.section < b.section; });
  std::string result, pending, charset;
  bool havePending = false;
  auto flush = [&]() {
    if (!havePending) return;
    std::string decoded;
    EmlCompose().replacePercent(pending, decoded);
    EmlCompose().toSJIS(decoded, content::WidenSjis(charset));
    result += decoded;
    pending.clear();
    havePending = false;
  };
  for (const auto& piece : pieces) {
    if (piece.starred) {
      std::string text = piece.value;
      if (piece.section == 0) {
        size_t q1 = text.find('\'');
        size_t q2 = q1 == std::string::npos ? std::string::npos : text.find('\'', q1 + 1);
        if (q2 != std::string::npos) {
          charset = text.substr(0, q1);
          text = text.substr(q2 + 1);
        }
      }
      pending += text;
      havePending = true;
    } else {
      flush();
      result += piece.value;
    }
  }
  flush();
  return result;
}

}  // namespace

// ---------------------------------------------------------------- walk

int EmlCompose::parseBody(Email* mail, const std::string& text, int depth) {
  Enclosure root;
  int counter = 0;
  size_t pos = 0;
  // The mail header is the root part's header: its Content-Type decides.
  return parseMime(mail, text, pos, root, counter, false, depth);
}

int EmlCompose::parseMime(Email* mail, const std::string& text, size_t& pos, const Enclosure& parent, int& counter,
                          bool inAlternative, int depth) {
  std::string boundary = content::NarrowSjis(parent.boundary);
  if (!boundary.empty()) {
    size_t at = FindBoundary(text, pos, boundary);
    if (at == std::string::npos) {
      pos = text.size();
      return QVMDL_SUCCESS;
    }
    if (text.compare(at + boundary.size(), 2, "--") == 0) {  // a closing delimiter and no part
      pos = text.size();
      return QVMDL_SUCCESS;
    }
    pos = PastLine(text, at);
  }
  bool last = false;
  while (pos < text.size() && !last) {
    if (mail->isSimple != 0 && (!mail->body.empty() || !mail->htmlBody.empty())) break;
    size_t start = pos;
    Enclosure part;
    parseMimeHeader(text, pos, boundary, &part);
    part.offset = static_cast<int32_t>(pos);

    size_t end = text.size();
    bool atBoundary = false;
    if (boundary.empty()) {
      last = true;
    } else {
      size_t at = FindBoundary(text, pos, boundary);
      if (at == std::string::npos) {
        last = true;  // unterminated: the rest of the text
      } else {
        end = at;
        atBoundary = true;
        if (text.compare(at + boundary.size(), 2, "--") == 0) last = true;
      }
    }
    // A single-part body is whole; a part of a multipart is whole when a
    // boundary follows it.
    bool terminated = boundary.empty() || atBoundary;
    part.length = static_cast<int32_t>(end - pos);
    int code = QVMDL_SUCCESS;
    bool named = !part.fileName.empty() || !part.name.empty();
    bool noType = part.mediaType.empty();

    if (Is(part.mediaType, L"multipart")) {
      if (depth < kMaxMimeDepth && !part.boundary.empty()) {
        size_t inner = part.offset;
        // A related group inside an alternative one is one of its choices.
        bool alternative = Is(part.mediaSubtype, L"alternative") || (inAlternative && Is(part.mediaSubtype, L"related"));
        code = parseMime(mail, text, inner, part, counter, alternative, depth + 1);
      } else if (terminated && part.length > 0) {
        if (parseMimeAddEnclosure(mail, part, counter)) ++counter;  // filed unopened
      }
    } else if (terminated && named) {
      if (!parseMimeExtractBody(mail, text, part)) {
        if (parseMimeAddEnclosure(mail, part, counter)) ++counter;
      }
      if (Is(part.mediaType, L"message")) code = parseMimeContentMessage(mail, text, part, counter, depth);
    } else if (noType || Is(part.mediaType, L"text")) {
      // The LF before a boundary belongs to the delimiter. An empty part
      // changes nothing: it must not empty a body already found.
      Enclosure body = part;
      if (atBoundary && body.length > 0) body.length -= 1;
      if (body.length > 0) code = parseMimeContentText(mail, text, body, counter, inAlternative, !atBoundary);
    } else if (Is(part.mediaType, L"message")) {
      code = parseMimeContentMessage(mail, text, part, counter, depth);
      if (code == static_cast<int>(QVMDL_SUCCESS) && Is(part.mediaSubtype, L"rfc822") && terminated) {
        if (parseMimeAddEnclosure(mail, part, counter)) ++counter;
      }
    }
    if (code != static_cast<int>(QVMDL_SUCCESS)) return code;

    size_t next = last ? text.size() : PastLine(text, end);  // past the whole boundary line
    if (next <= start) break;
    pos = next;
  }
  return QVMDL_SUCCESS;
}

void EmlCompose::parseMimeHeader(const std::string& text, size_t& pos, const std::string& boundary,
                                 Enclosure* part) {
  bool hasDisposition = false;
  std::vector<Rfc2231Piece> namePieces, fileNamePieces;
  std::string line;
  while (pos < text.size()) {
    if (!boundary.empty() && BoundaryAt(text, pos, boundary)) break;  // stays on the boundary line
    if (content::NextHeaderLine(text, pos, line) != 1) break;
    std::erase(line, '\0');
    auto is = [&](std::string_view name) { return content::StartsWithNoCase(line, name); };
    auto params = [&](size_t from, const std::function<void(const std::string&, const std::string&)>& each) {
      std::string value = line.substr(from);
      content::UnfoldHeader(value, true, false);
      size_t semi = value.find(';');
      size_t at = semi == std::string::npos ? value.size() : semi + 1;
      std::string name, v;
      while (at < value.size() && content::ParseHeaderParam(value, at, name, v) == 1) each(name, v);
      return content::TrimBlanks(value.substr(0, semi));
    };
    if (is("content-type:")) {
      std::string type = params(13, [&](const std::string& name, const std::string& value) {
        int section;
        bool starred;
        if (content::EqualsNoCase(name, "charset")) {
          part->charset = value.empty() ? L"US-ASCII" : content::WidenSjis(value);
        } else if (content::EqualsNoCase(name, "name")) {
          part->name = WidenParam(value);
        } else if (content::EqualsNoCase(name, "boundary")) {
          part->boundary = value.empty() ? std::wstring() : L"--" + content::WidenSjis(value);
        } else if (Rfc2231Section(name, "name", &section, &starred)) {
          namePieces.push_back({section, starred, value});
        }
      });
      size_t slash = type.find('/');
      part->mediaType = content::WidenSjis(content::TrimBlanks(type.substr(0, slash)));
      part->mediaSubtype =
          slash == std::string::npos ? std::wstring() : content::WidenSjis(content::TrimBlanks(type.substr(slash + 1)));
    } else if (is("content-transfer-encoding:")) {
      std::string value;
      content::CleanHeaderValue(line, 26, value);
      part->transferEncoding = content::WidenSjis(content::TrimBlanks(value));
    } else if (is("content-disposition:")) {
      hasDisposition = true;
      std::string disposition = params(20, [&](const std::string& name, const std::string& value) {
        int section;
        bool starred;
        if (content::EqualsNoCase(name, "filename")) part->fileName = WidenParam(value);
        else if (Rfc2231Section(name, "filename", &section, &starred))
          fileNamePieces.push_back({section, starred, value});
      });
      part->disposition = content::WidenSjis(disposition);
      if (content::EqualsNoCase(disposition, "inline")) part->isInline = 1;
    } else if (is("content-base:")) {
      part->contentBase = content::WidenSjis(content::TrimBlanks(line.substr(13)));
    } else if (is("content-id:")) {
      auto ids = content::MessageIdsOf(line.substr(11));
      part->contentId = ids.empty() ? std::wstring() : content::WidenSjis(ids.front());
    } else if (is("content-location:")) {
      std::string value = content::TrimBlanks(line.substr(17));
      if (content::StartsWithNoCase(value, "cid:")) value = content::TrimBlanks(value.substr(4));
      auto ids = content::MessageIdsOf(value);
      part->contentLocation = ids.empty() ? std::wstring() : content::WidenSjis(ids.front());
    }
  }
  if (!namePieces.empty()) part->name = content::WidenSjis(parseRFC2231(namePieces));
  if (!fileNamePieces.empty()) part->fileName = content::WidenSjis(parseRFC2231(fileNamePieces));
  if (!hasDisposition && Is(part->mediaType, L"text")) part->isInline = 1;
  if (!part->contentId.empty() && part->name.empty() && part->fileName.empty() && Is(part->mediaType, L"image") &&
      (Is(part->mediaSubtype, L"jpeg") || Is(part->mediaSubtype, L"gif"))) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char made[40];
    std::snprintf(made, sizeof(made), "%02d%02d%02d%02d%02d%08x%s", now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond, static_cast<unsigned>(GetTickCount()), Is(part->mediaSubtype, L"gif") ? ".gif" : ".jpg");
    part->fileName = content::WidenSjis(made);
  }
}

// ---------------------------------------------------------------- text parts

int EmlCompose::parseMimeContentText(Email* mail, const std::string& text, Enclosure& part, int& counter,
                                     bool inAlternative, bool last) {
  (void)last;
  std::string_view bytes = content::PartBytes(text, part.offset, part.length);
  if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
  uint32_t code = foundation::CheckHeapRoom(bytes.size());
  if (code != QVMDL_SUCCESS) return static_cast<int>(code);
  std::string data;
  // Plain ASCII comes through every step below unchanged: it is widened
  // straight from the mail, without a copy.
  bool asIs = false;
  if (Is(part.transferEncoding, L"quoted-printable")) data = content::DecodeQuotedPrintableText(bytes);
  else if (Is(part.transferEncoding, L"base64")) content::DecodeBase64Text(bytes, data);
  else if (!Is(part.mediaSubtype, L"x-vmemodx") && content::IsUnshiftedAscii(bytes)) asIs = true;
  else data.assign(bytes);
  bool html = Is(part.mediaSubtype, L"html");
  bool attachment = Is(part.disposition, L"attachment");
  // A text part that does not become the body is filed; every filing of a
  // text part raises the counter.
  auto file = [&]() {
    if (part.fileName.empty() && part.name.empty()) part.fileName = html ? L"NoName.html" : L"NoName.txt";
    parseMimeAddEnclosure(mail, part, counter);
    ++counter;
  };

  if (html) {
    if (!asIs) toSJISforHTML(data, part.charset);
    std::wstring wide = content::WidenSjisCrLf(asIs ? bytes : std::string_view(data));
    if (wide.size() >= 2 && wide.compare(wide.size() - 2, 2, L"\r\n") == 0) wide.resize(wide.size() - 2);
    // An attached HTML file, or HTML beside a plain body outside an
    // alternative group, is an attachment; the body found stays.
    if ((!part.disposition.empty() && !Is(part.disposition, L"inline")) ||
        (!inAlternative && !mail->body.empty())) {
      file();
      return QVMDL_SUCCESS;
    }
    bool filed = false;
    if (mail->htmlBody.empty()) {
      mail->htmlBody = std::move(wide);
    } else {
      file();
      filed = true;
    }
    if (mail->textPartsAsEnclosures != 0 && !filed) file();
    return QVMDL_SUCCESS;
  }

  if (!asIs) {
    toSJIS(data, part.charset);
    content::ReplaceUnmappableSjis(data);
  }
  if (Is(part.mediaSubtype, L"x-vmemodx")) {
    code = foundation::CheckHeapRoom(data.size());
    if (code != QVMDL_SUCCESS) return static_cast<int>(code);
    content::TokensToPictographs(data);
  }
  const std::string_view sjis = asIs ? bytes : std::string_view(data);
  std::wstring wide;
  size_t length = 0;
  if (bodyTextUnused_ && !attachment && mail->body.empty()) {
    // Only whether the body has text matters to the caller.
    length = content::WidenedCrLfLength(sjis);
    if (length > 0) wide.assign(1, L' ');
  } else {
    wide = content::WidenSjisCrLf(sjis);
    length = wide.size();
  }
  code = foundation::CheckHeapRoom((mail->body.size() + length) * 2);
  if (code != QVMDL_SUCCESS) return static_cast<int>(code);
  if (attachment) {
    file();
    return QVMDL_SUCCESS;
  }
  bool took = false, filed = false;
  if (mail->body.empty()) {
    mail->body = std::move(wide);
    took = true;
  } else {
    file();
    filed = true;
  }
  if (!inAlternative && !mail->htmlBody.empty() && took) {
    mail->body.clear();  // the HTML body is the mail's text; this part is an attachment
    took = false;
    file();
    filed = true;
  }
  if (mail->textPartsAsEnclosures != 0 && Is(mail->parentKind, L"html") && !filed) file();
  return QVMDL_SUCCESS;
}

bool EmlCompose::parseMimeExtractBody(Email* mail, const std::string& text, Enclosure& part) {
  if (!mail->body.empty() || !mail->htmlBody.empty()) return false;
  if (part.isInline == 0 || !Is(part.mediaType, L"text")) return false;
  if (!Is(part.mediaSubtype, L"plain") && !Is(part.mediaSubtype, L"x-vmemodx")) return false;
  if (part.length <= 0) return false;
  std::string data(content::PartBytes(text, part.offset, part.length - 1));
  if (decodeEnclosure(&data, &part) != static_cast<int>(QVMDL_SUCCESS)) return false;
  // The transfer decoding leaves the charset; 7bit text was converted already.
  if (!Is(part.transferEncoding, L"7bit")) toSJIS(data, part.charset);
  content::ReplaceUnmappableSjis(data);
  if (Is(part.mediaSubtype, L"x-vmemodx")) content::TokensToPictographs(data);
  mail->body += content::WidenSjisCrLf(data);
  return true;
}

bool EmlCompose::parseMimeAddEnclosure(Email* mail, Enclosure& part, int counter) {
  part.index = counter;
  // The shown name is the one a part is saved under: made safe here, once,
  // for every caller that takes it as a file name.
  part.displayName = content::SafePartFileName(part.fileName.empty() ? part.name : part.fileName, 0,
                                               content::kFileNameLimit);
  part.filedFlag = 0;
  if (!(Is(part.mediaType, L"message") && Is(part.mediaSubtype, L"rfc822"))) {
    std::wstring type = MimeTypeId(part.displayName);
    size_t slash = type.find(L'/');
    part.mediaType = type.substr(0, slash);
    part.mediaSubtype = slash == std::wstring::npos ? std::wstring() : type.substr(slash + 1);
  }
  if (!part.contentId.empty() && !mail->htmlBody.empty()) {
    mail->inlineParts.push_back(part);
    return false;
  }
  mail->attachments.push_back(part);
  return true;
}

int EmlCompose::parseMimeContentMessage(Email* mail, const std::string& text, Enclosure& part, int& counter,
                                        int depth) {
  std::string_view bytes = content::PartBytes(text, part.offset, part.length);
  if (Is(part.mediaSubtype, L"rfc822")) {
    if (depth >= kMaxMimeDepth) return QVMDL_SUCCESS;  // filed unopened by the caller
    Email inner;
    inner.parentKind = mail->htmlBody.empty() ? L"text" : L"html";
    inner.textPartsAsEnclosures = 1;
    std::string innerText(bytes);
    int code = decodeAt(&inner, &innerText, depth + 1);
    if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
    if (!inner.body.empty()) mail->body += kMessageSeparator + inner.body;
    for (auto* list : {&inner.attachments, &inner.inlineParts}) {
      for (auto& e : *list) {
        e.index = counter++;
        e.offset += part.offset;
        mail->attachments.push_back(e);
      }
    }
    if (part.fileName.empty() && part.name.empty()) part.fileName = inner.subject + L".eml";
    return QVMDL_SUCCESS;
  }
  std::string data;
  if (Is(part.transferEncoding, L"quoted-printable")) data = content::DecodeQuotedPrintableText(bytes);
  else if (Is(part.transferEncoding, L"base64")) content::DecodeBase64Text(bytes, data);
  else data.assign(bytes);
  toSJIS(data, part.charset);
  std::wstring wide = content::WidenSjisCrLf(data);
  if (!mail->body.empty()) mail->body += kMessageSeparator;
  mail->body += wide;
  return QVMDL_SUCCESS;
}

int EmlCompose::decodeEnclosure(std::string* data, const Enclosure* part) {
  const std::wstring& encoding = part->transferEncoding;
  if (Is(encoding, L"quoted-printable")) {
    std::string decoded = content::DecodeQuotedPrintableText(*data);
    if (!decoded.empty() && decoded.back() == '\n') decoded.pop_back();
    *data = LfToCrLf(decoded);
  } else if (Is(encoding, L"base64")) {
    std::string decoded;
    content::DecodeBase64Text(*data, decoded);
    data->swap(decoded);
  } else if (Is(encoding, L"x-uuencode")) {
    std::string decoded;
    if (content::DecodeUuText(*data, decoded) == 0) return QVMDL_ERR_EML_BAD_CONTENT;
    data->swap(decoded);
  } else if (Is(encoding, L"7bit")) {
    if (!Is(part->mediaSubtype, L"html")) toSJIS(*data, L"");
    *data = LfToCrLf(*data);
  } else {
    *data = LfToCrLf(*data);
  }
  return QVMDL_SUCCESS;
}
