#include "app/foundation/QvAreaSelector.h"

#include "platform/shell/ShellUi.h"

void QvAreaSelector::Tell(WPARAM step) const {
  if (HWND parent = ::GetParent(edit_)) ::SendMessageW(parent, kAreaSelectMessage, step, 0);
}

void QvAreaSelector::Begin() {
  if (active_) return;
  // Composition would swallow the arrows while selecting.
  savedContext_ = ImmAssociateContext(edit_, nullptr);
  active_ = true;
  anchored_ = false;
  Tell(1);
}

void QvAreaSelector::End() {
  if (!active_) return;
  ImmAssociateContext(edit_, savedContext_);
  savedContext_ = nullptr;
  active_ = false;
  anchored_ = false;
  Tell(0);
}

void QvAreaSelector::Anchor() {
  anchored_ = true;
  Tell(2);
}

void QvAreaSelector::Step() {
  if (!active_) {
    Begin();
  } else if (anchored_) {
    End();
  } else {
    Anchor();
  }
}

bool QvAreaSelector::FilterKey(UINT key) {
  if (key == VK_RETURN) {
    Step();
    return true;
  }
  if (!active_) return false;
  if (key < VK_LEFT || key > VK_DOWN) return true;  // only the arrows move while selecting
  if (!anchored_ || GetKeyState(VK_SHIFT) < 0) return false;
  // The field extends its selection for a shifted arrow: replay it so.
  keybd_event(VK_SHIFT, 0, 0, 0);
  keybd_event(static_cast<BYTE>(key), 0, 0, 0);
  keybd_event(static_cast<BYTE>(key), 0, KEYEVENTF_KEYUP, 0);
  keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  return true;
}

bool QvAreaSelector::FilterChar(UINT ch) {
  if (ch == L'\r') return true;
  if (!active_) return false;
  if (ch != VK_BACK) return true;
  End();
  return false;
}

void QvAreaSelector::FilterTap() {
  if (anchored_) End();
}
