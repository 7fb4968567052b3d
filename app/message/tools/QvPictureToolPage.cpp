#include "app/message/tools/QvPictureToolPage.h"

#include <algorithm>

#include "app/message/canvas/QvBasePictureCanvasPage.h"
#include "app/message/canvas/QvHandwritingCanvasPage.h"
#include "app/message/canvas/QvPictureViewCanvasPage.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CMenu.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/dialog/PropertySheet.h"

namespace {

constexpr UINT kPenMenu = 144;
constexpr int kPenMenuW = 143, kPenMenuH = 121;
constexpr int kButtonW = 88, kButtonH = 61;
constexpr int kPortraitButtonX[] = {6, 101, 196, 291, 386};
constexpr int kLandscapeButtonY[] = {9, 73, 137, 201, 265};

}  // namespace

// --- QvPictureToolPage -------------------------------------------------------------

const QvToolButton QvPictureToolPage::kButtons[5] = {
    {1159, {310, 312, 310, 311}}, {1160, {313, 315, 313, 314}}, {1161, {306, 317, 306, 316}},
    {1162, {318, 320, 318, 319}}, {1191, {321, 323, 321, 322}},
};

BEGIN_MESSAGE_MAP(QvPictureToolPage, QvToolPage)
  ON_WM_PAINT()
  ON_MESSAGE(kLeaveBodyDownMessage, &QvPictureToolPage::OnFocusLeavesBody)
  ON_MESSAGE(kBackMessage, &QvPictureToolPage::OnBack)
END_MESSAGE_MAP()

QvPictureToolPage::QvPictureToolPage(QvMessageRecord* record, std::unique_ptr<QvMessagePage> page)
    : QvToolPage(kTemplate, record, 0, std::move(page), QvBasePictureCanvasPage::kTemplate) {}

QvPictureToolPage::~QvPictureToolPage() = default;

QvBasePictureCanvasPage* QvPictureToolPage::CanvasPage() const {
  return static_cast<QvBasePictureCanvasPage*>(m_page.get());
}

void QvPictureToolPage::DiscardPicture(int a, int b) {
  if (auto* page = dynamic_cast<QvHandwritingCanvasPage*>(m_page.get())) page->DiscardPicture(a, b);
}

BOOL QvPictureToolPage::PrepareSend(int value) { return m_page ? m_page->PrepareSend(value, this) : TRUE; }

UINT QvPictureToolPage::PenCommandForBitmap(UINT bitmapId) {
  switch (bitmapId) {
    case 329: case 410: return 40192;
    case 328: case 413: return 40194;
    case 326: case 412: return 40193;
    default: return 0;
  }
}

BOOL QvPictureToolPage::OnInitDialog() {
  for (int i = 0; i < 5; ++i) {
    const QvToolButton& b = kButtons[i];
    if (!::GetDlgItem(m_hWnd, b.control) || !m_buttons[i].SubclassDlgItem(b.control, this)) continue;
    m_buttons[i].SetButtonStyle(BS_OWNERDRAW, FALSE);
    m_buttons[i].LoadBitmaps(b.bitmaps[0], b.bitmaps[1], b.bitmaps[2], b.bitmaps[3]);
    m_buttons[i].SizeToContent();
  }
  if (::GetDlgItem(m_hWnd, kStateBarId)) m_bar.SubclassDlgItem(kStateBarId, this);
  return QvToolPage::OnInitDialog();
}

