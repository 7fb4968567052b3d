#include "app/message/edit/QvDecoEditMessagePage.h"

#include <algorithm>
#include <cwctype>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiText.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "app/message/deco/QvColorPadDlg.h"
#include "app/message/deco/QvDecorationState.h"
#include "app/message/preview/QvHtmlPreviewDlg.h"
#include "app/message/preview/QvTemplateFileBrowser.h"
#include "app/message/richedit/QvHtmlBodyCtrl.h"
#include "app/protocol/WindowMessages.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/codepage/CodePage.h"
#include "platform/framework/CCmdUI.h"
#include "platform/kernel/Files.h"

namespace {

constexpr UINT kDecoratedPageMenu = 158;
constexpr UINT kSizePopup = 183;
constexpr int kHtmlSlack = 2;  // the editor's text counts two bytes beyond its terminator

// The decoration commands.
enum : UINT {
  kPreview = 40156,
  kParagraph4On = 40157,
  kTextColor = 40158,
  kSizeLarge = 40160,
  kSizeMiddle = 40161,
  kSizeSmall = 40162,
  kBlink = 40163,
  kBold = 40164,
  kItalic = 40165,
  kUnderline = 40166,
  kStrikeOut = 40167,
  kSizePad = 40168,
  kParagraph5On = 40170,
  kAlignLeft = 40171,
  kAlignRight = 40172,
  kAlignCentre = 40173,
  kInsertRule = 40174,
  kInsertImage = 40175,
  kClearAll = 40176,
  kApplyTemplate = 40177,
  kDefaultFormat = 40178,
  kSaveTemplate = 40198,
  kShowBar = 40202,
  kParagraph4Off = 40203,
  kParagraph5Off = 40204,
};

// The bit of the decoration state's enable word each command shows.
struct CommandBit {
  UINT command;
  int bit;
};
constexpr CommandBit kCommandBits[] = {
    {kBlink, 7},          {kSizeLarge, 1},     {kSizeMiddle, 1},    {kSizeSmall, 1},   {kSizePad, 0},
    {kTextColor, 12},     {kParagraph4On, 8},  {kParagraph4Off, 20}, {kParagraph5On, 9}, {kParagraph5Off, 21},
    {kAlignLeft, 14},     {kAlignRight, 14},   {kAlignCentre, 14},  {kInsertRule, 16}, {kInsertImage, 17},
};

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvDecoEditMessagePage, QvEditMessagePage)
  ON_COMMAND_RANGE(kBold, kStrikeOut, &QvDecoEditMessagePage::OnAttributeCommand)
  ON_COMMAND_RANGE(kBlink, kBlink, &QvDecoEditMessagePage::OnAttributeCommand)
  ON_COMMAND_RANGE(kSizeLarge, kSizeSmall, &QvDecoEditMessagePage::OnFontSize)
  ON_COMMAND(kSizePad, &QvDecoEditMessagePage::OnFontSizePad)
  ON_COMMAND(kTextColor, &QvDecoEditMessagePage::OnTextColor)
  ON_COMMAND_RANGE(kParagraph4On, kParagraph4On, &QvDecoEditMessagePage::OnParagraph)
  ON_COMMAND_RANGE(kParagraph5On, kParagraph5On, &QvDecoEditMessagePage::OnParagraph)
  ON_COMMAND_RANGE(kParagraph4Off, kParagraph5Off, &QvDecoEditMessagePage::OnParagraph)
  ON_COMMAND_RANGE(kAlignLeft, kAlignCentre, &QvDecoEditMessagePage::OnAlignment)
  ON_COMMAND(kInsertRule, &QvDecoEditMessagePage::OnInsertRule)
  ON_COMMAND(kInsertImage, &QvDecoEditMessagePage::OnInsertImage)
  ON_COMMAND(kDefaultFormat, &QvDecoEditMessagePage::OnDefaultFormat)
  ON_COMMAND(kClearAll, &QvDecoEditMessagePage::OnClearAllFormats)
  ON_COMMAND(kPreview, &QvDecoEditMessagePage::OnPreview)
  ON_COMMAND(kApplyTemplate, &QvDecoEditMessagePage::OnApplyTemplate)
  ON_COMMAND(kSaveTemplate, &QvDecoEditMessagePage::OnSaveTemplate)
  ON_COMMAND(kShowBar, &QvDecoEditMessagePage::OnShowDecorationBar)
  ON_CONTROL_RANGE(EN_SETFOCUS, 1045, 1071, &QvDecoEditMessagePage::OnFieldFocus)
  ON_UPDATE_COMMAND_UI_RANGE(kPreview, kDefaultFormat, &QvDecoEditMessagePage::OnUpdateDecoration)
  ON_UPDATE_COMMAND_UI(kShowBar, &QvDecoEditMessagePage::OnUpdateDecoration)
  ON_UPDATE_COMMAND_UI_RANGE(kParagraph4Off, kParagraph5Off, &QvDecoEditMessagePage::OnUpdateDecoration)
