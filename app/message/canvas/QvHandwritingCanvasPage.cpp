#include "app/message/canvas/QvHandwritingCanvasPage.h"

#include <cwchar>
#include <vector>

#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/message/canvas/CStateDisplayTegakiBar.h"
#include "app/message/deco/QvSetImageRotationDlg.h"
#include "app/message/deco/QvTegakiColorPadDlg.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CWaitCursor.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Memory.h"
#include "platform/kernel/Time.h"

const wchar_t QvHandwritingCanvasPage::kPictureFolder[] = L"\\Application Data\\Volatile\\";
const wchar_t QvHandwritingCanvasPage::kNotice[] = L"このメッセージには「手書きメール」が添付されています。";

namespace {

constexpr size_t kRotationMemory = 0x300000;  // 3 MB of free memory before a turned load
constexpr int kMaxTo = 64;

}  // namespace

QvHandwritingCanvasPage::QvHandwritingCanvasPage(QvMessageRecord* record) : QvBasePictureCanvasPage(record) {}

QvHandwritingCanvasPage::~QvHandwritingCanvasPage() = default;

void QvHandwritingCanvasPage::SetTools(CStateDisplayTegakiBar* bar, QvTegakiPenState* state) {
  m_bar = bar;
  m_pen = state;
}

BOOL QvHandwritingCanvasPage::OnInitDialog() {
  QvBasePictureCanvasPage::OnInitDialog();
  for (CWnd* w : {static_cast<CWnd*>(&m_secondLabel), static_cast<CWnd*>(&m_second)}) {
    w->ShowWindow(SW_HIDE);
    w->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (m_record != nullptr) {
    if (m_record->body.IsEmpty() && m_record->isBlank != 0) {
      CString body = kNotice;
      if (IsSignatureEnabled()) body += L"\r\n" + m_record->body;
      m_record->body = body;
      m_record->isBlank = 0;
    }
    // No recipient is ever taken from a debugging value: a new mail starts
    // with the To list it was given and nothing else.
    if (m_record->isPictureMail != 0 && m_record->pictureFromAttachment != 0 && m_record->pictureFiles.IsEmpty()) {
      AdoptAttachment();
    }
    if (m_record->isPictureMail != 0) ShowRecordPicture();
    m_record->isPictureMail = 1;
    m_record->hasDrawing = 0;
  }
  SetTitle(kTitle);
  m_to.SetNextWindow(m_subject.m_hWnd);
  m_to.SetPrevWindow(m_toButton.m_hWnd);
  m_subject.SetNextWindow(m_canvas.m_hWnd);
  m_subject.SetPrevWindow(m_to.m_hWnd);
  if (m_pen != nullptr) {
    m_canvas.SetWidth(m_pen->width);
    m_canvas.SetColor(m_pen->color);
  }
  Fill();
  return TRUE;
}

void QvHandwritingCanvasPage::Fill() {
  if (m_record == nullptr || m_to.m_hWnd == nullptr) return;
  m_to.ClearAll();
  m_to.SetAddresses(m_record->toList);
  m_subject.SetWindowText(m_record->subject);
}

BOOL QvHandwritingCanvasPage::OnPageActivate() {
  CreateCommandBar(kMenu);
  SetTitle(kTitle);
  Fill();
  return TRUE;
}

BOOL QvHandwritingCanvasPage::StorePage(int, QvToolPage*) {
  if (m_record == nullptr) return TRUE;
  BOOL ok = TRUE;
  if (m_to.m_hWnd != nullptr) {
    ok = m_validateTo == 0 || ValidateTo();
    if (ok) {
      m_to.GetAddresses(m_record->toList);
      m_subject.GetWindowText(m_record->subject);
    }
  }
  m_record->hasDrawing = m_canvas.IsModified() ? 1 : 0;
  return ok;
}

BOOL QvHandwritingCanvasPage::CheckBeforeSend(int, QvToolPage*) { return ValidateTo() ? TRUE : FALSE; }

BOOL QvHandwritingCanvasPage::PrepareSend(int check, QvToolPage*) {
  if (m_hWnd == nullptr) return TRUE;
  if (check != 0 && !ValidateTo()) return FALSE;
  return CommitPicture();
}

void QvHandwritingCanvasPage::DropPicture() {
  if (m_record != nullptr && m_record->isPictureMail != 0 && !m_record->pictureFiles.IsEmpty()) {
    m_record->pictureFiles.RemoveAt(0);
  }
}

void QvHandwritingCanvasPage::AdoptAttachment() {
  if (m_record == nullptr || m_record->isPictureMail == 0 || m_record->attachmentPaths.IsEmpty()) return;
  m_record->pictureFiles.Add(m_record->attachmentPaths[0]);
  m_record->attachmentPaths.RemoveAt(0);
}

void QvHandwritingCanvasPage::FirstLayout() {
  QvBasePictureCanvasPage::FirstLayout();
  if (m_record != nullptr && m_record->pictureFromAttachment != 0) {
    m_record->pictureFromAttachment = 0;
    SetTimer(kRotationTimer, 1, nullptr);
  }
}

void QvHandwritingCanvasPage::FocusBody() {
  if (m_scrollPos > 0) SendMessage(WM_VSCROLL, SB_PAGEUP, 0);
  m_subject.SetFocus();
}

void QvHandwritingCanvasPage::FocusFirstField(int, int) {
  if (m_to.m_hWnd != nullptr) m_to.SetFocus();
}

bool QvHandwritingCanvasPage::ValidateTo() {
  if (m_to.m_hWnd == nullptr) return true;
  const int result = m_to.CheckAddresses();
  if (result == kAddressWellFormed && m_to.GetAddressCount() <= kMaxTo) return true;
  if (result == kAddressWellFormed || result == QvAddressView::kTooManyAddresses) {
    m_validationText.Format(LoadResString(20112), kMaxTo);
  } else {
    m_validationText = LoadResString(result == kAddressNotEnclosed ? 20155 : 20068);
  }
  m_to.SetFocus();
  PostMessage(kAddressCheckFailedMessage, kToId, 0);
  return false;
}

std::wstring QvHandwritingCanvasPage::PictureFileName(const SYSTEMTIME& t, unsigned sequence) {
  wchar_t name[64];
  if (sequence == 0) {
    std::swprintf(name, 64, L"%04u%02u%02u%02u%02u%02u.jpg", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  } else {
    std::swprintf(name, 64, L"%04u%02u%02u%02u%02u%02u_%u.jpg", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond, sequence);
  }
  return name;
}

std::wstring QvHandwritingCanvasPage::NewPicturePath(const SYSTEMTIME& time) {
  // Two pictures written in the same second must not share a file: the
  // first one may still be listed in another message.
  for (unsigned sequence = 0;; ++sequence) {
    std::wstring path = std::wstring(kPictureFolder) + PictureFileName(time, sequence);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return path;
  }
}

BOOL QvHandwritingCanvasPage::CommitPicture() {
  if (m_record == nullptr) return FALSE;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CreateDirectoryW(L"\\Application Data", nullptr);
  CreateDirectoryW(L"\\Application Data\\Volatile", nullptr);
  const std::wstring path = NewPicturePath(now);
  if (m_record->isPictureMail != 0 && !m_record->pictureFiles.IsEmpty()) m_record->pictureFiles.RemoveAt(0);
  if (m_record->pictureFiles.IsEmpty()) {
    m_record->pictureFiles.Add(path.c_str());
  } else {
    m_record->pictureFiles.InsertAt(0, path.c_str());
  }
  if (!m_canvas.SaveAsJpeg(path.c_str())) return FALSE;
  m_picturePath = path;
  return TRUE;
}

void QvHandwritingCanvasPage::DiscardPicture(int, int) {
  if (m_record != nullptr && m_record->isPictureMail != 0 && !m_picturePath.empty()) DeleteFileW(m_picturePath.c_str());
}

bool QvHandwritingCanvasPage::NothingEntered() {
  if (m_record == nullptr) return true;
  CString subject;
  m_subject.GetWindowText(subject);
  return m_to.GetAddressCount() == 0 && subject.IsEmpty() && m_record->pictureFiles.IsEmpty() &&
         !m_canvas.IsModified() && m_record->ccList.IsEmpty() && m_record->bccList.IsEmpty() &&
         m_record->attachmentPaths.IsEmpty() && (m_record->body.IsEmpty() || m_record->body == kNotice);
}

void QvHandwritingCanvasPage::Redraw() {
  if (m_bar != nullptr) m_bar->Update();
}

void QvHandwritingCanvasPage::OfferRotation(const std::wstring& path) {
  QvSetImageRotationDlg rotation(this);
  if (rotation.DoModal() != IDOK || rotation.GetAngle() == 0.0f) return;
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof(memory);
  GlobalMemoryStatus(&memory);
  if (memory.dwAvailPhys <= kRotationMemory) {
    ShowErrorBoxRes(m_hWnd, 20175);
    return;
  }
  CWaitCursor wait;
  if (!m_canvas.LoadPictureRotated(path.c_str(), rotation.GetAngle())) ShowErrorBoxRes(m_hWnd, 20174);
}

void QvHandwritingCanvasPage::InsertPicture() {
  if (m_canvas.IsModified() && !ShowConfirmBoxRes(m_hWnd, 20169, false)) return;
  std::vector<std::wstring> files;
  if (!SelectImageFile(m_hWnd, &files, 1) || files.empty()) return;
  bool loaded;
  {
    CWaitCursor wait;
    loaded = m_canvas.LoadPicture(files[0].c_str());
  }
  if (!loaded) {
    ShowErrorBoxRes(m_hWnd, 20174);
    return;
  }
  m_canvas.UpdateWindow();
  OfferRotation(files[0]);
}

void QvHandwritingCanvasPage::ChooseAddresses(int kind) {
  CString chosen;
  if (!ChooseAddress(this, &chosen, kind) || chosen.IsEmpty()) return;
  m_to.AddAddress(chosen, true);
  ValidateTo();
}

bool QvHandwritingCanvasPage::OnCommand(UINT id) {
  switch (id) {
    case 40052: InsertPicture(); return true;
    case 40190:
      m_canvas.SelectPen();
      if (m_pen != nullptr) m_pen->tool = 1;
      Redraw();
      return true;
    case 40159:
      m_canvas.SelectEraser();
      if (m_pen != nullptr) m_pen->tool = 2;
      Redraw();
      return true;
    case 40191: {
      QvTegakiColorPadDlg pad(this);
      pad.SetColor(m_pen != nullptr ? m_pen->color : 0);
      if (pad.DoModal() == IDOK) {
        m_canvas.SetColor(pad.GetColor());
        if (m_pen != nullptr) m_pen->color = pad.GetColor();
        Redraw();
      }
      return true;
    }
    case 40192: case 40193: case 40194: {
      const int width = id == 40192 ? 2 : id == 40193 ? 5 : 10;
      m_canvas.SetWidth(width);
      if (m_pen != nullptr) m_pen->width = width;
      Redraw();
      return true;
    }
    case 40179:
      if (ShowConfirmBoxRes(m_hWnd, 20170, false)) m_canvas.Clear();
      return true;
    case 40180: m_canvas.Undo(); return true;
    case 40181: m_canvas.Redo(); return true;
    case 40083: ChooseAddresses(0); return true;
    case 40220: ChooseAddresses(1); return true;
    case 40215: ChooseAddresses(2); return true;
    case 40152: {
      CString chosen;
      if (ChooseAddress(this, &chosen, 0) && !chosen.IsEmpty()) m_to.ReplaceSelection(chosen);
      return true;
    }
    default:
      return false;
  }
}

void QvHandwritingCanvasPage::CustomizePopupMenu(CMenu* popup) {
  if (popup == nullptr) return;
  const int tool = m_pen != nullptr ? m_pen->tool : (m_canvas.GetTool() == TegakiPaintCtrl::kPen ? 1 : 2);
  const int width = m_canvas.GetWidth();
  auto check = [popup](UINT id, bool on) { popup->CheckMenuItem(id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); };
  auto enable = [popup](UINT id, bool on) { popup->EnableMenuItem(id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  check(40190, tool == 1);
  check(40159, tool == 2);
  check(40192, width == 2);
  check(40193, width == 5);
  check(40194, width == 10);
  enable(40180, m_canvas.CanUndo());
  enable(40181, m_canvas.CanRedo());
  const bool room = m_to.m_hWnd != nullptr && m_to.GetAddressCount() < kMaxTo;
  for (UINT id : {40083u, 40220u, 40215u}) enable(id, room);
}

LRESULT QvHandwritingCanvasPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_KILLFOCUS && LOWORD(wParam) == kToId) {
        ValidateTo();
        return 0;
      }
      if (lParam == 0 && OnCommand(LOWORD(wParam))) return 0;
      break;
    case kAddressCheckFailedMessage:
      if (!m_validationText.IsEmpty()) ShowWarningBox(m_hWnd, m_validationText);
      m_to.SetFocus();
      return 0;
    case kAreaSelectMessage:
      // The soft keys follow the selection mode: its start, its end, or the page's own.
      CreateCommandBar(wParam == 1 ? 176 : wParam == 2 ? 177 : kMenu);
      return 0;
    case WM_TIMER:
      if (wParam == kRotationTimer) {
        KillTimer(kRotationTimer);
        if (m_record == nullptr || m_record->pictureFiles.IsEmpty()) {
          ShowErrorBoxRes(m_hWnd, 20174);
        } else {
          OfferRotation(m_record->pictureFiles[0].GetString());
        }
        m_toButton.SetFocus();
        return 0;
      }
      break;
    case kBackMessage:
      if (NothingEntered()) PostToSheet(WM_COMMAND, IDCANCEL);
      return 0;
    default:
      break;
  }
  return QvBasePictureCanvasPage::WindowProc(message, wParam, lParam);
}
