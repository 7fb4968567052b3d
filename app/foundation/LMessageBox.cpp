#include "app/foundation/LMessageBox.h"

#include <algorithm>

#include "app/foundation/MessageBoxes.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/MessageMap.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/Sound.h"
#include "platform/gdi/ScopedGdi.h"

namespace {

constexpr int kPictureAt = 20;
constexpr int kPictureSize = 64;
constexpr COLORREF kSeeThrough = RGB(255, 0, 255);
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 50;
// Room kept between the box and the screen's edge, and inside the box.
constexpr int kScreenMargin = 10;
constexpr int kInnerMargin = 5;

struct Measure {
  int lines = 1;
  int widest = 0;
};

// Lines and widest line in units of a full-width character (two ASCII
// characters make one), wrapping at `limit` units.
Measure MeasureText(const std::wstring& text, int limit) {
  Measure m;
  int counter = 1;
  bool halfUnit = false;
  bool wrappedOrBroken = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t ch = text[i];
    if (ch == L'\n') {
      m.widest = std::max(m.widest, counter);
      counter = 1;
      halfUnit = false;
      ++m.lines;
      wrappedOrBroken = true;
      continue;
    }
    if (counter >= limit) {
      m.widest = limit;
      counter = 1;
      wrappedOrBroken = true;
      if (i + 1 < text.size()) ++m.lines;
    }
    if (ch >= 32 && ch <= 126) {
      if (halfUnit) ++counter;
      halfUnit = !halfUnit;
    } else {
      ++counter;
    }
  }
  if (!wrappedOrBroken) m.widest = static_cast<int>(text.size());
  else m.widest = std::min(limit, std::max(m.widest, counter));
  if (text.find(L"Opera Browser") != std::wstring::npos && m.lines > 1) --m.lines;
  return m;
}

LPCWSTR OrDefault(LPCWSTR label, LPCWSTR fallback) { return label && *label ? label : fallback; }

}  // namespace

LMessageBoxLayout LayOutLMessageBox(const std::wstring& text, UINT type, int screenWidth, int screenHeight,
                                    SIZE frame) {
  LMessageBoxLayout l;
  const UINT buttons = type & 0x0Fu;
  l.kind = buttons == 3 ? 3 : buttons == 4 ? 2 : 1;
  const UINT icon = type & 0xF0u;
  l.picture = icon == 0x20u ? kQuestionPicture : icon == 0x30u ? kWarningPicture : kInformationPicture;
  const Measure m = MeasureText(text, l.kind == 3 ? 18 : 14);
  l.lines = m.lines;
  l.widest = m.widest;
  l.extraHeight = l.lines < 3 ? 0 : 21 * l.lines - 42;

  // The box as drawn for the original screen...
  int height = 230;
  const int a = 252 - 18 * l.widest;
  int width = 400;
  int left = a + 20;
  if (l.kind == 1) {
    height = 180;
    width = 400 - a;
  } else if (l.kind == 2) {
    width = std::max(400 - a, 330);
  } else {
    width = 460;
    left = 10;
  }
  int top = 150;
  if (l.lines >= 3) {
    height = std::min(height + l.extraHeight, 500);
    top = l.extraHeight / 2 > 120 ? 30 : 150 - l.extraHeight / 2;
  }
  if (screenWidth >= screenHeight) left += 80;
  // ...kept whole on this one: long single lines and many lines would leave it.
  width = std::min(width, screenWidth - 2 * kScreenMargin);
  height = std::min(height, screenHeight - 2 * kScreenMargin);
  left = std::clamp(left, kScreenMargin, screenWidth - kScreenMargin - width);
  top = std::clamp(top, kScreenMargin, screenHeight - kScreenMargin - height);
  l.box = {left, top, left + width, top + height};

  const int clientWidth = width - frame.cx;
  const int clientHeight = height - frame.cy;
  const int buttonsTop =
      std::max(0, std::min(l.extraHeight + 105, clientHeight - kButtonHeight - kInnerMargin));
  const int textTop = l.lines == 1 ? 40 : l.lines == 2 ? 30 : 25;
  const int textWidth = std::min((l.kind == 3 ? 450 : l.widest * 18 + 138) - 100, clientWidth - 100 - kInnerMargin);
  const int textBottom = l.kind == 1 ? clientHeight - kInnerMargin : buttonsTop - kInnerMargin;
  const int textHeight =
      std::min(l.extraHeight + 98 - textTop - (l.lines == 1 ? 10 : 0), textBottom - textTop);
  l.text = {100, textTop, 100 + std::max(textWidth, 0), textTop + std::max(textHeight, 0)};

  auto button = [&](int x) { return RECT{x, buttonsTop, x + kButtonWidth, buttonsTop + kButtonHeight}; };
  if (l.kind == 3) {
    l.buttons[0] = button(30);
    l.buttons[1] = button(170);
    l.buttons[2] = button(310);
  } else if (l.kind == 2) {
    const int yes = (width - 270) / 2;
    l.buttons[0] = button(yes);
    l.buttons[1] = button(yes + 150);
  }
  return l;
}

