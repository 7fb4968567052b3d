// The owner-drawn bitmap buttons of the message window (address and
// attachment buttons): one bitmap of the resource library per font size,
// button kind and focus; and the push button that gives up being the
// default when it loses the focus.
#pragma once

#include <map>

#include "platform/framework/CButton.h"

class QvComButton : public CButton {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Enter, or a tap released on the button, sends `command` to the parent:
  // true when `message` was one of them, with its answer in `result`.
  bool SendCommandOnEnterOrTap(UINT message, WPARAM wParam, LPARAM lParam, UINT command, LRESULT* result);
};

class QvFlatButton : public CButton {
 public:
  // The bitmap drawn for a control font of `fontHeight` pixels, a control
  // `id` and the focus, with the size it is drawn at.
  struct Look {
    UINT bitmap;
    SIZE size;
  };
  static Look LookFor(int fontHeight, int id, bool focused);

  void SetClickMenu(bool on);
  void MapKey(UINT key, HWND target) { keys_[key] = target; }
  HWND FindKeyTarget(UINT key) const;
  RECT GetLowerRect() const;
  int GetButtonState() const { return state_; }
  void SetButtonState(int state) { state_ = state; }

  void DrawItem(LPDRAWITEMSTRUCT dis) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // Enter, or a tap released on the button, sends `command` to the parent:
  // true when `message` was one of them, with its answer in `result`.
  bool SendCommandOnEnterOrTap(UINT message, WPARAM wParam, LPARAM lParam, UINT command, LRESULT* result);

 private:
  std::map<UINT, HWND> keys_;
  bool clickMenu_ = false;
  POINT tap_{};
  int state_ = 0;
};
