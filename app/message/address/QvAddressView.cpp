#include "app/message/address/QvAddressView.h"

#include <algorithm>

#include "app/foundation/PictureChars.h"
#include "app/foundation/PictureText.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/gdi/Gdi.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/controls/Edit.h"
#include "platform/ui/input/Ime.h"
#include "platform/ui/window/ControlOrder.h"

void QvTextCutter::Cut(CString& selected, int start, int end) {
  const int length = text_.GetLength();
  start = start < 0 ? 0 : (start > length ? length : start);
  end = end < start ? start : (end > length ? length : end);
  selected = text_.Mid(start, end - start);
  text_.Delete(start, end - start);
}

CString QvAddressView::CleanAddress(const CString& text) const {
  CString clean = text;
  RemovePictureChars(clean, true);
  // Web pictographs are pictographs too: no address carries either set.
  CString kept;
  for (int i = 0; i < clean.GetLength(); ++i) {
    if (!IsWebPictureChar(clean[i])) kept.AppendChar(clean[i]);
  }
  return kept;
}

void QvAddressView::BuildRanges() {
  GetWindowText(textCache_);
  ranges_.RemoveAll();
  SplitAddressList(textCache_, ranges_);
}

int QvAddressView::GetAddressCount() {
  if (ranges_.IsEmpty()) BuildRanges();
  return static_cast<int>(ranges_.GetSize());
}

QvAddressRange QvAddressView::GetAddressRange(int index) {
  if (ranges_.IsEmpty()) BuildRanges();
  return index >= 0 && index < ranges_.GetSize() ? ranges_[index] : QvAddressRange{};
}

void QvAddressView::GetAddresses(CStringArray& addresses) {
  addresses.RemoveAll();
  BuildRanges();
  for (INT_PTR i = 0; i < ranges_.GetSize(); ++i) {
    CString one = textCache_.Mid(ranges_[i].start, ranges_[i].length);
    one.Replace(L"\r\n", L" ");
    addresses.Add(one);
  }
}

bool QvAddressView::SetAddresses(const CStringArray& addresses) {
  // A received field shows every address; a composed one takes what a mail
  // may carry and says when it dropped the rest.
  const INT_PTR count = IsReadOnly() || addresses.GetSize() <= kMaxAddresses ? addresses.GetSize() : kMaxAddresses;
  CString joined;
  for (INT_PTR i = 0; i < count; ++i) {
    if (i > 0) joined += L", ";
    joined += addresses[i];
  }
  SetWindowText(L"");
  DropRanges();
  if (count > 0) AddAddress(joined, true);
  const int n = GetAddressCount();
  current_ = n > 0 ? n - 1 : 0;
  return count == addresses.GetSize();
}

bool QvAddressView::AddAddress(const CString& text, bool append) {
  if (!IsReadOnly() && GetWindowTextLength() > 0 && GetAddressCount() >= kMaxAddresses) return false;
  const CString clean = CleanAddress(text);
  CString field;
  GetWindowText(field);
  int start = 0, end = 0;
  GetSel(start, end);
  if (!append && !field.IsEmpty() && end != field.GetLength()) {
    const CString inserted = clean + L", ";
    field.Insert(start, inserted);
    SetWindowText(field);
    SetSel(start, start + inserted.GetLength());
  } else {
    field.TrimRight(L" \t,;");
    if (!field.IsEmpty()) field += L", ";
    const int at = field.GetLength();
    field += clean;
    SetWindowText(field);
    SetSel(at, field.GetLength());
  }
  BuildRanges();
  CheckAddresses();
  return true;
}

bool QvAddressView::ReplaceSelection(const CString& text) {
  if (ranges_.IsEmpty()) return AddAddress(text, true);
  const CString clean = CleanAddress(text);
  int start = 0, end = 0;
  GetSel(start, end);
  CString field;
  GetWindowText(field);
  QvTextCutter cutter(field);
  CString selected;
  cutter.Cut(selected, start, end);
  CString result = cutter.GetText();
  result.Insert(start, clean);
  SetWindowText(result);
  BuildRanges();
  current_ = AddressAt(start);
  CheckAddresses();
  SelectCurrentAddress();
  return true;
}

