// Chooses a destination folder: an existing folder of the receive box or
// the send box (each side a combo showing the chosen folder's path with a
// folder tree that drops down under it), or a new folder to be made under
// one of the two boxes. The import, the rule editor, the mail list's move
// and the message window use it; the caller makes the folder.
#pragma once

#include <string>
#include <vector>

#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvScrollPage.h"
#include "app/mailops/FolderOperations.h"
#include "app/shell/foldertree/QvDropDownFolderTreeCtrl.h"
#include "platform/framework/CComboBox.h"

class QvSetTargetFolderPage : public QvScrollPage {
 public:
  static constexpr UINT kTemplate = 131;
  enum Control {
    kExistingChoice = 1126,
    kNewChoice = 1127,
    kReceiveSide = 1212,
    kSendSide = 1213,
    kReceiveCombo = 1214,
    kReceiveTree = 1215,
    kSendCombo = 1216,
    kSendTree = 1217,
    kBoxCombo = 1129,
    kNameField = 1124,
  };
  enum Mode { kExistingFolder = 1, kNewFolder = 2 };
  static constexpr int kMaxName = 10;
  static constexpr int kMaxUserFolders = 20;
  static constexpr UINT kSameNameWarning = 20048;

  QvSetTargetFolderPage() : QvScrollPage(kTemplate) {}

  // What the caller sets before and reads after.
  int mode = kExistingFolder;
  // In: the folder to preselect; out (existing folder): the chosen one.
  DWORD folderId = 0;
  // Out (new folder): the root folder of the box to make it under, and its name.
  DWORD parentId = 0;
  std::wstring newName;
  // The texts of the two choices; empty keeps the template's.
  std::wstring existingText;
  std::wstring newText;

  BOOL OnInitDialog() override;
  BOOL OnKillActive() override;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnChoiceClicked();
  afx_msg void OnSideClicked();
  afx_msg void OnComboDropDown(UINT id);
  afx_msg void OnTreeKillFocus(UINT id, NMHDR* nm, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  QvDropDownFolderTreeCtrl& TreeOf(int treeId) { return treeId == kSendTree ? sendTree_ : receiveTree_; }
  CComboBox& ComboOf(int treeId) { return treeId == kSendTree ? sendCombo_ : receiveCombo_; }
  void ShowTree(int treeId);
  void HideTree(int treeId, bool take);
  void ShowPathOf(int treeId);
  void Enable();
  bool NameTaken(DWORD boxId, const std::wstring& name) const;

  QvDropDownFolderTreeCtrl receiveTree_;
  QvDropDownFolderTreeCtrl sendTree_;
  CComboBox receiveCombo_;
  CComboBox sendCombo_;
  CComboBox boxCombo_;
  QvCLREdit nameField_;
  CString typedName_;
  std::vector<QvFolderItem> receiveFolders_;
  std::vector<QvFolderItem> sendFolders_;
  DWORD receiveRoot_ = 0;
  DWORD sendRoot_ = 0;
};
