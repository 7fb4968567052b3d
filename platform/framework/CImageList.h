// An image list. The object owns its list and destroys it when it goes,
// unless detached. FromHandle answers the object a list is attached to, or
// a lasting stand-in that never destroys the list.
#pragma once

#include "platform/framework/CGdiObject.h"
#include "platform/gdi/ImageList.h"

class QV_PLATFORM_API CImageList : public CObject {
 public:
  CImageList() = default;
  ~CImageList() override;
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  HIMAGELIST m_hImageList = nullptr;
  operator HIMAGELIST() const { return m_hImageList; }  // NOLINT
  HIMAGELIST GetSafeHandle() const { return m_hImageList; }
  static CImageList* FromHandle(HIMAGELIST list);

  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  // From bitmap resource `bitmapId`, cut into images `cx` wide, `mask`
  // the colour that lets the background through.
  BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
  BOOL Attach(HIMAGELIST list);
  HIMAGELIST Detach();
  BOOL DeleteImageList();

  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
  int Add(CBitmap* image, CBitmap* mask);
  int Add(CBitmap* image, COLORREF mask);
  int Add(HICON icon) { return ImageList_ReplaceIcon(m_hImageList, -1, icon); }
  BOOL Remove(int index) { return ImageList_Remove(m_hImageList, index); }
  COLORREF SetBkColor(COLORREF color) { return ImageList_SetBkColor(m_hImageList, color); }
  BOOL Draw(CDC* dc, int image, POINT at, UINT style);
};
