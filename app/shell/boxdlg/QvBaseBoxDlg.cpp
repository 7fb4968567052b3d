#include "app/shell/boxdlg/QvBaseBoxDlg.h"

#include <algorithm>

#include "app/protocol/BoxCommands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/AfxResource.h"
#include "platform/shell/ShellUi.h"

BEGIN_MESSAGE_MAP(QvBaseBoxDlg, CDialog)
  ON_WM_SIZE()
  ON_COMMAND(kOpenItemCommand, &QvBaseBoxDlg::OnOpenItem)
  ON_NOTIFY(NM_CLICK, kListId, &QvBaseBoxDlg::OnListClick)
  ON_NOTIFY(NM_RETURN, kListId, &QvBaseBoxDlg::OnListClick)
END_MESSAGE_MAP()

QvBaseBoxDlg::QvBaseBoxDlg(LPCTSTR title, CWnd* parent) : CDialog(kTemplateId, parent), title_(title) {}

QvBaseBoxDlg::~QvBaseBoxDlg() = default;

BOOL QvBaseBoxDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  titleBar_.SubclassDlgItem(kTitleBarId, this);
  list_.SubclassDlgItem(kListId, this);
  SetWindowText(title_);
  titleBar_.SetTitle(title_);
  CRect client;
  GetClientRect(&client);
  Layout(client.Width(), client.Height());
  list_.SetUp();
  ShowWindow(SW_SHOW);
  return TRUE;
}

void QvBaseBoxDlg::UseAccelerators(UINT tableId) {
  accelerators_ = tableId ? LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(tableId)) : nullptr;
}

BOOL QvBaseBoxDlg::PreTranslateMessage(MSG* msg) {
  if (accelerators_ && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
      TranslateAcceleratorW(m_hWnd, accelerators_, msg)) {
    return TRUE;
  }
  return CDialog::PreTranslateMessage(msg);
}

void QvBaseBoxDlg::Layout(int cx, int cy) {
  if (titleBar_.m_hWnd) titleBar_.MoveWindow(0, 0, cx, QvTitleBarCtrl::kHeight);
  if (list_.m_hWnd) {
    list_.MoveWindow(0, QvTitleBarCtrl::kHeight, cx, std::max(0, cy - QvTitleBarCtrl::kHeight));
    list_.SetColumnWidth(0, cx);
  }
}

void QvBaseBoxDlg::OnSize(UINT, int cx, int cy) { Layout(cx, cy); }

void QvBaseBoxDlg::OpenAndRefocus() {
  OpenSelectedItem();
  if (::IsWindow(m_hWnd) && list_.m_hWnd) list_.SetFocus();
}

void QvBaseBoxDlg::OnOpenItem() { OpenAndRefocus(); }

void QvBaseBoxDlg::OnListClick(NMHDR*, LRESULT* result) {
  *result = 0;
  OpenAndRefocus();
}

void QvBaseBoxDlg::OnOK() {
  if (::GetFocus() == list_.m_hWnd) OpenAndRefocus();
}

LRESULT QvBaseBoxDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessage(WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}
