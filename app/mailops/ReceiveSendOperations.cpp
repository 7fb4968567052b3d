#include "app/mailops/ReceiveSendOperations.h"

#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/NotifySinks.h"
#include "app/mailops/QvRasHolder.h"
#include "app/mailops/TaskAccount.h"
#include "app/mailops/WindowRegistry.h"
#include "app/mailops/dialogs/QvPasswordDlg.h"
#include "app/mailops/dialogs/QvProgressDlg.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "engine/public/transport/QvAutoRetriever.h"
#include "engine/public/transport/QvRetriever.h"
#include "engine/public/transport/Sender.h"
#include "platform/base/ScopedHandle.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/ui/input/Focus.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;

constexpr uint32_t kSendAuthFailed = 0x2002116;
constexpr uint32_t kSendTlsRefused = 0x200210e;
constexpr UINT kSendAuthFailedText = 20116;
constexpr UINT kSendTlsRefusedText = 20136;
constexpr UINT kClearServerQuestion = 20183;
constexpr UINT kClearServerDone = 20130;

// The POP password typed during one send-and-receive, for the receive that
// follows the send.
struct PasswordCacheState {
  std::mutex lock;
  bool remember = false;
  bool cached = false;
  CString text;
};

PasswordCacheState& PasswordCache() {
  static PasswordCacheState cache;
  return cache;
}

std::atomic<PasswordPromptRunner> PromptRunner{nullptr};

// The real prompt: the dialog, modal on the calling thread.
bool RunPasswordDialog(const PasswordPromptRequest& request, CString* password) {
  QvPasswordDlg dialog(CWnd::FromHandle(request.parent));
  dialog.SetMessageText(CString(request.message.c_str()));
  dialog.SetShowNote(request.showNote);
  if (dialog.DoModal() != IDOK) return false;
  *password = dialog.Password();
  return true;
}

// Brings the progress window to the front before the prompt goes over it.
void RaiseSecondWindow(HWND second) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (SetForegroundWindow(second)) return;
    Sleep(100);
  }
}

bool AskPassword(HWND parent, const std::wstring& name, bool showNote, CString* password) {
  PasswordPromptRequest request;
  request.parent = parent;
  request.message = name;
  request.showNote = showNote;
  const PasswordPromptRunner runner = PromptRunner.load();
  return runner != nullptr ? runner(request, password) : RunPasswordDialog(request, password);
}

HWND PromptParent(bool secondOnly) {
  CWnd* second = GetSecondWindow();
  if (second != nullptr && second->GetSafeHwnd() != nullptr) {
    RaiseSecondWindow(second->GetSafeHwnd());
    return second->GetSafeHwnd();
  }
  return secondOnly ? nullptr : GetMainWindowHandle();
}

// The account's unread count (receive and send box with their folders) in
// a storage of the account; -1 when something fails, without a box.
int CountUnreadIn(QvAccountInfoInterface* account, QvStorageInterface* storage) {
  Attributes record;
  record.Select(Attributes::kJusinTrayID);
  record.Select(Attributes::kSousinZumiTrayID);
  if (!account->GetAccountInfoAttributes(&record)) return -1;
  long sum = 0;
  for (const DWORD box : {static_cast<DWORD>(record.ulJusinTrayID), static_cast<DWORD>(record.ulSousinZumiTrayID)}) {
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(box));
    if (!folder) return -1;
    sum += static_cast<long>(folder->GetUnreadCount());
    std::vector<unsigned long> children;
    if (!folder->GetFolderIds(&children)) return -1;
    for (const unsigned long id : children) {
      std::unique_ptr<QvFolderInterface> child(storage->OpenFolder(id));
      if (!child) return -1;
      sum += static_cast<long>(child->GetUnreadCount());
    }
  }
  return static_cast<int>(sum);
}

// The same, opened on this thread.
int CountUnreadQuietly(const std::wstring& name) {
  TaskAccountObjects own;
  if (!own.Open(name)) return -1;
  return CountUnreadIn(own.Account(), own.Storage());
}