int QvAddressView::CheckAddresses() {
  if (ranges_.IsEmpty()) BuildRanges();
  if (IsReadOnly()) return kAddressWellFormed;
  if (ranges_.GetSize() > kMaxAddresses) {
    const QvAddressRange& first = ranges_[kMaxAddresses];
    SetSel(first.start, textCache_.GetLength());
    EnsureCaretVisible();
    return kTooManyAddresses;
  }
  for (INT_PTR i = 0; i < ranges_.GetSize(); ++i) {
    const QvAddressRange& r = ranges_[i];
    QvAddressRange part;
    const int result = CheckAddressSyntax(textCache_.Mid(r.start, r.length), &part);
    if (result == kAddressWellFormed) continue;
    if (result == kAddressMissing) {
      SetSel(r.start, r.start + r.length);
    } else {
      SetSel(r.start + part.start, r.start + part.start + part.length);
    }
    EnsureCaretVisible();
    return result;
  }
  return kAddressWellFormed;
}

int QvAddressView::AddressAt(int position) {
  if (ranges_.IsEmpty()) BuildRanges();
  // Binary search: a received field may hold thousands of addresses.
  int lo = 0, hi = static_cast<int>(ranges_.GetSize()) - 1, found = -1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (ranges_[mid].start <= position) {
      found = mid;
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  if (found > 0 && ranges_[found].start >= textCache_.GetLength()) --found;
  return found < 0 ? 0 : found;
}

void QvAddressView::SelectCurrentAddress() {
  if (ranges_.IsEmpty()) BuildRanges();
  if (ranges_.IsEmpty()) return;
  if (current_ >= ranges_.GetSize()) current_ = static_cast<int>(ranges_.GetSize()) - 1;
  const QvAddressRange& r = ranges_[current_];
  SetSel(r.start, r.start + r.length);
  EnsureCaretVisible();
}

void QvAddressView::ClearAll() {
  SetWindowText(L"");
  DropRanges();
  current_ = 0;
}

bool QvAddressView::OnKeyDown(UINT key) {
  const bool plain = GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0;
  HWND parent = ::GetParent(m_hWnd);
  if (!IsReadOnly()) return false;
  const int count = GetAddressCount();
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      if (plain) ::PostMessageW(parent, kStepMessageRequest, key == VK_LEFT ? 1 : 0, 0);
      return true;
    case VK_UP:
      if (current_ <= 0) {
        MoveFocusTo(::GetNextDlgTabItem(parent, m_hWnd, TRUE), 1);
      } else {
        --current_;
        SelectCurrentAddress();
        ::SendMessageW(parent, kMoveFocusMessage, 3, 0);
      }
      return true;
    case VK_DOWN: {
      if (current_ >= count - 1) {
        MoveFocusTo(::GetNextDlgTabItem(parent, m_hWnd, FALSE), 2);
        return true;
      }
      ++current_;
      SelectCurrentAddress();
      int start = 0, end = 0;
      GetSel(start, end);
      if (start == end) {
        MoveFocusTo(::GetNextDlgTabItem(parent, m_hWnd, FALSE), 2);
      } else {
        ::SendMessageW(parent, kMoveFocusMessage, 4, 0);
      }
      return true;
    }
    default:
      return true;
  }
}

BOOL QvAddressView::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) {
    switch (HIWORD(wParam)) {
      case EN_SETFOCUS: {
        int start = 0, end = 0;
        GetSel(start, end);
        if (start == end) current_ = AddressAt(start);
        CheckAddresses();
        if (IsReadOnly()) SelectCurrentAddress();
        break;
      }
      case EN_UPDATE:
        DropRanges();
        break;
      default:
        break;
    }
  }
  return QvFlexibleEdit::OnChildNotify(message, wParam, lParam, result);
}

void QvAddressView::PaintText() {
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT client{};
  GetClientRect(&client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  CString text;
  GetWindowText(text);
  int selStart = 0, selEnd = 0;
  GetSel(selStart, selEnd);
  if (::GetFocus() != m_hWnd) selStart = selEnd = 0;
  SetBkMode(dc, OPAQUE);
  const int lines = static_cast<int>(SendMessage(EM_GETLINECOUNT));
  for (int line = static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); line < lines; ++line) {
    const int first = static_cast<int>(SendMessage(EM_LINEINDEX, static_cast<WPARAM>(line)));
    const int length = static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(first)));
    const LRESULT at = SendMessage(EM_POSFROMCHAR, static_cast<WPARAM>(first));
    int x = static_cast<short>(LOWORD(at));
    const int y = static_cast<short>(HIWORD(at));
    if (first < 0 || y > client.bottom) break;
    // Three runs: before, inside and after the selection.
    const int cuts[] = {first, std::clamp(selStart, first, first + length), std::clamp(selEnd, first, first + length),
                        first + length};
    for (int run = 0; run < 3; ++run) {
      const bool selected = run == 1;
      ::SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      ::SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
      if (cuts[run + 1] > cuts[run]) {
        x = DrawPictureText(dc, x, y, text.GetString() + cuts[run], cuts[run + 1] - cuts[run], tm.tmHeight);
      }
    }
  }
  ::EndPaint(m_hWnd, &ps);
}

