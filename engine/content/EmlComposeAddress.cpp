// Address fields, mailto links and percent decoding of EmlCompose.
#include <algorithm>

#include "engine/content/AddressField.h"
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/codepage/CodePage.h"

namespace {

constexpr size_t kSchemeLength = 7;  // "mailto:"

std::wstring Widen(const std::string& sjis) {
  std::wstring wide;
  content::MultiByteToWString(sjis, wide);
  return wide;
}

// Whether `text` is well-formed UTF-8 (no overlong form, no surrogate):
// the strict conversion refuses anything else.
bool IsWellFormedUtf8(const std::string& text) {
  return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0) > 0;
}

// Percent escapes of a link are the device's Shift_JIS, except where they
// spell well-formed UTF-8, as links written today do: those are turned into
// Shift_JIS so that the rest of the parse reads one code.
std::string LinkText(EmlCompose& composer, const std::string& piece) {
  std::string decoded;
  composer.replacePercent(piece, decoded);
  if (!content::IsAscii(decoded) && IsWellFormedUtf8(decoded)) content::Utf8ToSjis(decoded);
  return decoded;
}

}  // namespace

bool EmlCompose::ParseAddress(std::wstring& field, std::wstring* address, std::wstring* name) {
  if (address == nullptr || name == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string narrow, a, n;
  content::WStringToSjis(field, narrow);
  content::SplitAddress(narrow, a, n);
  address->clear();
  name->clear();
  content::MultiByteToWString(a, *address);
  content::MultiByteToWString(n, *name);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::ParseAddress_S(std::string& field, std::string* address, std::string* name) {
  if (address == nullptr || name == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  address->clear();
  name->clear();
  content::SplitAddress(field, *address, *name);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::ParseMailto(const std::string& url, Email* mail) {
  if (mail == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  clearEmail(mail);
  if (!content::StartsWithNoCase(url, "mailto:")) return setQvMiddleEmlError(QVMDL_ERR_EML_BAD_CONTENT);
  parseMailtoSub(url, mail);
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

void EmlCompose::parseMailtoSub(const std::string& url, Email* mail) {
  size_t question = url.find('?', kSchemeLength);
  std::string addressPart = url.substr(kSchemeLength, question == std::string::npos ? std::string::npos
                                                                                    : question - kSchemeLength);
  if (!addressPart.empty()) parseMailtoAddress(mail->to, LinkText(*this, addressPart));
  if (question == std::string::npos) return;
  size_t pos = question + 1;
  while (pos <= url.size()) {
    size_t amp = url.find('&', pos);
    std::string param = url.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
    const std::string decoded = LinkText(*this, param);
    auto valueAfter = [&](const char* key) { return decoded.substr(std::char_traits<char>::length(key)); };
    // Header values lose their line breaks; only the body may keep them.
    if (content::StartsWithNoCase(decoded, "to=")) {
      parseMailtoAddress(mail->to, content::WithoutLineBreaks(valueAfter("to=")));
    } else if (content::StartsWithNoCase(decoded, "cc=")) {
      parseMailtoAddress(mail->cc, content::WithoutLineBreaks(valueAfter("cc=")));
    } else if (content::StartsWithNoCase(decoded, "bcc=")) {
      parseMailtoAddress(mail->bcc, content::WithoutLineBreaks(valueAfter("bcc=")));
    } else if (content::StartsWithNoCase(decoded, "subject=")) {
      mail->subject = Widen(content::WithoutLineBreaks(valueAfter("subject=")));
    } else if (content::StartsWithNoCase(decoded, "body=")) {
      std::string body = valueAfter("body=");
      body.erase(std::remove(body.begin(), body.end(), '\0'), body.end());
      mail->body = Widen(body);
    }
    if (amp == std::string::npos) break;
    pos = amp + 1;
  }
}

void EmlCompose::parseMailtoAddress(std::list<std::wstring>& list, const std::string& text) {
  std::string clean = content::WithoutLineBreaks(text);
  for (const auto& field : content::SplitCommaList(clean)) list.push_back(Widen(content::AddressOf(field)));
}

void EmlCompose::replacePercent(const std::string& in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    int hi = -1, lo = -1;
    if (in[i] == '%' && i + 2 < in.size()) {
      hi = foundation::HexDigitValue(static_cast<unsigned char>(in[i + 1]));
      lo = foundation::HexDigitValue(static_cast<unsigned char>(in[i + 2]));
    }
    if (hi >= 0 && lo >= 0) {
      out.push_back(static_cast<char>(hi << 4 | lo));
      i += 2;
      continue;
    }
    out.push_back(in[i]);
  }
}
