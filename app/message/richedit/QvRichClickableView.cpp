#include "app/message/richedit/QvRichClickableView.h"

#include <algorithm>

#include "app/foundation/PictureChars.h"
#include "app/foundation/PictureText.h"
#include "app/protocol/WindowMessages.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {
bool EndsRun(wchar_t c) { return c == L'\t' || c == L'\n' || c == L'\r'; }
bool ModifierDown() { return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0; }
}  // namespace

BOOL QvRichClickableView::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!QvMailRichEditCtrl::Create(style, rect, parent, id)) return FALSE;
  CDC* dc = GetDC();
  bodyFont_.CreateUIPointFont(dc, false, false);
  ReleaseDC(dc);
  halfFont_.CreateUIFont(true, false);
  linkFont_.CreateLinkFont(false, false);
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.GetSafeHandle()), FALSE);
  SendMessage(EM_SETBKGNDCOLOR, 0, kBackColor);
  return TRUE;
}

POINT QvRichClickableView::PosOf(long index) const {
  POINTL p{};
  SendMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), index);
  return {p.x, p.y};
}

int QvRichClickableView::LineHeight() {
  const qv::ScopedGetDC dc(m_hWnd);
  const qv::ScopedSelectObject withFont(dc, bodyFont_.GetSafeHandle() ? bodyFont_.GetSafeHandle()
                                                                      : reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  return tm.tmHeight > 0 ? tm.tmHeight : 1;
}

int QvRichClickableView::Visibility(long start, long end) {
  RECT format{};
  SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  POINTL topLeft{format.left, format.top};
  const long first = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&topLeft)));
  if (end < first) return -1;
  POINTL bottomRight{format.right - 1, format.bottom - 1};
  const long corner = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&bottomRight)));
  if (corner >= GetBodyLength() - 1) return 0;
  POINTL lastFull{format.right - 1, format.bottom - 1 - LineHeight()};
  const long last = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&lastFull)));
  return start > last ? 1 : 0;
}

int QvRichClickableView::LinkVisibility(int index) {
  if (index < 0) return -1;
  if (index >= links_.GetCount()) return 1;
  const QvLinkRange& r = links_.GetRange(index);
  return Visibility(r.start, r.start + r.length);
}

void QvRichClickableView::GetSelectedLinkText(CString& out) const {
  if (links_.IsValidIndex(selected_)) out = links_.GetLinkText(selected_);
}

QvLinkAction QvRichClickableView::GetSelectedLinkAction(CString& argument) const {
  if (!links_.IsValidIndex(selected_)) {
    argument.Empty();
    return QvLinkAction::kRefuse;
  }
  return ActionForRange(links_, selected_, argument);
}

int QvRichClickableView::GetLinkAt(POINT point, CString& out) {
  out.Empty();
  POINTL p{point.x, point.y};
  const int at = static_cast<int>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&p)));
  const int index = links_.FindRangeAt(at);
  if (index < 0) return 0;
  out = links_.GetLinkText(index);
  return links_.GetRange(index).kind;
}

void QvRichClickableView::SelectLastLink() {
  if (links_.GetCount() == 0) return;
  const int last = links_.GetCount() - 1;
  SetSel(links_.GetRange(last).start, links_.GetRange(last).start);
  SelectLink(last);
}

void QvRichClickableView::GetSelectedLinkRect(RECT& rect) {
  if (!links_.IsValidIndex(selected_)) {
    GetCaretRect(rect);
    return;
  }
  const QvLinkRange& r = links_.GetRange(selected_);
  const POINT from = PosOf(r.start);
  const POINT to = PosOf(r.start + r.length);
  RECT client{};
  GetClientRect(&client);
  rect = {from.x, from.y, to.y == from.y ? std::max(to.x, from.x + 1) : client.right, from.y + LineHeight()};
  ClientToScreen(&rect);
}

void QvRichClickableView::CaretToFirstVisibleLine() {
  QvMailRichEditCtrl::CaretToFirstVisibleLine();
  SyncLink();
}

bool QvRichClickableView::MoveToLink(bool forward) {
  long start = 0, end = 0;
  GetSel(start, end);
  const int next = links_.IsValidIndex(selected_) ? selected_ + (forward ? 1 : -1)
                                                 : links_.FindNearestRange(static_cast<int>(end));
  if (!links_.IsValidIndex(next) || LinkVisibility(next) != 0) return false;
  const long firstShown =
      static_cast<long>(SendMessage(EM_LINEINDEX, SendMessage(EM_GETFIRSTVISIBLELINE)));
  const long at = std::max<long>(links_.GetRange(next).start, firstShown);
  SetSel(at, at);
  lastStart_ = lastEnd_ = at;
  SelectLink(next);
  return true;
}

