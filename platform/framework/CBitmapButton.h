// A button drawn from up to four bitmaps: normal, selected (pressed),
// focused and disabled. The button must be owner-drawn; the bitmaps come
// from the resource handle. A missing selected, focused or disabled bitmap
// falls back to the normal one.
#pragma once

#include "platform/framework/CButton.h"
#include "platform/framework/CGdiObject.h"

class QV_PLATFORM_API CBitmapButton : public CButton {
 public:
  CBitmapButton() = default;
  ~CBitmapButton() override = default;

  // 0 leaves a look out. FALSE when the normal bitmap (or a named other) is missing.
  BOOL LoadBitmaps(UINT normal, UINT selected = 0, UINT focused = 0, UINT disabled = 0);
  BOOL LoadBitmaps(LPCTSTR normal, LPCTSTR selected = nullptr, LPCTSTR focused = nullptr,
                   LPCTSTR disabled = nullptr);
  // Sizes the button to its normal bitmap.
  void SizeToContent();
  // Binds the dialog control `id` of `parent`, makes it owner-drawn and
  // loads the bitmaps named by its caption with "U", "D", "F" and "X" added.
  BOOL AutoLoad(UINT id, CWnd* parent);

  void DrawItem(LPDRAWITEMSTRUCT dis) override;

  // Which bitmap a button in `itemState` (ODS_ bits) shows: 0 normal,
  // 1 selected, 2 focused, 3 disabled; a look that is not loaded falls back.
  int LookFor(UINT itemState) const;

  CBitmap m_bitmap;          // normal
  CBitmap m_bitmapSel;       // selected
  CBitmap m_bitmapFocus;     // focused
  CBitmap m_bitmapDisabled;  // disabled
};
