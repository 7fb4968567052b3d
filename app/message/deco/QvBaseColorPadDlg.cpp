#include "app/message/deco/QvBaseColorPadDlg.h"

#include "app/protocol/WindowMessages.h"

QvBaseColorPadDlg::QvBaseColorPadDlg(const Table& table, CWnd* parent)
    : QvUnFullScreenDlg(kTemplateId, parent), table_(table) {
  SetSize(kWidth, kHeight);
  SetCaption(true);
}

int QvBaseColorPadDlg::IndexOf(COLORREF color) const {
  for (int i = 0; i < kCount; ++i) {
    if (table_[static_cast<size_t>(i)].color == color) return i;
  }
  return -1;
}

int QvBaseColorPadDlg::Step(int index, UINT key) {
  int row = index / kColumns, column = index % kColumns;
  switch (key) {
    case VK_LEFT:
      column = (column + kColumns - 1) % kColumns;
      break;
    case VK_RIGHT:
      column = (column + 1) % kColumns;
      break;
    case VK_UP:
      row = (row + kRows - 1) % kRows;
      break;
    case VK_DOWN:
      row = (row + 1) % kRows;
      break;
    default:
      break;
  }
  return row * kColumns + column;
}

BOOL QvBaseColorPadDlg::OnInitDialog() {
  QvUnFullScreenDlg::OnInitDialog();
  for (int i = 0; i < kCount; ++i) {
    const Entry& e = table_[static_cast<size_t>(i)];
    CBitmapButton& button = buttons_[static_cast<size_t>(i)];
    if (!button.SubclassDlgItem(static_cast<UINT>(e.control), this)) continue;
    button.ModifyStyle(0x0Fu, BS_OWNERDRAW);
    button.LoadBitmaps(e.normal, e.pressed ? e.pressed : e.normal, e.focus, e.disabled ? e.disabled : e.normal);
    button.SizeToContent();
    const POINT at = ButtonOrigin(i);
    button.SetWindowPos(nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Black's button when the colour is 0; none for a colour of no button.
  const int current = IndexOf(color_);
  if (current >= 0 && buttons_[static_cast<size_t>(current)].m_hWnd) {
    GotoDlgCtrl(&buttons_[static_cast<size_t>(current)]);
  } else {
    SetFocus();  // the dialog itself: no button stands for the colour
  }
  return FALSE;
}

// The caption's OK: closes without a pick, the colour as it came.
void QvBaseColorPadDlg::OnOK() {
  picked_ = false;
  EndDialog(IDOK);
}

BOOL QvBaseColorPadDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam >= VK_LEFT && msg->wParam <= VK_DOWN) {
    for (int i = 0; i < kCount; ++i) {
      if (buttons_[static_cast<size_t>(i)].m_hWnd != msg->hwnd) continue;
      CBitmapButton& next = buttons_[static_cast<size_t>(Step(i, static_cast<UINT>(msg->wParam)))];
      if (next.m_hWnd) GotoDlgCtrl(&next);
      return TRUE;
    }
  }
  return QvUnFullScreenDlg::PreTranslateMessage(msg);
}

LRESULT QvBaseColorPadDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    EndDialog(IDCANCEL);
    return 0;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    for (const Entry& e : table_) {
      if (static_cast<int>(LOWORD(wParam)) != e.control) continue;
      color_ = e.color;
      picked_ = true;
      EndDialog(IDOK);
      return 0;
    }
  }
  return QvUnFullScreenDlg::WindowProc(message, wParam, lParam);
}
