#include "app/shell/targetfolder/QvSetTargetFolderPage.h"

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/protocol/WindowMessages.h"
#include "platform/base/WideText.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/framework/DataExchange.h"

namespace {

constexpr UINT kMenuBar = 151;

}  // namespace

BEGIN_MESSAGE_MAP(QvSetTargetFolderPage, QvScrollPage)
  ON_BN_CLICKED(QvSetTargetFolderPage::kExistingChoice, &QvSetTargetFolderPage::OnChoiceClicked)
  ON_BN_CLICKED(QvSetTargetFolderPage::kNewChoice, &QvSetTargetFolderPage::OnChoiceClicked)
  ON_BN_CLICKED(QvSetTargetFolderPage::kReceiveSide, &QvSetTargetFolderPage::OnSideClicked)
  ON_BN_CLICKED(QvSetTargetFolderPage::kSendSide, &QvSetTargetFolderPage::OnSideClicked)
  ON_CONTROL_RANGE(CBN_DROPDOWN, QvSetTargetFolderPage::kReceiveCombo, QvSetTargetFolderPage::kSendCombo,
                   &QvSetTargetFolderPage::OnComboDropDown)
  ON_NOTIFY_RANGE(NM_KILLFOCUS, QvSetTargetFolderPage::kReceiveTree, QvSetTargetFolderPage::kSendTree,
                  &QvSetTargetFolderPage::OnTreeKillFocus)
END_MESSAGE_MAP()

void QvSetTargetFolderPage::DoDataExchange(CDataExchange* dx) {
  QvScrollPage::DoDataExchange(dx);
  DDX_Control(dx, kReceiveCombo, receiveCombo_);
  DDX_Control(dx, kSendCombo, sendCombo_);
  DDX_Control(dx, kBoxCombo, boxCombo_);
  DDX_Control(dx, kNameField, nameField_);
  DDX_Text(dx, kNameField, typedName_);
  DDV_MaxChars(dx, typedName_, kMaxName);
}

BOOL QvSetTargetFolderPage::OnInitDialog() {
  typedName_ = newName.c_str();
  const BOOL result = QvScrollPage::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBar);
  if (!existingText.empty()) SetDlgItemText(kExistingChoice, existingText.c_str());
  if (!newText.empty()) SetDlgItemText(kNewChoice, newText.c_str());
  CheckRadioButton(kExistingChoice, kNewChoice, kExistingChoice);
  CheckRadioButton(kReceiveSide, kSendSide, kReceiveSide);
  nameField_.SendMessage(EM_LIMITTEXT, kMaxName);

  GetOrderedFolderItems(kReceiveBox, &receiveFolders_);
  GetOrderedFolderItems(kSendBox, &sendFolders_);
  GetSystemFolderId(kReceiveBox, &receiveRoot_);
  GetSystemFolderId(kSendBox, &sendRoot_);
  receiveTree_.SubclassFolderTree(kReceiveTree, this);
  sendTree_.SubclassFolderTree(kSendTree, this);
  receiveTree_.AddBoxFolders(kReceiveBox);
  sendTree_.AddBoxFolders(kSendBox);
  // The trees only drop down when their combo asks.
  receiveTree_.ShowWindow(SW_HIDE);
  sendTree_.ShowWindow(SW_HIDE);
  // The preselected folder decides the side; each tree starts on its box otherwise.
  if (!receiveTree_.SelectFolder(folderId)) {
    receiveTree_.SelectFolder(receiveRoot_);
    if (sendTree_.SelectFolder(folderId)) CheckRadioButton(kReceiveSide, kSendSide, kSendSide);
  }
  if (GetCheckedRadioButton(kReceiveSide, kSendSide) != kSendSide) sendTree_.SelectFolder(sendRoot_);
  ShowPathOf(kReceiveTree);
  ShowPathOf(kSendTree);

  boxCombo_.SetItemData(boxCombo_.AddString(L"受信ﾎﾞｯｸｽ"), receiveRoot_);
  boxCombo_.SetItemData(boxCombo_.AddString(L"送信ﾎﾞｯｸｽ"), sendRoot_);
  boxCombo_.SetCurSel(0);
  const int userFolders = CountUserFolders();
  if (userFolders < 0 || userFolders >= kMaxUserFolders) GetDlgItem(kNewChoice)->EnableWindow(FALSE);
  Enable();
  return result;
}

void QvSetTargetFolderPage::Enable() {
  const bool existing = GetCheckedRadioButton(kExistingChoice, kNewChoice) != kNewChoice;
  const bool sendSide = GetCheckedRadioButton(kReceiveSide, kSendSide) == kSendSide;
  const auto enable = [this](int id, bool on) {
    if (HWND control = ::GetDlgItem(m_hWnd, id)) ::EnableWindow(control, on);
  };
  enable(kReceiveSide, existing);
  enable(kSendSide, existing);
  enable(kReceiveCombo, existing && !sendSide);
  enable(kReceiveTree, existing && !sendSide);
  enable(kSendCombo, existing && sendSide);
  enable(kSendTree, existing && sendSide);
  enable(kBoxCombo, !existing);
  enable(kNameField, !existing);
}

