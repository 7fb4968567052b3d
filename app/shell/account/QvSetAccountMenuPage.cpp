#include "app/shell/account/QvSetAccountMenuPage.h"

#include <algorithm>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/CurrentAccount.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/account/QvSetAccountEditNamePage.h"
#include "app/shell/account/QvSetAccountPropertySheet.h"
#include "platform/framework/CPropertySheet.h"

namespace {

constexpr int kCurrentImage = 0;
constexpr int kOtherImage = 1;
constexpr int kOwnNumberLength = 11;

// The buttons in their 2 x 2 grid, for the arrow keys.
constexpr int kGrid[2][2] = {{QvSetAccountMenuPage::kNew, QvSetAccountMenuPage::kEdit},
                             {QvSetAccountMenuPage::kRename, QvSetAccountMenuPage::kDelete}};

// Counts a sheet of the page's own while it runs.
struct Busy {
  explicit Busy(int& n) : n_(n) { ++n_; }
  ~Busy() { --n_; }
  int& n_;
};

}  // namespace

void RunAccountListSheet(CWnd* parent) {
  QvSetAccountMenuPage page;
  QvSinglePropertySheet sheet(L"アカウント一覧", parent);
  sheet.AddPage(&page);
  sheet.DoModal();
}

BOOL QvSetAccountMenuPage::OnInitDialog() {
  const BOOL r = QvScrollPage::OnInitDialog();
  list_.SubclassDlgItem(kList, this);
  if (images_.Create(kImagesBitmap, 32, 1, RGB(0xFF, 0xFF, 0xFF))) list_.SetImageList(images_, LVSIL_SMALL);
  list_.InsertColumn(0, L"アカウント", LVCFMT_LEFT, kColumnWidth);
  // The one column then takes the list's width, as it does on every resize.
  CRect area;
  list_.GetClientRect(&area);
  list_.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(area.Width(), area.Height()));
  Layout();
  current_ = GetCurrentAccountName().str();
  Fill();
  int at = -1;
  for (size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == current_) at = static_cast<int>(i);
  }
  Select(at);
  if (names_.empty()) ::PostMessageW(m_hWnd, kNoAccountMessage, 0, 0);
  list_.SetFocus();
  return r && FALSE;
}

void QvSetAccountMenuPage::Fill() {
  names_.clear();
  if (!GetAccountNames(&names_)) names_.clear();
  list_.DeleteAllItems();
  for (size_t i = 0; i < names_.size(); ++i) {
    list_.InsertItem(static_cast<int>(i), names_[i].c_str(), names_[i] == current_ ? kCurrentImage : kOtherImage);
  }
}

void QvSetAccountMenuPage::Select(int index) {
  if (index >= static_cast<int>(names_.size())) index = -1;
  selected_ = index;
  if (index >= 0) {
    list_.SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    list_.EnsureVisible(index, FALSE);
  }
  UpdateButtons();
}

void QvSetAccountMenuPage::UpdateButtons() {
  const bool row = selected_ >= 0 && selected_ < static_cast<int>(names_.size());
  const bool enable[] = {
      names_.size() < static_cast<size_t>(kMaxAccounts), row, row,
      // The open account cannot go: only another selected row can be deleted.
      row && names_[static_cast<size_t>(selected_)] != current_,
  };
  const int ids[] = {kNew, kEdit, kRename, kDelete};
  for (int i = 0; i < 4; ++i) {
    HWND button = ::GetDlgItem(m_hWnd, ids[i]);
    if (!enable[i] && ::GetFocus() == button) list_.SetFocus();
    ::EnableWindow(button, enable[i]);
  }
}

BOOL QvSetAccountMenuPage::OnKillActive() {
  if (busy_) return FALSE;
  return QvScrollPage::OnKillActive();
}

void QvSetAccountMenuPage::OnNew() {
  if (names_.size() >= static_cast<size_t>(kMaxAccounts)) return;
  Busy busy(busy_);
  QvSetAccountEditNamePage page(QvSetAccountEditNamePage::kNew, names_);
  QvSinglePropertySheet sheet(L"アカウント名入力", this);
  sheet.AddPage(&page);
  if (sheet.DoModal() != IDOK || !EditAccount(this, page.name.str(), false, 0)) {
    ::SetFocus(::GetDlgItem(m_hWnd, kNew));
    return;
  }
  names_.push_back(page.name.str());
  const int at = list_.InsertItem(static_cast<int>(names_.size() - 1), page.name, kOtherImage);
  if (at < 0) {
    ShowQvMiddleError(kInsertFailedCode, m_hWnd, nullptr);
    return;
  }
  Select(at);
  list_.SetFocus();
}

void QvSetAccountMenuPage::OnEdit() {
  if (selected_ < 0) return;
  Busy busy(busy_);
  EditAccount(this, names_[static_cast<size_t>(selected_)], true, 0);
  list_.SetFocus();
}

