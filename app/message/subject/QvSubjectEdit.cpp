#include "app/message/subject/QvSubjectEdit.h"

#include <algorithm>

#include "app/foundation/PictureChars.h"
#include "app/foundation/PictureText.h"
#include "app/foundation/UiRegistry.h"
#include "app/protocol/WindowMessages.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {
bool NotDrawn(wchar_t c) { return c == L'\t' || c == L'\n' || c == L'\r'; }
}  // namespace

void QvSubjectEdit::Selector::Begin() {
  QvAreaSelector::Begin();
  if (owner_.IsReadOnly()) owner_.HideCaret();
}

void QvSubjectEdit::Selector::End() {
  const bool was = IsActive();
  QvAreaSelector::End();
  if (!was) return;
  if (owner_.IsReadOnly()) owner_.ShowCaret();
  owner_.lastStart_ = owner_.lastEnd_ = -1;
  owner_.SyncHighlight();
}

// As every growing field: Enter outside the mode opens the edit menu, whose
// choice starts it.
void QvSubjectEdit::Selector::Step() {
  if (IsActive()) {
    QvAreaSelector::Step();
    return;
  }
  const RECT caret = GetEditCaretRect(owner_.m_hWnd);
  PostContextMenuMessage(owner_.m_hWnd, {caret.left, caret.bottom}, false);
}

QvSubjectEdit::QvSubjectEdit() : selector_(m_hWnd, *this) { UseSelector(&selector_); }

void QvSubjectEdit::HeightNotice() {
  RECT client{};
  GetClientRect(&client);
  if (NeededHeight() != client.bottom) NotifyParentResize();
}

void QvSubjectEdit::SyncHighlight() {
  int start = 0, end = 0;
  GetSel(start, end);
  if (start > end) std::swap(start, end);
  if (start == lastStart_ && end == lastEnd_ && !(start == end && highlight_)) return;
  lastStart_ = start;
  lastEnd_ = end;
  highlight_ = start != end ? 1 : 0;
  // The old and the new range both change look: the field is short, so all of it.
  redrawPending_ = true;
  Invalidate(FALSE);
}

bool QvSubjectEdit::OnSubjectKey(UINT key, LPARAM flags, LRESULT* result) {
  *result = 0;
  if (!::GetParent(m_hWnd)) return true;
  if (!IsReadOnly() || selector_.IsActive()) {
    *result = QvFlexibleEdit::WindowProc(WM_KEYDOWN, key, flags);
    if (key >= VK_END && key <= VK_DOWN) SyncHighlight();
    return true;
  }
  const bool modifier = GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      if (!modifier) ::PostMessageW(::GetParent(m_hWnd), kStepMessageRequest, key == VK_LEFT ? 1 : 0, 0);
      return true;
    case VK_UP:
      if (prev_) MoveFocusTo(prev_, 1);
      return true;
    case VK_DOWN:
      if (next_) MoveFocusTo(next_, 2);
      return true;
    default:
      return false;
  }
}

// Ordinary text in the window colours, the selection in the highlight
// colours while focused, pictographs from the sets at the font height.
void QvSubjectEdit::PaintWhole(HDC dc) {
  RECT client{};
  GetClientRect(&client);
  const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  fontHeight_ = tm.tmHeight;
  HBRUSH back = GetSysColorBrush(COLOR_WINDOW);
  FillRect(dc, &client, back);
  CString text;
  GetWindowText(text);
  int selStart = 0, selEnd = 0;
  GetSel(selStart, selEnd);
  if (selStart > selEnd) std::swap(selStart, selEnd);
  if (::GetFocus() != m_hWnd) selStart = selEnd = 0;
  SetBkMode(dc, OPAQUE);
  const int lines = GetLineCount();
  for (int line = GetFirstVisibleLine(); line < lines; ++line) {
    const int from = LineIndex(line);
    if (from < 0 || from > text.GetLength()) break;
    const int to = line + 1 < lines ? LineIndex(line + 1) : text.GetLength();
    const CPoint origin = PosFromChar(static_cast<UINT>(from));
    if (origin.y >= client.bottom) break;
    int i = from;
    while (i < to) {
      if (NotDrawn(text[i])) {
        ++i;
        continue;
      }
      const bool selected = i >= selStart && i < selEnd;
      int j = i + 1;
      while (j < to && !NotDrawn(text[j]) && (j >= selStart && j < selEnd) == selected && !IsPictograph(text[j]) &&
             !IsPictograph(text[j - 1])) {
        ++j;
      }
      SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
      const CPoint at = PosFromChar(static_cast<UINT>(i));
      DrawPictureText(dc, at.x, at.y, text.GetString() + i, j - i, fontHeight_);
      i = j;
    }
  }
}

