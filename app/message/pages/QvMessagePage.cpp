#include "app/message/pages/QvMessagePage.h"

#include <vector>

#include "app/foundation/Contacts.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/protocol/Commands.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/shell/CommandBar.h"

namespace {

constexpr UINT kPlaceholderItem = 40095;   // a popup's stand-in for the page menu's items
constexpr UINT kSheetCommandFirst = 40183;  // the sheet decides whether these act
constexpr UINT kSheetCommandLast = 40186;
constexpr UINT kMoveCaption = 20157;

}  // namespace

BEGIN_MESSAGE_MAP(QvMessagePage, CDialog)
  ON_WM_INITMENUPOPUP()
  ON_UPDATE_COMMAND_UI_RANGE(kSheetCommandFirst, kSheetCommandLast, &QvMessagePage::OnUpdateSheetCommand)
  ON_COMMAND_RANGE(kSheetCommandFirst, kSheetCommandLast, &QvMessagePage::OnSheetCommand)
  ON_COMMAND(kSendMessageCommand, &QvMessagePage::OnSendCommand)
END_MESSAGE_MAP()

QvMessagePage::QvMessagePage(UINT templateId, QvMessageRecord* record) : CDialog(templateId), m_record(record) {}

QvMessagePage::~QvMessagePage() { DestroyCommandBar(); }

BOOL QvMessagePage::OnPageActivate() { return TRUE; }
BOOL QvMessagePage::OnPageDeactivate() { return TRUE; }
void QvMessagePage::LoadPageMenu() {}
void QvMessagePage::CustomizePopupMenu(CMenu*) {}
BOOL QvMessagePage::PrepareSend(int, QvToolPage*) { return TRUE; }
BOOL QvMessagePage::StorePage(int, QvToolPage*) { return TRUE; }
void QvMessagePage::ReloadPage(int, int) {}
BOOL QvMessagePage::CheckBeforeSend(int, QvToolPage*) { return TRUE; }
void QvMessagePage::FocusFirstField(int, int) {}
void QvMessagePage::OnSheetClosing(int, int) {}

BOOL QvMessagePage::OnInitDialog() {
  CDialog::OnInitDialog();
  m_initialised = 1;
  if (m_record && m_record->isNew == 0 && m_record->notFromStore == 0) {
    uint32_t status = 0;
    uint32_t kind = 0;
    if (GetMessageStatus(m_record->messageId, m_record->folder, &status, &kind)) {
      m_status[0] = status;
      m_status[1] = kind;
    }
  }
  return TRUE;
}

CWnd* QvMessagePage::SheetWindow() const {
  CWnd* toolPage = m_hWnd ? GetParent() : nullptr;
  return toolPage ? toolPage->GetParent() : nullptr;
}

LRESULT QvMessagePage::SendToSheet(UINT message, WPARAM wParam, LPARAM lParam) const {
  CWnd* sheet = SheetWindow();
  return sheet ? sheet->SendMessage(message, wParam, lParam) : 0;
}

BOOL QvMessagePage::PostToSheet(UINT message, WPARAM wParam, LPARAM lParam) const {
  CWnd* sheet = SheetWindow();
  return sheet ? sheet->PostMessage(message, wParam, lParam) : FALSE;
}

bool QvMessagePage::IsActivePage() const {
  CWnd* sheet = SheetWindow();
  CWnd* toolPage = m_hWnd ? GetParent() : nullptr;
  if (!sheet || !toolPage) return false;
  const auto active = reinterpret_cast<HWND>(sheet->SendMessage(PSM_GETCURRENTPAGEHWND));
  return active == toolPage->m_hWnd;
}

BOOL QvMessagePage::CreateCommandBar(UINT menuId) {
  DestroyCommandBar();
  auto* bar = new CCommandBar;
  if (!bar->Create(this, 0x50002800u, AFX_IDW_COMMANDBAR) || !bar->InsertMenuBar(menuId)) {
    delete bar;
    return FALSE;
  }
  m_commandBar = bar;
  LoadPageMenu();
  bar->SetBarStyle(bar->GetBarStyle() | CBRS_SIZE_DYNAMIC);
  return TRUE;
}

void QvMessagePage::DestroyCommandBar() {
  if (!m_commandBar) return;
  m_commandBar->DestroyWindow();
  delete m_commandBar;
  m_commandBar = nullptr;
}

bool QvMessagePage::ChooseAddress(CWnd* owner, CString* text, int kind) {
  HWND focus = ::GetFocus();
  std::wstring chosen;
  const bool ok = ChooseContactAddress(owner ? owner->m_hWnd : m_hWnd, &chosen, kind);
  if (ok && text) *text = chosen.c_str();
  if (focus && ::IsWindow(focus)) ::SetFocus(focus);
  return ok;
}

bool QvMessagePage::MoveToFolder(const CDWordArray& messageIds) {
  if (!m_record) return false;
  const CString caption = LoadResString(kMoveCaption);
  QvSinglePropertySheet sheet(caption, this);
  auto* page = new QvSetTargetFolderPage;
  page->existingText = L"既存のフォルダに移動する";
  page->newText = L"フォルダを新規作成して移動する";
  page->folderId = m_record->folder;
  sheet.SetupPage(caption.GetString(), page);
  if (sheet.DoModal() != IDOK) return false;
  DWORD target = page->folderId;
  if (page->mode == QvSetTargetFolderPage::kNewFolder && !CreateSubFolder(page->parentId, page->newName, &target)) {
    return false;
  }
  if (target == m_record->folder) return false;
  std::vector<unsigned long> ids;
  for (INT_PTR i = 0; i < messageIds.GetSize(); ++i) ids.push_back(messageIds[i]);
  CloseCurrentMessage();
  if (!MoveMessagesToFolder(ids, m_record->folder, target)) {
    OpenCurrentMessage(m_record->messageId);
    return false;
  }
  return true;
}

void QvMessagePage::OnInitMenuPopup(CMenu* popup, UINT, BOOL sysMenu) {
  if (!popup || sysMenu) return;
  HMENU menu = popup->GetSafeHmenu();
  if (::GetMenuItemCount(menu) > 0 && ::GetMenuItemID(menu, 0) == kPlaceholderItem && m_pageMenu.GetSafeHmenu()) {
    if (HMENU source = ::GetSubMenu(m_pageMenu.GetSafeHmenu(), 0)) CopyMenuItems(menu, source);
  }
  CustomizePopupMenu(popup);
  UpdatePopupMenuCmdUI(this, menu);
}

void QvMessagePage::OnUpdateSheetCommand(CCmdUI* ui) { ui->Enable(TRUE); }

// The soft keys and the page menu give their commands to the page, a child
// window: the sheet's own ones (send, save, the page switches) go up to it.
void QvMessagePage::OnSheetCommand(UINT id) { SendToSheet(WM_COMMAND, id, 0); }
void QvMessagePage::OnSendCommand() { OnSheetCommand(kSendMessageCommand); }