void QvSetAccountMenuPage::OnRename() {
  if (selected_ < 0) return;
  Busy busy(busy_);
  const std::wstring old = names_[static_cast<size_t>(selected_)];
  QvSetAccountEditNamePage page(QvSetAccountEditNamePage::kRename, names_);
  page.name = old.c_str();
  QvSinglePropertySheet sheet(L"アカウント名変更", this);
  sheet.AddPage(&page);
  if (sheet.DoModal() != IDOK) return;
  const std::wstring renamed = page.name.str();
  QvAccountSettings settings;
  const bool read = LoadAccountSettings(old, &settings);
  wchar_t own[kOwnNumberLength + 1] = {};
  GetOwnPhoneNumber(own, kOwnNumberLength + 1);
  if (!RenameAccount(old, renamed)) return;
  if (current_ == old) current_ = renamed;
  names_[static_cast<size_t>(selected_)] = renamed;
  list_.SetItemText(selected_, 0, renamed.c_str());
  Select(selected_);
  list_.SetFocus();
  // The carrier's account named after the phone number keeps the system's
  // record of it in step.
  if (read && settings.bTaccount && old == own) ChangeSystemIni(renamed);
}

void QvSetAccountMenuPage::OnDelete() {
  if (selected_ < 0 || names_[static_cast<size_t>(selected_)] == current_) return;
  if (!ShowConfirmBoxRes(m_hWnd, kDeleteQuestion, false)) return;
  const int old = selected_;
  if (!DeleteAccount(names_[static_cast<size_t>(old)])) return;
  Fill();
  if (names_.empty()) {
    Select(-1);
    ::SetFocus(::GetDlgItem(m_hWnd, kNew));
    return;
  }
  Select(old < static_cast<int>(names_.size()) ? old : static_cast<int>(names_.size()) - 1);
  list_.SetFocus();
}

void QvSetAccountMenuPage::Layout() {
  // The list takes what the two rows of buttons leave, so that the page
  // never scrolls, in either orientation.
  HWND first = ::GetDlgItem(m_hWnd, kNew);
  if (!first || !list_.m_hWnd) return;
  RECT client{}, button{};
  ::GetClientRect(m_hWnd, &client);
  ::GetWindowRect(first, &button);
  const int margin = 16, gap = 12;
  const int h = button.bottom - button.top;
  const int w = (client.right - 2 * margin - gap) / 2;
  // Placed where the page's scrolling has its content now.
  const int shift = ScrollOffset();
  const int second = client.bottom - margin - h + shift;
  const int top = second - gap - h;
  list_.MoveWindow(margin, margin + shift, client.right - 2 * margin, std::max(h, top - gap - margin - shift), TRUE);
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 2; ++col) {
      ::MoveWindow(::GetDlgItem(m_hWnd, kGrid[row][col]), margin + col * (w + gap), row ? second : top, w, h, TRUE);
    }
  }
}

bool QvSetAccountMenuPage::MoveFocus(UINT key) {
  HWND focus = ::GetFocus();
  auto enabled = [&](int id) { return ::IsWindowEnabled(::GetDlgItem(m_hWnd, id)) != FALSE; };
  auto focusId = [&](int id) {
    ::SetFocus(::GetDlgItem(m_hWnd, id));
    return true;
  };
  if (focus == list_.m_hWnd) {
    const int last = static_cast<int>(names_.size()) - 1;
    if (key == VK_DOWN && (selected_ >= last || last < 0)) {
      for (int id : {kNew, kEdit, kRename, kDelete}) {
        if (enabled(id)) return focusId(id);
      }
      return true;  // the list's last row: stay
    }
    return key == VK_UP && selected_ <= 0;  // the first row: stay
  }
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 2; ++col) {
      if (focus != ::GetDlgItem(m_hWnd, kGrid[row][col])) continue;
      int r = row, c = col;
      if (key == VK_UP) --r;
      if (key == VK_DOWN) ++r;
      if (key == VK_LEFT) --c;
      if (key == VK_RIGHT) ++c;
      if (r < 0) {
        list_.SetFocus();
        return true;
      }
      if (r > 1 || c < 0 || c > 1) return true;
      if (enabled(kGrid[r][c])) return focusId(kGrid[r][c]);
      return true;
    }
  }
  return false;
}

BOOL QvSetAccountMenuPage::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN &&
      (msg->wParam == VK_UP || msg->wParam == VK_DOWN || msg->wParam == VK_LEFT || msg->wParam == VK_RIGHT) &&
      MoveFocus(static_cast<UINT>(msg->wParam))) {
    return TRUE;
  }
  return QvScrollPage::PreTranslateMessage(msg);
}

LRESULT QvSetAccountMenuPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case kNew: OnNew(); return 0;
          case kEdit: OnEdit(); return 0;
          case kRename: OnRename(); return 0;
          case kDelete: OnDelete(); return 0;
          default: break;
        }
      }
      for (UINT id : kEndCommands) {
        if (LOWORD(wParam) == id) {
          if (CPropertySheet* sheet = GetSheet()) sheet->EndDialog(static_cast<int>(id));
          return 0;
        }
      }
      break;
    case WM_NOTIFY: {
      const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
      if (nm->idFrom == kList && nm->code == LVN_ITEMCHANGED && list_.m_hWnd) {
        // Whatever changed (one row or all at once), the selection is what the list says.
        selected_ = list_.GetNextItem(-1, LVNI_SELECTED);
        UpdateButtons();
      }
      break;
    }
    case WM_SIZE:
      Layout();  // first: the page then finds nothing to scroll
      break;
    case kNoAccountMessage:
      ShowNoticeBoxRes(m_hWnd, kNoAccountText);
      return 0;
    case kBackMessage:
      if (CPropertySheet* sheet = GetSheet()) sheet->PressButton(PSBTN_CANCEL);
      return 0;
    default:
      break;
  }
  return QvScrollPage::WindowProc(message, wParam, lParam);
}
