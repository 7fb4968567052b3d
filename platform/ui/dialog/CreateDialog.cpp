// Making a dialog from a template: its font and base units, its window and
// controls in template order (which is the tab order), then WM_INITDIALOG.
#include <cmath>
#include <cwchar>

#include "platform/gdi/Gdi.h"
#include "platform/kernel/Resource.h"
#include "platform/ui/dialog/DialogManager.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/metrics/Metrics.h"

namespace qv::ui {
namespace {

constexpr int kPointsPerInch = 72;

HFONT MakeFont(const DialogTemplate& t, bool* owns) {
  *owns = false;
  if (!(t.style & DS_SETFONT) || t.pointSize <= 0) return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  LOGFONTW lf{};
  const int dpi = CurrentProfile().dpi;
  lf.lfHeight = -((t.pointSize * dpi + kPointsPerInch / 2) / kPointsPerInch);
  lf.lfWeight = t.weight;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wcsncpy(lf.lfFaceName, t.face.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  *owns = true;
  return font;
}

// Where the dialog's window goes, in its parent's client (the screen for a
// top-level one).
POINT Placement(const DialogTemplate& t, const RECT& client, const RECT& window, HWND owner) {
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  POINT at{client.left + window.left, client.top + window.top};
  if (t.style & WS_CHILD) return at;
  if (t.style & DS_CENTER) {
    const DeviceProfile p = CurrentProfile();
    return {(p.width - width) / 2, (p.height - height) / 2};
  }
  if (owner && !(t.style & DS_ABSALIGN)) {
    POINT origin{0, 0};
    ClientToScreen(owner, &origin);
    at.x += origin.x;
    at.y += origin.y;
  }
  return at;
}

}  // namespace

DialogData* DataOf(HWND dialog) {
  return dialog && IsWindow(dialog) ? reinterpret_cast<DialogData*>(GetWindowLongW(dialog, kDialogDataSlot)) : nullptr;
}

SIZE BaseUnitsOf(HFONT font) {
  static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SIZE extent{};
  GetTextExtentPoint32W(dc, kAlphabet, 52, &extent);
  SelectObject(dc, old);
  DeleteDC(dc);
  return {(extent.cx / 26 + 1) / 2, tm.tmHeight};
}

RECT ToPixels(const RECT& units, SIZE base) {
  // Rounded to the nearest pixel, as MulDiv does.
  auto x = [&](LONG v) { return static_cast<LONG>(std::lround(v * static_cast<double>(base.cx) / 4)); };
  auto y = [&](LONG v) { return static_cast<LONG>(std::lround(v * static_cast<double>(base.cy) / 8)); };
  return {x(units.left), y(units.top), x(units.right), y(units.bottom)};
}

std::optional<DialogTemplate> LoadDialogTemplate(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = FindResourceW(instance, name, RT_DIALOG);
  if (!found) return std::nullopt;
  const void* data = LockResource(LoadResource(instance, found));
  auto t = DialogTemplate::Parse(data, SizeofResource(instance, found));
  if (!t) SetLastError(ERROR_INVALID_DATA);
  return t;
}

HWND MakeDialog(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param) {
  bool ownsFont = false;
  HFONT font = MakeFont(t, &ownsFont);
  const SIZE base = BaseUnitsOf(font);
  DWORD exStyle = t.exStyle;
  if (t.style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
  if (t.style & DS_CONTROL) exStyle |= WS_EX_CONTROLPARENT;
  const RECT client = ToPixels(t.box, base);
  RECT window{0, 0, client.right - client.left, client.bottom - client.top};
  AdjustWindowRectEx(&window, t.style, FALSE, exStyle);
  const POINT at = Placement(t, client, window, (t.style & WS_CHILD) ? nullptr : owner);
  HWND dialog = CreateWindowExW(exStyle, WC_DIALOG, t.caption.c_str(), t.style & ~WS_VISIBLE, at.x, at.y,
                                window.right - window.left, window.bottom - window.top, owner, nullptr, instance,
                                nullptr);
  DialogData* data = DataOf(dialog);
  if (!data) {
    if (ownsFont) DeleteObject(font);
    if (dialog) DestroyWindow(dialog);
    return nullptr;
  }
  data->font = font;
  data->ownsFont = ownsFont;
  data->base = base;
  SetWindowLongW(dialog, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  if (t.style & DS_SETFONT) SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (const DialogControl& c : t.controls) {
    const RECT r = ToPixels(c.box, base);
    HWND control = CreateWindowExW(c.exStyle | WS_EX_NOPARENTNOTIFY, c.className.c_str(), c.text.c_str(),
                                   c.style | WS_CHILD, r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (!control) {
      if (t.style & DS_NOFAILCREATE) continue;
      DestroyWindow(dialog);
      return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && first && IsWindow(first)) {
    // Focus in a dialog that is not active yet comes with its activation; a
    // child dialog (a sheet's page) is never activated itself.
    if (t.style & WS_CHILD) {
      if (IsWindowVisible(dialog)) FocusControl(dialog, first);
    } else if (DialogData* d = DataOf(dialog); d && GetActiveWindow() != dialog) {
      d->savedFocus = first;
      SetActiveWindow(dialog);
    } else {
      FocusControl(dialog, first);
    }
  }
  if (!IsWindow(dialog)) return nullptr;
  ShowDefaultButton(dialog, GetFocus());
  return dialog;
}

}  // namespace qv::ui

using namespace qv::ui;

namespace {

HWND Modeless(HINSTANCE instance, const std::optional<DialogTemplate>& t, HWND owner, DLGPROC proc, LPARAM param) {
  if (!t) return nullptr;
  HWND dialog = MakeDialog(instance, *t, owner, proc, param);
  if (dialog && (t->style & WS_VISIBLE)) ShowWindow(dialog, SW_SHOWNORMAL);
  return dialog;
}

}  // namespace

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
  auto t = DialogTemplate::Parse(dialogTemplate);
  if (!t) SetLastError(ERROR_INVALID_PARAMETER);
  return Modeless(instance, t, owner, proc, param);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  return Modeless(instance, LoadDialogTemplate(instance, templateName), owner, proc, param);
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  DialogData* data = DataOf(dialog);
  if (!data || !rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = ToPixels(*rect, data->base);
  return TRUE;
}

LONG GetDialogBaseUnits() {
  const SIZE base = BaseUnitsOf(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  return MAKELONG(base.cx, base.cy);
}
