// The subject line of the message pages: a growing field that shows the
// pictographs of a subject as pictures, tells the input panel when
// pictographs may be typed, and in a read-only view turns left and right
// into message paging and up and down into field steps.
#pragma once

#include "app/foundation/QvFlexibleEdit.h"

class QvSubjectEdit : public QvFlexibleEdit {
 public:
  QvSubjectEdit();

  // Kept here too: the read-only keys step to them.
  void SetPrevWindow(HWND hwnd) {
    QvFlexibleEdit::SetPrevWindow(hwnd);
    prev_ = hwnd;
  }
  void SetNextWindow(HWND hwnd) {
    QvFlexibleEdit::SetNextWindow(hwnd);
    next_ = hwnd;
  }
  // The glyph height the field draws its pictographs at.
  int PaintFontHeight() const { return fontHeight_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // Whether this paint draws the whole field itself.
  virtual bool PaintsWhole() const { return IsReadOnly() || redrawPending_; }
  virtual void HeightNotice();
  void PaintWhole(HDC dc);
  void SyncHighlight();

  bool redrawPending_ = false;
  bool firstPaintDone_ = false;
  int fontHeight_ = 0;

 private:
  class Selector : public QvAreaSelector {
   public:
    Selector(HWND& edit, QvSubjectEdit& owner) : QvAreaSelector(edit), owner_(owner) {}
    void Begin() override;
    void End() override;
    void Step() override;

   private:
    QvSubjectEdit& owner_;
  };
  bool OnSubjectKey(UINT key, LPARAM flags, LRESULT* result);
  void Paint();
  void RepaintPictographCells();

  Selector selector_;
  HWND prev_ = nullptr;
  HWND next_ = nullptr;
  bool composing_ = false;
  WPARAM compositionW_ = 0;
  LPARAM compositionL_ = 0;
  int lastStart_ = -1;
  int lastEnd_ = -1;
  int highlight_ = 0;
};

// The subject of the handwriting page: it draws itself only when it asked
// for it, and is as tall as its first ten characters need.
class QvTegakiSubjectEdit : public QvSubjectEdit {
 public:
  QvTegakiSubjectEdit() { SetParentResizeNotify(false); }
  int TegakiNeededHeight() const;

 protected:
  bool PaintsWhole() const override { return redrawPending_; }
  void HeightNotice() override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
