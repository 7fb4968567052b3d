#include "app/message/canvas/QvBasePictureCanvasPage.h"

#include <algorithm>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/AfxResource.h"
#include "platform/ui/menu/Menu.h"
#include "platform/ui/metrics/Metrics.h"

namespace {

bool IsPortrait() { return GetSystemMetrics(SM_CXSCREEN) < GetSystemMetrics(SM_CYSCREEN); }

QvAreaSelector& SelectorOf(QvComAreaSelectEdit& field) { return field.Selector(); }

}  // namespace

QvBasePictureCanvasPage::QvBasePictureCanvasPage(QvMessageRecord* record) : QvMessagePage(kTemplate, record) {
  m_canvas.SetPlacement(m_canvasRect.left, m_canvasRect.top, m_canvasRect.right, m_canvasRect.bottom);
}

QvBasePictureCanvasPage::~QvBasePictureCanvasPage() {
  if (m_popupMenu != nullptr) DestroyMenu(m_popupMenu);
}

int QvBasePictureCanvasPage::LabelWidthFor(int fontHeight) {
  switch (fontHeight) {
    case 13: return 42;
    case 16: return 51;
    case 24: return 77;
    case 27: return 86;
    case 32: return 103;
    default: return 0;
  }
}

BOOL QvBasePictureCanvasPage::OnInitDialog() {
  QvMessagePage::OnInitDialog();
  m_popupMenu = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(147));
  m_toButton.SubclassDlgItem(kToButtonId, this);
  m_to.SubclassDlgItem(kToId, this);
  m_second.SubclassDlgItem(kSecondAddressId, this);
  m_secondLabel.SubclassDlgItem(kSecondLabelId, this);
  m_subjectLabel.SubclassDlgItem(kSubjectLabelId, this);
  m_subject.SubclassDlgItem(kSubjectId, this);
  for (int i = 0; i < 2; ++i) {
    m_lines[i].SubclassDlgItem(kLineIds[i], this);
    m_lines[i].SetLineStyle(PS_SOLID);
    m_lines[i].SetLineColor(RGB(0xA0, 0xA0, 0xA0));
  }
  m_canvas.AttachControl(::GetDlgItem(m_hWnd, kCanvasId));
  ApplyFont();
  return TRUE;
}

void QvBasePictureCanvasPage::ApplyFont() {
  // A new font replaces the old one, which the fields must not keep.
  if (!m_font.CreateUIFont(false, false)) {
    ShowQvMiddleError(20505, m_hWnd, nullptr);
  } else {
    // The text fields keep the program's own field font (their rows follow it).
    CWnd* withFont[] = {&m_toButton, &m_secondLabel, &m_subjectLabel, &m_canvas};
    for (CWnd* w : withFont) {
      if (w->m_hWnd != nullptr) w->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.GetSafeHandle()), TRUE);
    }
  }
  Relayout();
}

void QvBasePictureCanvasPage::SetTitle(UINT id) {
  m_titleText = LoadResString(id);
  m_title = m_titleText.GetString();
  if (IsActivePage()) {
    if (CWnd* sheet = SheetWindow()) sheet->SetWindowText(m_titleText);
  }
}

void QvBasePictureCanvasPage::Relayout() {
  if (m_hWnd == nullptr) return;
  RECT client;
  GetClientRect(&client);
  m_lastWidth = m_lastHeight = -1;
  SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void QvBasePictureCanvasPage::FirstLayout() { Relayout(); }

void QvBasePictureCanvasPage::TakeFocus() { m_subject.SetFocus(); }

void QvBasePictureCanvasPage::Layout(int cx, int cy) {
  m_lastWidth = cx;
  m_lastHeight = cy;
  const int x = IsPortrait() ? 13 : 73;
  m_canvasRect = RECT{x, kCanvasTop, x + kCanvasSide, kCanvasTop + kCanvasSide};
  m_scrollPage = cy + 1 < kScrollRange ? cy - 50 : cy + 1;
  m_scrollPos = 0;
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, kScrollRange,
                  static_cast<UINT>(std::max(0, m_scrollPage)), 0, 0};
  SetScrollInfo(SB_VERT, &info, TRUE);
  Place();
}

