#include "app/mailops/RunWithProgress.h"

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/foundation/CloseRequest.h"
#include <memory>

#include "app/mailops/AccountOperations.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/QvRasHolder.h"
#include "app/mailops/ReceiveSendOperations.h"
#include "app/mailops/dialogs/QvProgressDlg.h"
#include "app/mailops/dialogs/QvRoundRecvResultPage.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "platform/base/WinFormat.h"

namespace {

constexpr const wchar_t* kResultCaption = L"まとめて受信結果";
// The engine-error box's row for code 0: another operation runs.
constexpr uint32_t kCodeRefused = 0;

HWND HandleOf(CWnd* window) { return window ? window->GetSafeHwnd() : nullptr; }

// The window a run reports to. A close sequence may destroy it (and its
// object) while the progress window is up, so after a run only its handle is
// used, and only while that window still stands.
class Parent {
 public:
  explicit Parent(CWnd* window) : window_(window), handle_(HandleOf(window)) {}
  bool Alive() const { return handle_ == nullptr || ::IsWindow(handle_); }
  // For the window and the boxes: null once the window is gone.
  CWnd* Window() const { return handle_ && ::IsWindow(handle_) ? window_ : nullptr; }
  HWND Handle() const { return handle_ && ::IsWindow(handle_) ? handle_ : nullptr; }

 private:
  CWnd* window_;
  HWND handle_;
};

// The text a box fills its "%s" with: none for -1.
std::wstring DetailText(int32_t detail) { return detail == -1 ? std::wstring() : std::to_wstring(detail); }

// A task that ends with no code said what there was to say itself (a
// failed open, a cancelled password, nothing to send): a refusal because
// another operation runs is told before the window opens, so a box for
// code 0 after a run would only be a second, wrong one.
bool SaidByTheTask(uint32_t code) { return code == kCodeRefused; }

void ShowEngineError(const Parent& parent, uint32_t code, int32_t detail) {
  if (SaidByTheTask(code)) return;
  const std::wstring text = DetailText(detail);
  ShowQvMiddleError(code, parent.Handle(), detail == -1 ? nullptr : text.c_str());
}

// A run that may not start now says so: the automatic and the periodic
// receive in boxes of their own, a foreground receive or send in the box
// for another running operation.
bool RefusedAsBusy(CWnd* parent) {
  const int state = GetMailTaskState();
  if (state == kMailTaskIdle) return false;
  if (state == kMailTaskAutoReceive || state == kMailTaskPeriodicReceive) {
    CheckMailTaskBusy(parent);
  } else {
    ShowQvMiddleError(kCodeRefused, HandleOf(parent), nullptr);
  }
  return true;
}

struct Outcome {
  INT_PTR window = IDCANCEL;
  int lastCount = 0;
};

Outcome RunWindow(QvTask& task, const Parent& parent, int kind, LPCWSTR account, QvRasHolder* holder) {
  QvProgressDlg window(&task, parent.Window(), kind, account, holder);
  Outcome outcome;
  outcome.window = window.DoModal();
  outcome.lastCount = window.LastCount();
  return outcome;
}

// The send's own failure texts, else the engine-error box.
void ReportSendFailure(const Parent& parent, uint32_t code, int32_t detail) {
  if (SaidByTheTask(code)) return;
  ShowSendResult(code, detail, parent.Window());
}

// Read quietly: an account that cannot be read is the receive's to report.
bool PartialRetrieval(LPCWSTR account) {
  if (account == nullptr) return CurrentAccountSettings().bPartialRetrievingEnabled;
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(account, L""));
  QvAccountInfoInterface::Attributes read;
  read.Select(QvAccountInfoInterface::Attributes::kPartialRetrievingEnabled);
  return info && info->GetAccountInfoAttributes(&read) && read.bPartialRetrievingEnabled;
}

// Import and export runs have texts of their own by code.
void ShowFileFailure(const Parent& parent, uint32_t code) {
  if (!SaidByTheTask(code)) ShowQvMiddleError(code, parent.Handle(), nullptr);
}

}  // namespace

bool ImportMessagesWithProgress(CWnd* parent, DWORD folderId, const std::list<std::wstring>& files) {
  const Parent owner(parent);
  if (IsImportOrExportRunning()) {
    ShowQvMiddleError(kCodeRefused, HandleOf(parent), nullptr);
    return false;
  }
  QvImportTask task(folderId, files);
  if (RunWindow(task, owner, QvProgressDlg::kImport, nullptr, nullptr).window == IDOK) {
    ShowNoticeBoxRes(owner.Handle(), kStringImported);
    return true;
  }
  ShowFileFailure(owner, task.ErrorCode());
  return false;
}

bool ExportMessagesWithProgress(CWnd* parent, const std::wstring& path, const std::vector<unsigned long>& ids) {
  const Parent owner(parent);
  if (IsImportOrExportRunning()) {
    ShowQvMiddleError(kCodeRefused, HandleOf(parent), nullptr);
    return false;
  }
  QvExportTask task(path, ids);
  if (RunWindow(task, owner, QvProgressDlg::kExport, nullptr, nullptr).window == IDOK) {
    ShowNoticeBoxRes(owner.Handle(), kStringExported);
    return true;
  }
  ShowFileFailure(owner, task.ErrorCode());
  return false;
}