void QvPictureToolPage::PlaceTools(const RECT& client) {
  const POINT o = PageOrigin();
  const int left = o.x, top = o.y;
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (IsPortrait()) {
    m_page->SetWindowPos(nullptr, left, top + 4, client.right, client.bottom - top - 106, flags | SWP_SHOWWINDOW);
    if (m_bar.m_hWnd) m_bar.SetWindowPos(nullptr, left, client.bottom - top - 110, client.right, 45, flags);
    for (int i = 0; i < 5; ++i) {
      if (m_buttons[i].m_hWnd) {
        m_buttons[i].SetWindowPos(nullptr, left + kPortraitButtonX[i], client.bottom - top - 65, kButtonW, kButtonH,
                                  flags);
      }
    }
  } else {
    const int width = client.right - left;
    m_page->SetWindowPos(nullptr, left, top + 2, width - 174, client.bottom, flags | SWP_SHOWWINDOW);
    if (m_bar.m_hWnd) m_bar.SetWindowPos(nullptr, width - 174, top + 2, 74, client.bottom, flags);
    for (int i = 0; i < 5; ++i) {
      if (m_buttons[i].m_hWnd) {
        m_buttons[i].SetWindowPos(nullptr, width - 100, top + kLandscapeButtonY[i], kButtonW, kButtonH, flags);
      }
    }
  }
  AfterPlacement();
}

void QvPictureToolPage::OnPaint() {
  CPaintDC dc(this);
  const bool portrait = IsPortrait();
  CBitmap ground;
  if (!ground.LoadBitmap(portrait ? 309 : 439)) return;
  CRect client;
  GetClientRect(&client);
  const POINT o = PageOrigin();
  CDC memory;
  memory.CreateCompatibleDC(&dc);
  CBitmap* old = memory.SelectObject(&ground);
  if (portrait) {
    dc.StretchBlt(o.x, client.bottom - o.y - 65, client.Width(), 65, &memory, 0, 0, 480, 65, SRCCOPY);
  } else {
    dc.StretchBlt(client.right - o.x - 100, o.y + 2, 100, 329, &memory, 0, 0, 100, 329, SRCCOPY);
  }
  memory.SelectObject(old);
}

LRESULT QvPictureToolPage::OnFocusLeavesBody(WPARAM, LPARAM) {
  if (CWnd* sheet = GetParent()) {
    if (HWND tab = reinterpret_cast<HWND>(sheet->SendMessage(PSM_GETTABCONTROL))) ::SetFocus(tab);
  }
  return 0;
}

LRESULT QvPictureToolPage::OnBack(WPARAM wParam, LPARAM lParam) {
  return m_page && m_page->m_hWnd ? m_page->SendMessage(kBackMessage, wParam, lParam) : 0;
}

// --- QvHandwritingToolPage -----------------------------------------------------------

BEGIN_MESSAGE_MAP(QvHandwritingToolPage, QvPictureToolPage)
  ON_COMMAND_RANGE(1159, 1191, &QvHandwritingToolPage::OnToolButton)
END_MESSAGE_MAP()

QvHandwritingToolPage::QvHandwritingToolPage(QvMessageRecord* record)
    : QvPictureToolPage(record, std::make_unique<QvHandwritingCanvasPage>(record)) {}

QvHandwritingToolPage::~QvHandwritingToolPage() = default;

BOOL QvHandwritingToolPage::OnInitDialog() {
  m_bar.AttachState(&m_pen);
  if (auto* page = static_cast<QvHandwritingCanvasPage*>(m_page.get())) page->SetTools(&m_bar, &m_pen);
  QvPictureToolPage::OnInitDialog();
  m_bar.Update();
  return TRUE;
}

BOOL QvHandwritingToolPage::OnSetActive() {
  const BOOL result = QvPictureToolPage::OnSetActive();
  if (m_firstActivation) {
    m_firstActivation = 0;
    m_firstLayoutPending = 1;
    // The sheet may have placed the page before it first showed it: no
    // later placement would come to run the first layout then.
    if (HasPlacedPage()) AfterPlacement();
  }
  return result;
}

BOOL QvHandwritingToolPage::OnKillActive() {
  if (m_page && m_pageCreated && m_commitOnLeave && !m_page->StorePage(1, this)) return FALSE;
  return CPropertyPage::OnKillActive();
}