void SetNoRead(const std::wstring& name, int unread) {
  if (unread >= 0) SetAccountNoRead(name.c_str(), static_cast<DWORD>(unread));
}

void UpdateNoRead(const std::wstring& name) { SetNoRead(name, CountUnreadQuietly(name)); }

// A receive's own hold on the account's storage, taken before the retriever
// opens it: the retriever's opens and the unread count after the run then
// share one open storage instead of each opening (and checking) it anew, as
// they do when the account is the UI thread's current one. Quiet: when it
// cannot be opened here, the retriever reports that itself.
class HeldStorage {
 public:
  explicit HeldStorage(QvAccountInfoInterface* account) : account_(account) {
    const uint32_t word = GetQvMiddleError();
    storage_.reset(account->OpenStorage());
    if (!storage_) SetQvMiddleError(word);
  }
  // The unread count in the held storage, else in one opened by name.
  int CountUnread(const std::wstring& name) const {
    return storage_ ? CountUnreadIn(account_, storage_.get()) : CountUnreadQuietly(name);
  }

 private:
  QvAccountInfoInterface* account_;
  std::unique_ptr<QvStorageInterface> storage_;
};

bool IsCurrentAccountName(const std::wstring& name) {
  MailTaskAccount current;
  return CurrentTaskAccount(&current) && current.name == name;
}

// The engine objects of one run: set into the task state for the run and
// taken out again before they are deleted, on every way out.
class RunningRetrieverSlot {
 public:
  RunningRetrieverSlot() : retriever_(new (std::nothrow) QvRetriever) {
    // Announced before it can be reached: a cancel from here on ends the
    // run the caller starts next.
    if (retriever_) retriever_->ExpectRun();
    if (retriever_ && !ClaimRunningRetriever(retriever_.get())) retriever_.reset();
    // A foreground receive aborted before its retriever was made ends this
    // run at its start.
    if (retriever_ && IsForegroundReceiveCancelled()) retriever_->CancelRetrieveMessages();
  }
  ~RunningRetrieverSlot() {
    if (retriever_) SetRunningRetriever(nullptr);
  }
  RunningRetrieverSlot(const RunningRetrieverSlot&) = delete;
  RunningRetrieverSlot& operator=(const RunningRetrieverSlot&) = delete;
  QvRetriever* get() const { return retriever_.get(); }

 private:
  std::unique_ptr<QvRetriever> retriever_;
};

bool IsRetrieverRunning() {
  const int state = GetMailTaskState();
  return state == kMailTaskReceive || state == kMailTaskPeriodicReceive;
}

bool OpenOwnAccount(const std::wstring& name, std::unique_ptr<QvAccountInfoInterface>* account) {
  account->reset(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  return *account != nullptr;
}

// One receive of the periodic pass.
bool PeriodicReceiveOne(QvRetriever* retriever, QvRASController* controller, QvAccountInfoInterface* account,
                        const std::wstring& name) {
  const HeldStorage held(account);
  const bool result = retriever->RetrieveMessages(account, controller, std::string());
  // The next account's run hears a stop that comes from now on.
  retriever->ExpectRun();
  if (IsCurrentAccountName(name)) BroadcastRefresh();
  SetNoRead(name, held.CountUnread(name));
  return result;
}

// Empties the server's mailbox of the account on the task's thread, with the
// password asked for on the UI thread before the task started.
bool ClearServerOfAccount(const std::wstring& name, const std::string& password, HWND owner, uint32_t* code,
                          int32_t* detail, QvRasHolder* holder) {
  MailTaskLease lease;
  std::unique_ptr<QvAccountInfoInterface> account;
  if (holder == nullptr || !OpenOwnAccount(name, &account)) {
    *code = GetQvMiddleError();
    return false;
  }
  QvRASController* controller = holder->GetController();
  RunningRetrieverSlot slot;
  if (slot.get() == nullptr) {
    if (!IsRetrieverRunning()) ShowMailOpsError(kErrorNoRetrieverOrSender);
    return false;
  }
  QvRecvNotifySink sink(owner);
  slot.get()->registerNotify(&sink);
  const bool result = slot.get()->ClearMessagesOnPopServer(account.get(), controller, password);
  slot.get()->registerNotify(nullptr);
  *code = sink.ErrorCode() != 0 || result ? sink.ErrorCode() : GetQvMiddleError();
  *detail = sink.ErrorDetail();
  holder->SetNotifyObject(&sink);
  holder->Finish(result);
  return result;
}

class QvClearServerTask : public QvTask {
 public:
  QvClearServerTask(std::wstring account, std::string password)
      : account_(std::move(account)), password_(std::move(password)) {}
  ~QvClearServerTask() override { Join(); }
  void Cancel() override { CancelRetriever(); }

 protected:
  void Run() override {
    result_ = ClearServerOfAccount(account_, password_, owner_, &errorCode_, &errorDetail_, context_) ? 1 : 0;
  }

 private:
  std::wstring account_;
  std::string password_;
};

}  // namespace

