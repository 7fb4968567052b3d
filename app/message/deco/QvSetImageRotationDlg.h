// Asks by how much a loaded picture is to be turned: 0, 90, 180 or 270 degrees,
// counted counter-clockwise as the imaging library turns (90 is a quarter turn
// to the left, the first button; 270 to the right).
#pragma once

#include "app/foundation/QvUnFullScreenDlg.h"

class QvSetImageRotationDlg : public QvUnFullScreenDlg {
 public:
  static constexpr UINT kTemplateId = 135;
  static constexpr int kWidth = 250;
  static constexpr int kHeight = 310;
  enum Control : int {
    kText = 20184,
    kRadio90 = 1152,
    kRadio270 = 1153,
    kRadio180 = 1154,
    kRadio0 = 1155,
    kButton = 1156,
  };

  explicit QvSetImageRotationDlg(CWnd* parent);

  // Degrees chosen; 0 until the dialog closed with OK.
  float GetAngle() const { return angle_; }

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayOut();
  float ReadAngle() const;

  float angle_ = 0.0f;
};
