// The body edit of the message pages: its keys (up at the first line and
// down at the last leave the body, a held Back key clears it), the edit
// menu on tap-and-hold, the selection mode, and the body text with line
// feeds for the pages.
#pragma once

#include "app/foundation/QvAreaSelector.h"
#include "app/foundation/QvRichEditCtrl.h"
#include "app/message/richedit/MailFont.h"

class QvMailRichEditCtrl : public QvRichEditCtrl {
 public:
  static constexpr UINT_PTR kBackHoldTimer = 1;
  static constexpr UINT kBackHoldMilliseconds = 1000;

  QvMailRichEditCtrl();
  ~QvMailRichEditCtrl() override;

  // Makes the rich edit ("RICHEDIT50W") with the change notices the body needs.
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  BOOL SubclassWindow(HWND hwnd);

  bool IsReadOnly() const;
  void SetPrevWindow(HWND hwnd) { prev_ = hwnd; }
  HWND PrevWindow() const { return prev_; }
  QvAreaSelector& Selector() { return selector_; }

  // The window text with "\n" for every line break, kept until it changes.
  const CString& GetBodyText();
  int GetBodyLength() { return GetBodyText().GetLength(); }
  // The selected part of the body text, its breaks as "\r\n".
  void GetSelectedText(CString& out);
  // The client rectangle down to the last line's bottom, and 8.
  void GetNeededHeight(RECT& rect);
  // The first and last characters shown within `rect` (client coordinates).
  void GetVisibleRange(long& first, long& last, const RECT& rect);
  void RefreshFont();
  // The focus leaves the body downwards: told to the tool page above the page.
  void LeaveDown();

  // Hooks in slot order; the views replace the later ones.
  virtual void GetCaretRect(RECT& rect);
  virtual CFont* GetBodyFont() { return &bodyFont_; }
  virtual void GetFormatRectInParent(RECT& rect);
  virtual void CaretToFirstVisibleLine();
  virtual void CaretToEnd();
  virtual bool IsLastLinkCurrent() { return true; }
  virtual bool MoveToLink(bool /*forward*/) { return false; }
  virtual bool StepField(bool /*down*/) { return false; }
  virtual void OnAreaBegin() {}
  virtual void OnAreaEnd() {}
  virtual void OnAreaTap() {}

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // WM_KEYDOWN; true when the key was taken.
  virtual bool OnBodyKey(UINT key, LPARAM flags);
  void TextChanged() {
    cacheValid_ = false;
    ++changes_;
  }
  // Counts the changes seen, so a view re-reads its text once per change.
  unsigned ChangeCount() const { return changes_; }
  int LineOfCaret() const;

  MailFont bodyFont_;
  MailFont halfFont_;
  MailFont linkFont_;

 private:
  class AreaHooks : public QvAreaSelector {
   public:
    AreaHooks(HWND& edit, QvMailRichEditCtrl& owner) : QvAreaSelector(edit), owner_(owner) {}
    void Begin() override {
      QvAreaSelector::Begin();
      owner_.OnAreaBegin();
    }
    void End() override {
      QvAreaSelector::End();
      owner_.OnAreaEnd();
    }

   private:
    QvMailRichEditCtrl& owner_;
  };
  void EndHold();
  void ClearUndoably();

  AreaHooks selector_;
  CString cache_;
  bool cacheValid_ = false;
  unsigned changes_ = 0;
  bool backOut_ = false;
  bool backHeld_ = false;
  bool holdTimer_ = false;
  HWND prev_ = nullptr;
};