LRESULT QvAddressView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (IsReadOnly() && firstPaintDone_) {
        PaintText();
        return 0;
      }
      if (!firstPaintDone_) {
        // The first paint is the edit's own; from then on the view draws.
        const LRESULT result = QvFlexibleEdit::WindowProc(message, wParam, lParam);
        firstPaintDone_ = true;
        if (IsReadOnly()) ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return result;
      }
      break;
    case WM_KEYDOWN:
      // While selecting text the selector has the keys; Enter is the base's.
      if (QvComAreaSelectEdit::Selector().IsActive() || wParam == VK_RETURN) break;
      if (OnKeyDown(static_cast<UINT>(wParam))) return 0;
      break;
    case WM_SETTEXT:
    case WM_CHAR:
    case WM_CUT:
    case WM_PASTE: {
      DropRanges();
      const LRESULT result = QvFlexibleEdit::WindowProc(message, wParam, lParam);
      NotifyParentResize();
      return result;
    }
    case WM_LBUTTONDOWN: {
      const LRESULT result = QvFlexibleEdit::WindowProc(message, wParam, lParam);
      int start = 0, end = 0;
      GetSel(start, end);
      if (IsReadOnly() && start == end) {
        current_ = AddressAt(start);
        SelectCurrentAddress();
      }
      return result;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kCutCommand) return SendMessage(WM_CUT);
      break;
    default:
      break;
  }
  return QvFlexibleEdit::WindowProc(message, wParam, lParam);
}

LRESULT QvAddressButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (LRESULT result = 0; SendCommandOnEnterOrTap(message, wParam, lParam, kChooseAddressCommand, &result)) {
    return result;
  }
  if (message == WM_CHAR && wParam != VK_BACK && wParam != VK_RETURN) {
    // Typing on the button types into the field beside it, in plain input.
    HWND field = FindKeyTarget(VK_RIGHT);
    if (field) {
      ::PostMessageW(m_hWnd, WM_KEYDOWN, VK_RIGHT, 0);
      if (HIMC context = ImmGetContext(field)) {
        DWORD conversion = 0, sentence = 0;
        ImmGetConversionStatus(context, &conversion, &sentence);
        ImmSetConversionStatus(context, 0, sentence);
        ImmReleaseContext(field, context);
      }
      ::PostMessageW(field, WM_CHAR, wParam, lParam);
      return 0;
    }
  }
  return QvFlatButton::WindowProc(message, wParam, lParam);
}

int QvTegakiAddressView::TegakiNeededHeight() const { return FirstCharsHeight(); }

void QvTegakiAddressView::SelectCurrentAddress() {
  QvAddressView::SelectCurrentAddress();
  const QvAddressRange r = GetAddressRange(GetCurrentIndex());
  if (r.length <= 0) return;
  // A long address list is one wide line here: bring the address into view.
  const LRESULT at = SendMessage(EM_POSFROMCHAR, static_cast<WPARAM>(r.start));
  const int x = static_cast<short>(LOWORD(at));
  if (x / 12 != 0) SendMessage(EM_LINESCROLL, static_cast<WPARAM>(x / 12), 0);
}

LRESULT QvTegakiAddressView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KILLFOCUS && IsReadOnly()) {
    // The selection highlight goes with the focus; the field draws itself whole once more.
    const LRESULT result = QvAddressView::WindowProc(message, wParam, lParam);
    Invalidate(FALSE);
    UpdateWindow();
    return result;
  }
  return QvAddressView::WindowProc(message, wParam, lParam);
}

BOOL QvTegakiAddressView::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wParam) == EN_UPDATE) {
    RECT client{};
    GetClientRect(&client);
    if (TegakiNeededHeight() != client.bottom) NotifyParentResize();
  }
  return QvAddressView::OnChildNotify(message, wParam, lParam, result);
}
