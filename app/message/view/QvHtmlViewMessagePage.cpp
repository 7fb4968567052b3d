#include "app/message/view/QvHtmlViewMessagePage.h"

#include <string>
#include <vector>

#include "app/foundation/HandOffs.h"
#include "app/foundation/MessageBoxes.h"
#include "app/mailops/InlineParts.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/mailops/TempFiles.h"
#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/base/ScopedHandle.h"
#include "platform/framework/CTime.h"
#include "platform/kernel/Files.h"

namespace {

constexpr UINT kTemplate = 125;
constexpr UINT kPlainMenu = 174;  // the page menu with message kind 0
constexpr UINT kKindMenu = 260;
constexpr UINT kOpenInBrowserCommand = 40182;
constexpr UINT kSaveTemplateCommand = 40198;
constexpr UINT kCutNotice = 20067;
constexpr UINT kPartsDroppedNotice = 20210;
constexpr UINT kNoOwnAttachments = 20204;
constexpr UINT kRemoveQuestion = 20211;
constexpr int kMaxEntries = 256;
constexpr DWORD kAlreadyExists = 183;
constexpr const wchar_t* kBrowserFolder = L"_Browser";

// The control's HTML: only what it keeps of a document (no script, no
// active content, no remote source).
std::wstring ControlHtml(CWnd& control) {
  const LRESULT length = control.SendMessage(HEM_GETHTML, 0, 0);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  control.SendMessage(HEM_GETHTML, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

bool IEqualAt(const std::wstring& text, size_t at, const wchar_t* word) {
  for (size_t i = 0; word[i]; ++i) {
    if (at + i >= text.size()) return false;
    wchar_t c = text[at + i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != word[i]) return false;
  }
  return true;
}

std::wstring BaseName(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  qv::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file.is_valid()) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

BEGIN_MESSAGE_MAP(QvHtmlViewMessagePage, QvViewMessagePage)
  ON_COMMAND(kOpenInBrowserCommand, &QvHtmlViewMessagePage::OnOpenInBrowser)
  ON_COMMAND(kSaveTemplateCommand, &QvHtmlViewMessagePage::OnSaveTemplate)
  ON_MESSAGE(HEN_PARTDROPPED, &QvHtmlViewMessagePage::OnPartDropped)
  ON_MESSAGE(HEN_PARTSCHANGED, &QvHtmlViewMessagePage::OnPartsChanged)
END_MESSAGE_MAP()

QvHtmlViewMessagePage::QvHtmlViewMessagePage(QvMessageRecord* record)
    : QvViewMessagePage(kTemplate, record, &m_view, kBodyLimit, kPlainMenu, kKindMenu) {}

QvHtmlViewMessagePage::~QvHtmlViewMessagePage() = default;

BOOL QvHtmlViewMessagePage::OnInitDialog() {
  ReplaceTemplateControl(m_view, kBodyId);
  MoveInlinePartsToAttachments();
  QvViewMessagePage::OnInitDialog();
  m_view.SendMessage(HEM_READINGMODE, 1, 0);
  LoadHtml();
  return FALSE;
}

void QvHtmlViewMessagePage::LoadHtml() {
  if (!m_record || !m_view.m_hWnd) return;
  m_view.SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(m_record->htmlText.GetString()), 0);
  m_lastLineCount = static_cast<int>(m_view.SendMessage(EM_GETLINECOUNT));
}

void QvHtmlViewMessagePage::SetBodyText(int) {
  // The control takes the message's files; its text comes with LoadHtml.
  if (!m_record || !m_view.m_hWnd) return;
  m_view.SendMessage(HEM_SETFILELISTS, reinterpret_cast<WPARAM>(&m_record->inlineFiles),
                     reinterpret_cast<LPARAM>(&m_record->extraFiles));
}

void QvHtmlViewMessagePage::ReloadPage(int a, int b) {
  if (!IsInitialised()) return;
  m_view.SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(L""), 0);
  MoveInlinePartsToAttachments();
  QvViewMessagePage::ReloadPage(a, b);
  LoadHtml();
}

void QvHtmlViewMessagePage::ShowMessage(uint32_t id) {
  if (!m_record || m_record->notFromStore) return;
  m_view.SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(L""), 0);
  QvViewMessagePage::ShowMessage(id);
  MoveInlinePartsToAttachments();
  RefreshAttachments();
  ArrangeRows();
  LoadHtml();
}

void QvHtmlViewMessagePage::MoveInlinePartsToAttachments() {
  if (!m_record) return;
  CStringArray moved;
  TrimInlineImages(kMaxEntries, &moved);
  m_attachmentCountBefore = static_cast<int>(m_record->attachmentPaths.GetSize());
  for (INT_PTR i = 0; i < moved.GetSize(); ++i) m_record->attachmentPaths.Add(moved[i]);
  if (m_record->attachmentPaths.GetSize() > kMaxEntries) {
    m_record->attachmentPaths.SetSize(kMaxEntries);
    ShowNoticeBoxRes(m_hWnd, kCutNotice);
  }
}

