// The tool pages: each page of the message sheet is a property page that
// hosts one message page as a child dialog, lays it out, forwards the
// sheet's page operations to it and carries the tools of its kind. Text
// pages carry the decoration palette (two rows of six bitmap buttons) and
// the decoration state bar. The tool page owns its hosted page.
#pragma once

#include <array>
#include <map>
#include <memory>

#include "app/message/deco/CStateDisplayDecorationBar.h"
#include "app/message/deco/QvDecorationState.h"
#include "platform/framework/CBitmapButton.h"
#include "platform/framework/CPropertyPage.h"

struct QvMessageRecord;
class QvMessagePage;

class QvToolPage : public CPropertyPage {
 public:
  ~QvToolPage() override;

  // Forwarded to the hosted page; the answer without one is in brackets.
  virtual BOOL DestroyCommandBar();                   // [TRUE]
  virtual BOOL StorePage(int store);                  // [TRUE]
  virtual void DiscardPicture(int a, int b);          // nothing
  virtual void ReloadPage(int a, int b);              // nothing
  virtual BOOL CheckBeforeSend(int value);            // [TRUE]
  virtual BOOL PrepareSend(int value);                // [TRUE]
  virtual void FocusFirstField(int a, int b);         // nothing
  virtual void OnSheetClosing(int a, int b);          // nothing
  virtual QvMessagePage* GetMessagePage() const;      // [null]

  void SetSkipNextLayout(int skip) { m_skipNextLayout = skip; }
  int GetSkipNextLayout() const { return m_skipNextLayout; }
  void SetCommitOnLeave(int commit) { m_commitOnLeave = commit; }
  int PageCreated() const { return m_pageCreated; }
  // Forces the next WM_SIZE to lay out even at an unchanged size.
  void ForgetSize() { m_savedWidth = 0; }
  // Forgets the size and posts WM_SIZE with the client's, so that the layout runs again.
  void Relayout();

  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

  // The top-left point pages are placed at: the screen point (0, 52) in client coordinates.
  virtual POINT PageOrigin() const;
  static bool IsPortrait();

 protected:
  // `page` is the hosted page (may be null), `hostTemplate` its dialog template.
  QvToolPage(UINT templateId, QvMessageRecord* record, int mode, std::unique_ptr<QvMessagePage> page,
             UINT hostTemplate);

  BOOL OnInitDialog() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Places the page and the tools for a client rectangle; runs only when a page is there.
  virtual void PlaceTools(const RECT& client);
  bool HasPlacedPage() const;
  afx_msg void OnSize(UINT type, int cx, int cy);

  int m_savedWidth = 0;
  int m_savedHeight = 0;
  int m_skipNextLayout = 0;
  int m_commitOnLeave = 1;
  std::unique_ptr<QvMessagePage> m_page;
  int m_mode = 0;
  int m_pageCreated = 0;
  QvMessageRecord* m_record = nullptr;
  UINT m_hostTemplate = 0;

  DECLARE_MESSAGE_MAP()
};

// The decoration palette's buttons: control, the four bitmaps (normal,
// selected, focused, disabled) and the enable-word bit (-1 none).
struct QvPaletteButton {
  int control;
  UINT bitmaps[4];
  int bit;
};

class QvTextToolPage : public QvToolPage {
 public:
  static constexpr int kRows = 2;
  static constexpr int kColumns = 6;
  static const QvPaletteButton kButtons[kRows][kColumns];
  static constexpr int kStateBarId = 1165;

  ~QvTextToolPage() override;
  // The compose page's size check; TRUE here.
  virtual BOOL CheckSize();
  CBitmapButton& Button(int row, int column) { return (*m_buttons)[row][column]; }

  // Where a popup of nominal size w x h opens for a button's screen
  // rectangle within the client's screen rectangle.
  static POINT PopupPosition(const RECT& button, int w, int h, const RECT& client, bool portrait);

 protected:
  QvTextToolPage(QvMessageRecord* record, int mode, std::unique_ptr<QvMessagePage> page, UINT hostTemplate);
  BOOL OnInitDialog() override;
  afx_msg LRESULT OnFocusLeavesBody(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnBack(WPARAM wParam, LPARAM lParam);

  std::unique_ptr<std::array<std::array<CBitmapButton, kColumns>, kRows>> m_buttons;
  CStateDisplayDecorationBar m_stateBar;

  DECLARE_MESSAGE_MAP()
};

// The compose page's tool page: the palette opens and closes over the page
// and its buttons follow the decoration state's enable word.
class QvEditToolPage : public QvTextToolPage {
 public:
  static constexpr DWORD kStartEnableWord = 0xF3BF;
  // Hosts the compose page of the record: the decorated one when
  // `decorated` is set, else the plain one.
  QvEditToolPage(QvMessageRecord* record, int decorated);
  // Hosts `page` instead (a page made elsewhere).
  QvEditToolPage(QvMessageRecord* record, int decorated, std::unique_ptr<QvMessagePage> page);
  ~QvEditToolPage() override;

  BOOL CheckSize() override;
  void SetEditMenuMode(int flag);
  // Whether a handwritten picture still fits beside the compose page's attachments.
  bool HasRoomForPicture();
  QvDecorationState& DecorationState() { return m_decoState; }

  bool IsPaletteOpen() const { return m_paletteOpen; }
  void OpenPalette();
  void ClosePalette();
  // Enables the buttons by the bits of `word`; nothing when it is the last applied.
  void ApplyEnableWord(DWORD word);
  DWORD LastEnableWord() const { return m_lastEnableWord; }
  // The palette button the arrow `key` moves the focus to from (row, column); null when none.
  CBitmapButton* ArrowTarget(UINT key, int row, int column);

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  void PlaceTools(const RECT& client) override;
  afx_msg void OnPaint();
  afx_msg LRESULT OnDecorationChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenPalette(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnBodyFocus(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOtherFocus(WPARAM wParam, LPARAM lParam);
  afx_msg void OnCloseButton();
  // The decoration bar toggles the palette, only while the body has the focus.
  afx_msg void OnStateBarClick();
  afx_msg void OnPaletteButton(UINT id);
  // One of the palette's popup menus above (or beside) its button; a second
  // request while it is up shows nothing.
  void ShowPalettePopup(int control, UINT menuId, int w, int h);
  bool FindButton(HWND hwnd, int* row, int* column) const;

  QvDecorationState m_decoState;
  DWORD m_lastEnableWord = 0;
  int m_paletteFocus = 0;
  int m_firstFocus = 0;
  int m_bodyFocused = 0;
  bool m_paletteOpen = false;
  std::map<int, bool> m_popupGuard;

  DECLARE_MESSAGE_MAP()
};
