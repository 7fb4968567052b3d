#include "app/message/pages/QvBaseMessagePage.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvFlatButton.h"
#include "app/foundation/QvMiddleError.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/InlineParts.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/protocol/WindowMessages.h"
#include "app/foundation/FileChoosers.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinFormat.h"
#include "platform/codepage/CodePage.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CDC.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "platform/kernel/Time.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/input/Caret.h"
#include "platform/ui/menu/Accelerator.h"

namespace {

constexpr UINT kNoFontError = 20505;
constexpr UINT kNoAddressWarning = 20139;
constexpr UINT kTemplateTooLarge = 20194;
constexpr UINT kTemplateSaved = 20059;
constexpr UINT kTemplateNotSaved = 20060;
constexpr UINT kDocumentErrorCode = 0x5F00;
constexpr UINT kFieldStep = kMoveFocusSelectingMessage;  // wParam 1 previous, else next
constexpr UINT kLayoutKeepCaret = kFirstPaintDoneMessage;
constexpr UINT kPageFlag = kPageFlagMessage;
constexpr UINT kCloseSheet = kCloseSheetMessage;
constexpr UINT kSelectAll = 2502;
constexpr int kMaxHtmlBytes = 10240;
constexpr uint64_t kMaxInlineBytes = 92160;
constexpr int kMaxTemplateParts = 20;
constexpr DWORD kMaxTemplateFile = 153600;
constexpr size_t kMaxContentId = 63;

std::wstring (*g_templateChooser)(CWnd*) = nullptr;

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

bool EndsWithNoCase(const std::wstring& s, const wchar_t* tail) {
  const std::wstring t = tail;
  return s.size() >= t.size() && Lower(s.substr(s.size() - t.size())) == Lower(t);
}

bool CopyOut(const std::wstring& text, wchar_t* buffer, int bufferChars) {
  if (!buffer || bufferChars <= 0) return false;
  const size_t n = std::min<size_t>(text.size(), std::min(bufferChars - 1, HTMLEDIT_MAXPATH));
  std::copy_n(text.c_str(), n, buffer);
  buffer[n] = L'\0';
  return true;
}

std::wstring JoinList(const CStringArray& list) {
  std::wstring out;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    if (!out.empty()) out += L",";
    out += list[i].GetString();
  }
  return out;
}

DWORD FileSizeOf(const std::wstring& path, bool* found) {
  qv::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  *found = file.is_valid();
  return *found ? ::GetFileSize(file.get(), nullptr) : 0;
}

std::wstring DefaultTemplateChooser(CWnd* owner) {
  std::wstring path;
  if (!BrowseSaveFile(owner ? owner->m_hWnd : nullptr, L"テンプレートの保存", L"\\My Documents\\テンプレート",
                      L"テンプレート (*.whm)|*.whm||", &path, L"")) {
    return L"";
  }
  return path;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvBaseMessagePage, QvMessagePage)
  ON_WM_VSCROLL()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_WM_MOUSEMOVE()
  ON_WM_DESTROY()
  ON_CONTROL(HEN_HEIGHTCHANGED, QvBaseMessagePage::kBodyId, &QvBaseMessagePage::OnBodyHeightChanged)
  ON_NOTIFY_RANGE(HEN_IMAGEINSERTING, HEN_RESOLVE, QvBaseMessagePage::kBodyId, &QvBaseMessagePage::OnBodyNotifyRange)
  ON_MESSAGE(HEN_DOCUMENTERROR, &QvBaseMessagePage::OnDocumentError)
  ON_MESSAGE(kPageFlag, &QvBaseMessagePage::OnPageFlag)
  ON_MESSAGE(kFieldStep, &QvBaseMessagePage::OnFieldStep)
  ON_MESSAGE(kLayoutKeepCaret, &QvBaseMessagePage::OnLayoutKeepCaret)
  ON_COMMAND(kSelectAll, &QvBaseMessagePage::OnSelectAll)
END_MESSAGE_MAP()