void QvBasePictureCanvasPage::Place() {
  const int cx = m_lastWidth < 0 ? 0 : m_lastWidth;
  const int label = LabelWidthFor(m_font.Height());
  const int top = -m_scrollPos;
  auto put = [](CWnd& w, int x, int y, int width, int height) {
    // Its own visibility, not its parents': the page is laid out before it shows.
    if (w.m_hWnd != nullptr && (w.GetStyle() & WS_VISIBLE) != 0) {
      w.SetWindowPos(nullptr, x, y, std::max(0, width), std::max(0, height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
  };
  // Row one: To (button and field) or the second address row (label and field).
  QvTegakiAddressView& row = AddressRow();
  const int rowHeight = row.m_hWnd != nullptr ? row.TegakiNeededHeight() : 0;
  int y = top + 2;
  put(m_toButton, 0, y, label, rowHeight);
  put(m_secondLabel, 0, y, label, rowHeight);
  put(row, label + 2, y, cx - label - 4, rowHeight);
  y += rowHeight + 1;
  put(m_lines[0], 0, y, cx, 1);
  y += 3;
  const int subjectHeight = m_subject.m_hWnd != nullptr ? m_subject.TegakiNeededHeight() : 0;
  put(m_subjectLabel, 0, y, label, subjectHeight);
  put(m_subject, label + 2, y, cx - label - 4, subjectHeight);
  y += subjectHeight + 1;
  put(m_lines[1], 0, y, cx, 1);
  if (m_canvas.m_hWnd != nullptr) {
    m_canvas.SetWindowPos(nullptr, m_canvasRect.left, m_canvasRect.top + top, 0, 0,
                          SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  }
}

void QvBasePictureCanvasPage::Scroll(UINT code, int thumb) {
  const int last = std::max(0, kScrollRange - m_scrollPage);
  int pos = m_scrollPos;
  switch (code) {
    case SB_LINEUP: pos -= kLineStep; break;
    case SB_LINEDOWN: pos += kLineStep; break;
    case SB_PAGEUP: pos -= m_scrollPage - 1; break;
    case SB_PAGEDOWN: pos += m_scrollPage - 1; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = last; break;
    case SB_THUMBTRACK: case SB_THUMBPOSITION: pos = std::clamp(thumb, 0, kScrollRange); break;
    default: return;
  }
  pos = code == SB_THUMBTRACK || code == SB_THUMBPOSITION ? pos : std::clamp(pos, 0, last);
  if (pos == m_scrollPos) return;
  m_scrollPos = pos;
  SetScrollPos(SB_VERT, pos, TRUE);
  Place();
  Invalidate(TRUE);
}

void QvBasePictureCanvasPage::ShowRecordPicture() {
  if (m_record == nullptr) return;
  if (!m_record->pictureFiles.IsEmpty()) {
    if (m_canvas.LoadPicture(m_record->pictureFiles[0].GetString())) return;
    m_record->pictureFiles.RemoveAll();
  }
  m_canvas.ShowResourceBitmap((m_modeWord & 8) != 0 ? 307 : 308);
}

CEdit* QvBasePictureCanvasPage::FocusedField() const {
  HWND focus = ::GetFocus();
  for (const CEdit* field : {static_cast<const CEdit*>(&m_to), static_cast<const CEdit*>(&m_second),
                             static_cast<const CEdit*>(&m_subject)}) {
    if (field->m_hWnd != nullptr && field->m_hWnd == focus) return const_cast<CEdit*>(field);
  }
  return nullptr;
}

bool QvBasePictureCanvasPage::OnTextCommand(UINT id) {
  auto* field = static_cast<QvComAreaSelectEdit*>(FocusedField());
  if (field == nullptr) return false;
  QvAreaSelector& selector = field->Selector();
  switch (id) {
    case 40124:
      if (selector.IsActive()) {
        selector.End();
      } else {
        selector.Begin();
      }
      static_cast<QvFlexibleEdit*>(field)->EnsureCaretVisible();
      return true;
    case 40145: if (selector.IsActive()) selector.Step(); return true;
    case 40146: selector.End(); return true;
    case 40092:
      selector.End();
      field->SendMessage(WM_KEYDOWN, VK_DELETE, 0);
      field->SendMessage(WM_KEYUP, VK_DELETE, 0);
      return true;
    case 57634: selector.End(); field->SendMessage(WM_COPY); return true;
    case 57635: selector.End(); field->SendMessage(WM_CUT); return true;
    case 57637: field->SendMessage(WM_PASTE); return true;
    default: return false;
  }
}

bool QvBasePictureCanvasPage::OnArrowKey(HWND focus, UINT key) {
  const bool scrollable = kScrollRange > m_scrollPage;
  const bool atEnd = m_scrollPos == kScrollRange - m_scrollPage;
  QvTegakiAddressView& row = AddressRow();
  if (focus == m_subject.m_hWnd && key == VK_DOWN) {
    if (scrollable && !atEnd) {
      SendMessage(WM_VSCROLL, SB_PAGEDOWN, 0);
    } else if (CWnd* parent = GetParent()) {
      parent->SendMessage(kLeaveBodyDownMessage);
    }
    return true;
  }
  if (focus == row.m_hWnd && key == VK_DOWN && SelectorOf(row).IsActive()) {
    m_subject.SetFocus();
    SelectorOf(m_subject).Begin();
    return true;
  }
  if (focus == m_subject.m_hWnd && key == VK_UP && SelectorOf(m_subject).IsActive()) {
    row.SetFocus();
    row.SetSel(0, 0);
    row.EnsureCaretVisible();
    SelectorOf(row).Begin();
    return true;
  }
  if ((focus == m_subject.m_hWnd || focus == row.m_hWnd) && key == VK_UP && scrollable && atEnd) {
    SendMessage(WM_VSCROLL, SB_PAGEUP, 0);
    return true;
  }
  return false;
}

BOOL QvBasePictureCanvasPage::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_UP || msg->wParam == VK_DOWN) &&
      OnArrowKey(msg->hwnd, static_cast<UINT>(msg->wParam))) {
    return TRUE;
  }
  return QvMessagePage::PreTranslateMessage(msg);
}

LRESULT QvBasePictureCanvasPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      const int cx = LOWORD(lParam), cy = HIWORD(lParam);
      if (cx != m_lastWidth || cy != m_lastHeight) Layout(cx, cy);
      return 0;
    }
    case WM_VSCROLL:
      Scroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && m_font.IsUIFontChanged()) ApplyFont();
      break;
    case WM_COMMAND:
      if (lParam == 0 && OnTextCommand(LOWORD(wParam))) return 0;
      break;
    case WM_CONTEXTMENU: {
      const HWND from = reinterpret_cast<HWND>(wParam);
      const UINT menu = from == m_subject.m_hWnd ? SubjectMenu() : from == AddressRow().m_hWnd ? AddressMenu() : 0;
      if (menu == 0) break;
      TrackPopupMenuRes(this, menu, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}, 0);
      return 0;
    }
    default:
      break;
  }
  return QvMessagePage::WindowProc(message, wParam, lParam);
}