bool QvHtmlViewMessagePage::AskRemoveAttachments() {
  const bool own = m_record && (m_record->partialFlag != 0 || m_attachmentCountBefore > 0);
  if (!own) {
    ShowWarningBoxRes(m_hWnd, kNoOwnAttachments);
    return false;
  }
  return ShowConfirmBoxRes(m_hWnd, kRemoveQuestion, false);
}

LRESULT QvHtmlViewMessagePage::OnPartDropped(WPARAM wParam, LPARAM) {
  // The index comes from the control: only an entry that is there is emptied.
  if (m_record && wParam < static_cast<WPARAM>(m_record->attachmentPaths.GetSize())) {
    m_record->attachmentPaths[static_cast<INT_PTR>(wParam)].Empty();
  }
  return 0;
}

LRESULT QvHtmlViewMessagePage::OnPartsChanged(WPARAM wParam, LPARAM) {
  if (!m_record) return 0;
  if (wParam == 1) ShowNoticeBoxRes(m_hWnd, kPartsDroppedNotice);
  for (INT_PTR i = m_record->attachmentPaths.GetSize() - 1; i >= 0; --i) {
    if (m_record->attachmentPaths[i].IsEmpty()) m_record->attachmentPaths.RemoveAt(i);
  }
  RefreshAttachments();
  ArrangeRows();
  return 0;
}

int QvHtmlViewMessagePage::CurrentBodyLink(CString& target) {
  // The control's kinds are the link list's: 1 mail, 2 web, 3 telephone, 6 image.
  return static_cast<int>(m_view.GetCurrentLink(target));
}

CString QvHtmlViewMessagePage::BodySelection() {
  CString text;
  m_view.GetPlainText(text);
  long start = 0, end = 0;
  m_view.GetHtmlSel(start, end);
  if (start < 0 || end <= start || start >= text.GetLength()) return CString();
  CString selected = text.Mid(static_cast<int>(start), static_cast<int>(end - start));
  selected.Replace(L"\r\n", L"\n");
  selected.Replace(L"\n", L"\r\n");
  return selected;
}

bool QvHtmlViewMessagePage::OpenInBrowser(std::wstring* written) {
  if (!m_record) return false;
  CString folder;
  GetAppTempFolderPath(folder, kBrowserFolder);
  RemoveTempFolder(kBrowserFolder);
  if (!::CreateDirectoryW(folder, nullptr) && ::GetLastError() != kAlreadyExists) return false;
  const std::wstring base = std::wstring(folder.GetString()) + L"\\";
  // Pictures the text names by "cid:" go beside the page under their own names.
  std::wstring html = ControlHtml(m_view);
  for (size_t at = 0; (at = html.find(L'=', at)) != std::wstring::npos; ++at) {
    size_t name = at;
    while (name > 0 && (html[name - 1] == L' ' || html[name - 1] == L'\t')) --name;
    if (name < 3 || !IEqualAt(html, name - 3, L"src")) continue;
    size_t value = at + 1;
    while (value < html.size() && (html[value] == L' ' || html[value] == L'\t')) ++value;
    if (value >= html.size() || (html[value] != L'"' && html[value] != L'\'')) continue;
    const wchar_t quote = html[value++];
    const size_t close = html.find(quote, value);
    if (close == std::wstring::npos) break;
    const QvHtmlFile* part = FindInlinePart(m_record->inlineFiles, html.substr(value, close - value));
    if (!part) continue;
    const std::wstring name2 = BaseName(part->GetPath());
    ::CopyFileW(part->GetPath().c_str(), (base + name2).c_str(), FALSE);
    html.replace(value, close - value, name2);
    at = value + name2.size();
  }
  std::string ansi;
  if (!WideToAnsi(&ansi, html)) return false;
  const std::wstring path = base + CTime::GetCurrentTime().Format(L"%Y%m%d%H%M%S").GetString() + L".html";
  if (!WriteBytes(path, ansi)) return false;
  if (written) *written = path;
  return ShellOpenFile(m_hWnd, path.c_str()) != FALSE;
}

void QvHtmlViewMessagePage::OnOpenInBrowser() { OpenInBrowser(); }

void QvHtmlViewMessagePage::OnSaveTemplate() {
  if (!m_record) return;
  m_record->inlineFiles.Clear();
  m_view.GetPlainText(m_record->body);
  m_record->htmlText = ControlHtml(m_view).c_str();
  SaveAsHtmlTemplate();
}