QvBaseMessagePage::QvBaseMessagePage(UINT templateId, QvMessageRecord* record, CWnd* body)
    : QvMessagePage(templateId, record), m_body(body) {}

QvBaseMessagePage::~QvBaseMessagePage() = default;

void QvBaseMessagePage::SetRowControls(Row row, std::unique_ptr<CWnd> label, std::unique_ptr<CWnd> field) {
  m_labels[row] = std::move(label);
  m_fields[row] = std::move(field);
}

void QvBaseMessagePage::SetTemplatePathChooser(std::wstring (*chooser)(CWnd*)) { g_templateChooser = chooser; }

void QvBaseMessagePage::FocusBody(int, int) {
  if (m_body && m_body->m_hWnd) m_body->SetFocus();
  ScrollCaretIntoView();
}
void QvBaseMessagePage::HandwritingHook() {}
uint64_t QvBaseMessagePage::GetAttachmentTotals(int* count) {
  if (count) *count = 0;
  return 0;
}

BOOL QvBaseMessagePage::GetCaretRect(RECT* rect) {
  if (!rect) return FALSE;
  HWND focus = ::GetFocus();
  if (!focus || (focus != m_hWnd && !::IsChild(m_hWnd, focus))) return FALSE;
  POINT caret{};
  if (::GetCaretPos(&caret)) {
    // One line high at the caret.
    *rect = {caret.x, caret.y, caret.x + 1, caret.y + std::max(m_lineHeight, 1)};
  } else {
    ::GetClientRect(focus, rect);
    rect->bottom = std::min<LONG>(rect->bottom, std::max(m_lineHeight, 1));
  }
  ::MapWindowPoints(focus, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
  return TRUE;
}

void QvBaseMessagePage::FillFromRecord(int a, int b) {
  BeforeFill(a, b);
  if (m_body && m_body->m_hWnd) m_body->SendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_UPDATE | ENM_SCROLL);
  if (!m_record) return;
  const std::wstring texts[kRowCount] = {m_record->dateText.GetString(), m_record->from.GetString(),
                                         JoinList(m_record->toList),      JoinList(m_record->ccList),
                                         JoinList(m_record->bccList),     m_record->subject.GetString(),
                                         L""};
  for (int row : {kDateRow, kFromRow, kToRow, kCcRow, kBccRow, kSubjectRow}) {
    CWnd* field = m_fields[row].get();
    if (!field || !field->m_hWnd) continue;
    field->SetRedraw(FALSE);
    field->SetWindowText(texts[row].c_str());
    field->SetRedraw(TRUE);
    field->Invalidate();
  }
  RefreshAttachments();
  SetBodyText(1);
}

void QvBaseMessagePage::RefreshAttachments() {}

void QvBaseMessagePage::SetBodyText(int) {
  if (m_record && m_body && m_body->m_hWnd) m_body->SetWindowText(m_record->body);
}

void QvBaseMessagePage::ClearFields() {
  for (auto& field : m_fields) {
    if (field && field->m_hWnd) field->SetWindowText(L"");
  }
  if (m_body && m_body->m_hWnd) m_body->SetWindowText(L"");
  ClearAttachments();
}

void QvBaseMessagePage::ClearAttachments() {}

