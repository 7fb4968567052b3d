#include "app/foundation/QvFlexibleEdit.h"

#include "app/foundation/QvClipboard.h"
#include "app/foundation/QvComEdit.h"
#include "app/foundation/UiText.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {
bool IsRepeat(LPARAM flags) { return (flags & (1 << 30)) != 0; }
}  // namespace

RECT GetEditCaretRect(HWND edit) {
  POINT caret{};
  GetCaretPos(&caret);
  SIZE cell{};
  {
    const qv::ScopedGetDC dc(edit);
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc, L"A", 1, &cell);
  }
  return {caret.x, caret.y, caret.x + cell.cx, caret.y + cell.cy};
}

void ResizeToContentHeight(HWND control, int height) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PostContextMenuMessage(HWND control, POINT point, bool toParent) {
  ClientToScreen(control, &point);
  PostMessageW(toParent ? GetParent(control) : control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
               MAKELPARAM(point.x, point.y));
}

void QvFlexibleEdit::Selector::Step() {
  if (IsActive()) {
    QvAreaSelector::Step();
    return;
  }
  const RECT caret = GetEditCaretRect(owner_.m_hWnd);
  PostContextMenuMessage(owner_.m_hWnd, {caret.left, caret.bottom}, false);
}

QvFlexibleEdit::QvFlexibleEdit() : selector_(m_hWnd, *this) { UseSelector(&selector_); }

QvFlexibleEdit::~QvFlexibleEdit() = default;

BOOL QvFlexibleEdit::CreateEllipsisMarker() { return marker_.m_hWnd || marker_.Create(this); }

void QvFlexibleEdit::ClearTruncated() {
  truncated_ = false;
  if (marker_.m_hWnd) marker_.ShowWindow(SW_HIDE);
}

void QvFlexibleEdit::TruncateAtLine(int line) {
  const int at = LineIndex(line);
  if (at < 0) return;
  CString text;
  GetWindowText(text);
  // The break that ended the kept lines would show as an empty last line.
  int keep = at;
  if (keep > 0 && text[keep - 1] == L'\n') --keep;
  if (keep > 0 && text[keep - 1] == L'\r') --keep;
  SetWindowText(text.Left(keep));
  truncated_ = true;
  if (CreateEllipsisMarker()) {
    marker_.AdjustToText();
    marker_.ShowWindow(SW_SHOWNA);
  }
}

void QvFlexibleEdit::EnsureCaretVisible() {
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  const CPoint first = PosFromChar(static_cast<UINT>(LineIndex(LineFromChar(-1))));
  POINT p{first.x, first.y};
  ::MapWindowPoints(m_hWnd, parent, &p, 1);
  if (p.y >= 0) return;
  // Above the parent's top: the caret goes to the first character shown there.
  POINT top{p.x, 0};
  ::MapWindowPoints(parent, m_hWnd, &top, 1);
  const int at = LOWORD(CharFromPos(CPoint(top.x, top.y)));
  SetSel(at, at);
}

void QvFlexibleEdit::MoveCaretToEnd() {
  // After the last character: one short would leave it out of an appended word.
  const int end = GetWindowTextLength();
  SetSel(end, end);
  SendMessage(EM_SCROLLCARET);
}

int QvFlexibleEdit::NeededHeight() const {
  LOGFONTW lf{};
  GetObjectW(ControlFont(), sizeof lf, &lf);
  const int lines = GetLineCount() * lf.lfHeight;
  return (lines < 0 ? -lines : lines) + 8;
}

