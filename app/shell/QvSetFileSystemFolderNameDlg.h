// The folder-name dialog for a new folder of the device's file system: on
// OK the folder is made inside the parent folder, and only a folder that
// now exists ends the dialog with IDOK (its name then in Name()).
#pragma once

#include "app/shell/QvSetFolderNameDlg.h"

class QvSetFileSystemFolderNameDlg : public QvSetFolderNameDlg {
 public:
  static constexpr int kMaxName = 256;

  explicit QvSetFileSystemFolderNameDlg(CWnd* parent) : QvSetFolderNameDlg(parent) {}

  void SetParentFolder(const std::wstring& folder) { parentFolder_ = folder; }

  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  std::wstring parentFolder_;
};

// Lets the file browser make folders through this dialog.
void InstallFileSystemFolderNameDialog();
