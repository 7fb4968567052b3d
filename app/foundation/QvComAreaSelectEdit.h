// A text field with the selection mode (QvAreaSelector) and the program's
// 24-pixel font, whose scroll bars show only while its text overflows.
#pragma once

#include "app/foundation/QvAreaSelector.h"
#include "platform/framework/CEdit.h"
#include "platform/gdi/ScopedGdi.h"

class QvComAreaSelectEdit : public CEdit {
 public:
  static constexpr int kLineHeight = 24;

  QvComAreaSelectEdit() : selector_(&defaultSelector_) {}
  ~QvComAreaSelectEdit() override;

  // Joins the window and gives it the font.
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  void UpdateScrollBar();
  QvAreaSelector& Selector() { return *selector_; }
  HFONT ControlFont() const { return font_.get(); }

 protected:
  // A derived field puts its own selector in place.
  void UseSelector(QvAreaSelector* selector) { selector_ = selector; }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void Attached();

  QvAreaSelector defaultSelector_{m_hWnd};
  QvAreaSelector* selector_;
  qv::ScopedGdiObject<HFONT> font_;
  bool horizontalBar_ = false;
  bool verticalBar_ = false;
};