END_MESSAGE_MAP()

QvDecoEditMessagePage::QvDecoEditMessagePage(QvMessageRecord* record)
    : QvEditMessagePage(kTemplate, record, nullptr, kBodyLimit), m_html(std::make_unique<QvHtmlBodyCtrl>()) {
  m_body = m_html.get();
  m_editBody = m_html.get();
  m_menuId = 182;
}

QvDecoEditMessagePage::~QvDecoEditMessagePage() {
  if (m_hWnd) DestroyWindow();
}

QvHtmlBodyCtrl* QvDecoEditMessagePage::HtmlBody() const { return m_html.get(); }

BOOL QvDecoEditMessagePage::OnInitDialog() {
  if (m_record) {
    TrimInlineImages(kMaxInlineImages, nullptr);
    RemovePictureChars(m_record->subject, true);
    RemovePictureChars(m_record->from, false);
    for (CStringArray* list : {&m_record->toList, &m_record->ccList, &m_record->bccList}) {
      RemovePictureCharsFromArray(*list, false);
    }
  }
  QvEditMessagePage::OnInitDialog();
  // The template's editor reads; here it is written in.
  if (m_html && m_html->m_hWnd) m_html->SendMessage(EM_SETREADONLY, FALSE);
  if (m_record && m_record->htmlNeedsSignature == 1) {
    InsertSignature();
    m_record->htmlNeedsSignature = 0;
  }
  return TRUE;
}

void QvDecoEditMessagePage::LoadPageMenu() {
  m_pageMenu.DestroyMenu();
  if (!m_pageMenu.LoadMenu(kDecoratedPageMenu)) return;
  // The attribute items belong to the palette, not to the menu.
  if (HMENU deco = FindSubMenuByName(m_pageMenu.GetSafeHmenu(), L"文字装飾")) {
    for (UINT id = kBold; id <= kStrikeOut; ++id) ::DeleteMenu(deco, id, MF_BYCOMMAND);
  }
}

void QvDecoEditMessagePage::TakeDecorationTools(CStateDisplayDecorationBar* bar, QvDecorationState* state,
                                                int value) {
  m_decoBar = bar;
  m_decoState = state;
  m_decoValue = value;
}

void QvDecoEditMessagePage::CloseDecoration(int, int) {
  if (m_html && m_html->m_hWnd) m_html->SetFocus();
}

// --- text, HTML and files ---------------------------------------------------------------

CString QvDecoEditMessagePage::HtmlText() const {
  if (!m_html || !m_html->m_hWnd) return m_record ? m_record->htmlText : CString();
  const LRESULT length = m_html->SendMessage(HEM_GETHTML, 0, 0);
  std::wstring buffer(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  const LRESULT got = m_html->SendMessage(HEM_GETHTML, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, static_cast<LRESULT>(buffer.size()) - 1)));
  return CString(buffer.c_str());
}

int QvDecoEditMessagePage::BodyLength() const {
  if (!m_html || !m_html->m_hWnd) return QvEditMessagePage::BodyLength();
  return static_cast<int>(m_html->SendMessage(HEM_GETTEXTLENGTH));
}

void QvDecoEditMessagePage::CollectInlineFiles(CString& html) {
  if (!m_record) return;
  std::wstring text = html.GetString();
  QvHtmlFileList kept;
  for (size_t i = 0; i < m_record->inlineFiles.GetCount(); ++i) {
    const QvHtmlFile* file = m_record->inlineFiles.GetAt(i);
    if (!file || file->GetContentId().empty()) continue;
    // The editor writes a picture put in as its path: the mail names it by its content id.
    const std::wstring& id = file->GetContentId();
    const std::wstring reference = id.rfind(L"cid:", 0) == 0 ? id : L"cid:" + id;
    const std::wstring quotedPath = L"\"" + Lower(file->GetPath()) + L"\"";
    for (size_t at = Lower(text).find(quotedPath); at != std::wstring::npos; at = Lower(text).find(quotedPath, at)) {
      text.replace(at + 1, quotedPath.size() - 2, reference);
      at += reference.size() + 2;
    }
    // Ids are kept in lower case, with or without their "cid:"; the text refers to them either way.
    if (Lower(text).find(id) != std::wstring::npos) kept.Add(*file);
  }
  m_record->inlineFiles = kept;
  html = text.c_str();
}