void QvRichClickableView::RepaintLink(int index) {
  if (!links_.IsValidIndex(index)) return;
  const QvLinkRange& r = links_.GetRange(index);
  const POINT from = PosOf(r.start);
  const POINT to = PosOf(r.start + r.length);
  RECT client{};
  GetClientRect(&client);
  const RECT area{0, from.y - 1, client.right, to.y + LineHeight() + 1};
  redrawPending_ = true;
  InvalidateRect(&area, FALSE);
}

void QvRichClickableView::SelectLink(int index) {
  if (index == selected_) return;
  RepaintLink(selected_);
  selected_ = index;
  RepaintLink(selected_);
}

void QvRichClickableView::SyncLink() {
  long start = 0, end = 0;
  GetSel(start, end);
  if (start == lastStart_ && end == lastEnd_) return;
  lastStart_ = start;
  lastEnd_ = end;
  if (!IsReadOnly()) return;
  int index = links_.GetCount() ? links_.FindNearestRange(static_cast<int>(end)) : -1;
  if (index >= 0 && LinkVisibility(index) != 0) index = LinkVisibility(index - 1) == 0 && index > 0 ? index - 1 : -1;
  SelectLink(index);
}

void QvRichClickableView::Rescan() {
  if (scannedAt_ == ChangeCount()) return;
  scannedAt_ = ChangeCount();
  links_.Scan(GetBodyText().GetString());
  selected_ = -1;
  lastStart_ = lastEnd_ = -1;
  SyncLink();
}

bool QvRichClickableView::OnBodyKey(UINT key, LPARAM flags) {
  long start = 0, end = 0;
  GetSel(start, end);
  bool taken = false;
  if (IsReadOnly() && start == end && !Selector().IsActive()) {
    switch (key) {
      case VK_LEFT:
      case VK_RIGHT:
        if (ModifierDown()) break;
        ::PostMessageW(::GetParent(m_hWnd), kStepMessageRequest, key == VK_LEFT ? 1 : 0, 0);
        taken = true;
        break;
      case VK_UP:
        if (!MoveToLink(false) && PrevWindow()) ::SetFocus(PrevWindow());
        taken = true;
        break;
      case VK_DOWN:
        if (MoveToLink(true)) {
          taken = true;
          break;
        }
        if (Visibility(GetBodyLength(), GetBodyLength()) == 0) {
          LeaveDown();
        } else {
          ::SendMessageW(::GetParent(m_hWnd), WM_VSCROLL, SB_PAGEDOWN, 0);
          SendMessage(EM_SCROLL, SB_PAGEDOWN);
          QvMailRichEditCtrl::CaretToFirstVisibleLine();
        }
        taken = true;
        break;
      default:
        break;
    }
  }
  if (!taken) taken = QvMailRichEditCtrl::OnBodyKey(key, flags);
  if (IsReadOnly() && !Selector().IsActive()) ::HideCaret(m_hWnd);
  return taken;
}

