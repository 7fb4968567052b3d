#include "app/message/tools/QvToolPage.h"

#include <algorithm>

#include "app/message/edit/QvDecoEditMessagePage.h"
#include "app/message/edit/QvEditMessagePage.h"
#include "app/message/pages/QvMessagePage.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CMenu.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/dialog/PropertySheet.h"

namespace {

constexpr UINT kFocusLeavesBody = kLeaveBodyDownMessage;
constexpr UINT kDecorationChanged = kDecorationChangedMessage;
constexpr UINT kOpenPalette = kOpenPaletteMessage;
constexpr UINT kBack = kBackMessage;
constexpr UINT kBodyGotFocus = kBodyGotFocusMessage;
constexpr UINT kBodyLostFocus = kBodyLostFocusMessage;
constexpr UINT kAskPageKind = kPageKindQuery;
constexpr int kCloseButton = 1200;
constexpr UINT kTextToolTemplate = 137;
constexpr UINT kDecoratedPageTemplate = 125;
constexpr UINT kPlainPageTemplate = 124;

// The palette's commands, sent to the page; the palette closes after each.
struct PaletteCommand {
  int control;
  UINT command;
  bool guardsPair;  // 1193 and 1202 are disabled while their command runs
};
constexpr PaletteCommand kPaletteCommands[] = {
    {1190, 40168, false}, {1196, 40163, false}, {1193, 40175, true},
    {1194, 40174, false}, {1202, 40156, true},  {1199, 40158, false},
};

// The palette's popup buttons: the menu and its nominal size.
struct PalettePopup {
  int control;
  UINT menu;
  int w, h;
};
constexpr PalettePopup kPalettePopups[] = {
    {1163, 183, 119, 121}, {1192, 187, 143, 82}, {1197, 186, 143, 82}, {1198, 185, 186, 121}, {1195, 184, 191, 82},
};

}  // namespace

// --- QvToolPage ----------------------------------------------------------------

BEGIN_MESSAGE_MAP(QvToolPage, CPropertyPage)
  ON_WM_SIZE()
END_MESSAGE_MAP()

QvToolPage::QvToolPage(UINT templateId, QvMessageRecord* record, int mode, std::unique_ptr<QvMessagePage> page,
                       UINT hostTemplate)
    : CPropertyPage(templateId),
      m_page(std::move(page)),
      m_mode(mode),
      m_record(record),
      m_hostTemplate(hostTemplate) {}

QvToolPage::~QvToolPage() = default;

BOOL QvToolPage::DestroyCommandBar() {
  if (m_page) m_page->DestroyCommandBar();
  return TRUE;
}
BOOL QvToolPage::StorePage(int store) { return m_page ? m_page->StorePage(store, this) : TRUE; }
void QvToolPage::DiscardPicture(int, int) {}
void QvToolPage::ReloadPage(int a, int b) {
  if (m_page) m_page->ReloadPage(a, b);
}
BOOL QvToolPage::CheckBeforeSend(int value) { return m_page ? m_page->CheckBeforeSend(value, this) : TRUE; }
BOOL QvToolPage::PrepareSend(int) { return TRUE; }
void QvToolPage::FocusFirstField(int a, int b) {
  if (m_page) m_page->FocusFirstField(a, b);
}
void QvToolPage::OnSheetClosing(int a, int b) {
  if (m_page) m_page->OnSheetClosing(a, b);
}
QvMessagePage* QvToolPage::GetMessagePage() const { return m_page.get(); }

BOOL QvToolPage::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  if (m_page) m_pageCreated = m_page->Create(m_hostTemplate, this) ? 1 : 0;
  return TRUE;
}

BOOL QvToolPage::OnSetActive() {
  if (m_page && m_pageCreated) m_page->OnPageActivate();
  return CPropertyPage::OnSetActive();
}

BOOL QvToolPage::OnKillActive() {
  if (m_page && m_pageCreated && m_commitOnLeave && !m_page->OnPageDeactivate()) return FALSE;
  return CPropertyPage::OnKillActive();
}

LRESULT QvToolPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // Commands of the tool page's own controls stay here; the rest (menus,
  // popups, the soft keys) and activation go to the hosted page.
  const bool ownControl = message == WM_COMMAND && ::GetDlgItem(m_hWnd, LOWORD(wParam)) != nullptr;
  if ((message == WM_COMMAND && !ownControl) || message == WM_ACTIVATE || message == WM_INITMENUPOPUP) {
    return m_page && m_page->m_hWnd ? m_page->SendMessage(message, wParam, lParam) : 0;
  }
  return CPropertyPage::WindowProc(message, wParam, lParam);
}