void SetPasswordPromptRunnerForTest(PasswordPromptRunner runner) { PromptRunner.store(runner); }

// ---- passwords ----

bool PromptPopPassword(QvAccountInfoInterface* account, const std::wstring& name, CString* password, bool* typed) {
  if (typed != nullptr) *typed = false;
  password->Empty();
  if (account == nullptr) return false;
  Attributes record;
  record.Select(Attributes::kPopPasswdSavingEnabled);
  if (!GetAccountAttributes(account, &record)) return false;
  if (record.bPopPasswdSavingEnabled) return true;
  {
    PasswordCacheState& cache = PasswordCache();
    std::lock_guard<std::mutex> hold(cache.lock);
    if (cache.cached) {
      *password = cache.text;
      if (typed != nullptr) *typed = true;
      return true;
    }
  }
  const HWND parent = PromptParent(false);
  if (parent == nullptr) return false;
  CString text;
  if (!AskPassword(parent, name, false, &text)) return false;
  *password = text;
  if (typed != nullptr) *typed = true;
  PasswordCacheState& cache = PasswordCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  if (cache.remember) {
    cache.text = text;
    cache.cached = true;
  }
  return true;
}

bool PromptSmtpPassword(QvAccountInfoInterface* account, const std::wstring& name, CString* password, bool* typed) {
  if (typed != nullptr) *typed = false;
  password->Empty();
  if (account == nullptr) return false;
  Attributes record;
  for (const uint32_t bit : {Attributes::kPopPasswdSavingEnabled, Attributes::kUseSameUserPass,
                             Attributes::kSmtpPasswdSavingEnabled, Attributes::kPopBeforeSmtpEnabled,
                             Attributes::kSmtpAuthEnabled, Attributes::kSmtpSvrAuthEnabled}) {
    record.Select(bit);
  }
  if (!GetAccountAttributes(account, &record)) return false;
  if (!record.bSmtpSvrAuthEnabled) return true;
  if (record.bSmtpAuthEnabled && record.bUseSameUserPass) return PromptPopPassword(account, name, password, typed);
  if (record.bSmtpAuthEnabled && !record.bSmtpPasswdSavingEnabled) {
    const HWND parent = PromptParent(true);
    if (parent == nullptr) return false;
    CString text;
    if (!AskPassword(parent, name, true, &text)) return false;
    *password = text;
    if (typed != nullptr) *typed = true;
    return true;
  }
  if (record.bSmtpAuthEnabled) return true;
  if (record.bPopBeforeSmtpEnabled) return PromptPopPassword(account, name, password, typed);
  return true;
}

bool GetAccountPassword(QvAccountInfoInterface* account, const std::wstring& name, std::string* password,
                        bool* typed) {
  password->clear();
  CString text;
  if (!PromptPopPassword(account, name, &text, typed)) return false;
  if (text.IsEmpty()) return true;
  const std::wstring wide = text.str();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                       nullptr);
  if (size > 0) {
    password->resize(static_cast<size_t>(size));
    if (WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), password->data(), size, nullptr,
                            nullptr) == size) {
      return true;
    }
  }
  password->clear();
  ShowMailOpsError(kErrorNoPasswordConversion);
  return false;
}