// Text runs of one look; links and the selection in their own looks, the
// selected link of a focused view framed; pictographs drawn from the sets.
void QvRichClickableView::PaintWhole(HDC dc, const RECT& client, const RECT& update) {
  const CString& text = GetBodyText();
  const long length = text.GetLength();
  const int lineHeight = LineHeight();
  long selStart = 0, selEnd = 0;
  GetSel(selStart, selEnd);
  const bool focused = ::GetFocus() == m_hWnd;
  long first = 0, last = 0;
  GetVisibleRange(first, last, client);
  int line = static_cast<int>(SendMessage(EM_EXLINEFROMCHAR, 0, std::max(0L, first)));
  const int lines = static_cast<int>(SendMessage(EM_GETLINECOUNT));
  SetBkMode(dc, OPAQUE);
  int bottom = client.top;
  const qv::ScopedGdiObject<HBRUSH> backBrush(CreateSolidBrush(kBackColor));
  HBRUSH back = backBrush.get();
  for (; line < lines; ++line) {
    const long lineStart = static_cast<long>(SendMessage(EM_LINEINDEX, line));
    if (lineStart < 0 || lineStart > length) break;
    const long nextStart = line + 1 < lines ? static_cast<long>(SendMessage(EM_LINEINDEX, line + 1)) : length;
    const POINT origin = PosOf(lineStart);
    if (origin.y >= client.bottom) break;
    const RECT row{client.left, origin.y, client.right, origin.y + lineHeight};
    bottom = row.bottom;
    if (row.bottom <= update.top || row.top >= update.bottom) continue;
    FillRect(dc, &row, back);
    long i = lineStart;
    while (i < nextStart && i < length) {
      if (EndsRun(text[static_cast<int>(i)])) {
        ++i;
        continue;
      }
      const bool selectedText = i >= selStart && i < selEnd;
      const int link = links_.FindRangeAt(static_cast<int>(i));
      long j = i + 1;
      while (j < nextStart && j < length && !EndsRun(text[static_cast<int>(j)]) &&
             (j >= selStart && j < selEnd) == selectedText && links_.FindRangeAt(static_cast<int>(j)) == link &&
             !IsPictograph(text[static_cast<int>(j)]) && !IsPictograph(text[static_cast<int>(j - 1)])) {
        ++j;
      }
      HGDIOBJ font = (link >= 0 && !selectedText ? linkFont_ : bodyFont_).GetSafeHandle();
      const qv::ScopedSelectObject withFont(dc, font ? font : reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
      if (selectedText) {
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
      } else if (link >= 0) {
        SetTextColor(dc, kLinkColor);
        SetBkColor(dc, kLinkBackColor);
      } else {
        SetTextColor(dc, kTextColor);
        SetBkColor(dc, kBackColor);
      }
      const POINT at = PosOf(i);
      const int right = DrawPictureText(dc, at.x, at.y, text.GetString() + i, static_cast<int>(j - i), lineHeight);
      if (focused && link >= 0 && link == selected_ && !selectedText) {
        const QvLinkRange& r = links_.GetRange(link);
        const qv::ScopedGdiObject<HBRUSH> inkBrush(CreateSolidBrush(RGB(0, 0, 0)));
        HBRUSH ink = inkBrush.get();
        const RECT top{at.x, at.y, right, at.y + 1};
        const RECT under{at.x, at.y + lineHeight - 1, right, at.y + lineHeight};
        FillRect(dc, &top, ink);
        FillRect(dc, &under, ink);
        if (i == r.start) {
          const RECT left{at.x, at.y, at.x + 1, at.y + lineHeight};
          FillRect(dc, &left, ink);
        }
        if (j == r.start + r.length) {
          const RECT end{right - 1, at.y, right, at.y + lineHeight};
          FillRect(dc, &end, ink);
        }
      }
      i = j;
    }
  }
  if (bottom < client.bottom) {
    const RECT rest{client.left, std::max(bottom, client.top), client.right, client.bottom};
    FillRect(dc, &rest, back);
  }
}

// Typing repaints only the line it changed; of the pictographs, only those
// in the rich edit's own update are drawn again, one cell each.
void QvRichClickableView::RepaintPictographCells(const RECT& within) {
  if (IsRectEmpty(&within)) return;
  POINTL topLeft{within.left, within.top};
  POINTL bottomRight{within.right - 1, within.bottom - 1};
  const long from = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&topLeft)));
  const long to = static_cast<long>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&bottomRight)));
  // Only the characters of the update: the whole body may be read later, once per change.
  const long first = std::max(0L, from - 1);
  if (to < first) return;
  std::vector<wchar_t> shown(static_cast<size_t>(to - first) + 2);
  TEXTRANGEW range{{static_cast<LONG>(first), static_cast<LONG>(to + 1)}, shown.data()};
  const long count = static_cast<long>(SendMessage(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)));
  const int lineHeight = LineHeight();
  int width = lineHeight;
  {
    // Every pictograph takes the cell of the geta mark.
    const qv::ScopedGetDC dc(m_hWnd);
    const qv::ScopedSelectObject withFont(dc, bodyFont_.GetSafeHandle() ? bodyFont_.GetSafeHandle()
                                                                        : reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    width = GetPictureTextExtent(dc, L"\u3013", 1, lineHeight).cx;
  }
  cells_.clear();
  for (long k = 0; k < count; ++k) {
    if (!IsPictograph(shown[static_cast<size_t>(k)])) continue;
    const POINT at = PosOf(first + k);
    RECT cell{at.x, at.y, at.x + width, at.y + lineHeight};
    RECT meet{};
    if (!IntersectRect(&meet, &cell, &within)) continue;
    cells_.push_back({first + k, shown[static_cast<size_t>(k)], cell});
    InvalidateRect(&cell, FALSE);
  }
  if (cells_.empty()) return;
  UpdateWindow();
}

