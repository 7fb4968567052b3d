// The history screen: the latest entries of the current account's receive
// history (mode 0) or send history (mode 1), at most 20, from which the
// user picks one correspondent. The caller loads a history first (a
// failed load means the screen is not opened), runs the screen (1: a row
// was chosen, 2: cancelled) and reads the chosen row.
#pragma once

#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "app/shell/history/QvComHistoryListCtrl.h"
#include "engine/public/store/MailHistory.h"
#include "platform/framework/CDialog.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/MessageMap.h"

class QvMailHistoryDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 264;
  static constexpr UINT kMenuBarId = 287;
  static constexpr int kListId = 1218;
  static constexpr UINT kChooseCommand = 40222;
  static constexpr UINT kCancelCommand = 40221;
  static constexpr int kHeadingHeight = 40;
  static constexpr int kMaxRows = 20;
  static constexpr int kRowHeight = 70;
  static constexpr int kChosenResult = 1;
  static constexpr int kCancelledResult = 2;
  enum Mode { kReceiveHistory = 0, kSendHistory = 1 };

  QvMailHistoryDlg(CWnd* parent, int mode);
  ~QvMailHistoryDlg() override;

  // The current account's history into the rows; false when the engine
  // could not read it.
  bool LoadRecvHistory();
  bool LoadSendHistory();
  // The chosen row's record; none when no row was chosen.
  std::optional<QvNameAddressItem> GetSelectedHistory() const;

  const std::vector<QvNameAddressItem>& Records() const { return records_; }
  QvComHistoryListCtrl& List() { return list_; }
  BOOL OnInitDialog() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnChoose();
  afx_msg void OnCancelCommand();
  afx_msg LRESULT OnRowChosen(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  void RebuildRecords();
  // Ends with 1 when `row` is one of the list's rows; otherwise nothing is chosen.
  void Choose(int row);

  int mode_;
  CImageList rowHeight_;
  QvComHistoryListCtrl list_;
  std::unique_ptr<MailHistory> history_;
  std::list<st_MAILHISTORYDATA> entries_;
  std::vector<QvNameAddressItem> records_;
  int chosen_ = -1;
  CFont headingFont_;
};

// The history screen as the contacts' address chooser runs it: -1 when the
// history could not be loaded, 1 with the chosen row's name and address,
// else 0.
int ChooseFromHistoryScreen(HWND owner, int mode, std::wstring* name, std::wstring* address);
// Lends the contacts this screen (with the header cache and the main window).
void InstallHistoryScreen();