void ResetRememberedPassword(bool remember) {
  PasswordCacheState& cache = PasswordCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.cached = false;
  cache.text.Empty();
  cache.remember = remember;
}

// ---- receive ----

// One engine receive behind the running-retriever slot, its steps told to
// the window through a sink whose code and detail go to the caller; the
// holder hears how it ended.
template <typename Run>
bool RetrieveWithSink(HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder, Run run) {
  RunningRetrieverSlot slot;
  if (slot.get() == nullptr) {
    // Either no memory or another receive took the slot meanwhile.
    if (!IsRetrieverRunning()) ShowMailOpsError(kErrorNoRetrieverOrSender);
    return false;
  }
  std::unique_ptr<QvRecvNotifySink> sink(new (std::nothrow) QvRecvNotifySink(owner));
  if (!sink) {
    ShowMailOpsError(kErrorNoRetrieverOrSender);
    return false;
  }
  slot.get()->registerNotify(sink.get());
  const bool result = run(slot.get());
  slot.get()->registerNotify(nullptr);
  if (code != nullptr) *code = sink->ErrorCode();
  if (detail != nullptr) *detail = sink->ErrorDetail();
  holder->SetNotifyObject(sink.get());
  holder->Finish(result);
  return result;
}

bool ReceiveAccount(QvAccountInfoInterface* account, const std::wstring& name, HWND owner, uint32_t* code,
                    int32_t* detail, QvRasHolder* holder) {
  if (account == nullptr || holder == nullptr || IsRetrieverRunning()) return false;
  QvRASController* controller = holder->GetController();
  std::string password;
  if (!GetAccountPassword(account, name, &password, nullptr)) return false;
  const bool result = RetrieveWithSink(owner, code, detail, holder, [&](QvRetriever* retriever) {
    return retriever->RetrieveMessages(account, controller, password);
  });
  if (IsCurrentAccountName(name)) BroadcastRefresh();
  return result;
}

bool ReceiveAccountByName(const std::wstring& name, HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder) {
  SetCurrentOperationId(kOperationReceive);
  // The current account stays open and unswitched while this runs.
  MailTaskLease lease;
  // Opened on this thread, whichever account it is: the UI thread's
  // objects stay the UI thread's.
  std::unique_ptr<QvAccountInfoInterface> account(OpenAccountInfoByName(name));
  if (!account) return false;
  const HeldStorage held(account.get());
  const bool result = ReceiveAccount(account.get(), name, owner, code, detail, holder);
  MailTaskAccount current;
  if (result && CurrentTaskAccount(&current) && current.carrier) {
    qv::ScopedHandle event(CreateEventW(nullptr, FALSE, FALSE, L"MIS_TACCOUNT_RECEIVE"));
    if (event) SetEvent(event.get());
  }
  SetNoRead(name, held.CountUnread(name));
  return result;
}

bool ReceiveSelectedMessages(const std::list<unsigned long>& ids, HWND owner, uint32_t* code, int32_t* detail,
                             QvRasHolder* holder) {
  MailTaskLease lease;
  MailTaskAccount current;
  if (holder == nullptr || !CurrentTaskAccount(&current) || IsRetrieverRunning()) return false;
  std::unique_ptr<QvAccountInfoInterface> account;
  if (!OpenOwnAccount(current.name, &account)) {
    ShowMailOpsError(GetQvMiddleError());
    return false;
  }
  QvRASController* controller = holder->GetController();
  std::string password;
  if (!GetAccountPassword(account.get(), current.name, &password, nullptr)) return false;
  const bool result = RetrieveWithSink(owner, code, detail, holder, [&](QvRetriever* retriever) {
    return retriever->RetrieveSelectedMessages(ids, account.get(), controller, password);
  });
  for (const int box : {kReceiveBox, kSendBox}) BroadcastFolderTreeRefresh(current.systemFolderIds[box]);
  return result;
}

