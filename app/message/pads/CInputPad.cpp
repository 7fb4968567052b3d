#include "app/message/pads/CInputPad.h"

#include <vector>

#include "app/foundation/MessageBoxes.h"
#include "app/message/pads/CPictureCharPad.h"
#include "app/message/pads/CTemplateDlg.h"
#include "app/message/pads/CWebPictCharPad.h"
#include "app/message/pads/TemplateFile.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Library.h"

namespace {

constexpr UINT kTemplateFileError = 20209;
constexpr wchar_t kTemplateFileName[] = L"FaceMark.pad";
// Enough for the most lines the pad reads, each of its longest and its CR LF.
constexpr size_t kTemplateFileBytes = 4096 * (kTemplateLineMax + 2) * 2;

std::wstring& ProgramFolder() {
  static std::wstring folder;
  return folder;
}

}  // namespace

CInputPad::CInputPad() = default;
CInputPad::~CInputPad() = default;
CInputPad::CInputPad(const CInputPad& other) = default;
CInputPad& CInputPad::operator=(const CInputPad& other) = default;

void CInputPad::SetProgramFolder(const std::wstring& folder) { ProgramFolder() = folder; }

std::wstring CInputPad::GetModulePath() {
  if (!ProgramFolder().empty()) return ProgramFolder();
  wchar_t path[1024] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, path, 1024);
  std::wstring text(path, n < 1024 ? n : 0);
  const size_t slash = text.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash + 1);
}

std::wstring CInputPad::TemplateFilePath() { return GetModulePath() + kTemplateFileName; }

bool CInputPad::ReadTemplateLines(const std::wstring& path, std::vector<std::wstring>* lines) {
  if (!ProgramFolder().empty()) return ReadTemplateFile(path, lines);
  // The program's own file is read from beside the program on the host: a
  // program started from its build folder lies outside the device root, and
  // the folder its module path names is no device folder then.
  std::string bytes;
  if (!qv::ReadProgramFile(kTemplateFileName, &bytes, kTemplateFileBytes)) return false;
  ReadTemplateText(bytes, lines);
  return true;
}

int CInputPad::CreateInputPad(e_pad_type type, CWnd* parent) {
  changeOccurred_ = 0;
  switch (type) {
    case kPadTemplate:
      return CreateTemplateInputPad(parent, TemplateFilePath());
    case kPadPictureChar:
    case kPadWebPictChar: {
      CPictureCharPad picture(parent);
      CWebPictCharPad web(parent);
      web.SetMailMode(mailMode_);
      QvPictographPad& pad = type == kPadPictureChar ? static_cast<QvPictographPad&>(picture) : web;
      pad.SetTarget(parent);
      if (pad.DoModal() == IDOK && pad.SelectedChar()) {
        text_.assign(1, pad.SelectedChar());
        return TRUE;
      }
      changeOccurred_ = pad.IsChangeOccured();
      return FALSE;
    }
    default:
      return FALSE;
  }
}

int CInputPad::CreateTemplateInputPad(CWnd* parent, const std::wstring& path) {
  std::vector<std::wstring> lines;
  if (!ReadTemplateLines(path, &lines)) {
    ShowErrorBoxRes(parent ? parent->m_hWnd : nullptr, kTemplateFileError);
    return FALSE;
  }
  CTemplateDlg pad(parent);
  pad.SetLines(std::move(lines));
  pad.SetTarget(parent);
  if (pad.DoModal() != IDOK || pad.PickedText().empty()) return FALSE;
  text_ = pad.PickedText();
  return TRUE;
}

int CInputPad::GetInputString(char* buffer, int size) const {
  // Character by character (a surrogate pair as one), so that a cut never
  // leaves half of a double-byte character.
  int needed = 0, written = 0;
  bool full = false;
  for (size_t i = 0; i < text_.size();) {
    const size_t units = (text_[i] >= 0xD800 && text_[i] <= 0xDBFF && i + 1 < text_.size()) ? 2 : 1;
    char bytes[16];
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text_.data() + i, static_cast<int>(units), bytes, sizeof bytes,
                                        nullptr, nullptr);
    i += units;
    needed += n;
    if (full || !buffer || written + n > size - 1) {
      full = true;
      continue;
    }
    for (int k = 0; k < n; ++k) buffer[written + k] = bytes[k];
    written += n;
  }
  if (buffer && size > 0) buffer[written] = '\0';
  return needed;
}
