// The mail-list screen (template 188): the messages of one folder as the
// list control shows them, under a title bar with the folder's name and its
// count, over a preview pane of the selected message, with the soft-key menus
// of the folder's kind and of the selected message. It opens, answers,
// forwards, edits, sends again, sends, moves, exports, protects, marks,
// deletes and sorts, on one message, on all, or on the rows marked in one of
// its marking modes (delete, move, export), and makes a classification rule
// from a message. A refresh broadcast for its folder reloads the rows keeping
// marks and selection by message id; one that arrives while a window of its
// own is up or while a send it started runs waits for that to end.
#pragma once

#include <vector>

#include "app/foundation/QvComSplitCtrl.h"
#include "app/shell/boxdlg/QvTitleBarCtrl.h"
#include "app/shell/maillist/QvMailListCtrl.h"
#include "app/shell/maillist/QvPreviewBodyCtrl.h"
#include "platform/framework/CDialog.h"

class QvMailListDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 188;
  static constexpr UINT kAcceleratorsId = 188;
  static constexpr int kTitleBarId = 1205;
  static constexpr int kListId = 1206;
  static constexpr int kSplitterId = 1207;
  // Soft keys: a received message selected, another one selected, marking.
  static constexpr UINT kReceivedMenuBar = 163;
  static constexpr UINT kOtherMenuBar = 164;
  static constexpr UINT kMarkingMenuBar = 192;
  // The preview follows the selection this long after its last change.
  static constexpr UINT_PTR kPreviewTimer = 1;
  static constexpr UINT kPreviewDelayMs = 200;
  static constexpr int kPaneMinimum = 100;
  // Strings.
  static constexpr UINT kStringEmptyFolder = 20214;
  static constexpr UINT kStringNoRecipient = 20215;
  static constexpr UINT kStringDeleteOne = 20042;
  static constexpr UINT kStringDeleteProtected = 20043;
  static constexpr UINT kStringDeleteMarkedProtect = 20041;
  static constexpr UINT kStringDeleteMarked = 20216;
  static constexpr UINT kStringDeleteAllProtect = 20044;
  static constexpr UINT kStringDeleteAll = 20045;
  static constexpr UINT kStringMoveCaption = 20157;
  static constexpr UINT kStringProtect = 20018;
  static constexpr UINT kStringUnprotect = 20025;

  enum MarkingMode : int { kNotMarking = 0, kMarkToDelete = 1, kMarkToMove = 2, kMarkToExport = 3 };

  QvMailListDlg(DWORD folderId, CWnd* parent);
  ~QvMailListDlg() override;

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // The same steps as a refresh broadcast for this folder.
  void Refresh();

  QvMailListCtrl& List() { return list_; }
  QvPreviewBodyCtrl& Preview() { return preview_; }
  QvTitleBarCtrl& TitleBar() { return titleBar_; }
  QvComSplitCtrl& Splitter() { return splitter_; }
  const QvMailListKind& Kind() const { return *kind_; }
  DWORD FolderId() const { return folderId_; }
  int GetMarkingMode() const { return marking_; }
  bool IsRefreshPending() const { return refreshPending_; }
  bool IsSending() const { return sending_; }
  UINT MenuBarId() const { return menuBarId_; }
  HWND MenuBar() const { return menuBar_; }
  // 1 portrait (panes one above the other), 0 landscape.
  int Orientation() const { return orientation_; }

 protected:
  void OnOK() override;
  void OnCancel() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  afx_msg void OnDestroy();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnEnable(BOOL enable);
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg void OnItemChanged(NMHDR* nm, LRESULT* result);
  afx_msg void OnResolveInlineFile(NMHDR* nm, LRESULT* result);
  afx_msg void OnListTap(NMHDR* nm, LRESULT* result);
  afx_msg LRESULT OnSplitMoved(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnRefresh(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPreviousMessage(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnNextMessage(WPARAM wParam, LPARAM lParam);

  afx_msg void OnView();
  afx_msg void OnReplyOrEdit();
  afx_msg void OnReplyQuote();
  afx_msg void OnReplyAll();
  afx_msg void OnReplyAllQuote();
  afx_msg void OnForward();
  afx_msg void OnSendAgain();
  afx_msg void OnSendSelected();
  afx_msg void OnMoveSelected();
  afx_msg void OnMoveAll();
  afx_msg void OnExportSelected();
  afx_msg void OnExportAll();
  afx_msg void OnProtect();
  afx_msg void OnMarkUnread();
  afx_msg void OnMarkRead();
  afx_msg void OnDeleteSelected();
  afx_msg void OnDeleteAll();
  afx_msg void OnRuleFromMessage();
  afx_msg void OnSortByDate();
  afx_msg void OnSortByCorrespondent();
  afx_msg void OnSortBySubject();
  afx_msg void OnUnreadFirst();
  afx_msg void OnMarkToDelete();
  afx_msg void OnMarkToMove();
  afx_msg void OnMarkToExport();
  afx_msg void OnToggleMarks();
  afx_msg void OnSelectAll();
  afx_msg void OnFinishMarking();
  afx_msg void OnUpdateCommand(CCmdUI* ui);
  DECLARE_MESSAGE_MAP()

 private:
  void Layout(int cx, int cy);
  // A tap or Enter on a row: the kind's open command, or in marking mode the
  // mark toggle (not while Shift or Ctrl is held).
  void TapOrEnter();
  void SwitchMenuBar(UINT id);
  // The bar of the selected row (outside marking mode).
  void FollowSelection();
  void ShowSelectedPreview();
  // A received message is answered; any other is edited.
  void AnswerOrEdit(bool all, bool quote, bool forward);
  void Send(const std::vector<unsigned long>& ids);
  void DeleteOne(DWORD messageId, bool isProtected);
  void MoveMessages(std::vector<unsigned long> ids);
  void ExportMessages(std::vector<unsigned long> ids);
  void EnterMarking(int mode);
  void EndMarking();
  bool SelectedIsReceived() const;

  QvTitleBarCtrl titleBar_;
  QvMailListCtrl list_;
  QvComSplitCtrl splitter_;
  QvPreviewBodyCtrl preview_;
  HACCEL accelerators_ = nullptr;
  HWND menuBar_ = nullptr;
  UINT menuBarId_ = 0;
  const QvMailListKind* kind_;
  DWORD folderId_;
  int orientation_ = 1;
  int splitX_ = 400;
  int splitY_ = 299;
  int marking_ = kNotMarking;
  bool refreshPending_ = false;
  bool sending_ = false;
};

// The folder's mail list run modally over `parent`: notice 20214 and 0 when
// the folder holds no message or its ids cannot be read, else the screen's
// result.
INT_PTR OpenMailList(DWORD folderId, CWnd* parent);