BOOL QvBaseMessagePage::OnInitDialog() {
  QvMessagePage::OnInitDialog();
  m_accel = ::LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kAccelerators));
  for (int row = 0; row < kRowCount; ++row) {
    if (!m_labels[row]) m_labels[row] = std::make_unique<CWnd>();
    if (!m_fields[row]) m_fields[row] = std::make_unique<CWnd>();
    if (!::GetDlgItem(m_hWnd, kLabelIds[row]) || !m_labels[row]->SubclassDlgItem(kLabelIds[row], this)) {
      m_labels[row].reset();
    }
    // A field the subclass made in the template's place is kept as it is.
    if (m_fields[row]->m_hWnd) continue;
    if (!::GetDlgItem(m_hWnd, kFieldIds[row]) || !m_fields[row]->SubclassDlgItem(kFieldIds[row], this)) {
      m_fields[row].reset();
    }
  }
  for (int i = 0; i < 3; ++i) {
    if (::GetDlgItem(m_hWnd, kRuleIds[i])) m_rules[i].SubclassDlgItem(kRuleIds[i], this);
  }
  if (m_body && !m_body->m_hWnd && ::GetDlgItem(m_hWnd, kBodyId)) m_body->SubclassDlgItem(kBodyId, this);
  ModifyStyle(0, WS_VSCROLL);
  Layout(false);
  if (m_body && m_body->m_hWnd) {
    const LRESULT mode = m_body->SendMessage(EM_GETTEXTMODE);
    m_body->SendMessage(EM_SETTEXTMODE, (static_cast<WPARAM>(mode) & ~static_cast<WPARAM>(TM_RICHTEXT)) | TM_PLAINTEXT);
  }
  FillFromRecord(0, 0);
  // The cursor keys move between the labels of the address rows.
  auto link = [this](Row row, UINT key, CWnd* target) {
    auto* button = dynamic_cast<QvFlatButton*>(m_labels[row].get());
    if (button && target && target->m_hWnd) button->MapKey(key, target->m_hWnd);
  };
  link(kToRow, VK_UP, m_body);
  link(kToRow, VK_DOWN, Label(kCcRow));
  link(kToRow, VK_RIGHT, Field(kToRow));
  link(kCcRow, VK_UP, Label(kToRow));
  link(kCcRow, VK_DOWN, Label(kBccRow));
  link(kCcRow, VK_RIGHT, Field(kCcRow));
  link(kBccRow, VK_UP, Label(kCcRow));
  link(kBccRow, VK_DOWN, Field(kSubjectRow));
  link(kBccRow, VK_RIGHT, Field(kBccRow));
  link(kAttachRow, VK_UP, Field(kSubjectRow));
  link(kAttachRow, VK_DOWN, m_body);
  return TRUE;
}

