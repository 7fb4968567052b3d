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
  // The body a receiver that cannot show the picture reads.
  static const wchar_t kNotice[];

  explicit QvHandwritingCanvasPage(QvMessageRecord* record);
  ~QvHandwritingCanvasPage() override;

  void SetTools(CStateDisplayTegakiBar* bar, QvTegakiPenState* state);
  // Writes the drawing as a new JPEG, first in the record's picture list.
  BOOL CommitPicture();
  // Deletes the JPEG written last.
  void DiscardPicture(int a, int b);
  const std::wstring& LastPicturePath() const { return m_picturePath; }
  // The file name of a picture written at `time` with a sequence number: each
  // field zero-padded, so names sort by time and never repeat.
  static std::wstring PictureFileName(const SYSTEMTIME& time, unsigned sequence);

  BOOL OnInitDialog() override;
  BOOL PrepareSend(int value, QvToolPage* toolPage) override;
  BOOL StorePage(int isActive, QvToolPage* toolPage) override;
  void LoadPageMenu() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnCommand(UINT id);
  void InsertPicture();
  void OfferRotation(const std::wstring& path);
  bool NothingEntered();
  bool ValidateTo();

  int m_validateTo = 0;
  std::wstring m_picturePath;
  CString m_validationText;
  CStateDisplayTegakiBar* m_bar = nullptr;
  QvTegakiPenState* m_pen = nullptr;
};