bool QvToolPage::IsPortrait() { return ::GetSystemMetrics(SM_CXSCREEN) < ::GetSystemMetrics(SM_CYSCREEN); }

POINT QvToolPage::PageOrigin() const {
  POINT p{0, 52};
  ScreenToClient(&p);
  return p;
}

void QvToolPage::Relayout() {
  ForgetSize();
  CRect client;
  GetClientRect(&client);
  PostMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.Width(), client.Height()));
}

bool QvToolPage::HasPlacedPage() const { return m_page && m_pageCreated && m_page->m_hWnd; }

void QvToolPage::OnSize(UINT type, int cx, int cy) {
  if (cx == m_savedWidth && cy == m_savedHeight) return;
  CPropertyPage::OnSize(type, cx, cy);
  if (HasPlacedPage()) {
    CRect client;
    GetClientRect(&client);
    PlaceTools(client);
  }
  m_savedWidth = cx;
  m_savedHeight = cy;
}

void QvToolPage::PlaceTools(const RECT& client) {
  const POINT o = PageOrigin();
  const int width = std::min<int>(client.right - o.x, IsPortrait() ? 480 : 800);
  m_page->SetWindowPos(nullptr, o.x, o.y, width, client.bottom - o.y, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// --- QvTextToolPage --------------------------------------------------------------

const QvPaletteButton QvTextToolPage::kButtons[kRows][kColumns] = {
    {{1190, {486, 486, 487, 488}, 0},
     {1163, {492, 492, 493, 494}, 1},
     {1196, {474, 474, 475, 476}, 7},
     {1193, {471, 471, 473, 472}, 17},
     {1194, {498, 498, 499, 500}, 16},
     {1202, {495, 495, 496, 497}, -1}},
    {{1192, {477, 477, 478, 479}, 8},
     {1197, {480, 480, 481, 482}, 9},
     {1198, {483, 483, 484, 485}, 14},
     {1199, {501, 501, 502, 503}, 12},
     {1195, {504, 504, 505, 506}, -1},
     {1200, {489, 489, 490, 491}, -1}},
};

BEGIN_MESSAGE_MAP(QvTextToolPage, QvToolPage)
  ON_MESSAGE(kFocusLeavesBody, &QvTextToolPage::OnFocusLeavesBody)
  ON_MESSAGE(kBack, &QvTextToolPage::OnBack)
END_MESSAGE_MAP()

QvTextToolPage::QvTextToolPage(QvMessageRecord* record, int mode, std::unique_ptr<QvMessagePage> page,
                               UINT hostTemplate)
    : QvToolPage(kTextToolTemplate, record, mode, std::move(page), hostTemplate),
      m_buttons(std::make_unique<std::array<std::array<CBitmapButton, kColumns>, kRows>>()) {}

QvTextToolPage::~QvTextToolPage() = default;

BOOL QvTextToolPage::CheckSize() { return TRUE; }

BOOL QvTextToolPage::OnInitDialog() {
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const QvPaletteButton& b = kButtons[r][c];
      CBitmapButton& button = Button(r, c);
      if (!::GetDlgItem(m_hWnd, b.control) || !button.SubclassDlgItem(b.control, this)) continue;
      button.SetButtonStyle(BS_OWNERDRAW, FALSE);
      button.ModifyStyle(0, BS_NOTIFY);
      button.LoadBitmaps(b.bitmaps[0], b.bitmaps[1], b.bitmaps[2], b.bitmaps[3]);
      button.SizeToContent();
    }
  }
  if (::GetDlgItem(m_hWnd, kStateBarId)) m_stateBar.SubclassDlgItem(kStateBarId, this);
  return QvToolPage::OnInitDialog();
}

LRESULT QvTextToolPage::OnFocusLeavesBody(WPARAM, LPARAM) {
  CWnd* sheet = GetParent();
  if (!sheet) return 0;
  const LRESULT kind = sheet->SendMessage(kAskPageKind);
  if (kind == 0 || kind == 3) {
    if (HWND tab = reinterpret_cast<HWND>(sheet->SendMessage(PSM_GETTABCONTROL))) ::SetFocus(tab);
  }
  return 0;
}

