#include "app/message/pads/CPictureCharPad.h"

#include <algorithm>

#include "app/foundation/UiMenus.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CDC.h"
#include "platform/ui/controls/ScrollBar.h"

QvPictographPad::QvPictographPad(PictureSet set, int columns, CWnd* parent)
    : CBasicPad(kTemplateId, parent), sheet_(set), columns_(columns) {}

int QvPictographPad::CharCount() const { return sheet_.CharCount(); }
int QvPictographPad::Rows() const { return (CharCount() + columns_ - 1) / columns_; }

wchar_t QvPictographPad::SelectedChar() const {
  const int index = selection_.row * columns_ + selection_.column;
  return index < CharCount() ? sheet_.CharTable()[index] : 0;
}

QvPictographPad::Cell QvPictographPad::Step(Cell from, UINT key, int columns, int count) {
  if (count <= 0) return {};
  const int last = count - 1, lastRow = last / columns;
  Cell to = from;
  switch (key) {
    case VK_LEFT:
      if (from.column > 0) {
        to.column = from.column - 1;
      } else if (from.row > 0) {
        to = {from.row - 1, columns - 1};
      } else {
        to = {lastRow, last % columns};
      }
      break;
    case VK_RIGHT: {
      const int next = from.row * columns + from.column + 1;
      to = next <= last ? Cell{next / columns, next % columns} : Cell{0, 0};
      break;
    }
    case VK_UP:
      to.row = from.row > 0 ? from.row - 1 : lastRow;
      break;
    case VK_DOWN:
      to.row = from.row < lastRow ? from.row + 1 : 0;
      break;
    default:
      break;
  }
  // A cell past the last character: the last character instead.
  if (to.row * columns + to.column > last) to = {lastRow, last % columns};
  return to;
}

BOOL QvPictographPad::OnInitDialog() {
  if (!sheet_.Load(kGlyph)) {
    CDialog::OnInitDialog();
    EndDialog(IDCANCEL);
    return TRUE;
  }
  SetWindowText(Title());
  if (const UINT menu = MenuId()) CreateMenuBar(m_hWnd, menu);
  selection_ = {};
  firstRow_ = 0;
  return CBasicPad::OnInitDialog();
}

