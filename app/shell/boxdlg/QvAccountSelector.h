// The account drop-down of the launcher: the account names, refilled from
// the mail operations with the choice kept by name. Left and Right do
// nothing; with the list closed, Down and Up ask the parent to move into the
// launcher list (kSelectLauncherItemMessage 0 and 1); with it open, they wrap
// round at either end.
#pragma once

#include "platform/framework/CComboBox.h"
#include "platform/framework/CGdiObject.h"
#include "platform/framework/Containers.h"

class QvAccountSelector : public CComboBox {
 public:
  QvAccountSelector();

  // The font, after the window exists.
  void SetUp();
  // Reads the accounts again; the chosen name stays chosen, else item 0.
  void Refill();
  // Item 0 when the name is not there.
  void SelectByName(const CString& name);
  CString GetCurrentName() const;
  const CStringArray& Names() const { return names_; }

 protected:
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
  DECLARE_MESSAGE_MAP()

 private:
  CStringArray names_;
  CFont font_;
};