LRESULT QvTextToolPage::OnBack(WPARAM wParam, LPARAM lParam) {
  return m_page && m_page->m_hWnd ? m_page->SendMessage(kBack, wParam, lParam) : 0;
}

POINT QvTextToolPage::PopupPosition(const RECT& button, int w, int h, const RECT& client, bool portrait) {
  POINT p{};
  if (portrait) {
    p.x = (button.left + button.right) / 2 - w / 2;
    p.x = std::max<LONG>(p.x, client.left);
    if (p.x + w > client.right) p.x = client.right - w;
    p.y = button.top - h - 4;
  } else {
    p.y = (button.top + button.bottom) / 2 - h / 2;
    p.y = std::clamp<LONG>(p.y, client.top, std::max<LONG>(client.bottom - h, client.top));
    p.x = button.left - w - 4;
  }
  return p;
}

// --- QvEditToolPage ---------------------------------------------------------------

BEGIN_MESSAGE_MAP(QvEditToolPage, QvTextToolPage)
  ON_WM_PAINT()
  ON_MESSAGE(kDecorationChanged, &QvEditToolPage::OnDecorationChanged)
  ON_MESSAGE(kOpenPalette, &QvEditToolPage::OnOpenPalette)
  ON_MESSAGE(kBodyGotFocus, &QvEditToolPage::OnBodyFocus)
  ON_MESSAGE(kBodyLostFocus, &QvEditToolPage::OnOtherFocus)
  ON_BN_CLICKED(kCloseButton, &QvEditToolPage::OnCloseButton)
  ON_STN_CLICKED(QvTextToolPage::kStateBarId, &QvEditToolPage::OnStateBarClick)
  ON_COMMAND_RANGE(1163, 1202, &QvEditToolPage::OnPaletteButton)
END_MESSAGE_MAP()

namespace {

std::unique_ptr<QvMessagePage> MakeComposePage(QvMessageRecord* record, int decorated) {
  if (decorated) return std::make_unique<QvDecoEditMessagePage>(record);
  return std::make_unique<QvTextEditMessagePage>(record);
}

}  // namespace

QvEditToolPage::QvEditToolPage(QvMessageRecord* record, int decorated)
    : QvEditToolPage(record, decorated, MakeComposePage(record, decorated)) {}

QvEditToolPage::QvEditToolPage(QvMessageRecord* record, int decorated, std::unique_ptr<QvMessagePage> page)
    : QvTextToolPage(record, decorated, std::move(page), decorated ? kDecoratedPageTemplate : kPlainPageTemplate) {}

QvEditToolPage::~QvEditToolPage() = default;

BOOL QvEditToolPage::CheckSize() {
  auto* page = dynamic_cast<QvEditMessagePage*>(m_page.get());
  return page && page->m_hWnd ? page->CheckSize() : TRUE;
}

bool QvEditToolPage::HasRoomForPicture() {
  auto* page = dynamic_cast<QvEditMessagePage*>(m_page.get());
  return !page || !page->m_hWnd || page->HasRoomForPicture();
}

void QvEditToolPage::SetEditMenuMode(int flag) {
  auto* page = dynamic_cast<QvTextEditMessagePage*>(m_page.get());
  if (m_mode || !page) return;
  page->SetMenuId(flag ? 181 : 182);
  if (page->m_hWnd) page->CreateCommandBar(page->MenuId());
}

BOOL QvEditToolPage::OnInitDialog() {
  if (auto* page = dynamic_cast<QvDecoEditMessagePage*>(m_page.get()); page && m_mode) {
    page->TakeDecorationTools(&m_stateBar, &m_decoState, m_mode);
    m_stateBar.AttachState(&m_decoState);
  }
  QvTextToolPage::OnInitDialog();
  if (m_mode) {
    m_lastEnableWord = kStartEnableWord;
    m_paletteFocus = 0;
    m_firstFocus = 1;
  }
  return TRUE;
}

bool QvEditToolPage::FindButton(HWND hwnd, int* row, int* column) const {
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (hwnd && (*m_buttons)[r][c].m_hWnd == hwnd) {
        *row = r;
        *column = c;
        return true;
      }
    }
  }
  return false;
}