BOOL QvDecoEditMessagePage::CheckBeforeSend(int value, QvToolPage* toolPage) {
  if (!QvEditMessagePage::CheckBeforeSend(value, toolPage)) return FALSE;
  if (!m_record || !m_html || !m_html->m_hWnd) return TRUE;
  m_record->htmlText = HtmlText();
  CollectInlineFiles(m_record->htmlText);
  return toolPage ? CheckSizeLimits() : TRUE;
}

uint64_t QvDecoEditMessagePage::InlineBytes(int* count, int except) const {
  uint64_t total = 0;
  int n = 0;
  if (m_record) {
    for (size_t i = 0; i < m_record->inlineFiles.GetCount(); ++i) {
      if (static_cast<int>(i) == except) continue;
      uint64_t size = 0;
      if (FileBytes(m_record->inlineFiles.GetAt(i)->GetPath().c_str(), &size)) total += size;
      ++n;
    }
  }
  if (count) *count = n;
  return total;
}

uint64_t QvDecoEditMessagePage::GetAttachmentTotals(int* count) { return InlineBytes(count); }

UINT QvDecoEditMessagePage::ImageSizeMessage() const {
  return IsCurrentTAccount() ? kCarrierImageSizeText : kImageSizeText;
}

void QvDecoEditMessagePage::AddAttachments() {
  // The inline parts count among the mail's parts and its size.
  const UINT plain = m_sizeLimitMessage;
  m_sizeLimitMessage = ImageSizeMessage();
  QvEditMessagePage::AddAttachments();
  m_sizeLimitMessage = plain;
}

BOOL QvDecoEditMessagePage::CheckSizeLimits() {
  // A forced store on a close request is never blocked.
  if (CloseRequestSeenFlag) return TRUE;
  const std::string ansi = qv::WideToCp932(m_record ? m_record->htmlText.GetString() : L"");
  int count = 0;
  const uint64_t inlineBytes = InlineBytes(&count);
  uint64_t listed = 0;
  const bool readable = ListedAttachmentBytes(&listed);
  bool fits = ansi.size() + kHtmlSlack <= static_cast<size_t>(kBodyLimit) && readable;
  if (m_imageCheckState != kAllowed) {
    fits = fits && inlineBytes <= kMaxImageBytes && ansi.size() + inlineBytes <= kMaxImageBytes;
  }
  fits = fits && listed + inlineBytes <= SizeLimitBytes();
  if (fits) return TRUE;
  ShowWarningBoxRes(m_hWnd, kTooLargeText);
  return FALSE;
}

bool QvDecoEditMessagePage::CheckImageInsert(DWORD fileSize, int fresh) {
  if (m_loadingHtml) return true;
  int count = 0;
  const uint64_t inlineBytes = InlineBytes(&count, fresh);
  int attachments = 0;
  uint64_t listed = 0;
  if (QvAttachedFileListCtrl* list = AttachmentList()) attachments = list->GetPathCount();
  ListedAttachmentBytes(&listed);
  const uint64_t total = listed + inlineBytes + fileSize;
  const bool perImage = inlineBytes + fileSize <= kMaxImageBytes && count < kMaxInlineImages - 1;
  const bool overall = total <= SizeLimitBytes() && attachments + count + 1 < kMaxAttachments;
  if (m_imageCheckState == kNotAsked && (!perImage || !overall)) {
    m_imageCheckState = ShowConfirmBoxRes(m_hWnd, kImageQuestion, false) ? kAllowed : kRefused;
  }
  if (m_imageCheckState == kAllowed) {
    if (total <= SizeLimitBytes() && attachments + count < kMaxAttachments - 1) return true;
    ShowWarningBoxRes(m_hWnd, ImageSizeMessage());
    return false;
  }
  if (!perImage) {
    ShowWarningBoxRes(m_hWnd, kImageRefused);
    return false;
  }
  if (!overall) {
    ShowWarningBoxRes(m_hWnd, ImageSizeMessage());
    return false;
  }
  return true;
}

