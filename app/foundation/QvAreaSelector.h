// The selection mode of a text field: Enter starts it, a second Enter drops
// the anchor at the caret and the arrows then extend the selection, a third
// Enter (or Backspace, or a tap once anchored) ends it. The field's parent
// hears each step as kAreaSelectMessage (wParam 1 on, 2 anchored, 0 off).
#pragma once

#include "app/protocol/WindowMessages.h"
#include "platform/ui/WinUser.h"


class QvAreaSelector {
 public:
  explicit QvAreaSelector(HWND& edit) : edit_(edit) {}
  virtual ~QvAreaSelector() = default;

  virtual void Begin();
  virtual void End();
  virtual void Step();
  void Anchor();

  bool IsActive() const { return active_; }
  bool IsAnchored() const { return anchored_; }

  // WM_KEYDOWN before the field sees it; true when taken.
  bool FilterKey(UINT key);
  // WM_CHAR; true when taken. The Enter that stepped the mode and the keys
  // swallowed while selecting must not type; Backspace ends the mode.
  bool FilterChar(UINT ch);
  void FilterTap();

 private:
  void Tell(WPARAM step) const;

  bool active_ = false;
  bool anchored_ = false;
  HWND& edit_;  // the field's handle, read when it is needed
  HIMC savedContext_ = nullptr;
};
