// The grow-to-fit field of the header and address views: it asks its parent
// to lay out again as its line count changes, leaves upwards or downwards
// with the arrows at its first or last line, clears itself when the Back key
// is held for a second, and asks its page to close when Back is released in
// an empty field.
#pragma once

#include "app/foundation/QvComAreaSelectEdit.h"
#include "app/foundation/QvEllipsisStatic.h"
#include "app/protocol/WindowMessages.h"
#include "platform/gdi/ScopedGdi.h"

constexpr UINT_PTR kBackHoldTimer = 1;
constexpr UINT kBackHoldMilliseconds = 1000;

class QvFlexibleEdit : public QvComAreaSelectEdit {
 public:
  QvFlexibleEdit();
  ~QvFlexibleEdit() override;

  void SetPrevWindow(HWND hwnd) { prev_ = hwnd; }
  void SetNextWindow(HWND hwnd) { next_ = hwnd; }
  void SetParentResizeNotify(bool on) { resizeNotice_ = on; }
  void SetClickMenu(bool on) { clickMenu_ = on; }
  bool IsReadOnly() const { return (GetStyle() & ES_READONLY) != 0; }
  bool IsTruncated() const { return truncated_; }
  void ClearTruncated();
  BOOL CreateEllipsisMarker();

  virtual void TruncateAtLine(int line);
  virtual void EnsureCaretVisible();
  virtual void MoveCaretToEnd();

  // The height the text needs: its lines in the control font, and 8.
  int NeededHeight() const;
  // The handwriting pages' fields: the height the first ten characters need
  // (with an "l" when the text is empty or ends with a line feed), and 8.
  int FirstCharsHeight() const;
  void NotifyParentResize();
  void MoveFocusTo(HWND target, int direction);

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // Its selector opens the context menu instead of starting the mode.
  class Selector : public QvAreaSelector {
   public:
    Selector(HWND& edit, QvFlexibleEdit& owner) : QvAreaSelector(edit), owner_(owner) {}
    void Step() override;

   private:
    QvFlexibleEdit& owner_;
  };
  bool OnKeyDown(WPARAM key, LPARAM flags);
  void EndHold();
  void Paste();

  Selector selector_;
  qv::ScopedGdiObject<HBRUSH> background_;
  bool tapHold_ = false;
  bool clickMenu_ = false;
  bool truncated_ = false;
  bool backReleaseCloses_ = false;
  bool holding_ = false;
  bool holdTimer_ = false;
  HWND prev_ = nullptr;
  HWND next_ = nullptr;
  bool resizeNotice_ = true;
  QvEllipsisStatic marker_;
};

// One character cell at the field's caret: the size of "A" in its font.
RECT GetEditCaretRect(HWND edit);
// Resizes a control to `height`, keeping its place in its parent.
void ResizeToContentHeight(HWND control, int height);
// WM_CONTEXTMENU for `control` at its client point `point`, to it or to its parent.
void PostContextMenuMessage(HWND control, POINT point, bool toParent);