void QvDecoEditMessagePage::SetBodyText(int) {
  if (!m_record || !m_html || !m_html->m_hWnd) return;
  if (m_record->htmlText.IsEmpty()) {
    m_html->SetWindowText(m_record->body);
  } else {
    m_html->SetWindowText(L"");
    m_html->SendMessage(HEM_SETFILELISTS, reinterpret_cast<WPARAM>(&m_record->inlineFiles),
                        reinterpret_cast<LPARAM>(&m_record->extraFiles));
    m_loadingHtml = 1;
    m_html->SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(m_record->htmlText.GetString()), 0);
    m_loadingHtml = 0;
  }
  m_html->SetSel(0, 0);
}

void QvDecoEditMessagePage::ReplaceBodySelection(const CString& text) {
  if (!m_html || !m_html->m_hWnd) return;
  m_html->SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.GetString()));
  Layout(true);
}

void QvDecoEditMessagePage::PasteText() {
  if (m_html && m_html->m_hWnd && ::GetFocus() == m_html->m_hWnd) {
    m_html->SendMessage(WM_PASTE);
    return;
  }
  QvEditMessagePage::PasteText();
}

void QvDecoEditMessagePage::InsertSignature() {
  if (!m_html || !m_html->m_hWnd) return;
  const CString text = CString(L"\r\n") + GetSignatureText();
  m_html->SendMessage(HEM_APPENDTEXT, 0, reinterpret_cast<LPARAM>(text.GetString()));
  Layout(true);
}

bool QvDecoEditMessagePage::AllowPictographs(int) { return true; }

// --- decorations ------------------------------------------------------------------------------

void QvDecoEditMessagePage::SetCharFormat(DWORD mask, int size, COLORREF color, DWORD attributes) {
  if (!m_html || !m_html->m_hWnd) return;
  QvCharFormat format;
  format.SetFontSize(std::clamp(size, 1, 7));
  format.SetColorRef(color);
  format.SetAttribute(attributes);
  m_html->SendMessage(HEM_SETCHARFORMAT, mask, reinterpret_cast<LPARAM>(&format));
}

void QvDecoEditMessagePage::DecorationChanged(bool relayout) {
  // The tool page refreshes the bar and the palette from the state.
  if (CWnd* toolPage = GetParent()) toolPage->SendMessage(kDecorationChangedMessage);
  if (relayout) Layout(true);
}

void QvDecoEditMessagePage::OnAttributeCommand(UINT id) {
  const DWORD mask = id == kBold ? QVCF_BOLD
                     : id == kItalic ? QVCF_ITALIC
                     : id == kUnderline ? QVCF_UNDERLINE
                     : id == kStrikeOut ? QVCF_STRIKEOUT
                                        : QVCF_BLINK;
  // The attribute toggles against what the caret stands in.
  DWORD current = 0;
  if (m_decoState) {
    if (mask == QVCF_BOLD && m_decoState->weight >= 700) current = mask;
    if (mask == QVCF_ITALIC && m_decoState->flag1) current = mask;
    if (mask == QVCF_UNDERLINE && m_decoState->flag2) current = mask;
    if (mask == QVCF_STRIKEOUT && m_decoState->flag3) current = mask;
    if (mask == QVCF_BLINK && m_decoState->display) current = mask;
  }
  SetCharFormat(mask, m_decoState ? m_decoState->sizeStep : 3, m_decoState ? m_decoState->textColor : 0,
                current ? 0 : mask);
  if (m_decoState) {
    const int on = current ? 0 : 1;
    if (mask == QVCF_BOLD) m_decoState->weight = on ? 700 : 400;
    if (mask == QVCF_ITALIC) m_decoState->flag1 = static_cast<BYTE>(on);
    if (mask == QVCF_UNDERLINE) m_decoState->flag2 = static_cast<BYTE>(on);
    if (mask == QVCF_STRIKEOUT) m_decoState->flag3 = static_cast<BYTE>(on);
    if (mask == QVCF_BLINK) m_decoState->display = on;
  }
  DecorationChanged(false);
}

void QvDecoEditMessagePage::OnFontSize(UINT id) {
  const int size = id == kSizeLarge ? 7 : id == kSizeMiddle ? 3 : 1;
  SetCharFormat(QVCF_SIZE, size, 0, 0);
  if (m_decoState) m_decoState->sizeStep = size;
  DecorationChanged(true);
}

void QvDecoEditMessagePage::OnFontSizePad() {
  // The sizes as a popup at the caret; the choice comes back as 40160 to 40162.
  RECT caret{};
  if (!GetCaretRect(&caret)) GetClientRect(&caret);
  POINT at{caret.left, caret.bottom};
  ClientToScreen(&at);
  TrackPopupMenuRes(this, kSizePopup, at, 0);
}

