// The name of a mail folder below the receive box or the send box: a new
// folder's, or a folder's new name. At most 10 characters; a sibling's name
// is refused, whatever the case of its letters (as the store compares
// names); an empty name cancels.
#pragma once

#include <vector>

#include "app/shell/QvSetFolderNameDlg.h"

class QvSetMessageFolderNameDlg : public QvSetFolderNameDlg {
 public:
  static constexpr int kMaxName = 10;

  explicit QvSetMessageFolderNameDlg(CWnd* parent) : QvSetFolderNameDlg(parent) {}

  // The box the folder is (or goes) below; for a rename, set the name too.
  void SetParentFolder(DWORD boxId) { parentId_ = boxId; }

  BOOL OnInitDialog() override;

 protected:
  void OnOK() override;

 private:
  DWORD parentId_ = 0;
  std::vector<std::wstring> siblings_;
};