bool RunPeriodicReceive() {
  if (GetMailTaskState() != kMailTaskIdle || IsPeriodicReceiveStopRequested()) return false;
  std::vector<std::wstring> names;
  if (!GetPeriodicRecvAccounts(&names, 0)) return false;
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kKeep);
  bool result = false;
  RunningRetrieverSlot slot;
  QvRASController* controller = slot.get() != nullptr ? holder.GetController() : nullptr;
  if (slot.get() == nullptr || controller == nullptr) return false;
  // No window: the sink counts, and answers whether the user is at the program.
  QvRecvNotifySink sink(nullptr);
  slot.get()->registerNotify(&sink);
  slot.get()->StartPeriodicRetr();
  // The plain accounts at once, those over TLS after them (every one of
  // them); an account that cannot be opened or read is left out.
  std::vector<std::wstring> deferred;
  for (const std::wstring& name : names) {
    if (IsPeriodicReceiveStopRequested()) break;
    std::unique_ptr<QvAccountInfoInterface> account;
    if (!OpenOwnAccount(name, &account)) continue;
    Attributes record;
    record.Select(Attributes::kSSLEnabled);
    if (!account->GetAccountInfoAttributes(&record)) continue;
    if (record.bSSLEnabled) {
      deferred.push_back(name);
      continue;
    }
    result = PeriodicReceiveOne(slot.get(), controller, account.get(), name);
  }
  for (const std::wstring& name : deferred) {
    if (IsPeriodicReceiveStopRequested()) break;
    std::unique_ptr<QvAccountInfoInterface> account;
    if (!OpenOwnAccount(name, &account)) continue;
    result = PeriodicReceiveOne(slot.get(), controller, account.get(), name);
  }
  slot.get()->FinishPeriodicRetr();
  slot.get()->registerNotify(nullptr);
  return result;
}

bool RunAutoReceive() {
  if (GetMailTaskState() != kMailTaskIdle || IsAutoReceiveStopRequested()) return false;
  {
    std::unique_ptr<QvAutoRetriever> automatic(new (std::nothrow) QvAutoRetriever);
    if (!automatic) {
      ShowMailOpsError(kErrorNoAutoRetriever);
      return false;
    }
    SetRunningAutoRetriever(automatic.get());
    QvRasHolder holder;
    holder.SetKeepMode(QvRasHolder::kReleaseAlways);
    // A stop that came before the object was set is kept as a request.
    if (!IsAutoReceiveStopRequested()) {
      QvRASController* controller = holder.GetController();
      if (controller != nullptr) automatic->StartWaiting(controller);
    }
    SetRunningAutoRetriever(nullptr);
  }
  std::unique_ptr<QvSystemInfoInterface> info(QvSystemInfoInterface::GetSystemInfo());
  if (!info) return false;
  std::wstring carrier;
  if (QvSystemInfoInterface::GetTAccount(carrier) && !carrier.empty()) {
    UpdateNoRead(carrier);
    if (IsCurrentAccountName(carrier)) BroadcastRefresh();
  }
  return true;
}

void ClearMessagesOnServer(CWnd* parent) {
  const HWND owner = parent != nullptr ? parent->GetSafeHwnd() : GetMainWindowHandle();
  if (CheckMailTaskBusy(parent)) return;
  QvAccountInfoInterface* account = CurrentAccountInfo();
  if (account == nullptr) return;
  const std::wstring name = GetCurrentAccountName().str();
  std::string password;
  if (!GetAccountPassword(account, name, &password, nullptr)) return;
  if (!ShowConfirmBoxRes(owner, kClearServerQuestion, false)) return;
  // Behind the progress window like every other run, so that it can be
  // aborted and the UI thread never waits on the server.
  QvClearServerTask task(name, password);
  QvRasHolder holder;
  holder.SetKeepMode(QvRasHolder::kReleaseAlways);
  QvProgressDlg window(&task, parent, QvProgressDlg::kReceive, name.c_str(), &holder);
  if (window.DoModal() == IDOK) {
    ShowNoticeBoxRes(owner, kClearServerDone);
    return;
  }
  ShowQvMiddleError(task.ErrorCode(), owner, reinterpret_cast<LPCWSTR>(-1));
}

