#include "engine/public/content/QuoteEmail.h"

#include <set>
#include <vector>

#include "engine/public/content/CharsetText.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "platform/base/WinFormat.h"

namespace {

bool IsReply(int mode) { return mode == 1 || mode == 2 || mode == 4 || mode == 5; }
bool IsForward(int mode) { return mode == 3 || mode == 6; }

// "FilesID": a count, ":", then that many attachment indices separated by
// "," (or ";"). Anything malformed gives no indices.
std::set<long> FilesIdIndices() {
  std::wstring value;
  if (!GetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"FilesID", &value) || value.empty())
    return {};
  size_t colon = value.find(L':');
  if (colon == std::wstring::npos || colon == 0) return {};
  long count = 0;
  for (size_t i = 0; i < colon; ++i) {
    if (value[i] < L'0' || value[i] > L'9') return {};
    count = count * 10 + (value[i] - L'0');
    if (count > 100000) return {};
  }
  if (count < 1) return {};
  std::set<long> indices;
  size_t pos = colon + 1;
  for (long n = 0; n < count && pos <= value.size(); ++n) {
    size_t end = value.find_first_of(L",;", pos);
    std::wstring item = value.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
    long index = 0;
    bool digits = !item.empty();
    for (wchar_t c : item) {
      if (c < L'0' || c > L'9') {
        digits = false;
        break;
      }
      index = index * 10 + (c - L'0');
      if (index > 100000) break;
    }
    if (digits) indices.insert(index);
    if (end == std::wstring::npos) break;
    pos = end + 1;
  }
  return indices;
}

}  // namespace

QuoteEmail::QuoteEmail() = default;
QuoteEmail::~QuoteEmail() = default;

void QuoteEmail::Convertmaildata(int mode, std::wstring const& ownAddress, Email* mail) {
  if (mail == nullptr || mode < 1 || mode > 6) return;
  if (IsReply(mode)) {
    if (content::ToLowerW(mail->subject).rfind(L"re:", 0) != 0) mail->subject = L"Re: " + mail->subject;
  } else {
    mail->subject = L"Fw: " + mail->subject;
  }
  Editmail_header(mode, ownAddress, mail);

  const SYSTEMTIME& d = mail->date;
  std::wstring dateLine = qv::FormatW(L"%04d年%02d月%02d日%02d時%02d分%02d秒\r\n", d.wYear, d.wMonth, d.wDay, d.wHour,
                                      d.wMinute, d.wSecond);
  const std::wstring& sender =
      !mail->reserved3.empty() ? mail->reserved3 : !mail->fromName.empty() ? mail->fromName : mail->fromAddress;
  Editmail_bodydata(mode, dateLine, sender, &mail->body);

  if (mail->attachments.empty()) return;
  std::set<long> inlineIndices = FilesIdIndices();
  std::vector<Enclosure> former(mail->attachments.begin(), mail->attachments.end());
  if (IsReply(mode)) {
    if (mail->isPictureMail != 0) mail->attachments.resize(1);
    else mail->attachments.clear();
  }
  for (size_t i = 0; i < former.size(); ++i)
    if (inlineIndices.count(static_cast<long>(i)) != 0) mail->inlineParts.push_back(former[i]);
}

void QuoteEmail::Editmail_header(int mode, std::wstring const& ownAddress, Email* mail) {
  std::wstring from = mail->fromAddress, replyTo = mail->replyTo;
  std::list<std::wstring> to = mail->to, cc = mail->cc, bcc = mail->bcc;
  mail->fromAddress = ownAddress;
  mail->to.clear();
  mail->cc.clear();
  mail->bcc.clear();
  mail->replyTo.clear();
  if (mode == 1 || mode == 2) {
    mail->to.push_back(!replyTo.empty() ? replyTo : from);
    if (mode == 2) {
      mail->cc = to;
      mail->cc.insert(mail->cc.end(), cc.begin(), cc.end());
    }
  } else if (mode == 4 || mode == 5) {
    mail->to = to;
    mail->cc = cc;
    mail->bcc = bcc;
  } else if (IsForward(mode)) {
    mail->messageId.clear();
    mail->inReplyTo.clear();
    mail->references.clear();
  }
}

void QuoteEmail::Editmail_bodydata(int mode, std::wstring const& dateLine, std::wstring const& sender,
                                   std::wstring* body) {
  (void)dateLine;
  (void)sender;
  // A forwarded body goes as it is; a reply marks every line with ">".
  if (body == nullptr || !IsReply(mode)) return;
  std::wstring out = L">";
  out.reserve(body->size() + body->size() / 16 + 1);
  for (size_t i = 0; i < body->size(); ++i) {
    out.push_back((*body)[i]);
    if ((*body)[i] == L'\n' && i > 0 && (*body)[i - 1] == L'\r' && i + 1 < body->size()) out.push_back(L'>');
  }
  body->swap(out);
}