void QvPictographPad::LayOut() {
  const RECT work = WorkArea();
  const int caption = ::GetSystemMetrics(SM_CYCAPTION);
  const RECT base = DefaultRect(work, caption, 0);
  const int width = sheet_.SheetWidth() + ::GetSystemMetrics(SM_CXVSCROLL) + 8;
  // The grid takes whole rows of the client area, with a pixel round it.
  RECT window{}, client{};
  GetWindowRect(&window);
  GetClientRect(&client);
  const int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
  const int clientHeight = static_cast<int>(base.bottom - base.top) - frameHeight;
  visibleRows_ = std::max(1, (clientHeight - 2) / kGlyph);
  const int height = visibleRows_ * kGlyph + 2 + frameHeight;
  const int left = static_cast<int>(work.left) + ((work.right - work.left) - width) / 2;
  SetWindowPos(nullptr, left, static_cast<int>(base.bottom) - height, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  ScrollTo(std::clamp(firstRow_, selection_.row - visibleRows_ + 1, selection_.row));
}

void QvPictographPad::UpdateScrollBar() {
  ::SetScrollRange(m_hWnd, SB_VERT, 0, std::max(0, Rows() - visibleRows_), FALSE);
  ::SetScrollPos(m_hWnd, SB_VERT, firstRow_, TRUE);
}

void QvPictographPad::ScrollTo(int firstRow) {
  firstRow_ = std::clamp(firstRow, 0, std::max(0, Rows() - visibleRows_));
  // The selection moves with the view rather than leave it.
  Cell keep = selection_;
  keep.row = std::clamp(keep.row, firstRow_, firstRow_ + visibleRows_ - 1);
  if (keep.row * columns_ + keep.column >= CharCount()) keep = Step(keep, 0, columns_, CharCount());
  selection_ = keep;
  UpdateScrollBar();
  Invalidate(FALSE);
}

void QvPictographPad::Select(Cell cell) {
  selection_ = cell;
  int first = firstRow_;
  if (cell.row < first) first = cell.row;
  if (cell.row >= first + visibleRows_) first = cell.row - visibleRows_ + 1;
  ScrollTo(first);
}

RECT QvPictographPad::CellRect(Cell cell) const {
  const int x = 1 + cell.column * kGlyph, y = 1 + (cell.row - firstRow_) * kGlyph;
  return {x, y, x + kGlyph, y + kGlyph};
}

void QvPictographPad::SendSelected() {
  const wchar_t ch = SelectedChar();
  if (target_ && ch) target_->SendMessage(kPadInsertMessage, 1, ch);
}

void QvPictographPad::Paint(HDC handle) {
  CDC* dc = CDC::FromHandle(handle);
  RECT client{};
  GetClientRect(&client);
  dc->FillSolidRect(&client, ::GetSysColor(COLOR_WINDOW));
  const wchar_t* table = sheet_.CharTable();
  for (int row = firstRow_; row < firstRow_ + visibleRows_; ++row) {
    for (int column = 0; column < columns_; ++column) {
      const int index = row * columns_ + column;
      if (index >= CharCount()) break;
      const RECT cell = CellRect({row, column});
      sheet_.DrawChar(handle, cell, table[index], FALSE, FALSE);
    }
  }
  // The selected cell framed in XOR with the inverse of the highlight colour.
  const RECT r = CellRect(selection_);
  const POINT frame[5] = {{r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1},
                          {r.left, r.top}};
  CPen pen(PS_SOLID, 1, ~::GetSysColor(COLOR_HIGHLIGHT) & 0xFFFFFF);
  CPen* old = dc->SelectObject(&pen);
  const int rop = dc->SetROP2(R2_XORPEN);
  dc->Polyline(frame, 5);
  dc->SetROP2(rop);
  dc->SelectObject(old);
}

void QvPictographPad::OnKey(UINT key) { Select(Step(selection_, key, columns_, CharCount())); }

void QvPictographPad::OnTap(int x, int y) {
  if (x < 1 || y < 1) return;
  const Cell cell{firstRow_ + (y - 1) / kGlyph, (x - 1) / kGlyph};
  if (cell.column >= columns_ || cell.row >= firstRow_ + visibleRows_) return;
  if (cell.row * columns_ + cell.column >= CharCount()) return;  // past the last: the old selection stays
  if (cell.row == selection_.row && cell.column == selection_.column) {
    SendSelected();
    return;
  }
  Select(cell);
}

void QvPictographPad::OnScroll(int code, int position) {
  switch (code) {
    case SB_LINEUP:
      ScrollTo(firstRow_ - 1);
      break;
    case SB_LINEDOWN:
      ScrollTo(firstRow_ + 1);
      break;
    case SB_PAGEUP:
      ScrollTo(firstRow_ - visibleRows_);
      break;
    case SB_PAGEDOWN:
      ScrollTo(firstRow_ + visibleRows_);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      ScrollTo(position);
      break;
    default:
      break;
  }
}

// The caption's OK: the selected character is the pad's result. The OK
// that follows an Enter only ends the Enter.
void QvPictographPad::OnOK() {
  if (enter_) {
    enter_ = false;
    return;
  }
  EndDialog(IDOK);
}

LRESULT QvPictographPad::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      CPaintDC dc(this);
      Paint(dc);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (wParam >= VK_LEFT && wParam <= VK_DOWN) {
        OnKey(static_cast<UINT>(wParam));
        return 0;
      }
      if (wParam == VK_RETURN) {
        enter_ = true;
        SendSelected();
        enter_ = false;
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      OnTap(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_VSCROLL:
      OnScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kInsertCommand) {
        SendSelected();
        return 0;
      }
      if (LOWORD(wParam) == OtherPadCommand()) {
        changeOccurred_ = 1;
        if (target_) target_->PostMessage(kOtherPadMessage, OtherPadParam(), 0);
        EndDialog(IDCANCEL);
        return 0;
      }
      break;
    default:
      break;
  }
  return CBasicPad::WindowProc(message, wParam, lParam);
}

BOOL QvPictographPad::PreTranslateMessage(MSG* msg) {
  // The pad takes the device keys itself, before the dialog's own handling.
  if (msg->message == WM_KEYDOWN && (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd)) &&
      ((msg->wParam >= VK_LEFT && msg->wParam <= VK_DOWN) || msg->wParam == VK_RETURN)) {
    SendMessage(WM_KEYDOWN, msg->wParam, msg->lParam);
    return TRUE;
  }
  return CBasicPad::PreTranslateMessage(msg);
}
