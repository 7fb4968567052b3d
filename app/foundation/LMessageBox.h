// The program's own drawn message box: a picture, the text and up to three
// buttons whose labels the caller chooses (the title bar's OK in a box
// without buttons), a sound, and an optional timer that answers OK.
#pragma once

#include <string>

#include "app/foundation/QvTimedDialog.h"

// Dialog template, controls and pictures in the resource library.
constexpr UINT kLMessageBoxTemplate = 288;
constexpr int kLMessageBoxText = 1223;
constexpr int kLMessageBoxYes = 1221;
constexpr int kLMessageBoxNo = 1220;
constexpr int kLMessageBoxCancel = 1222;
constexpr UINT kInformationPicture = 289;
constexpr UINT kWarningPicture = 290;
constexpr UINT kQuestionPicture = 291;

// Where everything of a box goes, for its text and type on a screen of the
// given size; `frame` is what the box's frame and caption add to its client.
struct LMessageBoxLayout {
  int kind = 1;  // 1: no buttons (title bar OK), 2: Yes/No, 3: Yes/No/Cancel
  UINT picture = kInformationPicture;
  int lines = 1;
  int widest = 0;  // in units of one full-width character
  int extraHeight = 0;
  RECT box{};       // screen
  RECT text{};      // client
  RECT buttons[3]{};  // Yes, No, Cancel in client coordinates; empty: hidden
};
LMessageBoxLayout LayOutLMessageBox(const std::wstring& text, UINT type, int screenWidth, int screenHeight,
                                    SIZE frame);

class LMessageBox : public QvTimedDialog {
 public:
  // `timer` in tenths of a second, 0 for none; empty labels take "はい",
  // "いいえ", "キャンセル".
  LMessageBox(LPCWSTR text, LPCWSTR caption, UINT type, int timer, LPCWSTR label1, LPCWSTR label2, LPCWSTR label3,
              CWnd* parent);

  BOOL OnInitDialog() override;
  const LMessageBoxLayout& Layout() const { return layout_; }

 protected:
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnSettingChange(UINT flags, LPCTSTR section);
  afx_msg void OnYes();
  afx_msg void OnNo();
  afx_msg void OnCancelButton();

 private:
  void Place(bool centre);
  void PlaceControls();

  CString caption_;
  CString text_;
  UINT type_;
  int timer_;
  CString labels_[3];
  LMessageBoxLayout layout_;

  DECLARE_MESSAGE_MAP()
};

// Plays "\Windows\msgbox.wav" and runs an LMessageBox without a timer:
// IDYES, IDNO, IDCANCEL or IDOK.
int ShowLMessageBox(CWnd* parent, LPCWSTR text, LPCWSTR caption, UINT type, LPCWSTR label1, LPCWSTR label2,
                    LPCWSTR label3);
