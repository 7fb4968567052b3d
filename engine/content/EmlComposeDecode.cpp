// Decoding entries of EmlCompose: line ends, the header fields, the date, and
// single header lookups. The part walk is in EmlComposeMime.cpp.
#include <cstdio>

#include "engine/content/AddressField.h"
#include "engine/public/content/CharsetText.h"
#include "engine/content/DateField.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/public/content/HtmlCreater.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MailDate.h"
#include "engine/foundation/MailMemory.h"
#include "engine/content/MimeSupport.h"
#include "engine/content/Pictograph.h"
#include "engine/public/foundation/QvMiddleError.h"

namespace {

constexpr int kSimpleBodyLimit = 281;
constexpr size_t kDecodeMemoryFloor = 0x100000;

const wchar_t kOversizeNotice[] =
    L"このメッセージは受信可能な容量を超えているため受信できません。\r\n\r\n注意：\r\n"
    L"サイズが3MBを超える(添付データを含む)メッセージは受信できません。";

// The value of a header line after its name (up to and including ":").
std::string ValueAfter(const std::string& line, size_t nameLength) {
  return nameLength < line.size() ? line.substr(nameLength) : std::string();
}

std::string Unfolded(std::string value, bool decode) {
  content::UnfoldHeader(value, true, decode);
  return content::TrimBlanks(value);
}

// Display name and address of a From value, split on the raw value so that
// an encoded name can never turn into the address.
void SplitFrom(const std::string& raw, std::wstring& address, std::wstring& name) {
  std::string a, n;
  size_t lt = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '"') quoted = !quoted;
    if (raw[i] == '<' && !quoted) lt = i;
  }
  if (lt != std::string::npos) {
    size_t gt = raw.find('>', lt + 1);
    a = content::TrimBlanks(raw.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1));
    n = content::TrimBlanks(raw.substr(0, lt));
    if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = n.substr(1, n.size() - 2);
  } else {
    content::SplitAddress(raw, a, n);
  }
  n = content::DecodeHeaderWords(n, true);
  content::ReplaceUnmappableSjis(n);
  address = content::WidenSjis(a);
  name = content::TrimBlanksW(content::WidenSjis(n));
}

void AddressListInto(const std::string& raw, std::list<std::wstring>& list) {
  for (const auto& field : content::SplitAddressList(raw)) {
    std::string address = content::AddressOf(field);
    if (!address.empty()) list.push_back(content::WidenSjis(address));
  }
}

}  // namespace

// ---------------------------------------------------------------- entries

void EmlCompose::clearForDecode(Email* mail) {
  clearEmail(mail);
  // A reused record must carry nothing over.
  mail->mailingList.clear();
  mail->inlineParts.clear();
}