int QvFlexibleEdit::FirstCharsHeight() const {
  CString text;
  GetWindowText(text);
  CString sample = text.Left(10);
  if (text.IsEmpty() || text[text.GetLength() - 1] == L'\n') sample += L"l";
  RECT client{};
  GetClientRect(&client);
  RECT need{0, 0, client.right, 0};
  const qv::ScopedGetDC dc(m_hWnd);
  const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  DrawTextW(dc, sample.GetString(), sample.GetLength(), &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  return need.bottom + 8;
}

void QvFlexibleEdit::NotifyParentResize() {
  HWND parent = ::GetParent(m_hWnd);
  RECT area{};
  ::GetClientRect(parent, &area);
  ::SendMessageW(parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(area.right, area.bottom));
}

void QvFlexibleEdit::MoveFocusTo(HWND target, int direction) {
  const UINT message = selector_.IsActive() ? kMoveFocusSelectingMessage : kMoveFocusMessage;
  if (!::SendMessageW(::GetParent(m_hWnd), message, static_cast<WPARAM>(direction), reinterpret_cast<LPARAM>(target))) {
    ::SetFocus(target);
  }
}

void QvFlexibleEdit::EndHold() {
  KillTimer(kBackHoldTimer);
  holding_ = holdTimer_ = backReleaseCloses_ = false;
}

void QvFlexibleEdit::Paste() {
  CString text;
  if (!QvClipboard(m_hWnd).GetText(text)) return;
  RemovePictureChars(text, true);
  ReplaceSel(text, TRUE);
}

BOOL QvFlexibleEdit::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd == m_hWnd && msg->message == WM_KEYDOWN && msg->wParam == VK_BACK) {
    if (holding_) return TRUE;  // a held key deletes once, then waits for the second to pass
    if (!holdTimer_) {
      SetTimer(kBackHoldTimer, kBackHoldMilliseconds);
      holdTimer_ = true;
    }
  }
  return QvComAreaSelectEdit::PreTranslateMessage(msg);
}

bool QvFlexibleEdit::OnKeyDown(WPARAM key, LPARAM flags) {
  if (key == VK_UP || key == VK_DOWN) {
    const bool edge = key == VK_UP ? LineFromChar(-1) == 0 : LineFromChar(-1) == GetLineCount() - 1;
    if (!edge) return false;
    if (GetKeyState(VK_SHIFT) < 0 || selector_.IsAnchored()) return true;
    HWND target = key == VK_UP ? prev_ : next_;
    if (!target) return false;
    MoveFocusTo(target, key == VK_UP ? 1 : 2);
    return true;
  }
  if (key == VK_BACK) {
    if (IsReadOnly() || holding_) return false;
    if (GetWindowTextLength() == 0 && !IsRepeat(flags)) backReleaseCloses_ = true;
    holding_ = true;
    return false;
  }
  if (holdTimer_) EndHold();
  return false;
}

LRESULT QvFlexibleEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (OnKeyDown(wParam, lParam)) return 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_BACK) {
        if (backReleaseCloses_) ::PostMessageW(::GetParent(m_hWnd), kBackMessage, 0, 0);
        EndHold();
      }
      break;
    case WM_TIMER:
      if (wParam != kBackHoldTimer) break;
      // Only a key held down all along clears: released presses (the
      // desktop's Backspace repeats) end the hold as they come up.
      if (holding_ && GetKeyState(VK_BACK) < 0) SetWindowText(L"");
      EndHold();
      return 0;
    case WM_LBUTTONDOWN: {
      if (IsTapAndHold(m_hWnd, lParam)) {
        tapHold_ = true;
        PostContextMenuMessage(m_hWnd, {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}, true);
        return 0;
      }
      const LRESULT r = QvComAreaSelectEdit::WindowProc(message, wParam, lParam);
      if (clickMenu_) {
        PostContextMenuMessage(m_hWnd, {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}, false);
      }
      return r;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kPasteCommand && lParam == 0) {
        selector_.End();
        SendMessage(WM_PASTE);
        return 0;
      }
      if (lParam == 0 && RunEditCommand(m_hWnd, wParam)) return 0;
      break;
    case WM_PASTE:
      Paste();
      return 0;
    case WM_SIZE: {
      const LRESULT r = QvComAreaSelectEdit::WindowProc(message, wParam, lParam);
      if (marker_.m_hWnd) marker_.AdjustToText();
      return r;
    }
    default:
      break;
  }
  return QvComAreaSelectEdit::WindowProc(message, wParam, lParam);
}

BOOL QvFlexibleEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wParam) == EN_UPDATE && resizeNotice_) {
    RECT client{};
    GetClientRect(&client);
    if (NeededHeight() != client.bottom) NotifyParentResize();
  }
  if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC) {
    if (!background_) background_.reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
    *result = reinterpret_cast<LRESULT>(background_.get());
    return TRUE;
  }
  return QvComAreaSelectEdit::OnChildNotify(message, wParam, lParam, result);
}