void QvBaseMessagePage::Layout(bool keepCaret) {
  if (!m_hWnd || m_inLayout) return;
  m_inLayout = 1;
  if (!m_font.GetSafeHandle() && !m_font.CreatePointFont(90, L"ＭＳ Ｐゴシック")) {
    ShowQvMiddleError(kNoFontError, m_hWnd, nullptr);
    m_inLayout = 0;
    return;
  }
  CClientDC dc(this);
  CFont* old = dc.SelectObject(&m_font);
  if (m_labelWidth == 0) {
    for (auto& w : m_labels) if (w && w->m_hWnd) w->SetFont(&m_font, TRUE);
    for (auto& w : m_fields) if (w && w->m_hWnd) w->SetFont(&m_font, TRUE);
    if (m_body && m_body->m_hWnd) m_body->SetFont(&m_font, TRUE);
    CString from;
    if (Label(kFromRow)) Label(kFromRow)->GetWindowText(from);
    CRect r(0, 0, 0, 0);
    ::DrawTextW(dc.m_hDC, from, from.GetLength(), &r, DT_CALCRECT | DT_NOPREFIX | DT_EDITCONTROL | DT_SINGLELINE);
    m_labelWidth = r.Width();
    CRect w(0, 0, 1000, 0);
    ::DrawTextW(dc.m_hDC, L"W", 1, &w, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX | DT_EDITCONTROL);
    m_lineHeight = std::max<int>(w.Height(), 1);
  }
  dc.SelectObject(old);
  CRect client;
  GetClientRect(&client);
  // The rows: each keeps its height; rows whose field is hidden take no room.
  int y = 0;
  const int shift = std::min(m_scrollPos, m_headerHeight);
  int header = 0;
  for (int row = 0; row < kRowCount; ++row) {
    CWnd* field = Field(static_cast<Row>(row));
    if (!field || !(field->GetStyle() & WS_VISIBLE)) continue;
    CRect fr;
    field->GetWindowRect(&fr);
    const int h = fr.Height();
    if (CWnd* label = Label(static_cast<Row>(row))) {
      label->SetWindowPos(nullptr, 0, y - shift, m_labelWidth, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    field->SetWindowPos(nullptr, m_labelWidth + 1, y - shift, client.Width() - m_labelWidth - 1, h,
                        SWP_NOZORDER | SWP_NOACTIVATE);
    y += h;
    header = y;
  }
  // The first rule closes the header; the others belong to the pages that use them.
  if (m_rules[0].m_hWnd) {
    m_rules[0].SetWindowPos(nullptr, 0, header - shift, client.Width(), 1, SWP_NOZORDER | SWP_NOACTIVATE);
    header += 1;
  }
  m_headerHeight = header;
  int lines = 0;
  if (m_body && m_body->m_hWnd) {
    m_body->SetWindowPos(nullptr, 0, m_headerHeight - shift, client.Width(), client.Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
    lines = static_cast<int>(m_body->SendMessage(EM_GETLINECOUNT));
  }
  // The form is the header over the body's lines; a page shows the client's height.
  const int visibleLines = std::max(client.Height() / m_lineHeight, 1);
  m_scrollRange = m_headerHeight + std::max(lines - visibleLines, 0) * m_lineHeight + client.Height();
  SCROLLINFO info{};
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = std::max(m_scrollRange - 1, 0);
  info.nPage = static_cast<UINT>(std::max<LONG>(client.Height(), 0));
  info.nPos = m_scrollPos;
  SetScrollInfo(SB_VERT, &info, TRUE);
  m_lastSize[0] = client.Width();
  m_lastSize[1] = client.Height();
  m_inLayout = 0;
  if (keepCaret) ScrollCaretIntoView();
}

void QvBaseMessagePage::ScrollTo(int position) {
  CRect client;
  GetClientRect(&client);
  const int top = std::max(m_scrollRange - client.Height(), 0);
  position = std::clamp(position, 0, top);
  if (position == m_scrollPos) return;
  m_scrollPos = position;
  // The header goes first; past it, the body scrolls its own lines.
  if (m_body && m_body->m_hWnd) {
    const int wanted = position > m_headerHeight ? (position - m_headerHeight) / m_lineHeight : 0;
    const int first = static_cast<int>(m_body->SendMessage(EM_GETFIRSTVISIBLELINE));
    if (wanted != first) m_body->SendMessage(EM_LINESCROLL, 0, wanted - first);
  }
  Layout(false);
  Invalidate();
}

void QvBaseMessagePage::ScrollCaretIntoView() {
  RECT caret{};
  if (!GetCaretRect(&caret)) return;
  CRect client;
  GetClientRect(&client);
  if (caret.top < 0) {
    ScrollTo(m_scrollPos + caret.top);
  } else if (caret.bottom > client.bottom) {
    ScrollTo(m_scrollPos + caret.bottom - client.bottom);
  }
}

void QvBaseMessagePage::OnVScroll(UINT code, UINT pos, CScrollBar*) {
  CRect client;
  GetClientRect(&client);
  const int page = client.Height();
  switch (code) {
    case SB_LINEUP: ScrollTo(m_scrollPos - m_lineHeight); break;
    case SB_LINEDOWN: ScrollTo(m_scrollPos + m_lineHeight); break;
    case SB_PAGEUP: ScrollTo(m_scrollPos - page); break;
    case SB_PAGEDOWN: ScrollTo(m_scrollPos + page); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(m_scrollRange); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollTo(static_cast<int>(pos)); break;
    default: break;
  }
}

BOOL QvBaseMessagePage::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd))) {
    if (msg->wParam == VK_PRIOR || msg->wParam == VK_NEXT) {
      SendMessage(WM_VSCROLL, MAKEWPARAM(msg->wParam == VK_PRIOR ? SB_PAGEUP : SB_PAGEDOWN, 0), 0);
      return TRUE;
    }
    // The caret is brought into view once the key has moved it.
    SetTimer(kCaretTimer, 0);
  }
  if (m_accel && ::TranslateAcceleratorW(m_hWnd, m_accel, msg)) return TRUE;
  return QvMessagePage::PreTranslateMessage(msg);
}