void QvEditToolPage::OpenPalette() {
  m_paletteOpen = true;
  if (Button(0, 0).m_hWnd) Button(0, 0).SetFocus();
  if (m_stateBar.m_hWnd) m_stateBar.Invalidate();
  Relayout();
}

void QvEditToolPage::ClosePalette() {
  if (auto* page = dynamic_cast<QvDecoEditMessagePage*>(m_page.get()); page && page->m_hWnd) {
    page->CloseDecoration(0, 0);
  }
  m_paletteOpen = false;
  if (m_stateBar.m_hWnd) m_stateBar.Invalidate();
  Relayout();
}

void QvEditToolPage::ApplyEnableWord(DWORD word) {
  if (word == m_lastEnableWord) return;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const int bit = kButtons[r][c].bit;
      if (bit >= 0 && Button(r, c).m_hWnd) Button(r, c).EnableWindow((word >> bit) & 1u);
    }
  }
  m_lastEnableWord = word;
}

CBitmapButton* QvEditToolPage::ArrowTarget(UINT key, int row, int column) {
  auto usable = [this](int r, int c) { return Button(r, c).m_hWnd && Button(r, c).IsWindowEnabled(); };
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
      const int step = key == VK_LEFT ? -1 : 1;
      for (int i = 1; i <= kColumns; ++i) {
        const int c = ((column + step * i) % kColumns + kColumns) % kColumns;
        if (usable(row, c)) return &Button(row, c);
      }
      return nullptr;
    }
    case VK_UP:
      return row == 1 && usable(0, column) ? &Button(0, column) : nullptr;
    case VK_DOWN:
      return row == 0 && usable(1, column) ? &Button(1, column) : nullptr;
    default:
      return nullptr;
  }
}

BOOL QvEditToolPage::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN) {
    UINT key = static_cast<UINT>(msg->wParam);
    if (!IsPortrait()) {
      // The palette stands in two columns: the arrows turn with it.
      switch (key) {
        case VK_RIGHT: key = VK_DOWN; break;
        case VK_DOWN: key = VK_RIGHT; break;
        case VK_LEFT: key = VK_UP; break;
        case VK_UP: key = VK_LEFT; break;
        default: break;
      }
    }
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
      int row = 0;
      int column = 0;
      if (!FindButton(msg->hwnd, &row, &column)) row = column = 0;
      if (CBitmapButton* target = ArrowTarget(key, row, column)) {
        target->SetFocus();
        return TRUE;
      }
    }
  }
  return QvTextToolPage::PreTranslateMessage(msg);
}

