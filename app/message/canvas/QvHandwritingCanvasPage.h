// Composes a handwritten mail: the To field, the subject and the canvas,
// written out as a time-named JPEG that travels as the mail's picture.
#pragma once

#include "app/message/canvas/QvBasePictureCanvasPage.h"

class CStateDisplayTegakiBar;
struct QvTegakiPenState;

class QvHandwritingCanvasPage : public QvBasePictureCanvasPage {
 public:
  static constexpr UINT kTitle = 182;
  static constexpr UINT kMenu = 141;
  static constexpr UINT_PTR kRotationTimer = 1;
  // The folder the pictures are written to.
  static const wchar_t kPictureFolder[];
  // The body a receiver that cannot show the picture reads.
  static const wchar_t kNotice[];

  explicit QvHandwritingCanvasPage(QvMessageRecord* record);
  ~QvHandwritingCanvasPage() override;

  void SetTools(CStateDisplayTegakiBar* bar, QvTegakiPenState* state);
  // Writes the drawing as a new JPEG, first in the record's picture list.
  BOOL CommitPicture();
  // Deletes the JPEG written last (of a picture mail).
  void DiscardPicture(int a, int b);
  // The mail turns into another kind: its picture leaves the picture list.
  void DropPicture();
  // A received handwritten mail's JPEG came as an ordinary attachment: it
  // moves to the end of the picture list, so that the canvas shows it.
  void AdoptAttachment();
  const std::wstring& LastPicturePath() const { return m_picturePath; }
  // A picture's file name for a time and a sequence number: every field
  // zero-padded, so names sort by time; the sequence (after an underscore
  // when not 0) tells apart pictures of the same second.
  static std::wstring PictureFileName(const SYSTEMTIME& time, unsigned sequence);
  // The first free picture path for a time.
  static std::wstring NewPicturePath(const SYSTEMTIME& time);
  // Whether Back may close the page: nothing was entered anywhere.
  bool NothingEntered();
  // Checks the To field; false keeps the text, focuses the field and posts the warning.
  bool ValidateTo();
  void SetValidateTo(int on) { m_validateTo = on; }

  // Once the tool page has laid the page out: a picture handed over with the
  // compose request is offered for turning.
  void FirstLayout() override;

  BOOL OnInitDialog() override;
  BOOL OnPageActivate() override;
  BOOL PrepareSend(int value, QvToolPage* toolPage) override;
  BOOL StorePage(int isActive, QvToolPage* toolPage) override;
  BOOL CheckBeforeSend(int value, QvToolPage* toolPage) override;
  void FocusFirstField(int a, int b) override;
  // Scrolls back up when the page is scrolled down, then focuses the subject.
  void FocusBody();
  void CustomizePopupMenu(CMenu* popup) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool OnCommand(UINT id);
  void InsertPicture();
  void OfferRotation(const std::wstring& path);
  void ChooseAddresses(int kind);
  void Redraw();
  void Fill();

  int m_validateTo = 0;
  std::wstring m_picturePath;
  CString m_validationText;
  CStateDisplayTegakiBar* m_bar = nullptr;
  QvTegakiPenState* m_pen = nullptr;
};
