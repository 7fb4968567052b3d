// A settings page over a check-box list of every account: the base of the
// periodic and round receive pages.
#pragma once

#include <string>
#include <vector>

#include "app/foundation/QvScrollPage.h"
#include "platform/framework/CListCtrl.h"

class QvSetTargetAccountPage : public QvScrollPage {
 public:
  QvSetTargetAccountPage(UINT templateId, int listId) : QvScrollPage(templateId), listId_(listId) {}

  // The names of the checked rows, in list order.
  std::vector<std::wstring> CheckedAccounts() const;
  CListCtrl& AccountList() { return list_; }

  // The selected row (screen coordinates) while the list has the focus,
  // scrolled into view within the list.
  BOOL GetFocusItemRect(RECT* rect) override;

 protected:
  // One checked row per program account that is in `checked` (exact names),
  // the others unchecked; the column as wide as its widest name.
  void FillAccounts(const std::vector<std::wstring>& checked);
  void DoDataExchange(CDataExchange* dx) override;
  int ListId() const { return listId_; }

 private:
  int listId_;
  CListCtrl list_;
};
