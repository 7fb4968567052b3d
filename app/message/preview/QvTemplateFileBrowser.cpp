#include "app/message/preview/QvTemplateFileBrowser.h"

#include "app/foundation/MessageBoxes.h"
#include "app/mailops/MessageOperations.h"
#include "app/message/preview/QvHtmlPreviewDlg.h"
#include "platform/codepage/CodePage.h"
#include "platform/framework/CFile.h"
#include "platform/ui/commctrl/ListView.h"

namespace {

constexpr UINT kBadNameWarning = 20197;
constexpr UINT kTooLargeWarning = 20198;
constexpr UINT kImagesDroppedWarning = 20199;
constexpr UINT kNotTemplateWarning = 20207;
constexpr wchar_t kExtension[] = L".whm";

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  return text;
}

bool EndsWithExtension(const std::wstring& name) { return name.size() >= 4 && Upper(name.substr(name.size() - 4)) == L".WHM"; }

uint64_t FileBytes(const std::wstring& path) {
  CFile file;
  return file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone) ? file.GetLength() : 0;
}

}  // namespace

QvTemplateFileBrowser::QvTemplateFileBrowser() { SetRequest(&request_); }

bool QvTemplateFileBrowser::IsValidSaveName(const std::wstring& typed) {
  const std::wstring name = EndsWithExtension(typed) ? typed.substr(0, typed.size() - 4) : typed;
  for (wchar_t c : name) {
    if (c < 32 || c == 127 || (c < 128 && std::wstring_view(L"\"*,./:;<=>?\\^`{|}").find(c) != std::wstring_view::npos)) {
      return false;
    }
  }
  return true;
}

bool QvTemplateFileBrowser::FitsLimits(uint64_t fileBytes, const QvMessageRecord& record) {
  if (fileBytes > kMaxFileBytes) return false;
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, record.htmlText.GetString(), -1, nullptr, 0, nullptr, nullptr);
  return bytes >= 1 && static_cast<size_t>(bytes) <= kMaxHtmlBytes;
}

bool QvTemplateFileBrowser::TrimInlineImages(QvMessageRecord* record) {
  bool dropped = false;
  size_t kept = 0;
  uint64_t sum = 0;
  bool full = false;  // the sum or the count is reached: every later one goes
  for (size_t i = 0; i < record->inlineFiles.GetCount();) {
    const std::wstring& path = record->inlineFiles.GetAt(i)->GetPath();
    const size_t dot = path.find_last_of(L'.');
    const std::wstring ext = dot == std::wstring::npos ? std::wstring() : Upper(path.substr(dot));
    bool keep = !full && (ext == L".GIF" || ext == L".JPG" || ext == L".JPEG");
    if (keep && kept == kMaxImages) keep = false, full = true;
    if (keep) {
      const uint64_t size = FileBytes(path);
      if (sum + size > kMaxImageBytes) {
        keep = false;
        full = true;
      } else {
        sum += size;
      }
    }
    if (keep) {
      ++kept;
      ++i;
    } else {
      record->inlineFiles.RemoveAt(i);
      dropped = true;
    }
  }
  while (record->attachmentPaths.GetSize() > static_cast<INT_PTR>(kMaxAttachments)) {
    record->attachmentPaths.RemoveAt(record->attachmentPaths.GetSize() - 1);
    dropped = true;
  }
  while (record->extraFiles.GetCount() > kMaxAttachments) {
    record->extraFiles.RemoveAt(record->extraFiles.GetCount() - 1);
    dropped = true;
  }
  return dropped;
}

INT_PTR QvTemplateFileBrowser::Run(HWND parent, const std::wstring& initialFolder, std::wstring* path, int mode) {
  mode_ = mode;
  initialFolder_ = initialFolder;
  file_[0] = 0;
  request_ = {};
  request_.lStructSize = 76;
  request_.hwndOwner = parent;
  request_.lpstrFilter = L"テンプレートファイル (*.whm)\0*.whm\0";
  request_.lpstrFile = file_;
  request_.nMaxFile = 260;
  request_.lpstrInitialDir = initialFolder_.c_str();
  request_.lpstrTitle = mode == kSave ? L"テンプレート保存" : L"テンプレート選択";
  request_.Flags = mode == kSave ? OFN_OVERWRITEPROMPT : 0;
  const INT_PTR result = DoModal(mode);
  if (result == 1 && path) {
    *path = file_;
    if (mode == kSave && !EndsWithExtension(*path)) *path += kExtension;
  }
  return result;
}

void QvTemplateFileBrowser::OnOK() {
  if (mode_ == kSave) {
    wchar_t typed[261] = {};
    ::GetDlgItemTextW(Window(), kNameField, typed, 261);
    if (!IsValidSaveName(typed)) {
      ShowWarningBoxRes(Window(), kBadNameWarning);
      return;
    }
    QvFileBrowser::OnOK();
    return;
  }
  PreviewSelected();
}

void QvTemplateFileBrowser::OpenSelectedItem() {
  if (mode_ == kChoose && PreviewSelected()) return;
  QvFileBrowser::OpenSelectedItem();
}

bool QvTemplateFileBrowser::PreviewSelected() {
  const int index =
      static_cast<int>(::SendMessageW(Control(kList), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  const FileRow* item = index >= 0 ? ItemAt(index) : nullptr;
  if (!item) return false;
  if (item->kind == FileRow::kFolder) return false;  // the browser enters it
  std::wstring folder = CurrentFolder();
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  const std::wstring path = folder + L"\\" + item->name;
  wcsncpy(file_, path.c_str(), 259);
  file_[259] = 0;
  record_.Clear();
  if (item->kind != FileRow::kFile) {
    ShowWarningBoxRes(Window(), kNotTemplateWarning);
    return false;
  }
  // A file past the limit is refused before it is read at all.
  const uint64_t bytes = FileBytes(path);
  if (bytes > kMaxFileBytes) {
    ShowWarningBoxRes(Window(), kTooLargeWarning);
    return false;
  }
  if (!LoadHtmlTemplate(&record_, path)) {
    ShowWarningBoxRes(Window(), kNotTemplateWarning);
    return false;
  }
  if (!FitsLimits(bytes, record_)) {
    ShowWarningBoxRes(Window(), kTooLargeWarning);
    return false;
  }
  if (TrimInlineImages(&record_)) ShowWarningBoxRes(Window(), kImagesDroppedWarning);
  QvHtmlPreviewDlg preview(CWnd::FromHandle(Window()));
  preview.SetRecord(&record_);
  preview.SetMode(QvHtmlPreviewDlg::kTemplatePreview);
  if (preview.DoModal() != IDOK) return false;
  EndBrowse(1);
  return true;
}
