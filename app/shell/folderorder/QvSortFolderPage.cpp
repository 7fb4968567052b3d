#include "app/shell/folderorder/QvSortFolderPage.h"

#include <vector>

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mailbox/QvMailBoxDlg.h"
#include "platform/framework/CButton.h"

BEGIN_MESSAGE_MAP(QvSortFolderPage, QvScrollPage)
  ON_BN_CLICKED(QvSortFolderPage::kUpId, &QvSortFolderPage::OnUp)
  ON_BN_CLICKED(QvSortFolderPage::kDownId, &QvSortFolderPage::OnDown)
  ON_NOTIFY(LVN_ITEMCHANGED, QvSortFolderPage::kListId, &QvSortFolderPage::OnItemChanged)
END_MESSAGE_MAP()

namespace {

constexpr int kMargin = 8;
constexpr int kButtonHeight = 56;

void SetDefault(HWND button, bool on) {
  const LONG style = ::GetWindowLongW(button, GWL_STYLE);
  const LONG type = static_cast<LONG>(on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  if ((style & static_cast<LONG>(BS_TYPEMASK)) != type) ::SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>(type), TRUE);
}

}  // namespace

QvSortFolderPage::QvSortFolderPage(int boxKind) : QvScrollPage(kTemplateId), boxKind_(boxKind) {}

BOOL QvSortFolderPage::OnInitDialog() {
  QvScrollPage::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBarId);
  list_.SubclassSortList(kListId, this);
  QvFolderItem box;
  if (GetSystemFolderItem(boxKind_, &box)) {
    list_.InsertItem(LVIF_TEXT | LVIF_PARAM, 0, box.name, 0, 0, 0, static_cast<LPARAM>(box.folderId));
  }
  std::vector<QvFolderItem> folders;
  GetOrderedFolderItems(boxKind_, &folders);
  for (const QvFolderItem& folder : folders) {
    list_.InsertItem(LVIF_TEXT | LVIF_PARAM, list_.GetItemCount(), folder.name, 0, 0, 0,
                     static_cast<LPARAM>(folder.folderId));
  }
  // No button is the default until one was pressed: Enter belongs to the list.
  SetDefault(::GetDlgItem(m_hWnd, kUpId), false);
  SetDefault(::GetDlgItem(m_hWnd, kDownId), false);
  list_.SelectRow(0);
  UpdateButtons();
  Layout();
  list_.SetFocus();
  return FALSE;
}

void QvSortFolderPage::UpdateButtons() {
  const int at = list_.GetSelectedIndex();
  const int count = list_.GetItemCount();
  ::EnableWindow(::GetDlgItem(m_hWnd, kUpId), at >= 2);
  ::EnableWindow(::GetDlgItem(m_hWnd, kDownId), at >= 1 && at < count - 1);
}

void QvSortFolderPage::FocusMoveButton(int pressed, int other) {
  HWND first = ::GetDlgItem(m_hWnd, pressed);
  HWND second = ::GetDlgItem(m_hWnd, other);
  HWND chosen = ::IsWindowEnabled(first) ? first : second;
  SetDefault(first, chosen == first);
  SetDefault(second, chosen == second);
  ::SendMessageW(m_hWnd, DM_SETDEFID, static_cast<WPARAM>(chosen == first ? pressed : other), 0);
  ::SetFocus(chosen);
}

void QvSortFolderPage::OnUp() {
  const int at = list_.GetSelectedIndex();
  if (at < 2) return;
  list_.SwapRows(at, at - 1);
  list_.SelectRow(at - 1);
  UpdateButtons();
  FocusMoveButton(kUpId, kDownId);
}

void QvSortFolderPage::OnDown() {
  const int at = list_.GetSelectedIndex();
  if (at < 1 || at >= list_.GetItemCount() - 1) return;
  list_.SwapRows(at, at + 1);
  list_.SelectRow(at + 1);
  UpdateButtons();
  FocusMoveButton(kDownId, kUpId);
}

void QvSortFolderPage::OnItemChanged(NMHDR*, LRESULT* result) {
  UpdateButtons();
  *result = 0;
}

BOOL QvSortFolderPage::OnApply() {
  std::vector<unsigned long> ids;
  for (int i = 1; i < list_.GetItemCount(); ++i) ids.push_back(static_cast<unsigned long>(list_.GetItemData(i)));
  return WriteFolderOrderFile(boxKind_, ids) ? TRUE : FALSE;
}

void QvSortFolderPage::Layout() {
  if (!list_.m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  const int width = client.Width() - 2 * kMargin;
  const int buttonsTop = client.Height() - kMargin - kButtonHeight;
  list_.MoveWindow(kMargin, kMargin, width, std::max(kButtonHeight, buttonsTop - 2 * kMargin), TRUE);
  list_.FitColumn();
  const int half = (width - kMargin) / 2;
  ::MoveWindow(::GetDlgItem(m_hWnd, kUpId), kMargin, buttonsTop, half, kButtonHeight, TRUE);
  ::MoveWindow(::GetDlgItem(m_hWnd, kDownId), 2 * kMargin + half, buttonsTop, width - kMargin - half, kButtonHeight,
               TRUE);
}

LRESULT QvSortFolderPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      break;
    case WM_COMMAND:
      // The soft keys' OK and Cancel are the sheet's.
      if (lParam == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, LOWORD(wParam), 0);
        return 0;
      }
      break;
    case kBackMessage:
      if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
      return 0;
    default:
      break;
  }
  return QvScrollPage::WindowProc(message, wParam, lParam);
}

bool RunFolderOrderPage(CWnd* parent, int boxKind) {
  QvSortFolderPage page(boxKind);
  QvSinglePropertySheet sheet(QvSortFolderPage::kCaption, parent);
  sheet.AddPage(&page);
  return sheet.DoModal() == IDOK;
}

void InstallFolderOrderPage() { QvMailBoxDlg::SetFolderOrderRunner(&RunFolderOrderPage); }