BEGIN_MESSAGE_MAP(LMessageBox, QvTimedDialog)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_WM_SETTINGCHANGE()
  ON_BN_CLICKED(kLMessageBoxYes, &LMessageBox::OnYes)
  ON_BN_CLICKED(kLMessageBoxNo, &LMessageBox::OnNo)
  ON_BN_CLICKED(kLMessageBoxCancel, &LMessageBox::OnCancelButton)
END_MESSAGE_MAP()

LMessageBox::LMessageBox(LPCWSTR text, LPCWSTR caption, UINT type, int timer, LPCWSTR label1, LPCWSTR label2,
                         LPCWSTR label3, CWnd* parent)
    : QvTimedDialog(kLMessageBoxTemplate, parent),
      caption_(CString(L" ") + (caption ? caption : L"")),
      text_(text ? text : L""),
      type_(type),
      timer_(timer),
      labels_{OrDefault(label1, L"はい"), OrDefault(label2, L"いいえ"), OrDefault(label3, L"キャンセル")} {}

BOOL LMessageBox::OnInitDialog() {
  CDialog::OnInitDialog();
  // An open menu would stay over the box.
  if (HWND menu = ::FindWindowW(L"MNU", nullptr)) ::SendMessageW(menu, WM_CANCELMODE, 0, 0);
  SetWindowText(caption_);
  SetDlgItemText(kLMessageBoxText, text_);
  const int ids[] = {kLMessageBoxYes, kLMessageBoxNo, kLMessageBoxCancel};
  for (int i = 0; i < 3; ++i) SetDlgItemText(ids[i], labels_[i]);
  if ((type_ & 0x0Fu) != 3 && (type_ & 0x0Fu) != 4) ModifyStyleEx(0, WS_EX_CAPTIONOKBTN, SWP_FRAMECHANGED);
  Place(true);
  StartAnswerTimer(timer_);
  return TRUE;
}

void LMessageBox::Place(bool centre) {
  const qv::ui::DeviceProfile screen = qv::ui::CurrentProfile();
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectEx(&frame, GetStyle(), FALSE, GetExStyle());
  layout_ = LayOutLMessageBox(text_.str(), type_, screen.width, screen.height,
                              SIZE{frame.right - frame.left, frame.bottom - frame.top});
  const RECT& b = layout_.box;
  SetWindowPos(nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (centre) CentreBoxOverOwner(m_hWnd);
  PlaceControls();
}

void LMessageBox::PlaceControls() {
  const RECT& t = layout_.text;
  if (CWnd* text = GetDlgItem(kLMessageBoxText)) text->MoveWindow(&t);
  const int ids[] = {kLMessageBoxYes, kLMessageBoxNo, kLMessageBoxCancel};
  for (int i = 0; i < 3; ++i) {
    CWnd* button = GetDlgItem(ids[i]);
    if (!button) continue;
    const RECT& r = layout_.buttons[i];
    const bool shown = !::IsRectEmpty(&r);
    if (shown) button->MoveWindow(&r);
    button->ShowWindow(shown ? SW_SHOW : SW_HIDE);
  }
  Invalidate();
}

void LMessageBox::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (m_hWnd && GetDlgItem(kLMessageBoxText)) PlaceControls();
}

void LMessageBox::OnSettingChange(UINT flags, LPCTSTR section) {
  CDialog::OnSettingChange(flags, section);
  Place(true);  // the screen turned
}

void LMessageBox::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  const qv::ScopedGdiObject<HBITMAP> picture(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(layout_.picture)));
  if (picture) {
    ::TransparentImage(dc, kPictureAt, kPictureAt, kPictureSize, kPictureSize, picture.get(), 0, 0, kPictureSize,
                       kPictureSize, kSeeThrough);
  }
  ::EndPaint(m_hWnd, &ps);
}

void LMessageBox::OnYes() { EndDialog(IDYES); }
void LMessageBox::OnNo() { EndDialog(IDNO); }

void LMessageBox::OnCancelButton() {
  StopAnswerTimer();
  EndDialog(IDCANCEL);
}

int ShowLMessageBox(CWnd* parent, LPCWSTR text, LPCWSTR caption, UINT type, LPCWSTR label1, LPCWSTR label2,
                    LPCWSTR label3) {
  PlaySoundW(L"\\Windows\\msgbox.wav", nullptr, SND_ASYNC);
  auto* box = new LMessageBox(text, caption, type, 0, label1, label2, label3, parent);
  const int result = static_cast<int>(box->DoModal());
  delete box;
  return result;
}
