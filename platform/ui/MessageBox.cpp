#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Static.h"
#include "platform/ui/dialog/DialogManager.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {

using qv::ui::DialogControl;
using qv::ui::DialogTemplate;

constexpr int kTextId = 0xFFFF;
// Pixels of the box's layout: room round the text, a button's least size
// (a fingertip's), the gap between buttons and the screen's edge.
constexpr int kPadding = 16;
constexpr int kButtonHeight = 56;
constexpr int kButtonWidth = 120;
constexpr int kButtonGap = 12;
constexpr int kScreenMargin = 16;
constexpr int kIcon = 64;

struct Button {
  int id;
  const wchar_t* text;
};

struct Box {
  std::vector<Button> buttons;
  int defaultId = IDOK;
  UINT icon = 0;  // MB_ICON* bits
};

RECT IconRect() { return {kPadding, kPadding, kPadding + kIcon, kPadding + kIcon}; }

std::vector<Button> ButtonsOf(UINT type) {
  const Button ok{IDOK, L"OK"}, cancel{IDCANCEL, L"キャンセル"}, yes{IDYES, L"はい"}, no{IDNO, L"いいえ"},
      abort{IDABORT, L"中止"}, retry{IDRETRY, L"再試行"}, ignore{IDIGNORE, L"無視"};
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {ok, cancel};
    case MB_ABORTRETRYIGNORE: return {abort, retry, ignore};
    case MB_YESNOCANCEL: return {yes, no, cancel};
    case MB_YESNO: return {yes, no};
    case MB_RETRYCANCEL: return {retry, cancel};
    default: return {ok};
  }
}

bool Has(const Box& box, int id) {
  return std::any_of(box.buttons.begin(), box.buttons.end(), [id](const Button& b) { return b.id == id; });
}

// Sizes the box to its text on the device's screen and centres it there.
void LayOut(HWND dialog, const Box& box) {
  const qv::ui::DeviceProfile screen = qv::ui::CurrentProfile();
  const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE));
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const LONG clientWidth = screen.width - 2 * kScreenMargin - (frame.right - frame.left);
  const LONG textLeft = box.icon ? IconRect().right + kPadding : kPadding;
  RECT textRect{textLeft, kPadding, clientWidth - kPadding, kPadding};
  LONG buttonWidth = kButtonWidth;
  {
    const qv::ScopedGetDC dc(dialog);
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    WCHAR text[1024];
    GetDlgItemTextW(dialog, kTextId, text, 1024);
    DrawTextW(dc, text, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    textRect.right = clientWidth - kPadding;
    if (box.icon) textRect.bottom = std::max(textRect.bottom, IconRect().bottom);
    for (const Button& b : box.buttons) {
      SIZE extent{};
      GetTextExtentPoint32W(dc, b.text, static_cast<int>(wcslen(b.text)), &extent);
      buttonWidth = std::max<LONG>(buttonWidth, extent.cx + 2 * kPadding);
    }
  }
  const LONG count = static_cast<LONG>(box.buttons.size());
  buttonWidth = std::min(buttonWidth, (clientWidth - 2 * kPadding - (count - 1) * kButtonGap) / count);
  const LONG rowWidth = count * buttonWidth + (count - 1) * kButtonGap;
  const LONG rowTop = textRect.bottom + kPadding;
  const LONG clientHeight = rowTop + kButtonHeight + kPadding;
  MoveWindow(GetDlgItem(dialog, kTextId), textRect.left, textRect.top, textRect.right - textRect.left,
             textRect.bottom - textRect.top, FALSE);
  LONG x = (clientWidth - rowWidth) / 2;
  for (const Button& b : box.buttons) {
    MoveWindow(GetDlgItem(dialog, b.id), x, rowTop, buttonWidth, kButtonHeight, FALSE);
    x += buttonWidth + kButtonGap;
  }
  const LONG width = clientWidth + (frame.right - frame.left);
  const LONG height = clientHeight + (frame.bottom - frame.top);
  MoveWindow(dialog, (screen.width - width) / 2, (screen.height - height) / 2, width, height, FALSE);
}

INT_PTR BoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const Box& box = *reinterpret_cast<const Box*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      LayOut(dialog, box);
      SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(box.defaultId), 0);
      SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, box.defaultId)), TRUE);
      return FALSE;
    }
    case WM_PAINT: {
      const Box& box = *reinterpret_cast<const Box*>(GetWindowLongW(dialog, DWL_USER));
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(dialog, &ps);
      if (box.icon) qv::ui::StylePainter::PaintMessageIcon(dc, IconRect(), box.icon);
      EndPaint(dialog, &ps);
      return TRUE;
    }
    case WM_COMMAND: {
      const Box& box = *reinterpret_cast<const Box*>(GetWindowLongW(dialog, DWL_USER));
      int id = LOWORD(wParam);
      if (id == IDCANCEL && !Has(box, IDCANCEL) && box.buttons.size() == 1) id = IDOK;
      if (Has(box, id)) EndDialog(dialog, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

int Show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  Box box;
  box.buttons = ButtonsOf(type);
  box.icon = type & MB_ICONMASK;
  const size_t chosen = std::min<size_t>((type & MB_DEFMASK) >> 8, box.buttons.size() - 1);
  box.defaultId = box.buttons[chosen].id;
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
  t.exStyle = (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
  t.caption = caption;
  t.controls.push_back(DialogControl{SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 0, {}, kTextId, WC_STATIC, text});
  for (const Button& b : box.buttons) {
    const DWORD kind = b.id == box.defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    const DWORD group = &b == &box.buttons.front() ? WS_GROUP : 0;
    t.controls.push_back(DialogControl{kind | group | WS_TABSTOP | WS_VISIBLE, 0, {}, b.id, WC_BUTTON, b.text});
  }
  HWND top = owner && IsWindow(owner) ? GetAncestor(owner, GA_ROOT) : nullptr;
  HWND dialog = qv::ui::MakeDialog(nullptr, t, top, BoxProc, reinterpret_cast<LPARAM>(&box));
  if (!dialog) return 0;
  return static_cast<int>(qv::ui::RunModal(dialog, top, qv::msgbox_seam::BoxShown));
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  const std::wstring body = text ? text : L"";
  const UINT kind = type & MB_TYPEMASK;
  const bool question = kind == MB_OKCANCEL || kind == MB_YESNOCANCEL || kind == MB_YESNO;
  const int answer = qv::msgbox_seam::Decide(body, caption ? caption : L"", question);
  if (answer == qv::msgbox_seam::kShowBox) return Show(owner, body, caption ? caption : L"エラー", type);
  // A Yes/No answer given to an OK/Cancel box means OK/Cancel.
  if (kind == MB_OKCANCEL) return answer == IDYES ? IDOK : answer == IDNO ? IDCANCEL : answer;
  return answer;
}
