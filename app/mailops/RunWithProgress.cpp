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
#include "app/mailops/dialogs/QvProgressDlg.h"
#include "app/mailops/dialogs/QvRoundRecvResultPage.h"
#include "engine/public/foundation/QvAccountInfoInterface.h"
#include "platform/base/WinFormat.h"

namespace {

constexpr const wchar_t* kResultCaption = L"まとめて受信結果";
// The engine-error box's row for code 0: another operation runs.
constexpr uint32_t kCodeRefused = 0;

HWND HandleOf(CWnd* window) { return window ? window->GetSafeHwnd() : nullptr; }

// The text a box fills its "%s" with: none for -1.
std::wstring DetailText(int32_t detail) { return detail == -1 ? std::wstring() : std::to_wstring(detail); }

void ShowEngineError(CWnd* parent, uint32_t code, int32_t detail) {
  const std::wstring text = DetailText(detail);
  ShowQvMiddleError(code, HandleOf(parent), detail == -1 ? nullptr : text.c_str());
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

Outcome RunWindow(QvTask& task, CWnd* parent, int kind, LPCWSTR account, QvRasHolder* holder) {
  QvProgressDlg window(&task, parent, kind, account, holder);
  Outcome outcome;
  outcome.window = window.DoModal();
  outcome.lastCount = window.LastCount();
  return outcome;
}

// The send's own failure texts, else the engine-error box.
void ReportSendFailure(CWnd* parent, uint32_t code, int32_t detail) { ShowEngineError(parent, code, detail); }

// Read quietly: an account that cannot be read is the receive's to report.
bool PartialRetrieval(LPCWSTR account) {
  if (account == nullptr) return CurrentAccountSettings().bPartialRetrievingEnabled;
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(account, L""));
  QvAccountInfoInterface::Attributes read;
  read.Select(QvAccountInfoInterface::Attributes::kPartialRetrievingEnabled);
  return info && info->GetAccountInfoAttributes(&read) && read.bPartialRetrievingEnabled;
}

// Import and export runs have texts of their own by code; a run refused
// before it started (code 0) is said to be so.
void ShowFileFailure(CWnd* parent, uint32_t code) { ShowQvMiddleError(code, HandleOf(parent), nullptr); }

}  // namespace

bool ImportMessagesWithProgress(CWnd* parent, DWORD folderId, const std::list<std::wstring>& files) {
  if (IsImportOrExportRunning()) {
    ShowQvMiddleError(kCodeRefused, HandleOf(parent), nullptr);
    return false;
  }
  QvImportTask task(folderId, files);
  if (RunWindow(task, parent, QvProgressDlg::kImport, nullptr, nullptr).window == IDOK) {
    ShowNoticeBoxRes(HandleOf(parent), kStringImported);
    return true;
  }
  ShowFileFailure(parent, task.ErrorCode());
  return false;
}

bool ExportMessagesWithProgress(CWnd* parent, const std::wstring& path, const std::vector<unsigned long>& ids) {
  if (IsImportOrExportRunning()) {
    ShowQvMiddleError(kCodeRefused, HandleOf(parent), nullptr);
    return false;
  }
  QvExportTask task(path, ids);
  if (RunWindow(task, parent, QvProgressDlg::kExport, nullptr, nullptr).window == IDOK) {
    ShowNoticeBoxRes(HandleOf(parent), kStringExported);
    return true;
  }
  ShowFileFailure(parent, task.ErrorCode());
  return false;
}

bool SendMessagesWithProgress(CWnd* parent, const std::vector<unsigned long>& ids) {
  if (RefusedAsBusy(parent)) return false;
  const CString account = GetCurrentAccountName();
  QvSendTask task(ids);
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  if (RunWindow(task, parent, QvProgressDlg::kSend, account, &holder).window == IDOK) {
    ShowNoticeBoxRes(HandleOf(parent), kStringSent);
    return true;
  }
  ReportSendFailure(parent, task.ErrorCode(), task.ErrorDetail());
  return false;
}

