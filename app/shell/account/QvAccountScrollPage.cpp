#include "app/shell/account/QvAccountScrollPage.h"

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/framework/DataExchange.h"

BOOL QvAccountScrollPage::OnInitDialog() {
  const BOOL r = QvScrollPage::OnInitDialog();
  if (menuBarId_) CreateMenuBar(m_hWnd, menuBarId_);
  return r;
}

QvAccountField* QvAccountScrollPage::AddField(int id, QvAccountField::Kind kind, LPCWSTR label, LPCWSTR focusTrace,
                                              LPCWSTR leaveTrace) {
  auto field = std::make_unique<QvAccountField>();
  if (!field->Bind(this, id, kind, label, focusTrace, leaveTrace)) return nullptr;
  fields_.push_back(std::move(field));
  return fields_.back().get();
}

BOOL QvAccountScrollPage::OnKillActive() {
  for (auto& field : fields_) field->RestoreInputContext();
  return QvScrollPage::OnKillActive();
}

void QvAccountScrollPage::AskAndCancel() {
  if (askBeforeCancel_ && !ShowConfirmBoxRes(m_hWnd, kDropChangesText, false)) return;
  OnDone();
}

bool QvAccountScrollPage::AllEnabledEditsEmpty() const {
  for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (!::IsWindowEnabled(c) || !(::SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)) continue;
    if (::GetWindowTextLengthW(c) > 0) return false;
  }
  return true;
}

void QvAccountScrollPage::Enable(int id, bool enabled) {
  HWND control = ::GetDlgItem(m_hWnd, id);
  if (!control) return;
  if (!enabled && ::GetFocus() == control) ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
  ::EnableWindow(control, enabled);
}

bool QvAccountScrollPage::Checked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED; }

void QvAccountScrollPage::Refuse(UINT stringId, LPCWSTR label, int field) {
  // OK checks every page: the one at fault comes to the front.
  if (CPropertySheet* sheet = GetSheet(); sheet && sheet->GetActivePage() != this) sheet->SetActivePage(this);
  WarnWithLabel(m_hWnd, stringId, label);
  if (HWND control = ::GetDlgItem(m_hWnd, field)) {
    ::SetFocus(control);
    ::SendMessageW(control, EM_SETSEL, 0, -1);
  }
  ShowFocusItem();
}

LRESULT QvAccountScrollPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && (lParam == 0 || !::IsChild(m_hWnd, reinterpret_cast<HWND>(lParam)))) {
    // The soft keys: OK is the sheet's; Cancel drops the changes.
    CPropertySheet* sheet = GetSheet();
    if (LOWORD(wParam) == IDOK && sheet) {
      sheet->PressButton(PSBTN_OK);
      return 0;
    }
    if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == kDoneCommand) {
      AskAndCancel();
      return 0;
    }
  }
  if (message == kBackMessage) {
    if (AllEnabledEditsEmpty()) OnDone();
    return 0;
  }
  return QvScrollPage::WindowProc(message, wParam, lParam);
}

void ExchangeNumber(CDataExchange* dx, int id, uint32_t& value, uint32_t low, uint32_t high, uint32_t whenEmpty) {
  HWND control = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
  if (dx->m_bSaveAndValidate && control && !::IsWindowEnabled(control) && ::GetWindowTextLengthW(control) == 0) {
    value = whenEmpty;
    return;
  }
  UINT number = value;
  DDX_Text(dx, id, number);
  DDV_MinMaxUInt(dx, number, low, high);
  value = number;
}