// ---- send ----

bool SendMessages(HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder, std::vector<unsigned long> ids) {
  const std::vector<unsigned long> listed = std::move(ids);
  if (holder == nullptr || GetMailTaskState() == kMailTaskSend) return false;
  MailTaskLease lease;
  MailTaskAccount current;
  if (!CurrentTaskAccount(&current)) return false;
  QvRASController* controller = holder->GetController();
  SetCurrentOperationId(kOperationSend);
  TaskAccountObjects own;
  if (!own.Open(current.name)) {
    ShowMailOpsError(GetQvMiddleError());
    return false;
  }
  size_t count = listed.size();
  if (listed.empty()) {
    std::unique_ptr<QvFolderInterface> outbox(own.Storage()->OpenFolder(current.systemFolderIds[kOutbox]));
    if (!outbox) return false;
    std::vector<unsigned long> waiting;
    count = outbox->GetMessageIds(&waiting) ? waiting.size() : 0;
  }
  if (count == 0) return false;
  CString password;
  bool typed = false;
  if (!PromptSmtpPassword(own.Account(), current.name, &password, &typed)) return false;
  std::unique_ptr<Sender> sender(new (std::nothrow) Sender);
  if (!sender) {
    ShowMailOpsError(kErrorNoRetrieverOrSender);
    return false;
  }
  if (!ClaimRunningSender(sender.get())) return false;
  QvSendNotifySink sink(owner, static_cast<int>(count));
  sender->RegisterNotify(&sink);
  const std::wstring typedPassword = typed ? password.str() : std::wstring();
  int sent = 0;
  if (listed.empty()) {
    sent = sender->SendMultiMail(own.Account(), controller, typedPassword);
  } else {
    std::vector<unsigned long> queue = listed;
    sent = sender->SendMultiMail(own.Account(), controller, queue, typedPassword);
  }
  SetSendFinished(true);
  // A run the engine calls failed is a failure even when the sink heard no
  // error: the code is then the engine's error word.
  uint32_t failure = sink.ErrorCode();
  if (sent != 1 && failure == 0) failure = GetQvMiddleError();
  const bool result = sent == 1 && failure == 0;
  if (code != nullptr) *code = failure;
  if (detail != nullptr) *detail = sink.ErrorDetail();
  holder->SetNotifyObject(&sink);
  holder->Finish(result);
  sender->RegisterNotify(nullptr);
  SetRunningSender(nullptr);
  sender.reset();
  BroadcastRefresh();
  return result;
}

void ShowSendResult(uint32_t code, int32_t detail, CWnd* parent) {
  const HWND owner = parent != nullptr ? parent->GetSafeHwnd() : GetMainWindowHandle();
  if (code == kSendAuthFailed) {
    ShowErrorBoxRes(owner, kSendAuthFailedText);
  } else if (code == kSendTlsRefused) {
    ShowErrorBoxRes(owner, kSendTlsRefusedText);
  } else {
    const std::wstring argument = std::to_wstring(detail);
    ShowQvMiddleError(code, owner, detail == -1 ? reinterpret_cast<LPCWSTR>(-1) : argument.c_str());
  }
}

// ---- the task table ----

void AddReceiveSendOperations(MailTaskOperations* operations) {
  operations->receiveAccountByName = ReceiveAccountByName;
  operations->receiveSelectedMessages = ReceiveSelectedMessages;
  operations->sendMessages = SendMessages;
  operations->periodicPass = RunPeriodicReceive;
  operations->autoPass = RunAutoReceive;
}

void InstallReceiveSendOperations() {
  MailTaskOperations operations = GetMailTaskOperations();
  AddReceiveSendOperations(&operations);
  SetMailTaskOperations(std::move(operations));
}
