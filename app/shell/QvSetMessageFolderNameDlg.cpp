#include "app/shell/QvSetMessageFolderNameDlg.h"

#include <algorithm>

#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "platform/base/WideText.h"

BOOL QvSetMessageFolderNameDlg::OnInitDialog() {
  const BOOL result = QvSetFolderNameDlg::OnInitDialog();
  ::SendMessageW(::GetDlgItem(m_hWnd, kNameField), EM_LIMITTEXT, kMaxName, 0);
  siblings_.clear();
  int kind = -1;
  if (GetFolderRootKind(parentId_, &kind) && (kind == kReceiveBox || kind == kSendBox)) {
    std::vector<QvFolderItem> items;
    GetOrderedFolderItems(kind, &items);
    // Keeping one's own name is allowed: that entry is left out.
    bool ownDropped = name_.empty();
    for (const QvFolderItem& item : items) {
      const std::wstring name(item.name.GetString());
      if (!ownDropped && name == name_) {
        ownDropped = true;
        continue;
      }
      // Kept folded: the store takes "work" and "Work" for one name.
      siblings_.push_back(qv::FoldCase(name));
    }
  }
  return result;
}

void QvSetMessageFolderNameDlg::OnOK() {
  const std::wstring typed = FieldText();
  if (typed.empty()) {
    EndDialog(IDCANCEL);
    return;
  }
  if (std::find(siblings_.begin(), siblings_.end(), qv::FoldCase(typed)) != siblings_.end()) {
    Refuse(20048);
    return;
  }
  name_ = typed;
  EndDialog(IDOK);
}