void QvBaseMessagePage::OnTimer(UINT_PTR id) {
  if (id == kCaretTimer) {
    KillTimer(kCaretTimer);
    ScrollCaretIntoView();
  } else if (id == kDragTimer) {
    KillTimer(kDragTimer);
    HWND focus = ::GetFocus();
    if (!focus) return;
    // The selection goes on while the page scrolls under a held pointer.
    WPARAM keys = 0;
    if (::GetKeyState(VK_LBUTTON) < 0) keys |= MK_LBUTTON;
    if (::GetKeyState(VK_RBUTTON) < 0) keys |= MK_RBUTTON;
    // The platform knows no middle button: a stylus and two mouse buttons.
    if (::GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
    if (::GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
    POINT p = m_mousePoint;
    ::ScreenToClient(focus, &p);
    ::SendMessageW(focus, WM_MOUSEMOVE, keys, MAKELPARAM(p.x, p.y));
  } else {
    QvMessagePage::OnTimer(id);
  }
}

void QvBaseMessagePage::OnMouseMove(UINT, CPoint point) {
  ClientToScreen(&point);
  m_mousePoint = point;
  if (m_body && m_body->m_hWnd && m_body->SendMessage(EM_GETFIRSTVISIBLELINE) == 0) {
    ScrollCaretIntoView();
    SetTimer(kDragTimer, 100);
  }
}

void QvBaseMessagePage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (cx == m_lastSize[0] && cy == m_lastSize[1]) return;
  Layout(m_keepCaret != 0);
}

void QvBaseMessagePage::OnDestroy() {
  KillTimer(kDragTimer);
  KillTimer(kCaretTimer);
  if (m_accel) ::DestroyAcceleratorTable(m_accel);
  m_accel = nullptr;
  QvMessagePage::OnDestroy();
}

void QvBaseMessagePage::OnBodyHeightChanged() { Layout(false); }

void QvBaseMessagePage::OnBodyNotifyRange(UINT, NMHDR* header, LRESULT* result) {
  auto* nm = reinterpret_cast<NMHTMLEDIT*>(header);
  *result = 0;
  if (header->code == HEN_RESOLVE) {
    ResolveInlineSource(nm->text, nm->buffer, nm->bufferChars);
  } else if (header->code == HEN_IMAGEINSERTING) {
    InsertInlineImage(nm->text, nm->buffer, nm->bufferChars);
  }
}

LRESULT QvBaseMessagePage::OnDocumentError(WPARAM, LPARAM) {
  ShowQvMiddleError(kDocumentErrorCode, m_hWnd, nullptr);
  PostToSheet(kCloseSheet);
  return 0;
}

LRESULT QvBaseMessagePage::OnPageFlag(WPARAM wParam, LPARAM) {
  m_pageFlag = static_cast<int>(wParam);
  return 0;
}

LRESULT QvBaseMessagePage::OnLayoutKeepCaret(WPARAM, LPARAM) {
  m_keepCaret = 1;
  Layout(true);
  m_keepCaret = 0;
  return 0;
}

int QvBaseMessagePage::FocusedRow() const {
  HWND focus = ::GetFocus();
  for (int row = 0; row < kRowCount; ++row) {
    CWnd* field = Field(static_cast<Row>(row));
    if (field && field->m_hWnd && (focus == field->m_hWnd || ::IsChild(field->m_hWnd, focus))) return row;
  }
  return kRowCount;  // the body, or nothing of the form
}

void QvBaseMessagePage::MoveFieldFocus(bool previous) {
  // The order: date (shown), From (enabled), To, Cc (enabled), Bcc (shown), subject (enabled), body.
  std::vector<CWnd*> order;
  auto usable = [](CWnd* w, bool needVisible, bool needEnabled) {
    if (!w || !w->m_hWnd) return false;
    if (needVisible && !(w->GetStyle() & WS_VISIBLE)) return false;
    if (needEnabled && !w->IsWindowEnabled()) return false;
    return true;
  };
  const int rows[] = {kDateRow, kFromRow, kToRow, kCcRow, kBccRow, kSubjectRow};
  std::vector<int> rowOf;
  for (int row : rows) {
    CWnd* field = Field(static_cast<Row>(row));
    const bool needVisible = row == kDateRow || row == kBccRow;
    const bool needEnabled = row == kFromRow || row == kCcRow || row == kSubjectRow;
    if (usable(field, needVisible, needEnabled)) {
      order.push_back(field);
      rowOf.push_back(row);
    }
  }
  if (m_body && m_body->m_hWnd) {
    order.push_back(m_body);
    rowOf.push_back(kRowCount);
  }
  if (order.empty()) return;
  const int focused = FocusedRow();
  auto at = std::find(rowOf.begin(), rowOf.end(), focused);
  int index = at == rowOf.end() ? 0 : static_cast<int>(at - rowOf.begin());
  index = std::clamp(index + (previous ? -1 : 1), 0, static_cast<int>(order.size()) - 1);
  order[index]->SetFocus();
  ScrollCaretIntoView();
}

LRESULT QvBaseMessagePage::OnFieldStep(WPARAM wParam, LPARAM) {
  MoveFieldFocus(wParam == 1);
  return 0;
}

void QvBaseMessagePage::OnSelectAll() {
  HWND focus = ::GetFocus();
  if (!focus) return;
  if (m_body && focus == m_body->m_hWnd) {
    CHARRANGE all{0, -1};
    ::SendMessageW(focus, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  } else {
    ::SendMessageW(focus, EM_SETSEL, 0, -1);
  }
}

// --- Inline images ------------------------------------------------------------

bool QvBaseMessagePage::ResolveInlineSource(const wchar_t* source, wchar_t* buffer, int bufferChars) const {
  if (!source || !m_record) return false;
  const QvHtmlFile* file = FindInlinePart(m_record->inlineFiles, source);
  return file && CopyOut(file->GetPath(), buffer, bufferChars);
}

std::wstring QvBaseMessagePage::MakeContentId(const SYSTEMTIME& t, DWORD tick, size_t count,
                                              const std::wstring& sender) {
  const size_t at = sender.find(L'@');
  const std::wstring domain = at == std::wstring::npos ? sender : sender.substr(at + 1);
  std::wstring id = qv::FormatW(L"%04x%02x%02x%02x%02x%02x%03x%08x%08x@%s", t.wYear, t.wMonth, t.wDay, t.wHour,
                                t.wMinute, t.wSecond, t.wMilliseconds, tick, static_cast<unsigned>(count),
                                domain.c_str());
  if (id.size() > kMaxContentId) id.resize(kMaxContentId);
  return id;
}

bool QvBaseMessagePage::InsertInlineImage(const wchar_t* path, wchar_t* buffer, int bufferChars) {
  if (!path || !m_record) return false;
  QvHtmlFileList& files = m_record->inlineFiles;
  // The record keeps the reference as the HTML text writes it.
  std::wstring reference;
  for (size_t i = 0; i < files.GetCount(); ++i) {
    if (Lower(files.GetAt(i)->GetPath()) == Lower(path)) {
      reference = InlinePartReference(files.GetAt(i)->GetContentId());
      break;
    }
  }
  if (reference.empty()) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    reference =
        InlinePartReference(MakeContentId(now, ::GetTickCount(), files.GetCount(), GetSenderAddress().GetString()));
    const std::wstring p = path;
    const size_t slash = p.find_last_of(L"\\/");
    files.Add(p, slash == std::wstring::npos ? p : p.substr(slash + 1), L"", reference);
  }
  return CopyOut(reference, buffer, bufferChars);
}

void QvBaseMessagePage::TrimInlineImages(int limit, CStringArray* removed) {
  if (!m_record) return;
  QvHtmlFileList& files = m_record->inlineFiles;
  size_t kept = 0;
  for (size_t i = 0; i < files.GetCount();) {
    const std::wstring path = files.GetAt(i)->GetPath();
    const bool picture = EndsWithNoCase(path, L".GIF") || EndsWithNoCase(path, L".JPG") ||
                         EndsWithNoCase(path, L".JPEG");
    if (picture && kept < static_cast<size_t>(std::max(limit, 0))) {
      ++kept;
      ++i;
      continue;
    }
    if (removed) removed->Add(path.c_str());
    files.RemoveAt(i);
  }
}

// --- HTML templates -----------------------------------------------------------

QvBaseMessagePage::TemplateSave QvBaseMessagePage::WriteHtmlTemplate(const QvMessageRecord& record,
                                                                    const std::wstring& path) {
  // Written beside the destination first: a template already there is
  // replaced only by a complete one within the size limit.
  const std::wstring temp = path + L"_tmp";
  ::DeleteFileW(temp.c_str());
  if (!SaveHtmlTemplate(record, temp)) {
    ::DeleteFileW(temp.c_str());
    return TemplateSave::kFailed;
  }
  bool found = false;
  const DWORD size = FileSizeOf(temp, &found);
  if (!found) return TemplateSave::kFailed;
  if (size > kMaxTemplateFile) {
    ::DeleteFileW(temp.c_str());
    return TemplateSave::kTooLarge;
  }
  bool flushed = false;
  {
    qv::ScopedHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    flushed = file.is_valid() && ::FlushFileBuffers(file.get());
  }
  bool there = false;
  FileSizeOf(path, &there);
  const bool replaced = flushed && (there ? ::DeleteAndRenameFile(path.c_str(), temp.c_str())
                                          : ::MoveFileW(temp.c_str(), path.c_str()));
  if (!replaced) {
    ::DeleteFileW(temp.c_str());
    return TemplateSave::kFailed;
  }
  return TemplateSave::kSaved;
}

QvBaseMessagePage::TemplateSave QvBaseMessagePage::SaveAsHtmlTemplate() {
  if (!m_record) return TemplateSave::kFailed;
  std::wstring html = m_record->htmlText.GetString();
  const std::wstring jis = L"<META http-equiv=\"Content-Type\" content=\"text/html; charset=iso-2022-jp\">";
  const std::wstring sjis = L"<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">";
  for (size_t at = html.find(jis); at != std::wstring::npos; at = html.find(jis, at + sjis.size())) {
    html.replace(at, jis.size(), sjis);
  }
  m_record->htmlText = html.c_str();
  const int bytes = html.empty() ? 0 : ::WideCharToMultiByte(CP_ACP, 0, html.c_str(), static_cast<int>(html.size()),
                                                             nullptr, 0, nullptr, nullptr);
  int parts = 0;
  const uint64_t inlineBytes = GetAttachmentTotals(&parts);
  // Only MIDI attachments go with a template.
  CStringArray& files = m_record->attachmentPaths;
  for (INT_PTR i = files.GetSize() - 1; i >= 0; --i) {
    const std::wstring name = files[i].GetString();
    if (!EndsWithNoCase(name, L".mid") && !EndsWithNoCase(name, L".midi")) files.RemoveAt(i);
  }
  if (bytes < 1 || bytes > kMaxHtmlBytes || inlineBytes > kMaxInlineBytes || parts > kMaxTemplateParts ||
      files.GetSize() > kMaxTemplateParts) {
    ShowWarningBoxRes(m_hWnd, kTemplateTooLarge);
    return TemplateSave::kTooLarge;
  }
  const std::wstring path = (g_templateChooser ? g_templateChooser : DefaultTemplateChooser)(this);
  if (path.empty()) return TemplateSave::kCancelled;
  const TemplateSave result = WriteHtmlTemplate(*m_record, path);
  switch (result) {
    case TemplateSave::kSaved: ShowNoticeBoxRes(m_hWnd, kTemplateSaved); break;
    case TemplateSave::kTooLarge: ShowWarningBoxRes(m_hWnd, kTemplateTooLarge); break;
    default: ShowErrorBoxRes(m_hWnd, kTemplateNotSaved); break;
  }
  return result;
}