void QvDecoEditMessagePage::OnTextColor() {
  if (!m_html || !m_html->m_hWnd) return;
  QvColorPadDlg pad(this);
  pad.SetColor(m_decoState ? m_decoState->textColor : 0x000000);
  pad.DoModal();
  if (!pad.IsPicked()) return;
  m_html->SendMessage(HEM_SETCOLOR, pad.GetColor());
  if (m_decoState) m_decoState->textColor = pad.GetColor();
  DecorationChanged(true);
}

void QvDecoEditMessagePage::OnParagraph(UINT id) {
  if (!m_html || !m_html->m_hWnd) return;
  const bool on = id == kParagraph4On || id == kParagraph5On;
  const int kind = id == kParagraph4On || id == kParagraph4Off ? 4 : 5;
  m_html->SendMessage(on ? HEM_PARAGRAPHON : HEM_PARAGRAPHOFF, kind);
  DecorationChanged(false);
}

void QvDecoEditMessagePage::OnAlignment(UINT id) {
  if (!m_html || !m_html->m_hWnd) return;
  const int alignment = id == kAlignLeft ? 1 : id == kAlignCentre ? 2 : 3;
  m_html->SendMessage(HEM_PARAGRAPHON, static_cast<WPARAM>(-1), alignment);
  if (m_decoState) m_decoState->alignment = alignment;
  DecorationChanged(false);
}

void QvDecoEditMessagePage::OnInsertRule() {
  if (m_html && m_html->m_hWnd) m_html->SendMessage(HEM_INSERTRULE);
  Layout(true);
}

void QvDecoEditMessagePage::OnInsertImage() {
  std::wstring path;
  if (!BrowseOpenFile(m_hWnd, L"画像ファイル選択", L"\\My Documents\\マイ ピクチャ",
                      L"画像ファイル (*.jpg,*.gif)|*.jpg;*.gif||", &path)) {
    return;
  }
  // The editor asks back through its image check before it takes the picture.
  if (m_html && m_html->m_hWnd) m_html->SendMessage(HEM_INSERTIMAGE, 0, reinterpret_cast<LPARAM>(path.c_str()));
  Layout(true);
}

void QvDecoEditMessagePage::OnDefaultFormat() {
  SetCharFormat(kDefaultFormatMask, 3, 0x000000, 0);
  if (m_decoState) m_decoState->InitFormat();
  DecorationChanged(true);
}

void QvDecoEditMessagePage::OnClearAllFormats() {
  if (!m_html || !m_html->m_hWnd || !ShowConfirmBoxRes(m_hWnd, kClearAllQuestion, false)) return;
  const LRESULT length = m_html->SendMessage(HEM_GETTEXTLENGTH);
  m_html->SetSel(0, static_cast<long>(length));
  SetCharFormat(kDefaultFormatMask, 3, 0x000000, 0);
  m_html->SendMessage(HEM_PARAGRAPHON, static_cast<WPARAM>(-1), 1);
  for (int kind : {4, 5}) m_html->SendMessage(HEM_PARAGRAPHOFF, kind);
  m_html->SendMessage(HEM_SETBKCOLOR, 0xFFFFFF);
  m_html->SetSel(0, 0);
  if (m_decoState) m_decoState->Init();
  DecorationChanged(true);
}

void QvDecoEditMessagePage::OnPreview() {
  if (!m_record) return;
  m_record->htmlText = HtmlText();
  CollectInlineFiles(m_record->htmlText);
  QvHtmlPreviewDlg preview(this);
  preview.SetRecord(m_record);
  preview.SetMode(QvHtmlPreviewDlg::kMessagePreview);
  preview.DoModal();
  // Back to the body: the decoration commands are on only while it has the focus.
  if (m_html && m_html->m_hWnd) m_html->SetFocus();
}

void QvDecoEditMessagePage::OnApplyTemplate() {
  if (!m_record) return;
  if (BodyLength() > 0 && !ShowConfirmBoxRes(m_hWnd, kTemplateQuestion, false)) return;
  QvTemplateFileBrowser browser;
  std::wstring path;
  if (browser.Run(m_hWnd, L"\\My Documents\\テンプレート", &path, QvTemplateFileBrowser::kChoose) != 1) return;
  ApplyTemplate(browser.Record());
}