void QvSetTargetFolderPage::OnChoiceClicked() {
  const int clicked = LOWORD(GetCurrentMessage()->wParam);
  CheckRadioButton(kExistingChoice, kNewChoice, clicked);
  Enable();
}

void QvSetTargetFolderPage::OnSideClicked() {
  const int clicked = LOWORD(GetCurrentMessage()->wParam);
  CheckRadioButton(kReceiveSide, kSendSide, clicked);
  Enable();
}

void QvSetTargetFolderPage::ShowPathOf(int treeId) {
  CComboBox& combo = ComboOf(treeId);
  DWORD id = 0;
  CString path;
  if (TreeOf(treeId).GetSelectedFolder(&id)) GetFolderDisplayPath(id, &path);
  combo.ResetContent();
  combo.SetCurSel(combo.AddString(path));
}

void QvSetTargetFolderPage::OnComboDropDown(UINT id) {
  const int treeId = static_cast<int>(id) + 1;
  const bool shown = TreeOf(treeId).IsWindowVisible() != FALSE;
  PostMessage(shown ? kHideFolderTreeMessage : kShowFolderTreeMessage, static_cast<WPARAM>(treeId), 0);
}

void QvSetTargetFolderPage::ShowTree(int treeId) {
  CComboBox& combo = ComboOf(treeId);
  QvDropDownFolderTreeCtrl& tree = TreeOf(treeId);
  combo.ShowDropDown(FALSE);
  tree.PlaceBelow(&combo);
  tree.ShowWindow(SW_SHOW);
  tree.SetFocus();
}

void QvSetTargetFolderPage::HideTree(int treeId, bool take) {
  QvDropDownFolderTreeCtrl& tree = TreeOf(treeId);
  if (!tree.IsWindowVisible()) return;
  tree.ShowWindow(SW_HIDE);
  if (take) {
    DWORD chosen = 0;
    if (tree.GetSelectedFolder(&chosen)) tree.SelectFolder(chosen);
    ShowPathOf(treeId);
  } else {
    tree.RestoreSelection();
  }
  ComboOf(treeId).SetFocus();
}

void QvSetTargetFolderPage::OnTreeKillFocus(UINT id, NMHDR*, LRESULT* result) {
  *result = 0;
  const int treeId = static_cast<int>(id);
  if (::GetFocus() == ComboOf(treeId).m_hWnd) return;
  QvDropDownFolderTreeCtrl& tree = TreeOf(treeId);
  if (!tree.IsWindowVisible()) return;
  tree.ShowWindow(SW_HIDE);
  tree.RestoreSelection();
}

bool QvSetTargetFolderPage::NameTaken(DWORD boxId, const std::wstring& name) const {
  // As the store compares folder names: without regard to case.
  const std::vector<QvFolderItem>& folders = boxId == sendRoot_ ? sendFolders_ : receiveFolders_;
  const std::wstring folded = qv::FoldCase(name);
  for (const QvFolderItem& folder : folders) {
    if (qv::FoldCase(std::wstring_view(folder.name.GetString())) == folded) return true;
  }
  return false;
}

BOOL QvSetTargetFolderPage::OnKillActive() {
  if (!QvScrollPage::OnKillActive()) return FALSE;
  if (GetCheckedRadioButton(kExistingChoice, kNewChoice) != kNewChoice) {
    const int treeId = GetCheckedRadioButton(kReceiveSide, kSendSide) == kSendSide ? kSendTree : kReceiveTree;
    DWORD chosen = 0;
    if (!TreeOf(treeId).GetSelectedFolder(&chosen)) return FALSE;
    mode = kExistingFolder;
    folderId = chosen;
    return TRUE;
  }
  const std::wstring name = typedName_.GetString();
  if (name.empty()) {
    // Nothing to make: the sheet ends as cancelled.
    if (CPropertySheet* sheet = GetSheet()) sheet->PostMessage(WM_COMMAND, IDCANCEL, 0);
    return FALSE;
  }
  const int box = boxCombo_.GetCurSel();
  const DWORD parent = box >= 0 ? static_cast<DWORD>(boxCombo_.GetItemData(box)) : receiveRoot_;
  if (NameTaken(parent, name)) {
    ShowWarningBoxRes(m_hWnd, kSameNameWarning);
    nameField_.SetFocus();
    nameField_.SetSel(0, -1);
    return FALSE;
  }
  mode = kNewFolder;
  parentId = parent;
  newName = name;
  return TRUE;
}

LRESULT QvSetTargetFolderPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kShowFolderTreeMessage:
      if (wParam == kReceiveTree || wParam == kSendTree) ShowTree(static_cast<int>(wParam));
      return 0;
    case kHideFolderTreeMessage:
      if (wParam == kReceiveTree || wParam == kSendTree) HideTree(static_cast<int>(wParam), lParam != 0);
      return 0;
    case kBackMessage:
      if (nameField_.m_hWnd && nameField_.IsWindowEnabled() && nameField_.GetWindowTextLength() > 0) return 0;
      if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
      return 0;
    default:
      break;
  }
  return QvScrollPage::WindowProc(message, wParam, lParam);
}
