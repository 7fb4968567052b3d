#include "app/mailops/InlineParts.h"

namespace {

constexpr wchar_t kScheme[] = L"cid:";
constexpr size_t kSchemeLength = 4;

bool HasScheme(const std::wstring& text) {
  if (text.size() < kSchemeLength) return false;
  for (size_t i = 0; i < kSchemeLength; ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kScheme[i]) return false;
  }
  return true;
}

std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

}  // namespace

std::wstring InlinePartReference(const std::wstring& contentId) {
  const std::wstring bare = MailContentId(contentId);
  return bare.empty() ? std::wstring() : kScheme + LowerAscii(bare);
}

std::wstring MailContentId(const std::wstring& reference) {
  return HasScheme(reference) ? reference.substr(kSchemeLength) : reference;
}

const QvHtmlFile* FindInlinePart(const QvHtmlFileList& files, const std::wstring& source) {
  if (!HasScheme(source) || source.size() == kSchemeLength) return nullptr;
  return files.FindByContentId(InlinePartReference(source));
}
