#include "app/message/richedit/QvMailRichEditCtrl.h"

#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvFlexibleEdit.h"
#include "app/foundation/UiRegistry.h"
#include "app/protocol/WindowMessages.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/kernel/Library.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {
bool IsRepeat(LPARAM flags) { return (flags & (1 << 30)) != 0; }
bool ShiftDown() { return GetKeyState(VK_SHIFT) < 0; }
}  // namespace

QvMailRichEditCtrl::QvMailRichEditCtrl() : selector_(m_hWnd, *this) {}

QvMailRichEditCtrl::~QvMailRichEditCtrl() = default;

BOOL QvMailRichEditCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!LoadLibraryW(RICHEDIT_LIBRARY)) return FALSE;
  if (!CWnd::Create(L"RICHEDIT50W", L"", style, rect, parent, id)) return FALSE;
  SendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_UPDATE);
  return TRUE;
}

BOOL QvMailRichEditCtrl::SubclassWindow(HWND hwnd) {
  if (!CWnd::SubclassWindow(hwnd)) return FALSE;
  SendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_UPDATE);
  return TRUE;
}

bool QvMailRichEditCtrl::IsReadOnly() const { return m_hWnd && (GetStyle() & ES_READONLY) != 0; }

const CString& QvMailRichEditCtrl::GetBodyText() {
  if (!cacheValid_) {
    GetWindowText(cache_);
    cache_.Replace(L"\r\n", L"\n");
    cacheValid_ = true;
  }
  return cache_;
}

void QvMailRichEditCtrl::GetSelectedText(CString& out) {
  long start = 0, end = 0;
  GetSel(start, end);
  const CString& text = GetBodyText();
  start = std::max(0L, std::min<long>(start, text.GetLength()));
  end = std::max(start, std::min<long>(end, text.GetLength()));
  out = text.Mid(static_cast<int>(start), static_cast<int>(end - start));
  out.Replace(L"\n", L"\r\n");
}

void QvMailRichEditCtrl::GetNeededHeight(RECT& rect) {
  GetClientRect(&rect);
  const int length = GetBodyLength();
  const LRESULT at = SendMessage(EM_POSFROMCHAR, static_cast<WPARAM>(length > 0 ? length - 1 : 0));
  TEXTMETRICW tm{};
  {
    const qv::ScopedGetDC dc(m_hWnd);
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    GetTextMetricsW(dc, &tm);
  }
  rect.bottom = static_cast<SHORT>(HIWORD(at)) + tm.tmHeight + 8;
}

void QvMailRichEditCtrl::GetCaretRect(RECT& rect) {
  rect = GetEditCaretRect(m_hWnd);
  ClientToScreen(&rect);
}

void QvMailRichEditCtrl::GetFormatRectInParent(RECT& rect) {
  SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
  ::MapWindowPoints(m_hWnd, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rect), 2);
}

void QvMailRichEditCtrl::GetVisibleRange(long& first, long& last, const RECT& rect) {
  RECT format{};
  SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  IntersectRect(&format, &format, &rect);
  POINTL topLeft{format.left, format.top};
  POINTL bottomRight{format.right - 1, format.bottom - 1};
  first = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&topLeft)));
  last = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&bottomRight)));
  if (first > 0) --first;  // the character at the corner may start mid-way
}

void QvMailRichEditCtrl::CaretToFirstVisibleLine() {
  const long at = static_cast<long>(SendMessage(EM_LINEINDEX, SendMessage(EM_GETFIRSTVISIBLELINE)));
  SetSel(at, at);
}

void QvMailRichEditCtrl::CaretToEnd() {
  const long end = GetBodyLength();
  SetSel(end, end);
}

void QvMailRichEditCtrl::RefreshFont() {
  long start = 0, end = 0;
  GetSel(start, end);
  bodyFont_.CreateUIFont(false, false);
  linkFont_.CreateLinkFont(false, false);
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.GetSafeHandle()), TRUE);
  SetSel(start, end);
}

void QvMailRichEditCtrl::LeaveDown() {
  HWND page = ::GetParent(m_hWnd);
  HWND tool = page ? ::GetParent(page) : nullptr;
  if (tool) ::SendMessageW(tool, kLeaveBodyDownMessage, 0, reinterpret_cast<LPARAM>(m_hWnd));
}

