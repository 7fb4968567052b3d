// Shows a stored handwritten mail read-only: the sender (or the recipients
// of an own message), the subject and the picture.
#pragma once

#include "app/message/canvas/QvBasePictureCanvasPage.h"

class QvPictureViewCanvasPage : public QvBasePictureCanvasPage {
 public:
  static constexpr UINT kReceivedMenu = 143;
  static constexpr UINT kOwnMenu = 166;
  static constexpr UINT kReceivedTitle = 175;
  static constexpr UINT kOwnTitle = 258;

  explicit QvPictureViewCanvasPage(QvMessageRecord* record);
  ~QvPictureViewCanvasPage() override;

  // The name offered when the picture is saved: after the last "\", else
  // after the last ":", else the whole path.
  static std::wstring ProposedName(const std::wstring& path);
  // Cuts what the view shows to its limits; true when anything was cut.
  static bool ApplyViewLimits(QvMessageRecord* record);
  bool IsReceived() const { return MessageKind() != 0; }

  BOOL OnInitDialog() override;
  BOOL OnPageActivate() override;
  void CustomizePopupMenu(CMenu* popup) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  QvTegakiAddressView& AddressRow() override { return m_second; }
  UINT AddressMenu() const override { return 179; }
  UINT SubjectMenu() const override { return 156; }

 private:
  bool OnCommand(UINT id);
  void SavePicture();
  void DeleteMessage();
};
