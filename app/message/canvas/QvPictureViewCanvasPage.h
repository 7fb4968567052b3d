// Shows a stored handwritten mail read-only: the sender (or the recipients
// of an own message), the subject and the picture.
#pragma once

#include "app/message/canvas/QvBasePictureCanvasPage.h"

class QvPictureViewCanvasPage : public QvBasePictureCanvasPage {
 public:
  explicit QvPictureViewCanvasPage(QvMessageRecord* record);
  ~QvPictureViewCanvasPage() override;

  // The name offered when the picture is saved: after the last "\", else
  // after the last ":", else the whole path.
  static std::wstring ProposedName(const std::wstring& path);

  BOOL OnInitDialog() override;
  void LoadPageMenu() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void SavePicture();
};