bool SendMessagesWithProgress(CWnd* parent, const std::vector<unsigned long>& ids) {
  const Parent owner(parent);
  if (RefusedAsBusy(parent)) return false;
  const CString account = GetCurrentAccountName();
  QvSendTask task(ids);
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  if (RunWindow(task, owner, QvProgressDlg::kSend, account, &holder).window == IDOK) {
    ShowNoticeBoxRes(owner.Handle(), kStringSent);
    return true;
  }
  ReportSendFailure(owner, task.ErrorCode(), task.ErrorDetail());
  return false;
}

bool ReceiveAccountWithProgress(CWnd* parent, LPCWSTR account) {
  const Parent owner(parent);
  if (RefusedAsBusy(parent)) return false;
  const CString name = account ? CString(account) : GetCurrentAccountName();
  const int kind = PartialRetrieval(account) ? QvProgressDlg::kReceivePartial : QvProgressDlg::kReceive;
  QvReceiveTask task{std::wstring(name)};
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  if (RunWindow(task, owner, kind, name, &holder).window == IDOK) {
    ShowNoticeBoxRes(owner.Handle(), kStringReceived);
    return true;
  }
  ShowEngineError(owner, task.ErrorCode(), task.ErrorDetail());
  return false;
}

bool ReceiveSelectedWithProgress(CWnd* parent, const std::list<unsigned long>& ids) {
  const Parent owner(parent);
  if (RefusedAsBusy(parent)) return false;
  const CString account = GetCurrentAccountName();
  QvReceiveTask task(&ids);
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  if (RunWindow(task, owner, QvProgressDlg::kDownload, account, &holder).window == IDOK) {
    ShowNoticeBoxRes(owner.Handle(), kStringReceived);
    return true;
  }
  if (task.ErrorCode() == kCodeNothingLeft) {
    ShowNoticeBoxRes(owner.Handle(), kStringNothingToDownload);
  } else {
    ShowEngineError(owner, task.ErrorCode(), task.ErrorDetail());
  }
  return false;
}

bool SendAndReceiveWithProgress(CWnd* parent) {
  const Parent owner(parent);
  if (RefusedAsBusy(parent)) return false;
  const CString account = GetCurrentAccountName();
  QvRasHolder holder;
  if (CountOutboxMessages() > 0) {
    QvSendTask send{std::vector<unsigned long>()};
    // The receive that follows reuses the connection the send made.
    holder.SetKeepMode(QvRasHolder::kReleaseOnFailure);
    if (RunWindow(send, owner, QvProgressDlg::kSend, account, &holder).window != IDOK) {
      ReportSendFailure(owner, send.ErrorCode(), send.ErrorDetail());
      return false;
    }
    holder.SetKeepMode(QvRasHolder::kReleaseAlways);
    if (!owner.Alive()) return false;
  }
  QvReceiveTask receive{std::wstring(account)};
  if (RunWindow(receive, owner, QvProgressDlg::kReceive, account, &holder).window == IDOK) {
    ShowNoticeBoxRes(owner.Handle(), kStringSentAndReceived);
    return true;
  }
  ShowEngineError(owner, receive.ErrorCode(), receive.ErrorDetail());
  return false;
}

bool BatchReceiveWithProgress(CWnd* parent) {
  const Parent owner(parent);
  if (RefusedAsBusy(parent)) return false;
  std::vector<std::wstring> accounts;
  if (!GetPeriodicRecvAccounts(&accounts, 1)) return false;
  std::vector<RoundRecvResult> rows;
  for (const std::wstring& name : accounts) rows.push_back({name, 0, kCodeAborted});
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kKeep);
  for (size_t i = 0; i < accounts.size(); ++i) {
    if (CloseRequestSeenFlag || !owner.Alive()) break;
    const bool last = i + 1 == accounts.size();
    if (last) holder.SetKeepMode(QvRasHolder::kReleaseAlways);
    QvReceiveTask task{accounts[i]};
    const Outcome outcome = RunWindow(task, owner, QvProgressDlg::kReceive, accounts[i].c_str(), &holder);
    RoundRecvResult& row = rows[i];
    row.count = outcome.lastCount;
    row.code = task.ErrorCode();
    if (outcome.window != IDOK && row.code != kCodeNothingLeft) {
      ShowEngineError(owner, row.code, task.ErrorDetail());
      if (row.code == 0) row.code = kCodeAborted;
    }
    // The program is closing: no question, the batch ends here.
    if (last || CloseRequestSeenFlag) break;
    const UINT ask = row.code == kCodeAborted ? kStringBatchAskAfterAbort : kStringBatchAskAfterFailure;
    if (outcome.window != IDOK) {
      const std::wstring text = qv::FormatW(LoadResString(ask), accounts[i].c_str());
      if (!ShowConfirmBox(owner.Handle(), text.c_str(), true)) break;
    }
  }
  if (owner.Alive()) ShowRoundRecvResults(owner.Window(), rows);
  return true;
}

void ShowRoundRecvResults(CWnd* parent, const std::vector<RoundRecvResult>& rows) {
  QvRoundRecvResultPage page;
  page.Results() = rows;
  QvSinglePropertySheet sheet(kResultCaption, parent);
  sheet.AddPage(&page);
  sheet.DoModal();
}
