// Until the folder screen's list controls are wired in: the launcher list
// and the account combo as plain controls with the operations the frame uses.
#pragma once

#include <vector>

#include "engine/public/foundation/QvAccountInfoInterface.h"
#include "platform/framework/Framework.h"

class QvFolderListCtrl : public CListCtrl {
 public:
  void SetUp() {
    ModifyStyle(0, LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS);
    InsertColumn(0, L"", LVCFMT_LEFT, 480);
  }
  void SetNeighbours(CWnd*, CWnd*) {}
  void AddItem(int index, LPCWSTR text, int image, int count, bool counted, DWORD_PTR data) {
    CString shown = text;
    if (counted && count > 0) shown.Format(L"%s (%d)", text, count);
    const int at = InsertItem(index, shown, image);
    SetItemData(at, counted ? data : static_cast<DWORD_PTR>(-1));
  }
  void ClearItems() { DeleteAllItems(); }
  int GetSelectedIndex() const { return GetNextItem(-1, LVNI_SELECTED); }
  void SelectAndShow(int index) {
    SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EnsureVisible(index, FALSE);
  }
};

class QvAccountSelector : public CComboBox {
 public:
  void Refill() {
    const CString keep = GetCurrentName();
    ResetContent();
    // No account yet is no failure (the engine calls an empty list one).
    std::vector<std::wstring> names;
    if (!QvAccountInfoInterface::GetAccountNameList(&names, L"")) names.clear();
    for (const std::wstring& n : names) AddString(n.c_str());
    SelectByName(keep);
  }
  void SelectByName(const CString& name) {
    int at = 0;
    for (int i = 0; i < GetCount(); ++i) {
      CString text;
      GetLBText(i, text);
      if (text == name) at = i;
    }
    if (GetCount() > 0) SetCurSel(at);
  }
  CString GetCurrentName() const {
    CString text;
    if (GetCurSel() >= 0) GetLBText(GetCurSel(), text);
    return text;
  }
};
