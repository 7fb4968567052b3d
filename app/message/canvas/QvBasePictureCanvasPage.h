// The picture pages of the message sheet: header fields above a square
// handwriting canvas, with their own scrolling and fonts. The handwriting
// page composes a picture mail; the view page shows a stored one read-only.
#pragma once

#include <string>

#include "app/message/canvas/TegakiPaintCtrl.h"
#include "app/message/pages/QvMessagePage.h"

class QvTegakiAddressView;
class QvTegakiSubjectEdit;

class QvBasePictureCanvasPage : public QvMessagePage {
 public:
  static constexpr UINT kTemplate = 134;
  static constexpr int kCanvasId = 1145;
  static constexpr int kToButtonId = 1146;
  static constexpr int kSubjectLabelId = 1147;
  static constexpr int kSubjectId = 1148;
  static constexpr int kToId = 1144;
  static constexpr int kSecondLabelId = 1157;
  static constexpr int kSecondAddressId = 1158;
  static constexpr int kCanvasSide = 454;
  static constexpr int kScrollRange = 495;

  explicit QvBasePictureCanvasPage(QvMessageRecord* record);
  ~QvBasePictureCanvasPage() override;

  TegakiPaintCtrl& Canvas() { return m_canvas; }
  QvTegakiAddressView* ToField() const { return m_to; }
  QvTegakiSubjectEdit* SubjectField() const { return m_subject; }
  int ScrollPos() const { return m_scrollPos; }
  int ScrollPage() const { return m_scrollPage; }
  // The label column's width for a font height in pixels.
  static int LabelWidthFor(int fontHeight);
  // Shows the record's first picture file, or the placeholder bitmap; a
  // picture that does not load empties the record's list.
  void ShowRecordPicture();
  // The first-layout step the tool page asks for once.
  virtual void FirstLayout();
  // The canvas page takes the focus (an up key from the tool buttons).
  virtual void TakeFocus();

  BOOL OnInitDialog() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(int cx, int cy);
  void Scroll(UINT code, int thumb);

  QvTegakiAddressView* m_to = nullptr;
  QvTegakiAddressView* m_second = nullptr;
  QvTegakiSubjectEdit* m_subject = nullptr;
  TegakiPaintCtrl m_canvas;
  RECT m_canvasRect{13, 83, 467, 537};
  int m_lastWidth = -1;
  int m_lastHeight = -1;
  int m_scrollPos = 0;
  int m_scrollPage = 0;
  UINT m_modeBitmapBit = 0;
};