void QvRichClickableView::PaintCells(HDC dc) {
  const int lineHeight = LineHeight();
  long selStart = 0, selEnd = 0;
  GetSel(selStart, selEnd);
  const qv::ScopedSelectObject withFont(dc, bodyFont_.GetSafeHandle() ? bodyFont_.GetSafeHandle()
                                                                      : reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  SetBkMode(dc, OPAQUE);
  for (const Cell& c : cells_) {
    const bool selected = c.index >= selStart && c.index < selEnd;
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kTextColor);
    SetBkColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHT) : kBackColor);
    DrawPictureText(dc, c.box.left, c.box.top, &c.ch, 1, lineHeight);
  }
  cells_.clear();
}

void QvRichClickableView::Paint() {
  if (!firstPaintDone_) {
    // The first paint is the control's own; the view then draws over it and
    // tells the page that the body is shown.
    Default();
    firstPaintDone_ = true;
    Invalidate(FALSE);
    ::PostMessageW(::GetParent(m_hWnd), kFirstPaintDoneMessage, 0, reinterpret_cast<LPARAM>(m_hWnd));
    return;
  }
  if (!cells_.empty()) {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    PaintCells(dc);
    ::EndPaint(m_hWnd, &ps);
    return;
  }
  if (IsReadOnly() || redrawPending_) {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client{};
    GetClientRect(&client);
    PaintWhole(dc, client, ps.rcPaint);
    ::EndPaint(m_hWnd, &ps);
    redrawPending_ = false;
    return;
  }
  RECT update{};
  ::GetUpdateRect(m_hWnd, &update, FALSE);
  Default();
  RepaintPictographCells(update);
}

LRESULT QvRichClickableView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_LBUTTONDOWN: {
      const LRESULT r = QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
      GetLinkAt({static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}, pressLink_);
      return r;
    }
    case WM_LBUTTONUP: {
      const LRESULT r = QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
      const POINT at{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      long start = 0, end = 0;
      GetSel(start, end);
      RECT text{};
      GetNeededHeight(text);
      CString released;
      // A link whose text changed under the finger offers nothing.
      if (start == end && at.y < text.bottom && GetLinkAt(at, released) && released == pressLink_) {
        POINT screen = at;
        ClientToScreen(&screen);
        ::PostMessageW(::GetParent(m_hWnd), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd),
                       MAKELPARAM(screen.x, screen.y));
      }
      pressLink_.Empty();
      return r;
    }
    case WM_MOUSEMOVE: {
      const LRESULT r = QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
      SyncLink();
      return r;
    }
    case WM_KEYDOWN: {
      const LRESULT r = QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
      if (wParam >= VK_END && wParam <= VK_DOWN) SyncLink();
      return r;
    }
    case WM_SIZE: {
      const LRESULT r = QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
      const int cx = LOWORD(lParam), cy = HIWORD(lParam);
      orientation_ = cx < cy ? 1 : cx > cy ? -1 : 0;
      if (!composing_) {
        lastStart_ = lastEnd_ = -1;
        SyncLink();
      }
      return r;
    }
    case WM_IME_STARTCOMPOSITION:
      composing_ = true;
      break;
    case WM_IME_ENDCOMPOSITION:
      composing_ = false;
      break;
    case WM_UNDO:
    case EM_UNDO:
      Invalidate(FALSE);
      break;
    case WM_SETTEXT:
    case WM_CHAR:
    case WM_CUT:
    case WM_PASTE:
    case EM_PASTESPECIAL:
    case EM_REPLACESEL: {
      // Changes that send no EN_CHANGE are scanned here.
      const LRESULT r = QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
      Rescan();
      return r;
    }
    default:
      break;
  }
  return QvMailRichEditCtrl::WindowProc(message, wParam, lParam);
}

BOOL QvRichClickableView::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const BOOL taken = QvMailRichEditCtrl::OnChildNotify(message, wParam, lParam, result);
  if (message != WM_COMMAND) return taken;
  switch (HIWORD(wParam)) {
    case EN_SETFOCUS:
      lastStart_ = lastEnd_ = -1;
      SyncLink();
      RepaintLink(selected_);
      break;
    case EN_KILLFOCUS: {
      long start = 0, end = 0;
      GetSel(start, end);
      SetSel(end, end);
      redrawPending_ = true;
      Invalidate(FALSE);
      break;
    }
    case EN_CHANGE:
      Rescan();
      break;
    default:
      break;
  }
  return taken;
}