void QvDecoEditMessagePage::ApplyTemplate(const QvMessageRecord& chosen) {
  if (!m_record) return;
  m_record->attachmentPaths.RemoveAll();
  for (INT_PTR i = 0; i < chosen.attachmentPaths.GetSize(); ++i) m_record->attachmentPaths.Add(chosen.attachmentPaths[i]);
  RefreshAttachments();
  m_record->body.Empty();
  m_record->htmlText = chosen.htmlText;
  m_record->inlineFiles = chosen.inlineFiles;
  SetBodyText(1);
  Layout(false);
}

void QvDecoEditMessagePage::OnSaveTemplate() {
  if (!CheckBeforeSend(0, nullptr)) return;
  SaveAsHtmlTemplate();
}

void QvDecoEditMessagePage::OnShowDecorationBar() {
  if (CWnd* toolPage = GetParent()) toolPage->SendMessage(kOpenPaletteMessage);
}

void QvDecoEditMessagePage::OnFieldFocus(UINT id) {
  // The range holds the body too: it reports its own way.
  if (id == static_cast<UINT>(kBodyId)) {
    OnBodyFocus();
    return;
  }
  if (m_html && m_html->m_hWnd) m_html->SendMessage(HEM_LEAVEDECORATION);
  if (CWnd* toolPage = GetParent()) toolPage->SendMessage(kBodyLostFocusMessage);
}

void QvDecoEditMessagePage::OnBodyFocus() {
  if (CWnd* toolPage = GetParent()) toolPage->SendMessage(kBodyGotFocusMessage);
}

void QvDecoEditMessagePage::OnUpdateDecoration(CCmdUI* ui) {
  if (ui->m_nID == kShowBar) {
    ui->Enable(m_html && m_html->m_hWnd && ::GetFocus() == m_html->m_hWnd);
    return;
  }
  for (const CommandBit& c : kCommandBits) {
    if (c.command != ui->m_nID) continue;
    const DWORD word = m_decoState ? m_decoState->markerColor : 0xFFFFFFFF;
    ui->Enable((word >> c.bit) & 1u);
    return;
  }
  ui->Enable(TRUE);
}

// --- the editor's reports ----------------------------------------------------------------------

BOOL QvDecoEditMessagePage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header && header->idFrom == static_cast<UINT_PTR>(kBodyId)) {
    if (header->code == HEN_IMAGEINSERTING && m_record) {
      // The base names the picture and lists it; a part it adds is counted
      // once, by the check that follows, and goes again when refused.
      const size_t before = m_record->inlineFiles.GetCount();
      const BOOL handled = QvEditMessagePage::OnNotify(wParam, lParam, result);
      m_freshPart = m_record->inlineFiles.GetCount() > before ? static_cast<int>(before) : -1;
      return handled;
    }
    if (header->code == HEN_IMAGECHECK) {
      const auto* note = reinterpret_cast<const NMHTMLEDIT*>(lParam);
      const bool taken = CheckImageInsert(note->fileSize, m_freshPart);
      if (!taken && m_record && m_freshPart >= 0) m_record->inlineFiles.RemoveAt(static_cast<size_t>(m_freshPart));
      m_freshPart = -1;
      *result = taken ? 0 : 1;
      return TRUE;
    }
    if (header->code == HEN_FORMAT) {
      ReportFormat(header);
      *result = 0;
      return TRUE;
    }
  }
  return QvEditMessagePage::OnNotify(wParam, lParam, result);
}

void QvDecoEditMessagePage::ReportFormat(const NMHDR* header) {
  if (!m_decoState) return;
  const auto* note = reinterpret_cast<const NMHTMLEDIT*>(header);
  const DWORD attributes = note->format.GetAttribute();
  m_decoState->textColor = static_cast<COLORREF>(note->format.GetColorRef());
  m_decoState->sizeStep = note->format.GetFontSize();
  m_decoState->weight = attributes & QVCF_BOLD ? 700 : 400;
  m_decoState->flag1 = attributes & QVCF_ITALIC ? 1 : 0;
  m_decoState->flag2 = attributes & QVCF_UNDERLINE ? 1 : 0;
  m_decoState->flag3 = attributes & QVCF_STRIKEOUT ? 1 : 0;
  m_decoState->display = attributes & QVCF_BLINK ? 1 : 0;
  if (note->paragraph >= 1 && note->paragraph <= 3) m_decoState->alignment = note->paragraph;
  if (note->paragraph == 4) m_decoState->extra1 = 1;
  if (note->paragraph == 5) m_decoState->extra2 = 1;
  if (CWnd* toolPage = GetParent()) toolPage->SendMessage(kDecorationChangedMessage);
}