bool ReceiveAccountWithProgress(CWnd* parent, LPCWSTR account) {
  if (RefusedAsBusy(parent)) return false;
  const CString name = account ? CString(account) : GetCurrentAccountName();
  const int kind = PartialRetrieval(account) ? QvProgressDlg::kReceivePartial : QvProgressDlg::kReceive;
  QvReceiveTask task{std::wstring(name)};
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  if (RunWindow(task, parent, kind, name, &holder).window == IDOK) {
    ShowNoticeBoxRes(HandleOf(parent), kStringReceived);
    return true;
  }
  ShowEngineError(parent, task.ErrorCode(), task.ErrorDetail());
  return false;
}

bool ReceiveSelectedWithProgress(CWnd* parent, const std::list<unsigned long>& ids) {
  if (RefusedAsBusy(parent)) return false;
  const CString account = GetCurrentAccountName();
  QvReceiveTask task(&ids);
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  if (RunWindow(task, parent, QvProgressDlg::kDownload, account, &holder).window == IDOK) {
    ShowNoticeBoxRes(HandleOf(parent), kStringReceived);
    return true;
  }
  if (task.ErrorCode() == kCodeNothingLeft) {
    ShowNoticeBoxRes(HandleOf(parent), kStringNothingToDownload);
  } else {
    ShowEngineError(parent, task.ErrorCode(), task.ErrorDetail());
  }
  return false;
}

bool SendAndReceiveWithProgress(CWnd* parent) {
  if (RefusedAsBusy(parent)) return false;
  const CString account = GetCurrentAccountName();
  QvRasHolder holder;
  if (CountOutboxMessages() > 0) {
    QvSendTask send{std::vector<unsigned long>()};
    // The receive that follows reuses the connection the send made.
    holder.SetKeepMode(QvRasHolder::kReleaseOnFailure);
    if (RunWindow(send, parent, QvProgressDlg::kSend, account, &holder).window != IDOK) {
      ReportSendFailure(parent, send.ErrorCode(), send.ErrorDetail());
      return false;
    }
    holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  }
  QvReceiveTask receive{std::wstring(account)};
  if (RunWindow(receive, parent, QvProgressDlg::kReceive, account, &holder).window == IDOK) {
    ShowNoticeBoxRes(HandleOf(parent), kStringSentAndReceived);
    return true;
  }
  ShowEngineError(parent, receive.ErrorCode(), receive.ErrorDetail());
  return false;
}

bool BatchReceiveWithProgress(CWnd* parent) {
  if (RefusedAsBusy(parent)) return false;
  std::vector<std::wstring> accounts;
  if (!GetPeriodicRecvAccounts(&accounts, 1)) return false;
  std::vector<RoundRecvResult> rows;
  for (const std::wstring& name : accounts) rows.push_back({name, 0, kCodeAborted});
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kKeep);
  for (size_t i = 0; i < accounts.size(); ++i) {
    if (CloseRequestSeenFlag) break;
    const bool last = i + 1 == accounts.size();
    if (last) holder.SetKeepMode(QvRasHolder::kReleaseAlways);
    QvReceiveTask task{accounts[i]};
    const Outcome outcome = RunWindow(task, parent, QvProgressDlg::kReceive, accounts[i].c_str(), &holder);
    RoundRecvResult& row = rows[i];
    row.count = outcome.lastCount;
    row.code = task.ErrorCode();
    if (outcome.window != IDOK && row.code != kCodeNothingLeft) {
      ShowEngineError(parent, row.code, task.ErrorDetail());
      if (row.code == 0) row.code = kCodeAborted;
    }
    // The program is closing: no question, the batch ends here.
    if (last || CloseRequestSeenFlag) break;
    const UINT ask = row.code == kCodeAborted ? kStringBatchAskAfterAbort : kStringBatchAskAfterFailure;
    if (outcome.window != IDOK) {
      const std::wstring text = qv::FormatW(LoadResString(ask), accounts[i].c_str());
      if (!ShowConfirmBox(HandleOf(parent), text.c_str(), true)) break;
    }
  }
  ShowRoundRecvResults(parent, rows);
  return true;
}

void ShowRoundRecvResults(CWnd* parent, const std::vector<RoundRecvResult>& rows) {
  QvRoundRecvResultPage page;
  page.Results() = rows;
  QvSinglePropertySheet sheet(kResultCaption, parent);
  sheet.AddPage(&page);
  sheet.DoModal();
}
