// The tool pages of the picture pages: five bitmap buttons (pen, eraser,
// width, colour, insert picture) and the handwriting state bar around the
// hosted canvas page.
#pragma once

#include <array>

#include "app/message/canvas/CStateDisplayTegakiBar.h"
#include "app/message/tools/QvToolPage.h"

class QvBasePictureCanvasPage;

struct QvToolButton {
  int control;
  UINT bitmaps[4];  // normal, selected, focused, disabled
};

class QvPictureToolPage : public QvToolPage {
 public:
  static constexpr UINT kTemplate = 136;
  static constexpr int kStateBarId = 1164;
  static const QvToolButton kButtons[5];

  ~QvPictureToolPage() override;
  void DiscardPicture(int a, int b) override;
  BOOL PrepareSend(int value) override;
  CStateDisplayTegakiBar& StateBar() { return m_bar; }
  CBitmapButton& Button(int index) { return m_buttons[index]; }
  // The pen-width command menu 144 checks for a bar bitmap id (0: none).
  static UINT PenCommandForBitmap(UINT bitmapId);

 protected:
  QvPictureToolPage(QvMessageRecord* record, std::unique_ptr<QvMessagePage> page);
  QvBasePictureCanvasPage* CanvasPage() const;
  BOOL OnInitDialog() override;
  void PlaceTools(const RECT& client) override;
  virtual void AfterPlacement() {}
  afx_msg void OnPaint();
  afx_msg LRESULT OnFocusLeavesBody(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnBack(WPARAM wParam, LPARAM lParam);

  std::array<CBitmapButton, 5> m_buttons;
  CStateDisplayTegakiBar m_bar;

  DECLARE_MESSAGE_MAP()
};

class QvHandwritingToolPage : public QvPictureToolPage {
 public:
  explicit QvHandwritingToolPage(QvMessageRecord* record);
  ~QvHandwritingToolPage() override;

  QvTegakiPenState& PenState() { return m_pen; }
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  void AfterPlacement() override;
  afx_msg void OnToolButton(UINT id);

  QvTegakiPenState m_pen{1, 5, 0};
  int m_firstActivation = 1;
  int m_firstLayoutPending = 0;
  bool m_menuUp = false;

  DECLARE_MESSAGE_MAP()
};

class QvPictureViewToolPage : public QvPictureToolPage {
 public:
  explicit QvPictureViewToolPage(QvMessageRecord* record);
  ~QvPictureViewToolPage() override;
  BOOL OnKillActive() override;

 protected:
  void AfterPlacement() override;
};