bool EmlCompose::Decode(Email* mail, const std::string* raw) {
  if (mail == nullptr || raw == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string text;
  if (!convertDecodeData(raw, &text)) return false;
  clearForDecode(mail);
  return setQvMiddleEmlError(static_cast<uint32_t>(Decode_(mail, &text)));
}

bool EmlCompose::DecodeForSave(Email* mail, std::string* raw) {
  // Filing reads the header fields, the parts, and whether the mail has a
  // text at all; the text itself (several MB widened, for a large mail) is
  // not made.
  bodyTextUnused_ = true;
  const bool decoded = Decode(mail, raw);
  bodyTextUnused_ = false;
  if (!decoded) return false;
  if (mail->generatedDateLine.empty()) return true;
  // Only a header line at a line start counts; the body is never touched.
  size_t pos = 0;
  size_t found = std::string::npos;
  while (pos < raw->size()) {
    size_t eol = raw->find('\n', pos);
    size_t lineEnd = eol == std::string::npos ? raw->size() : eol;
    std::string_view line(raw->data() + pos, lineEnd - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // end of the header
    if (content::StartsWithNoCase(line, "date:")) {
      found = pos;
      break;
    }
    if (eol == std::string::npos) break;
    pos = eol + 1;
  }
  if (found == std::string::npos) {
    raw->insert(0, mail->generatedDateLine);
    return true;
  }
  // The unusable Date line goes, continuation lines included.
  size_t end = found;
  for (;;) {
    size_t eol = raw->find('\n', end);
    if (eol == std::string::npos) {
      end = raw->size();
      break;
    }
    end = eol + 1;
    if (end >= raw->size() || ((*raw)[end] != ' ' && (*raw)[end] != '\t')) break;
  }
  raw->replace(found, end - found, mail->generatedDateLine);
  return true;
}

bool EmlCompose::DecodeSimple(Email* mail, const std::string* raw, int limit) {
  if (mail == nullptr || raw == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string text;
  if (!convertDecodeData(raw, &text)) return false;
  clearForDecode(mail);
  mail->isSimple = 1;
  bool ok = setQvMiddleEmlError(static_cast<uint32_t>(Decode_(mail, &text)));
  size_t cut = limit < 0 ? kSimpleBodyLimit : static_cast<size_t>(limit);
  if (mail->body.size() > cut) mail->body.resize(cut);
  return ok;
}

bool EmlCompose::DecodeHeader(Email* mail, const std::string* raw) {
  if (mail == nullptr || raw == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  size_t end = raw->find("\r\n\r\n");
  std::string header = end == std::string::npos ? *raw : raw->substr(0, end + 2);
  std::string text;
  uint32_t code = static_cast<uint32_t>(replace0D0Ato0A(header, text));
  if (code != QVMDL_SUCCESS) return setQvMiddleEmlError(code);
  clearForDecode(mail);
  size_t pos = 0;
  parseHeader(mail, text, pos, nullptr);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

int EmlCompose::Decode_(Email* mail, std::string* text) { return decodeAt(mail, text, 0); }

int EmlCompose::decodeAt(Email* mail, std::string* text, int depth) {
  if (mail == nullptr || text == nullptr) return QVMDL_ERR_EML_NULL_ARGUMENT;
  size_t pos = 0;
  int oversize = 0;
  parseHeader(mail, *text, pos, &oversize);
  // A feed item's body makes its HTML below: it is made whole, and so is
  // every text inside it.
  if (depth == 0 && mail->isFeed != 0) bodyTextUnused_ = false;
  int code = QVMDL_SUCCESS;
  if (text->find("\n\n") != std::string::npos || (!text->empty() && (*text)[0] == '\n'))
    code = parseBody(mail, *text, depth);
  if (oversize != 0 && mail->body.empty() && mail->htmlBody.empty()) {
    mail->body = kOversizeNotice;
    mail->attachments.clear();
  }
  if (mail->isFeed != 0) HtmlCreater().CreateHtml(*mail);
  return code;
}

bool EmlCompose::GetHeader(const std::string& raw, std::string* header) {
  if (header == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return setQvMiddleEmlError(QVMDL_ERR_EML_NO_HEADER_END);
  *header = raw.substr(0, end);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::GetHeaderField(const std::string& raw, const std::string& nameIn, std::string* value) {
  if (value == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string name = nameIn;
  if (name.empty() || name.back() != ':') name.push_back(':');
  size_t end = raw.find("\r\n\r\n");
  std::string header = end == std::string::npos ? raw : raw.substr(0, end + 2);
  std::string text;
  uint32_t code = static_cast<uint32_t>(replace0D0Ato0A(header, text));
  if (code != QVMDL_SUCCESS) return setQvMiddleEmlError(code);
  size_t pos = 0;
  std::string line;
  while (pos < text.size() && content::NextHeaderLine(text, pos, line) == 1) {
    if (!content::StartsWithNoCase(line, name)) continue;
    *value = Unfolded(ValueAfter(line, name.size()), true);
    return setQvMiddleEmlError(QVMDL_SUCCESS);
  }
  return setQvMiddleEmlError(QVMDL_ERR_EML_NO_HEADER_END);
}

// ---------------------------------------------------------------- line ends and charsets

bool EmlCompose::convertDecodeData(const std::string* raw, std::string* out) {
  size_t need = raw->size() * 2;
  if (need < kDecodeMemoryFloor) need = kDecodeMemoryFloor;
  if (!content::PhysicalMemoryAbove(need)) return setQvMiddleEmlError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
  uint32_t code = static_cast<uint32_t>(replace0D0Ato0A(*raw, *out));
  return code == QVMDL_SUCCESS || setQvMiddleEmlError(code);
}

int EmlCompose::replace0D0Ato0A(const std::string& in, std::string& out) {
  uint32_t code = foundation::CheckHeapRoom(in.size());
  if (code != QVMDL_SUCCESS) return static_cast<int>(code);
  std::string copy;
  copy.reserve(in.size());
  // A NUL is kept: what follows it is still part of the mail. Runs up to
  // each CR are copied whole.
  size_t from = 0;
  for (size_t cr = in.find('\r'); cr != std::string::npos; cr = in.find('\r', cr + 1)) {
    if (cr + 1 < in.size() && in[cr + 1] == '\n') {
      copy.append(in, from, cr - from);
      from = cr + 1;
    }
  }
  copy.append(in, from, std::string::npos);
  out.swap(copy);
  return QVMDL_SUCCESS;
}

namespace {

template <typename String>
int AddCarriageReturns(const String& in, String& out, size_t unit) {
  using Char = typename String::value_type;
  size_t count = in.size();
  for (size_t at = in.find(Char('\n')); at != String::npos; at = in.find(Char('\n'), at + 1))
    if (at == 0 || in[at - 1] != Char('\r')) ++count;
  uint32_t code = foundation::CheckHeapRoom(count * unit);
  if (code != QVMDL_SUCCESS) return static_cast<int>(code);
  String copy;
  copy.reserve(count);
  // Runs between line ends are copied whole.
  size_t from = 0;
  for (size_t at = in.find(Char('\n')); at != String::npos; at = in.find(Char('\n'), at + 1)) {
    copy.append(in, from, at - from);
    if (at == 0 || in[at - 1] != Char('\r')) copy.push_back(Char('\r'));
    from = at;
  }
  copy.append(in, from, String::npos);
  out.swap(copy);
  return QVMDL_SUCCESS;
}

}  // namespace

int EmlCompose::replace0Ato0D0A(const std::wstring& in, std::wstring& out) { return AddCarriageReturns(in, out, 2); }
int EmlCompose::replace0Ato0D0A_S(const std::string& in, std::string& out) { return AddCarriageReturns(in, out, 1); }

int EmlCompose::ConvertStoW(const std::string& in, std::wstring& out) {
  std::wstring wide = content::WidenSjis(in);
  if (wide.empty()) return QVMDL_SUCCESS;
  uint32_t code = foundation::CheckHeapRoom(wide.size() * 2);
  if (code != QVMDL_SUCCESS) return static_cast<int>(code);
  out.swap(wide);
  return QVMDL_SUCCESS;
}

void EmlCompose::convertStoW(std::list<std::string>& in, std::list<std::wstring>& out) {
  for (const auto& s : in) out.push_back(content::WidenSjis(s));
}

namespace {

// Names the device's own code page goes by: such text is already Shift_JIS,
// and guessing would read its half-width kana as EUC-JP.
bool IsSjisName(const std::wstring& lower) {
  return lower == L"shift_jis" || lower == L"shift-jis" || lower == L"cp932" || lower == L"windows-31j" ||
         lower == L"x-sjis" || lower == L"sjis" || lower == L"ms_kanji";
}

}  // namespace

void EmlCompose::toSJIS(std::string& text, const std::wstring& charset) {
  // The converters stop at a NUL; dropping NULs keeps the text after one.
  if (text.find('\0') != std::string::npos) std::erase(text, '\0');
  std::wstring name = content::ToLowerW(charset);
  if (IsSjisName(name)) {
    // Already in the device code page.
  } else if (name == L"iso-2022-jp") {
    content::JisToSjis(text);
  } else if (name == L"euc-jp") {
    content::EucToSjis(text);
  } else if (name == L"utf-8") {
    content::Utf8ToSjis(text);
  } else {
    content::CharsetKind kind = content::DetectCharset(text);
    if (kind == content::kCharsetJis) content::JisToSjis(text);
    else if (kind == content::kCharsetEuc) content::EucToSjis(text);
  }
  text.resize(content::TextLength(text));
}

void EmlCompose::toSJISforHTML(std::string& text, const std::wstring& charset) {
  if (text.find('\0') != std::string::npos) std::erase(text, '\0');
  const std::wstring name = content::ToLowerW(charset);
  if (name == L"utf-8") {
    content::Utf8ToSjis(text);
  } else if (!IsSjisName(name)) {
    content::CharsetKind kind = content::DetectCharsetHtml(text);
    if (kind == content::kCharsetJis) content::JisToSjis(text);
    else if (kind == content::kCharsetEuc) content::EucToSjis(text);
  }
  text.resize(content::TextLength(text));
}

// ---------------------------------------------------------------- header

void EmlCompose::parseHeader(Email* mail, const std::string& text, size_t& pos, int* oversize) {
  bool dateFound = false;
  std::string line;
  // The end of the text ends the header as the blank line does.
  while (pos < text.size() && content::NextHeaderLine(text, pos, line) == 1) {
    std::erase(line, '\0');
    auto is = [&](std::string_view name) { return content::StartsWithNoCase(line, name); };
    if (is("from:")) {
      SplitFrom(Unfolded(ValueAfter(line, 5), false), mail->fromAddress, mail->fromName);
    } else if (is("subject:")) {
      std::string subject = Unfolded(ValueAfter(line, 8), true);
      content::ReplaceUnmappableSjis(subject);
      mail->subject = content::WidenSjis(subject);
    } else if (is("date:")) {
      std::string value = Unfolded(ValueAfter(line, 5), false);
      size_t at = 0;
      std::string unquoted;
      content::UnquoteHeaderValue(value, at, unquoted);
      if (parseDateField(unquoted, mail)) dateFound = true;
    } else if (is("to:")) {
      AddressListInto(Unfolded(ValueAfter(line, 3), false), mail->to);
    } else if (is("cc:")) {
      AddressListInto(Unfolded(ValueAfter(line, 3), false), mail->cc);
    } else if (is("bcc:")) {
      AddressListInto(Unfolded(ValueAfter(line, 4), false), mail->bcc);
    } else if (is("reply-to:")) {
      mail->replyTo = content::WidenSjis(content::AddressOf(Unfolded(ValueAfter(line, 9), false)));
    } else if (is("x-mailer:")) {
      if (line.find("norvale QvMail") != std::string::npos && line.find(" [PictureMail]") != std::string::npos)
        mail->isPictureMail = 1;
    } else if (is("message-id:")) {
      auto ids = content::MessageIdsOf(Unfolded(ValueAfter(line, 11), false));
      mail->messageId = ids.empty() ? std::wstring() : content::WidenSjis(ids.front());
    } else if (is("in-reply-to:")) {
      auto ids = content::MessageIdsOf(Unfolded(ValueAfter(line, 12), false));
      mail->inReplyTo = ids.empty() ? std::wstring() : content::WidenSjis(ids.front());
    } else if (is("references:")) {
      // Every id is kept, joined so that "<" + references + ">" is the list.
      std::string joined;
      for (const auto& id : content::MessageIdsOf(Unfolded(ValueAfter(line, 11), false)))
        joined += (joined.empty() ? "" : "> <") + id;
      mail->references = content::WidenSjis(joined);
    } else if (is("x-ml-name:")) {
      mail->mailingList = content::WidenSjis(Unfolded(ValueAfter(line, 10), true));
    } else if (is("x-oversize-qvmail:")) {
      if (oversize != nullptr) *oversize = 1;
    } else if (is("x-qvmail_picturemail:")) {
      mail->isPictureMail = 1;
    } else if (is("x-kxr-rivulet")) {
      mail->isFeed = 1;
    } else if (is("x-feed-download:")) {
      mail->feedDownload = content::WidenSjis(Unfolded(ValueAfter(line, 16), true));
      mail->hasFeedDownload = 1;
    }
  }
  if (!dateFound && mail->isFeed == 0) {
    std::string dateLine;
    makeDateField(dateLine, mail);
    if (!dateLine.empty() && dateLine[0] == '\n') dateLine.erase(0, 1);
    mail->generatedDateLine = dateLine + "\r\n";
  }
}

bool EmlCompose::parseDateField(const std::string& value, Email* mail) {
  if (value.empty()) return false;
  mail->dateText = content::WidenSjis(value);
  // "12 : 34 : 56" is read as 12:34:56: the blanks inside the time go first,
  // from the blank before its hour on.
  std::string compact = value;
  const size_t colon = compact.find(':');
  if (colon != std::string::npos) {
    size_t hour = colon;
    while (hour > 0 && (compact[hour - 1] == ' ' || compact[hour - 1] == '\t')) --hour;
    while (hour > 0 && compact[hour - 1] >= '0' && compact[hour - 1] <= '9') --hour;
    if (hour > 0) content::CompactTimeText(compact, hour - 1);
  }
  SYSTEMTIME parsed{};
  content::parseDate(compact, &parsed);
  content::parseTime(compact, &parsed);
  std::string zone = content::parseTimezone(compact);
  mail->timeZone = content::WidenSjis(zone);
  if (!content::DateIsValid(parsed)) {
    mail->date = parsed;
    return false;
  }
  mail->date = content::DateToLocal(parsed, zone);
  return content::DateIsValid(mail->date);
}
