// Inside the window system: what the dialog manager keeps for each dialog
// and the steps its calls share.
#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include "platform/ui/dialog/DialogTemplate.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {

struct DialogData {
  HFONT font = nullptr;
  bool ownsFont = false;
  SIZE base{};  // dialog base units
  int defId = 0;
  bool hasDefId = false;  // DM_SETDEFID was sent
  HWND savedFocus = nullptr;
  std::atomic<bool> ended{false};
  INT_PTR result = 0;
};

// Where a dialog's window keeps its DialogData*.
constexpr int kDialogDataSlot = DWL_USER + static_cast<int>(sizeof(LONG_PTR));

// Null for a window that is no dialog (or is gone).
DialogData* DataOf(HWND dialog);

std::optional<DialogTemplate> LoadDialogTemplate(HINSTANCE instance, LPCWSTR name);
// Makes the dialog and its controls and sends WM_INITDIALOG; shows it when
// the template asks (modeless) or leaves that to the modal loop.
HWND MakeDialog(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param);
// Runs a made dialog modally and destroys it. `firstIdle`, when given, is
// called once when the dialog is up and waits for input.
INT_PTR RunModal(HWND dialog, HWND owner, const std::function<void(HWND)>& firstIdle = {});

// Base units of a font: (extent of "A".."Z" "a".."z" / 26 + 1) / 2 and tmHeight.
SIZE BaseUnitsOf(HFONT font);
RECT ToPixels(const RECT& units, SIZE base);

// Moves the focus to a control as the dialog manager does: edit-like
// controls get their text selected, push buttons take the default look.
void FocusControl(HWND dialog, HWND control);
// The push button Enter presses looks so: the focused push button, or else
// the button of the default id.
void ShowDefaultButton(HWND dialog, HWND focus);

}  // namespace qv::ui