void QvSubjectEdit::RepaintPictographCells() {
  CString text;
  GetWindowText(text);
  const int height = fontHeight_ > 0 ? fontHeight_ : kLineHeight;
  bool any = false;
  for (int i = 0; i < text.GetLength(); ++i) {
    if (!IsPictograph(text[i])) continue;
    const CPoint at = PosFromChar(static_cast<UINT>(i));
    const RECT cell{at.x, at.y, at.x + height, at.y + height};
    InvalidateRect(&cell, FALSE);
    any = true;
  }
  if (!any) return;
  redrawPending_ = true;
  UpdateWindow();
}

void QvSubjectEdit::Paint() {
  if (!firstPaintDone_) {
    Default();
    firstPaintDone_ = true;
    Invalidate(FALSE);
    return;
  }
  if (PaintsWhole()) {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    PaintWhole(dc);
    ::EndPaint(m_hWnd, &ps);
    redrawPending_ = false;
    return;
  }
  Default();
  if (fontHeight_ == 0) {
    const qv::ScopedGetDC dc(m_hWnd);
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    fontHeight_ = tm.tmHeight;
  }
  RepaintPictographCells();
}

LRESULT QvSubjectEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const LRESULT r = QvFlexibleEdit::WindowProc(message, wParam, lParam);
      if (!IsReadOnly()) SetPictureCharCursor(message == WM_SETFOCUS ? 1 : 0);
      return r;
    }
    case WM_KEYDOWN: {
      LRESULT r = 0;
      if (OnSubjectKey(static_cast<UINT>(wParam), lParam, &r)) return r;
      break;
    }
    case WM_MOUSEMOVE: {
      const LRESULT r = QvFlexibleEdit::WindowProc(message, wParam, lParam);
      SyncHighlight();
      return r;
    }
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETTEXT:
    case WM_CHAR:
    case WM_CUT:
    case WM_PASTE: {
      const LRESULT r = QvFlexibleEdit::WindowProc(message, wParam, lParam);
      HeightNotice();
      return r;
    }
    case WM_IME_STARTCOMPOSITION:
      composing_ = true;
      break;
    case WM_IME_ENDCOMPOSITION:
      composing_ = false;
      break;
    case WM_IME_COMPOSITION: {
      compositionW_ = wParam;
      compositionL_ = lParam;
      const LRESULT r = QvFlexibleEdit::WindowProc(message, wParam, lParam);
      RepaintPictographCells();
      return r;
    }
    case WM_UNDO:
    case EM_UNDO:
      Invalidate(FALSE);
      break;
    default:
      break;
  }
  return QvFlexibleEdit::WindowProc(message, wParam, lParam);
}

BOOL QvSubjectEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) {
    switch (HIWORD(wParam)) {
      case EN_SETFOCUS:
        if (IsReadOnly() && !selector_.IsActive()) HideCaret();
        break;
      case EN_KILLFOCUS: {
        const BOOL taken = QvFlexibleEdit::OnChildNotify(message, wParam, lParam, result);
        redrawPending_ = true;
        Invalidate(FALSE);
        return taken;
      }
      case EN_CHANGE:
        SetRedraw(TRUE);
        break;
      default:
        break;
    }
  }
  return QvFlexibleEdit::OnChildNotify(message, wParam, lParam, result);
}

int QvTegakiSubjectEdit::TegakiNeededHeight() const { return FirstCharsHeight(); }

void QvTegakiSubjectEdit::HeightNotice() {
  RECT client{};
  GetClientRect(&client);
  if (TegakiNeededHeight() != client.bottom) NotifyParentResize();
}

BOOL QvTegakiSubjectEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wParam) == EN_UPDATE) HeightNotice();
  return QvSubjectEdit::OnChildNotify(message, wParam, lParam, result);
}
