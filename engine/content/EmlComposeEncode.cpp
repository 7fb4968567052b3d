// Encoding half of EmlCompose: an Email to the RFC 822/MIME text the store
// keeps for an outgoing message. Everything is built with LF line ends and
// turned into CR LF at the very end.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/content/AddressField.h"
#include "engine/content/Base64.h"
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MailDate.h"
#include "engine/foundation/MailMemory.h"
#include "engine/content/MimeSupport.h"
#include "engine/content/TransferText.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Time.h"

namespace {

constexpr char kMixedBoundary[] = "next_bound_m4345";
constexpr char kAlternativeBoundary[] = "next_bound_a3234";
constexpr char kRelatedBoundary[] = "next_bound_r2123";
constexpr char kMailer[] = "norvale QvMail/2.1 (TELLARO 03)";
constexpr size_t kBase64Line = 76;

// A header value: never a line break or NUL, so it cannot start a header of
// its own.
std::string HeaderText(const std::wstring& wide) { return content::WithoutLineBreaks(content::NarrowSjis(wide)); }

}  // namespace

// ---------------------------------------------------------------- entries

bool EmlCompose::Encode(Email* mail, std::string* out, RawEmail_S* raw) {
  if (mail == nullptr || out == nullptr || raw == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string text;
  int code = encodeBody(mail, text, raw);
  if (code != static_cast<int>(QVMDL_SUCCESS)) return setQvMiddleEmlError(static_cast<uint32_t>(code));
  if (!finishText(text, out)) return false;
  NKDbgPrintfW(L"EmlCompose::Encode() end\r\n");
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::Encode(Email* mail, std::string* out) {
  NKDbgPrintfW(L"EmlCompose::Encode() string version\r\n");
  RawEmail_S scratch;
  return Encode(mail, out, &scratch);
}

bool EmlCompose::Encode(Email* mail, RawEmail_S* raw) {
  NKDbgPrintfW(L"EmlCompose::Encode() RawEmail version\r\n");
  std::string scratch;
  return Encode(mail, &scratch, raw);
}

int EmlCompose::encodeBody(Email* mail, std::string& text, RawEmail_S* raw) {
  BoundStr bounds;
  MimeFlags flags;
  encodeMailHeader(mail, text, raw);
  encodeMimeHeader(mail, text, bounds, flags);
  int code = makeBodyField(mail, text);
  if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
  if (!mail->htmlBody.empty()) makeHtmlBodyField(text, mail, bounds);
  return encodeEnclosure(mail, text, bounds, flags);
}

bool EmlCompose::finishText(std::string& text, std::string* out) {
  text.push_back('\n');
  int code = replace0Ato0D0A_S(text, *out);
  if (code != static_cast<int>(QVMDL_SUCCESS)) {
    out->clear();
    return setQvMiddleEmlError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
  }
  return true;
}

// ---------------------------------------------------------------- header

int EmlCompose::encodeMailHeader(Email* mail, std::string& out, RawEmail_S* raw) {
  out += "From: " + content::MakeAddressField(mail->fromAddress, mail->fromName, true);
  if (raw != nullptr) raw->sender = HeaderText(mail->fromAddress);
  makeAddressField(mail, out, raw);
  makeDateField(out, mail);
  out += "\nSubject: " + content::EncodeHeaderWord(mail->subject, true) + "\n";
  if (!mail->replyTo.empty()) out += "Reply-To: " + content::EncodeHeaderWord(mail->replyTo, true) + "\n";
  makeInReplyToField(mail, out);
  out += "Mime-Version: 1.0\n";
  out += std::string("X-Mailer: ") + kMailer + (mail->isPictureMail != 0 ? " [PictureMail]" : "") + "\n";
  return QVMDL_SUCCESS;
}

void EmlCompose::makeAddressField(Email* mail, std::string& out, RawEmail_S* raw) {
  const std::pair<const char*, const std::list<std::wstring>*> lists[] = {
      {"To: ", &mail->to}, {"Cc: ", &mail->cc}, {"Bcc: ", &mail->bcc}};
  for (const auto& [name, list] : lists) {
    if (list->empty()) continue;
    out += std::string("\n") + name;
    bool first = true;
    for (const auto& field : content::AddressListOfW(*list)) {
      std::string clean = content::WithoutLineBreaks(field);
      if (!first) out += ",\n ";
      out += clean;
      first = false;
      if (raw != nullptr) {
        std::string bare;
        content::BareAddressOf(clean, bare);
        raw->recipients.push_back(bare);
      }
    }
  }
}

void EmlCompose::makeDateField(std::string& out, Email* mail) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char zone[6] = "+0000";
  content::GetTimeZoneText(zone);
  zone[5] = '\0';
  char line[96];
  std::snprintf(line, sizeof(line), "\nDate: %s, %02d %s %04d %02d:%02d:%02d %s", content::DayName(now.wDayOfWeek).c_str(),
                now.wDay, content::MonthName(now.wMonth).c_str(), now.wYear, now.wHour, now.wMinute, now.wSecond, zone);
  out += line;
  if (mail != nullptr) {
    mail->date = now;
    mail->timeZone = content::WidenSjis(zone);
  }
}

void EmlCompose::makeInReplyToField(Email* mail, std::string& out) {
  if (mail->messageId.empty()) return;
  std::string id = HeaderText(mail->messageId);
  out += "In-Reply-To: <" + id + ">\n";
  // The parent's References, else its In-Reply-To, then its Message-ID.
  const std::wstring& parent = !mail->references.empty() ? mail->references : mail->inReplyTo;
  out += "References: ";
  if (!parent.empty()) {
    out += '<';
    out += HeaderText(parent);
    out += "> ";
  }
  out += "<" + id + ">\n";
}

// ---------------------------------------------------------------- structure

void EmlCompose::encodeMimeHeader(Email* mail, std::string& out, BoundStr& bounds, MimeFlags& flags) {
  flags.mixed = !mail->attachments.empty();
  flags.alternative = !mail->htmlBody.empty();
  flags.related = !mail->inlineParts.empty();
  flags.preamble = true;
  if (flags.alternative) {
    // The files of an HTML mail travel in the related group.
    flags.mixed = false;
    if (!flags.related) flags.related = !mail->attachments.empty();
  }
  bounds.mixed = kMixedBoundary;
  bounds.alternative = kAlternativeBoundary;
  bounds.related = kRelatedBoundary;
  bool first = true;
  if (flags.mixed) {
    addMimeHeader(out, bounds.mixed, "mixed", first);
    first = false;
  }
  if (flags.related) {
    addMimeHeader(out, bounds.related, "related", false);
    first = false;
  }
  if (flags.alternative) addMimeHeader(out, bounds.alternative, "alternative", first);
}

void EmlCompose::addMimeHeader(std::string& out, const std::string& boundary, const char* subtype, bool preamble) {
  out += std::string("Content-Type: multipart/") + subtype + ";\n boundary=\"" + boundary + "\"\n";
  if (preamble) out += "\nThis is a multipart message in Mime 1.0 format\n";
  addBoundary(out, boundary, true);
}

void EmlCompose::addBoundary(std::string& out, const std::string& boundary, bool more) {
  out += "\n--" + boundary + (more ? "\n" : "--");
}

// ---------------------------------------------------------------- bodies

int EmlCompose::makeBodyField(Email* mail, std::string& out) {
  std::wstring body = mail->body;
  content::ReplaceAllW(body, L"\r\n", L"\n");
  bool feed = mail->isFeed != 0;
  bool html = !mail->htmlBody.empty();
  if (!feed) checkSendBodyReturnCode(body);
  std::string text;
  if (content::IsAsciiW(body)) {
    out += std::string("Content-Type: text/plain; charset=") + (html ? "iso-2022-jp" : "us-ascii") + "\n";
    text = content::NarrowSjis(body);
  } else {
    text.reserve(body.size() * 2 + body.size() / 300 + 16);
    int tokens = content::WStringToJisWithTokens(body, text);
    if (tokens < 0) return QVMDL_ERR_EML_NOT_ENOUGH_MEMORY;
    if (tokens > 0) {
      out += "Content-Type: text/x-vmemodx; charset=\"";
      if (!feed) checkSendBodyReturnCode_S(text);
    } else {
      out += "Content-Type: text/plain; charset=\"";
    }
    out += "iso-2022-jp\"\n";
  }
  if (html) out += "Content-Transfer-Encoding: 7bit\n";
  out += "\n" + text;
  return QVMDL_SUCCESS;
}

void EmlCompose::makeHtmlBodyField(std::string& out, Email* mail, const BoundStr& bounds) {
  std::wstring html = mail->htmlBody;
  content::ReplaceAllW(html, L"\r\n", L"\n");
  if (mail->isFeed == 0) {
    addBoundary(out, bounds.alternative, true);
    out += "Content-Type: text/html; charset=\"iso-2022-jp\"\nContent-Transfer-Encoding: quoted-printable\n\n";
    std::string coded;
    content::EncodeQuotedPrintableJis(coded, html);
    out += coded;
    addBoundary(out, bounds.alternative, false);
    return;
  }
  std::string text;
  if (content::IsAsciiW(html)) {
    out += "Content-Type: text/html; charset=us-ascii\n";
    text = content::NarrowSjis(html);
  } else {
    out += "Content-Type: text/html; charset=\"iso-2022-jp\"\n";
    content::WStringToJisBuffer(html, text);
  }
  out += "\n" + text;
}

// ---------------------------------------------------------------- files

int EmlCompose::encodeEnclosure(Email* mail, std::string& out, BoundStr& bounds, const MimeFlags& flags) {
  if (flags.related && !mail->inlineParts.empty()) {
    std::list<Enclosure> inlines = mail->inlineParts;
    for (auto& e : inlines) e.isInline = 1;
    int code = encodeMimeFiles(out, bounds.related, inlines);
    if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
  }
  bounds.files = flags.related ? bounds.related : flags.mixed ? bounds.mixed : std::string();
  if (!bounds.files.empty()) {
    int code = encodeMimeFiles(out, bounds.files, mail->attachments);
    if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
    addBoundary(out, bounds.files, false);
  }
  return QVMDL_SUCCESS;
}

int EmlCompose::encodeMimeFiles(std::string& out, const std::string& boundary, const std::list<Enclosure>& parts) {
  for (const auto& part : parts)
    if (!content::FileExists(part.folder + part.name)) return QVMDL_ERR_EML_ATTACH_NOT_FOUND;
  for (const auto& part : parts) {
    std::string name = content::EncodeHeaderWord(part.name, true);
    out += "\n\n--" + boundary + "\n";
    out += "Content-Type: " + HeaderText(MimeTypeId(part.name)) + ";\n name=\"" + name + "\"\n";
    out += "Content-Transfer-Encoding: base64\n";
    out += std::string("Content-Disposition: ") + (part.isInline != 0 ? "inline" : "attachment") +
           ";\n filename=\"" + name + "\"\n";
    if (!part.contentId.empty()) out += "Content-ID: <" + HeaderText(part.contentId) + ">\n";
    out += "\n";
    int code = encodeFile(part.folder + part.name, &out);
    if (code != static_cast<int>(QVMDL_SUCCESS)) return code;
  }
  return QVMDL_SUCCESS;
}

int EmlCompose::encodeFile(std::wstring path, std::string* out) {
  std::string bytes;
  uint32_t error = 0;
  if (!content::ReadWholeFile(path, &bytes, &error)) {
    NKDbgPrintfW(L"encodeFile() open ERROR [%x]\r\n", error);
    return QVMDL_ERR_EML_ATTACH_OPEN;
  }
  size_t chars = (bytes.size() + 2) / 3 * 4;
  out->reserve(out->size() + chars + (chars > 0 ? (chars - 1) / kBase64Line : 0));
  const auto* in = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t n = bytes.size(), i = 0;
  // Whole lines of 57 bytes (76 characters) first, an LF between lines.
  constexpr size_t kLineBytes = kBase64Line / 4 * 3;
  for (; n - i > kLineBytes; i += kLineBytes) {
    content::Base64Encode(*out, in + i, kLineBytes);
    out->push_back('\n');
  }
  content::Base64Encode(*out, in + i, n - i);
  return QVMDL_SUCCESS;
}

// ---------------------------------------------------------------- charsets

void EmlCompose::ConvertFromUTF16(char* out, std::wstring* text, const std::wstring* charset) {
  if (out == nullptr || text == nullptr) return;
  std::string name = charset != nullptr ? content::ToLower(content::NarrowSjis(*charset)) : std::string();
  std::string sjis = content::NarrowSjis(*text);
  if (name.empty()) {
    std::string lower = content::ToLower(sjis);
    size_t at = lower.find("charset");
    if (at != std::string::npos) {
      size_t eq = lower.find('=', at);
      if (eq != std::string::npos) {
        size_t b = eq + 1;
        while (b < lower.size() && (lower[b] == ' ' || lower[b] == '"' || lower[b] == '\'')) ++b;
        size_t e = b;
        // Charset names are ASCII; no locale decides what a letter is.
        auto nameChar = [](char c) {
          return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        };
        while (e < lower.size() && nameChar(lower[e])) ++e;
        name = lower.substr(b, e - b);
      }
    }
    if (name.empty()) {
      switch (content::DetectCharsetHtml(sjis)) {
        case content::kCharsetJis: name = "iso-2022-jp"; break;
        case content::kCharsetEuc: name = "euc-jp"; break;
        case content::kCharsetSjis: name = "sjis"; break;
        default: name = "us-ascii";
      }
    }
  }
  std::string result;
  if (name.find("iso-2022-jp") != std::string::npos) {
    content::SjisToJis(sjis, result);
  } else if (name.find("euc-jp") != std::string::npos) {
    content::SjisToEucAppend(sjis, result);
  } else {
    result = sjis;
  }
  std::memcpy(out, result.c_str(), result.size() + 1);
}