void QvEditToolPage::PlaceTools(const RECT& client) {
  const bool portrait = IsPortrait();
  const POINT o = PageOrigin();
  const int left = client.left;
  const int top = o.y;
  const int right = client.right;
  const int bottom = client.bottom;
  const bool open = m_mode && m_paletteOpen;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      CBitmapButton& b = Button(r, c);
      if (!b.m_hWnd) continue;
      if (!open) {
        b.ShowWindow(SW_HIDE);
        continue;
      }
      const int x = portrait ? left + 10 + 78 * c : right - left - 202 + 74 * r;
      const int y = portrait ? bottom - top - 156 + 54 * r : top + 15 + 60 * c;
      b.SetWindowPos(nullptr, x, y, 70, 50, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
  }
  if (m_stateBar.m_hWnd) {
    if (!m_mode) {
      m_stateBar.ShowWindow(SW_HIDE);
    } else if (portrait) {
      m_stateBar.SetWindowPos(nullptr, left, bottom - top - 44, right - left, 44, SWP_NOZORDER | SWP_SHOWWINDOW);
    } else {
      m_stateBar.SetWindowPos(nullptr, right - left - 48, top, 48, bottom - top, SWP_NOZORDER | SWP_SHOWWINDOW);
    }
  }
  int width = std::min<int>(right - o.x, portrait ? 480 : 800);
  int height = bottom - top;
  if (m_mode) {
    if (portrait) {
      height -= open ? 164 : 42;
    } else {
      width -= open ? 212 : 48;
    }
  }
  m_page->SetWindowPos(nullptr, o.x, o.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void QvEditToolPage::OnPaint() {
  CPaintDC dc(this);
  if (!m_mode || !m_paletteOpen) return;
  int row = 0;
  int column = 0;
  m_paletteFocus = FindButton(::GetFocus(), &row, &column) ? 1 : 0;
  if (Button(1, 5).m_hWnd) Button(1, 5).EnableWindow(m_paletteFocus);
  const bool portrait = IsPortrait();
  CBitmap background;
  if (!background.LoadBitmap(portrait ? (m_paletteFocus ? 508 : 609) : (m_paletteFocus ? 507 : 611))) return;
  CRect client;
  GetClientRect(&client);
  const POINT o = PageOrigin();
  CDC memory;
  memory.CreateCompatibleDC(&dc);
  CBitmap* old = memory.SelectObject(&background);
  if (portrait) {
    dc.BitBlt(client.left, client.bottom - o.y - 166, 480, 122, &memory, 0, 0, SRCCOPY);
  } else {
    dc.BitBlt(client.right - client.left - 212, o.y, 164, 376, &memory, 0, 0, SRCCOPY);
  }
  memory.SelectObject(old);
}

LRESULT QvEditToolPage::OnDecorationChanged(WPARAM, LPARAM) {
  if (m_stateBar.m_hWnd) m_stateBar.Update();
  ApplyEnableWord(m_decoState.markerColor);
  return 0;
}

LRESULT QvEditToolPage::OnOpenPalette(WPARAM, LPARAM) {
  if (!m_paletteOpen) {
    OpenPalette();
    return 0;
  }
  int row = 0;
  int column = 0;
  if (!FindButton(::GetFocus(), &row, &column)) {
    if (Button(0, 0).m_hWnd && Button(0, 0).IsWindowEnabled()) {
      Button(0, 0).SetFocus();
    } else if (Button(1, 0).m_hWnd && Button(1, 0).IsWindowEnabled()) {
      Button(1, 0).SetFocus();
    }
    Invalidate();
    m_firstFocus = 1;
  }
  m_paletteFocus = 1;
  return 0;
}

LRESULT QvEditToolPage::OnBodyFocus(WPARAM, LPARAM) {
  m_bodyFocused = 1;
  return 0;
}

LRESULT QvEditToolPage::OnOtherFocus(WPARAM, LPARAM) {
  m_bodyFocused = 0;
  if (m_paletteOpen) ClosePalette();
  return 0;
}

void QvEditToolPage::OnCloseButton() { ClosePalette(); }

void QvEditToolPage::OnStateBarClick() {
  if (!m_mode || !m_bodyFocused) return;
  if (m_paletteOpen) {
    ClosePalette();
  } else {
    OpenPalette();
  }
}

void QvEditToolPage::OnPaletteButton(UINT id) {
  for (const PaletteCommand& p : kPaletteCommands) {
    if (static_cast<UINT>(p.control) != id) continue;
    CWnd* pairA = GetDlgItem(1193);
    CWnd* pairB = GetDlgItem(1202);
    if (p.guardsPair) {
      if (pairA) pairA->EnableWindow(FALSE);
      if (pairB) pairB->EnableWindow(FALSE);
    }
    if (m_page && m_page->m_hWnd) m_page->SendMessage(WM_COMMAND, p.command, 0);
    if (p.guardsPair) {
      if (pairA) pairA->EnableWindow(TRUE);
      if (pairB) pairB->EnableWindow(TRUE);
    }
    ClosePalette();
    return;
  }
  for (const PalettePopup& p : kPalettePopups) {
    if (static_cast<UINT>(p.control) == id) {
      ShowPalettePopup(p.control, p.menu, p.w, p.h);
      return;
    }
  }
}

void QvEditToolPage::ShowPalettePopup(int control, UINT menuId, int w, int h) {
  bool& guard = m_popupGuard[control];
  if (guard) return;
  CWnd* button = GetDlgItem(control);
  if (!button) return;
  CMenu menu;
  if (!menu.LoadMenu(menuId)) return;
  HMENU popup = ::GetSubMenu(menu.GetSafeHmenu(), 0);
  if (!popup) return;
  guard = true;
  CRect at;
  button->GetWindowRect(&at);
  CRect client;
  GetClientRect(&client);
  ClientToScreen(&client);
  const POINT p = PopupPosition(at, w, h, client, IsPortrait());
  SetForegroundWindow();
  const HWND self = m_hWnd;
  ::TrackPopupMenuEx(popup, 0, p.x, p.y, self, nullptr);
  if (::IsWindow(self)) {
    ::PostMessageW(self, WM_NULL, 0, 0);
    guard = false;
    ClosePalette();
  }
}
