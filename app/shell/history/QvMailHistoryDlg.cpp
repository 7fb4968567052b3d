#include "app/shell/history/QvMailHistoryDlg.h"

#include "app/foundation/Contacts.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/protocol/WindowMessages.h"
#include "platform/codepage/CodePage.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CDC.h"
#include "platform/shell/ShellUi.h"

BEGIN_MESSAGE_MAP(QvMailHistoryDlg, CDialog)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_COMMAND(QvMailHistoryDlg::kChooseCommand, &QvMailHistoryDlg::OnChoose)
  ON_COMMAND(QvMailHistoryDlg::kCancelCommand, &QvMailHistoryDlg::OnCancelCommand)
  ON_MESSAGE(kHistoryChosenMessage, &QvMailHistoryDlg::OnRowChosen)
END_MESSAGE_MAP()

namespace {

constexpr UINT kProgramIcon = 147;
constexpr int kRowImageWidth = 64;

}  // namespace

QvMailHistoryDlg::QvMailHistoryDlg(CWnd* parent, int mode)
    : CDialog(kTemplateId, parent), mode_(mode), history_(std::make_unique<MailHistory>()) {}

QvMailHistoryDlg::~QvMailHistoryDlg() = default;

bool QvMailHistoryDlg::LoadRecvHistory() {
  entries_.clear();
  const bool read = history_->GetRecvHistoryList(&entries_) >= 0;
  RebuildRecords();
  return read;
}

bool QvMailHistoryDlg::LoadSendHistory() {
  entries_.clear();
  const bool read = history_->GetSendHistoryList(&entries_) >= 0;
  RebuildRecords();
  return read;
}

void QvMailHistoryDlg::RebuildRecords() {
  records_.clear();
  const bool session = AcquirePoomSession();
  for (const st_MAILHISTORYDATA& entry : entries_) {
    QvNameAddressItem item;
    item.date = CString(qv::Cp932ToWide(entry.strDate).c_str());
    const std::wstring address = qv::Cp932ToWide(entry.strAddress);
    item.address = CString(address.c_str());
    std::wstring name;
    if (LookupContactName(address, &name)) item.name = CString(name.c_str());
    records_.push_back(item);
  }
  if (session) ReleasePoomSession();
}

std::optional<QvNameAddressItem> QvMailHistoryDlg::GetSelectedHistory() const {
  if (chosen_ < 0 || static_cast<size_t>(chosen_) >= records_.size()) return std::nullopt;
  return records_[static_cast<size_t>(chosen_)];
}

BOOL QvMailHistoryDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  SetWindowTextW(m_hWnd, mode_ == kReceiveHistory ? L"受信履歴" : L"送信履歴");

  list_.SubclassHistoryList(kListId, this);
  list_.SetRecords(&records_);
  CRect client;
  GetClientRect(&client);
  list_.InsertColumn(0, L"詳細画面", LVCFMT_LEFT, client.Width());
  // The pictures are never drawn: their height is the rows' height.
  rowHeight_.Create(kRowImageWidth, kRowHeight, ILC_COLOR | ILC_MASK, 1, 0);
  if (HICON icon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kProgramIcon))) rowHeight_.Add(icon);
  list_.SetImageList(rowHeight_.m_hImageList, LVSIL_SMALL);

  const size_t rows = std::min(records_.size(), static_cast<size_t>(kMaxRows));
  for (size_t i = 0; i < rows; ++i) {
    const QvNameAddressItem& item = records_[i];
    // The row's text is kept for the record's sake only; the row is drawn
    // from the record its data names.
    CString text;
    text.Format(L"%s,%s,%s", item.date.GetString(), item.address.GetString(), item.name.GetString());
    list_.InsertItem(LVIF_TEXT | LVIF_PARAM, static_cast<int>(i), text, 0, 0, 0, static_cast<LPARAM>(i));
  }
  if (rows > 0) list_.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

  CClientDC dc(this);
  const LOGFONTW lf = QvComHistoryListCtrl::FontAtPoints(list_.GetFont(), dc.GetDeviceCaps(LOGPIXELSY), FW_BOLD);
  headingFont_.CreateFontIndirect(&lf);

  CreateMenuBar(m_hWnd, kMenuBarId);
  GetClientRect(&client);
  OnSize(SIZE_RESTORED, client.Width(), client.Height());
  list_.SetFocus();
  return FALSE;
}

void QvMailHistoryDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (!list_.m_hWnd) return;
  list_.MoveWindow(0, kHeadingHeight, cx, std::max(0, cy - kHeadingHeight), TRUE);
  list_.SetColumnWidth(0, cx);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void QvMailHistoryDlg::OnPaint() {
  CPaintDC dc(this);
  CRect heading;
  GetClientRect(&heading);
  heading.bottom = heading.top + kHeadingHeight;
  CFont* old = dc.SelectObject(&headingFont_);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
  dc.DrawText(mode_ == kReceiveHistory ? L"メール受信履歴" : L"メール送信履歴", &heading,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  dc.SelectObject(old);
}

void QvMailHistoryDlg::Choose(int row) {
  // A row of the list only: with none selected nothing is chosen and the screen stays.
  if (row < 0 || row >= list_.GetItemCount()) return;
  chosen_ = static_cast<int>(list_.GetItemData(row));
  EndDialog(kChosenResult);
}

void QvMailHistoryDlg::OnChoose() { Choose(list_.GetSelectedIndex()); }

void QvMailHistoryDlg::OnCancelCommand() { EndDialog(kCancelledResult); }

LRESULT QvMailHistoryDlg::OnRowChosen(WPARAM wParam, LPARAM) {
  Choose(static_cast<int>(wParam));
  return 0;
}

LRESULT QvMailHistoryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(kCancelledResult);
    return 0;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    // Enter in the dialog chooses as the soft key does, never without a row.
    OnChoose();
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

int ChooseFromHistoryScreen(HWND owner, int mode, std::wstring* name, std::wstring* address) {
  QvMailHistoryDlg dialog(owner ? CWnd::FromHandle(owner) : nullptr, mode);
  const bool loaded = mode == QvMailHistoryDlg::kReceiveHistory ? dialog.LoadRecvHistory() : dialog.LoadSendHistory();
  if (!loaded) return -1;
  if (dialog.DoModal() != QvMailHistoryDlg::kChosenResult) return 0;
  const std::optional<QvNameAddressItem> chosen = dialog.GetSelectedHistory();
  if (!chosen) return 0;
  *name = chosen->name.GetString();
  *address = chosen->address.GetString();
  return 1;
}

void InstallHistoryScreen() {
  ContactsHooks hooks;
  hooks.clearHeaderCache = &ClearHeaderCache;
  hooks.mainWindow = &GetMainWindowHandle;
  hooks.chooseHistory = &ChooseFromHistoryScreen;
  SetContactsHooks(hooks);
}
