// Re-placing a live dialog's controls from another template (a turned
// screen's layout of the same dialog).
#include <vector>

#include "platform/ui/dialog/DialogManager.h"

namespace {

BOOL Relayout(HWND dialog, const std::optional<qv::ui::DialogTemplate>& t) {
  qv::ui::DialogData* data = qv::ui::DataOf(dialog);
  if (!data || !t) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Children without an id, in child order: the template's unnamed controls
  // are theirs in the same order.
  std::vector<HWND> unnamed;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF) unnamed.push_back(child);
  }
  size_t nextUnnamed = 0;
  bool allFound = true;
  for (const qv::ui::DialogControl& c : t->controls) {
    HWND control = nullptr;
    if (c.id == -1 || c.id == 0xFFFF) {
      if (nextUnnamed < unnamed.size()) control = unnamed[nextUnnamed++];
    } else {
      control = GetDlgItem(dialog, c.id);
    }
    if (!control) {
      allFound = false;
      continue;
    }
    const RECT r = qv::ui::ToPixels(c.box, data->base);
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(dialog, nullptr, TRUE);
  if (!allFound) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return allFound ? TRUE : FALSE;
}

}  // namespace

namespace qv {

BOOL RelayoutDialog(HINSTANCE instance, HWND dialog, LPCWSTR templateName) {
  return Relayout(dialog, qv::ui::LoadDialogTemplate(instance, templateName));
}

BOOL RelayoutDialogIndirect(HWND dialog, LPCDLGTEMPLATEW dialogTemplate) {
  if (!dialogTemplate) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Relayout(dialog, qv::ui::DialogTemplate::Parse(dialogTemplate));
}

}  // namespace qv
