// The picture pages of the message sheet: header fields above a square
// handwriting canvas, with their own scrolling and fonts. The handwriting
// page composes a picture mail; the view page shows a stored one read-only.
#pragma once

#include <string>

#include "app/foundation/QvFlatButton.h"
#include "app/foundation/QvStaticLine.h"
#include "app/message/address/QvAddressView.h"
#include "app/message/canvas/TegakiPaintCtrl.h"
#include "app/message/pages/QvMessagePage.h"
#include "app/message/richedit/MailFont.h"
#include "app/message/subject/QvSubjectEdit.h"

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
  static constexpr int kLineIds[2] = {1149, 1150};
  static constexpr int kCanvasSide = 454;
  static constexpr int kCanvasTop = 83;
  static constexpr int kScrollRange = 495;
  static constexpr int kLineStep = 50;

  explicit QvBasePictureCanvasPage(QvMessageRecord* record);
  ~QvBasePictureCanvasPage() override;

  TegakiPaintCtrl& Canvas() { return m_canvas; }
  QvTegakiAddressView& ToField() { return m_to; }
  QvTegakiAddressView& SecondField() { return m_second; }
  QvTegakiSubjectEdit& SubjectField() { return m_subject; }
  int ScrollPos() const { return m_scrollPos; }
  int ScrollPage() const { return m_scrollPage; }
  const CString& Title() const { return m_titleText; }
  // The label column's width for a font height in pixels.
  static int LabelWidthFor(int fontHeight);
  // Shows the record's first picture file, or the placeholder bitmap; a
  // picture that does not load empties the record's list.
  void ShowRecordPicture();
  // The first-layout step the tool page asks for once.
  virtual void FirstLayout();
  // The canvas page takes the focus (an up key from the tool buttons).
  virtual void TakeFocus();
  // Lays the page out again at its client size.
  void Relayout();

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void SetTitle(UINT id);
  // Makes the mail font at the shell's size and gives it to every field.
  void ApplyFont();
  void Layout(int cx, int cy);
  void Place();
  void Scroll(UINT code, int thumb);
  // The address row the cursor keys and scrolling work with: To, or the
  // second row on the view page.
  virtual QvTegakiAddressView& AddressRow() { return m_to; }
  // The tap-and-hold menus of the address row and the subject.
  virtual UINT AddressMenu() const { return 180; }
  virtual UINT SubjectMenu() const { return 159; }
  bool OnArrowKey(HWND focus, UINT key);
  // Copy, cut, paste, delete and the selection mode in the focused field.
  bool OnTextCommand(UINT id);
  CEdit* FocusedField() const;

  MailFont m_font;
  QvAddressButton m_toButton;
  // Row labels drawn as the To button is, so that the three match.
  QvFlatButton m_secondLabel;
  QvFlatButton m_subjectLabel;
  QvTegakiAddressView m_to;
  QvTegakiAddressView m_second;
  QvStaticLine m_lines[2];
  QvTegakiSubjectEdit m_subject;
  TegakiPaintCtrl m_canvas;
  RECT m_canvasRect{13, 83, 467, 537};
  int m_lastWidth = -1;
  int m_lastHeight = -1;
  int m_scrollPos = 0;
  int m_scrollPage = 0;
  HMENU m_popupMenu = nullptr;
  CString m_titleText;
  // Bit 3 of the page's mode word: a received mail (placeholder 307, else 308).
  uint32_t m_modeWord = 0;
};
