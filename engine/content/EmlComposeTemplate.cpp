// HTML mail templates: a whole HTML mail (body, inline images, files) kept as
// a MIME file that the compose window saves and loads.
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"

namespace {

constexpr char kTemplateLine[] = "T-HTML-MAIL-TEMPLATE";
constexpr char kTemplateBoundary[] = "next_bound_m4345";
constexpr uint32_t kNotATemplate = 0xFFFFFFFFu;

}  // namespace

bool EmlCompose::SaveHtmlTemplate(Email* mail, std::wstring* path) {
  NKDbgPrintfW(L"SaveHtmlTemplate() start\r\n");
  if (mail == nullptr || path == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  std::string text;
  if (!encodeHtmlTemplate(mail, &text)) return false;
  qv::ScopedHandle file(
      CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return setQvMiddleEmlError(QVMDL_ERR_EML_FILE_IO);
  DWORD written = 0;
  bool ok =
      WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  file.reset();
  if (!ok) {
    DeleteFileW(path->c_str());
    return setQvMiddleEmlError(QVMDL_ERR_EML_DISK_SPACE);
  }
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

bool EmlCompose::LoadHtmlTemplate(Email* mail, std::wstring* path, std::string* text) {
  NKDbgPrintfW(L"LoadHtmlTemplate() start\r\n");
  if (mail == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  if (path == nullptr || text == nullptr) return setQvMiddleEmlError(QVMDL_ERR_EML_NULL_ARGUMENT);
  if (!content::FileExists(*path)) return setQvMiddleEmlError(QVMDL_ERR_EML_FILE_MISSING);
  if (!content::ReadWholeFile(*path, text)) return setQvMiddleEmlError(QVMDL_ERR_EML_FILE_IO);
  std::string lf;
  if (!convertDecodeData(text, &lf)) return false;
  clearForDecode(mail);
  int code = decodeHtmlTemplate(mail, &lf);
  return setQvMiddleEmlError(static_cast<uint32_t>(code));
}

bool EmlCompose::encodeHtmlTemplate(Email* mail, std::string* out) {
  NKDbgPrintfW(L"EmlCompose::EncodeHtmlTemplate()\r\n");
  std::string text = std::string(kTemplateLine) + "\nMime-Version: 1.0\n";
  addMimeHeader(text, kTemplateBoundary, "mixed", false);
  std::wstring html = mail->htmlBody;
  content::ReplaceAllW(html, L"\r\n", L"\n");
  text += "Content-Type: text/html; charset=\"shift_jis\"\nContent-Transfer-Encoding: 8bit\n\n";
  text += content::NarrowSjis(html);
  std::list<Enclosure> inlines = mail->inlineParts;
  for (auto& e : inlines) e.isInline = 1;
  int code = encodeMimeFiles(text, kTemplateBoundary, inlines);
  if (code == static_cast<int>(QVMDL_SUCCESS)) code = encodeMimeFiles(text, kTemplateBoundary, mail->attachments);
  if (code != static_cast<int>(QVMDL_SUCCESS)) return setQvMiddleEmlError(static_cast<uint32_t>(code));
  addBoundary(text, kTemplateBoundary, false);
  if (!finishText(text, out)) return false;
  NKDbgPrintfW(L"EmlCompose::EncodeHtmlTemplate() end\r\n");
  return setQvMiddleEmlError(QVMDL_SUCCESS);
}

int EmlCompose::decodeHtmlTemplate(Email* mail, std::string* text) {
  if (text->compare(0, sizeof(kTemplateLine) - 1, kTemplateLine) != 0 ||
      text->size() < sizeof(kTemplateLine) || (*text)[sizeof(kTemplateLine) - 1] != '\n')
    return static_cast<int>(kNotATemplate);
  // The first line reads as an unknown header.
  return Decode_(mail, text);
}