void QvHandwritingToolPage::AfterPlacement() {
  for (CBitmapButton& b : m_buttons) {
    if (b.m_hWnd) b.EnableWindow(TRUE);
  }
  m_bar.SetEnabledLook(true);
  if (m_firstLayoutPending && HasPlacedPage()) {
    m_firstLayoutPending = 0;
    CanvasPage()->FirstLayout();
  }
}

void QvHandwritingToolPage::OnToolButton(UINT id) {
  if (!m_page || !m_page->m_hWnd) return;
  switch (id) {
    case 1159: m_page->PostMessage(WM_COMMAND, 40190); break;
    case 1160: m_page->PostMessage(WM_COMMAND, 40159); break;
    case 1161: {
      if (m_menuUp) return;
      CMenu menu;
      if (!menu.LoadMenu(kPenMenu)) return;
      HMENU popup = ::GetSubMenu(menu.GetSafeHmenu(), 0);
      if (!popup) return;
      m_menuUp = true;
      const UINT mark = PenCommandForBitmap(m_bar.BitmapId(CStateDisplayTegakiBar::kWidth, IsPortrait()));
      if (mark != 0) ::CheckMenuItem(popup, mark, MF_BYCOMMAND | MF_CHECKED);
      CRect at, client;
      m_buttons[2].GetWindowRect(&at);
      GetClientRect(&client);
      ClientToScreen(&client);
      const POINT p = QvTextToolPage::PopupPosition(at, kPenMenuW, kPenMenuH, client, IsPortrait());
      SetForegroundWindow();
      const HWND self = m_hWnd;
      ::TrackPopupMenuEx(popup, 0, p.x, p.y, self, nullptr);
      if (::IsWindow(self)) {
        ::PostMessageW(self, WM_NULL, 0, 0);
        m_menuUp = false;
      }
      break;
    }
    case 1162:
      m_page->SendMessage(WM_COMMAND, 40191);
      if (m_buttons[3].m_hWnd) m_buttons[3].SetFocus();
      break;
    case 1191:
      if (m_bar.m_hWnd) m_bar.SetFocus();
      m_page->SendMessage(WM_COMMAND, 40052);
      if (m_buttons[4].m_hWnd) m_buttons[4].SetFocus();
      break;
    default:
      break;
  }
}

BOOL QvHandwritingToolPage::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN) {
    HWND focus = ::GetFocus();
    const bool onButton =
        std::any_of(m_buttons.begin(), m_buttons.end(), [focus](const CBitmapButton& b) { return b.m_hWnd == focus; });
    switch (msg->wParam) {
      case VK_UP:
        if (!onButton) {
          if (m_buttons[0].m_hWnd) m_buttons[0].SetFocus();
        } else if (HasPlacedPage()) {
          CanvasPage()->TakeFocus();
        }
        return TRUE;
      case VK_LEFT:
      case VK_RIGHT:
        return TRUE;
      case VK_DOWN:
        if (onButton) {
          if (CWnd* sheet = GetParent()) {
            if (HWND tab = reinterpret_cast<HWND>(sheet->SendMessage(PSM_GETTABCONTROL))) ::SetFocus(tab);
          }
          return TRUE;
        }
        break;
      default:
        break;
    }
  }
  return QvPictureToolPage::PreTranslateMessage(msg);
}

// --- QvPictureViewToolPage -------------------------------------------------------------

QvPictureViewToolPage::QvPictureViewToolPage(QvMessageRecord* record)
    : QvPictureToolPage(record, std::make_unique<QvPictureViewCanvasPage>(record)) {}

QvPictureViewToolPage::~QvPictureViewToolPage() = default;

BOOL QvPictureViewToolPage::OnKillActive() {
  if (m_page && m_pageCreated && m_commitOnLeave) m_page->StorePage(1, this);
  return CPropertyPage::OnKillActive();
}

void QvPictureViewToolPage::AfterPlacement() {
  for (CBitmapButton& b : m_buttons) {
    if (b.m_hWnd) b.EnableWindow(FALSE);
  }
  m_bar.SetEnabledLook(false);
}
