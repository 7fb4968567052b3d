#include "engine/public/content/HtmlCreater.h"

#include "engine/content/MimeSupport.h"

namespace {

// Feed text is untrusted: markup characters are escaped and line ends become
// <br> so that the text shows as it was written.
std::wstring EscapeHtml(const std::wstring& text, bool breaks) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      case L'"': out += L"&quot;"; break;
      case L'\r':
        if (breaks && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        out += breaks ? L"<br>\r\n" : L" ";
        break;
      case L'\n': out += breaks ? L"<br>\r\n" : L" "; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace

HtmlCreater::HtmlCreater() = default;
HtmlCreater::~HtmlCreater() = default;

bool HtmlCreater::CreateHtml(Email& mail) {
  if (mail.body.empty()) return false;
  if (!mail.htmlBody.empty()) return true;
  std::wstring html = L"<html>\r\n<body>\r\n";
  html += L"\r\n" + EscapeHtml(mail.body, true) + L"\r\n";
  html += L"<div align=\"right\">";
  if (!mail.dateText.empty()) html += EscapeHtml(mail.dateText, false);
  html += L"</div>";
  if (!mail.attachments.empty()) {
    // The same safe name the picture is written under.
    std::wstring name = content::PartFileName(mail.attachments.front(),
                                              std::char_traits<wchar_t>::length(content::kFeedTmpFolder));
    html += L"<img src=\"" + std::wstring(content::kFeedTmpReference) + EscapeHtml(name, false) + L"\">\r\n";
  }
  html += L"\r\n</body>\r\n</html>\r\n";
  mail.htmlBody = std::move(html);
  return true;
}