int QvMailRichEditCtrl::LineOfCaret() const {
  long start = 0, end = 0;
  GetSel(start, end);
  return static_cast<int>(SendMessage(EM_EXLINEFROMCHAR, 0, end));
}

void QvMailRichEditCtrl::EndHold() {
  if (holdTimer_) KillTimer(kBackHoldTimer);
  backOut_ = backHeld_ = holdTimer_ = false;
}

// The held Back key empties the body as one undoable edit: a slip of the
// thumb must never lose a mail being written.
void QvMailRichEditCtrl::ClearUndoably() {
  SetSel(0, -1);
  SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
}

bool QvMailRichEditCtrl::OnBodyKey(UINT key, LPARAM flags) {
  const bool writable = !IsReadOnly();
  if (key != VK_BACK && writable && (backHeld_ || holdTimer_)) EndHold();
  const int line = LineOfCaret();
  if (key == VK_UP && line == 0 && !ShiftDown() && !selector_.IsAnchored() && prev_) {
    ::SetFocus(prev_);
    return true;
  }
  if (key == VK_DOWN && !ShiftDown() && !selector_.IsActive() &&
      static_cast<int>(SendMessage(EM_GETLINECOUNT)) == line + 1) {
    LeaveDown();
    return true;
  }
  if (key == VK_BACK && writable && !backHeld_) {
    backOut_ = !IsRepeat(flags) && GetWindowTextLength() == 0;
    backHeld_ = true;
  }
  return selector_.FilterKey(key);
}

BOOL QvMailRichEditCtrl::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd == m_hWnd && msg->message == WM_KEYDOWN && msg->wParam == VK_BACK && !IsReadOnly()) {
    if (backHeld_ && holdTimer_) return TRUE;  // one deletion, then the hold decides
    if (!holdTimer_) {
      SetTimer(kBackHoldTimer, kBackHoldMilliseconds);
      holdTimer_ = true;
    }
  }
  return QvRichEditCtrl::PreTranslateMessage(msg);
}

LRESULT QvMailRichEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (OnBodyKey(static_cast<UINT>(wParam), lParam)) return 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_BACK) {
        if (backOut_) ::PostMessageW(::GetParent(m_hWnd), kBackMessage, 0, 0);
        EndHold();
      }
      break;
    case WM_CHAR:
      if (selector_.FilterChar(static_cast<UINT>(wParam))) return 0;
      TextChanged();
      break;
    case WM_TIMER:
      if (wParam != kBackHoldTimer) break;
      // Only a key held down all along clears; the desktop's repeats are
      // whole presses that end the hold as they come up.
      if (backHeld_ && GetKeyState(VK_BACK) < 0 && !IsReadOnly()) ClearUndoably();
      EndHold();
      return 0;
    case WM_LBUTTONDOWN:
      if (selector_.IsAnchored()) {
        selector_.FilterTap();
        OnAreaTap();
        return 0;
      }
      if (IsTapAndHold(m_hWnd, lParam)) {
        PostContextMenuMessage(m_hWnd, {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}, true);
        return 0;
      }
      break;
    case WM_GETDLGCODE: {
      const LRESULT code = QvRichEditCtrl::WindowProc(message, wParam, lParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
      return selector_.IsActive() ? code | DLGC_WANTARROWS : code;
    }
    case WM_SETTEXT:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case EM_REDO:
    case EM_REPLACESEL:
    case EM_PASTESPECIAL:
      TextChanged();
      break;
    default:
      break;
  }
  return QvRichEditCtrl::WindowProc(message, wParam, lParam);
}

BOOL QvMailRichEditCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) {
    switch (HIWORD(wParam)) {
      case EN_SETFOCUS:
        if (!IsReadOnly()) SetPictureCharCursor(1);
        break;
      case EN_KILLFOCUS:
        selector_.End();
        if (!IsReadOnly()) SetPictureCharCursor(0);
        break;
      case EN_CHANGE:
        TextChanged();
        break;
      default:
        break;
    }
  }
  return QvRichEditCtrl::OnChildNotify(message, wParam, lParam, result);
}
