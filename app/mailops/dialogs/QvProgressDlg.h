// The modal window shown while a task runs a long mail operation: it starts
// the task's thread when it opens, shows the operation, the connection state
// and the count of messages done, and ends when the task says it ended. Its
// abort (button, Back key, a close request) only asks the task to stop: the
// window stays up until the operation has returned.
#pragma once

#include <array>

#include "platform/framework/CDialog.h"
#include "platform/framework/CString.h"

class QvRasHolder;
class QvTask;

class QvProgressDlg : public CDialog {
 public:
  enum Kind : int {
    kImport = 0,
    kExport = 1,
    kSend = 2,
    kReceive = 3,
    kReceivePartial = 4,
    kDownload = 5,
  };
  static constexpr UINT kTemplate = 108;
  static constexpr UINT kMenuBar = 171;
  static constexpr UINT kCountId = 1079;
  static constexpr UINT kOperationId = 1080;
  static constexpr UINT kProgressBarId = 1081;
  static constexpr UINT kAbortId = 1082;
  static constexpr UINT kExtraTextId = 1084;
  static constexpr UINT kAccountLineId = 1008;
  static constexpr UINT kImageId = 1219;
  // The keep-awake tick and the animation step.
  static constexpr UINT_PTR kIdleTimer = 100;
  static constexpr UINT kIdleTimerMs = 8000;
  static constexpr UINT_PTR kAnimationTimer = 101;
  static constexpr UINT kAnimationMs = 450;
  static constexpr int kFrames = 5;
  static constexpr int kSide = 360;
  // The two sets of pictures: a letter leaving (send, export) and a letter
  // arriving (receive, import, download), in the order they are shown.
  static constexpr std::array<UINT, kFrames> kSendingImages = {266, 267, 268, 269, 265};
  static constexpr std::array<UINT, kFrames> kArrivingImages = {281, 282, 283, 284, 280};

  // `task` and `holder` stay the caller's and outlive the window; `account`
  // may be null (import and export show none).
  QvProgressDlg(QvTask* task, CWnd* parent, int kind, LPCWSTR account = nullptr, QvRasHolder* holder = nullptr);
  ~QvProgressDlg() override;

  // The last count the task reported (0x472).
  int LastCount() const { return lastCount_; }
  bool IsAborting() const { return aborting_; }
  int Frame() const { return frame_; }
  // The set of pictures now shown: 0 leaving, 1 arriving.
  int ImageSet() const { return set_; }
  bool IsClosePending() const { return closePending_; }

  BOOL OnInitDialog() override;
  void OnCancel() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnDestroy();
  afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnWindowPosChanged(WINDOWPOS* pos);
  afx_msg void OnTaskSucceeded();
  afx_msg void OnTaskFailed();
  afx_msg LRESULT OnChgTitle(WPARAM state, LPARAM);
  afx_msg LRESULT OnProgress(WPARAM count, LPARAM total);
  afx_msg LRESULT OnBack(WPARAM, LPARAM);

  DECLARE_MESSAGE_MAP()

 private:
  void SetText(UINT id, LPCWSTR text);
  void ShowFrame();
  void EndWithResult(int result);
  void Centre();

  QvTask* task_;
  int kind_;
  CString account_;
  CString accountLine_;
  bool aborting_ = false;
  bool firstStateSeen_ = false;
  bool changePending_ = false;
  QvRasHolder* holder_;
  DWORD savedStatus_ = 0;
  DWORD savedConversion_ = 0;
  bool saved_ = false;
  int lastCount_ = 0;
  std::array<HBITMAP, kFrames> sending_{};
  std::array<HBITMAP, kFrames> arriving_{};
  int set_ = 1;
  int frame_ = 0;
  bool closePending_ = false;
  bool centring_ = false;
};
