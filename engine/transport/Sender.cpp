// The outgoing queue's run: settings, room, connection, then per message
// prepare -> send -> (the SMTP client's answer) -> record and file.
#include "engine/public/transport/Sender.h"

#include <algorithm>
#include <cstdio>

#include "engine/public/content/EmlCompose.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/MailHistory.h"
#include "engine/store/QvAccountHold.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvMessageLimit.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/transport/FilingAttributes.h"
#include "engine/public/transport/QvClassifier.h"
#include "engine/public/transport/QvRASController.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Time.h"

namespace {

using Settings = QvAccountInfoInterface::Attributes;

constexpr long kConnecting = 1;
constexpr long kConnected = 2;

bool Contains(const std::vector<unsigned long>& ids, unsigned long id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

Sender::Sender() : smtp_(std::make_unique<SmtpClient>()) {
  smtp_->registerNotifySmtp(&adaptor_);
  mail_.text = &text_;
}

Sender::~Sender() = default;

bool Sender::RegisterNotify(Notify* observer) {
  if (observer_ && observer) return false;
  observer_ = observer;
  return true;
}

int Sender::SendMultiMail(QvAccountInfoInterface* account, QvRASController* ras, std::wstring password) {
  return Run(account, ras, nullptr, password);
}

int Sender::SendMultiMail(QvAccountInfoInterface* account, QvRASController* ras, std::vector<unsigned long>& ids,
                          std::wstring password) {
  return Run(account, ras, &ids, password);
}

int Sender::Cancel() {
  cancel_ = true;
  if (sessionStarting_ || sessionOpen_) smtp_->cancel();
  return 1;
}

int Sender::Quit() {
  smtp_->quit();
  stop_ = true;
  return 1;
}

int Sender::Run(QvAccountInfoInterface* account, QvRASController* ras, const std::vector<unsigned long>* ids,
                const std::wstring& password) {
  // One run of an account at a time, in any process. Refused before this
  // sender's state is touched: the caller may be a run of this very sender.
  QvAccountHold hold(account);
  if (!hold.Held()) {
    if (observer_) observer_->notify(2, static_cast<long>(QVMDL_ERR_SEND_ACCOUNT_BUSY), 0);
    return 0;
  }
  account_ = account;
  ras_ = ras;
  removeAfterSend_ = true;
  Clearparameter();
  sent_ = 0;
  skip_ = false;
  connected_ = sentBoxTrimmed_ = quitNeeded_ = false;
  lastError_ = QVMDL_SUCCESS;
  queue_.clear();
  position_ = 0;
  if (!SetMailAccountinfo(password)) {
    Sender_Error(lastError_);
    CloseRun();
    return 0;
  }
  SettleFiledCopies();
  if (ids) {
    queue_ = *ids;
  } else if (!sendBox_->GetMessageIds(&queue_)) {
    Sender_Error(QVMDL_ERR_SEND_ACCOUNT);
    CloseRun();
    return 0;
  }
  // Nothing waiting: nothing to connect for.
  if (queue_.empty()) {
    CloseRun();
    return 1;
  }
  // Without a server the SMTP client would start no session and say nothing.
  if (mailAccount_.smtpServerName.empty()) {
    Sender_Error(QVMDL_ERR_SEND_ACCOUNT);
    CloseRun();
    return 0;
  }
  budget_ = queue_.size();
  if ((removeOld_ && !CheckFreeSpace(static_cast<unsigned>(budget_))) || !CheckSavesentmaildata()) {
    CloseRun();
    return 0;
  }
  Sender_Statuschanged(kConnecting);
  if (!ConnectRas()) {
    Sender_Error(QVMDL_ERR_SEND_CONNECTION);
    CloseRun();
    return 0;
  }
  connected_ = true;
  Sender_Statuschanged(kConnected);
  classifier_ = std::make_unique<QvClassifier>();
  const int result = SendQueue();
  CloseRun();
  return result;
}

int Sender::SendQueue() {
  bool lastSkipped = false;
  for (; position_ < queue_.size() && budget_ > 0; ++position_) {
    if (cancel_) {
      // Between messages: the ones left stay in the send box.
      quitNeeded_ = sessionOpen_;
      Sender_Error(QVMDL_ERR_SEND_CANCELLED);
      SendNG();
      return 0;
    }
    const Prepared prepared = CheckMakemaildata();
    if (prepared == Prepared::Skipped) {
      lastSkipped = true;
      continue;
    }
    if (prepared == Prepared::Failed) {
      const bool open = sessionOpen_;
      quitNeeded_ = open;
      SendNG();
      return open ? 1 : 0;
    }
    --budget_;
    SendMail();
    lastSkipped = skip_;
    if (stop_) {
      const int result = skip_ && sessionOpen_ ? 1 : 0;
      SendNG();
      return result;
    }
  }
  if (observer_) observer_->notify(3, 0, 0);
  smtp_->quit();
  sessionOpen_ = false;
  if (sentBoxTrimmed_) {
    Sender_Error(QVMDL_ERR_SEND_SENT_BOX_FULL);
    return 0;
  }
  return lastSkipped && sent_ == 0 ? 0 : 1;
}

bool Sender::SetMailAccountinfo(const std::wstring& password) {
  lastError_ = QVMDL_ERR_SEND_ACCOUNT;
  Settings a;
  a.SelectAll();
  if (!account_ || !account_->GetAccountInfoAttributes(&a)) return false;
  mailAccount_ = MailAccount();
  mailAccount_.senderAddress = a.strSenderAddress;
  mailAccount_.popServerName = a.strPopServerName;
  mailAccount_.smtpServerName = a.strSmtpServerName;
  mailAccount_.popUserName = a.strPopUserName;
  mailAccount_.popPort = a.uiPopServerPort;
  mailAccount_.smtpPort = a.uiSmtpServerPort;
  mailAccount_.apop = a.bAPOPEnabled;
  if (a.bSmtpSvrAuthEnabled && a.bSmtpAuthEnabled) {
    mailAccount_.smtpAuthMode = 2;
    mailAccount_.smtpPassword = !password.empty() ? password : (a.bUseSameUserPass ? a.strPopPasswd : a.strSmtpPasswd);
    mailAccount_.smtpUserName = a.bUseSameUserPass ? a.strPopUserName : a.strSmtpUserName;
  } else if (a.bSmtpSvrAuthEnabled && a.bPopBeforeSmtpEnabled) {
    mailAccount_.smtpAuthMode = 1;
    mailAccount_.popBeforeSmtp = 1;
    mailAccount_.popPassword = !password.empty() ? password : a.strPopPasswd;
  }
  mailAccount_.popBeforeSmtpWaitSeconds = a.ulPopBeforeSmtpLatencySec;
  sendBoxId_ = a.ulSousinTrayID;
  sentBoxId_ = a.ulSousinZumiTrayID;
  removeOld_ = a.bRemoveOldMessageEnabled;
  storage_.reset(account_->OpenStorage());
  if (storage_) sendBox_.reset(storage_->OpenFolder(sendBoxId_));
  if (!sendBox_) return false;
  lastError_ = QVMDL_SUCCESS;
  return true;
}

bool Sender::CheckFreeSpace(unsigned count) {
  unsigned shortfall = 0;
  if (!EnsureMessageLimit({storage_.get(), account_}, count, &shortfall)) {
    Sender_Error(QVMDL_ERR_SEND_NO_SPACE, static_cast<long>(shortfall));
    return false;
  }
  return true;
}

// Only as many messages go as the sent box can still take.
bool Sender::CheckSavesentmaildata() {
  QvFolderInterface* sentBox = SentBox();
  if (!sentBox) {
    Sender_Error(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
    return false;
  }
  const unsigned long room = sentBox->GetRemainMessageCount();
  if (room == 0) {
    Sender_Error(QVMDL_ERR_SEND_SENT_BOX_FULL);
    return false;
  }
  if (room < budget_) {
    budget_ = room;
    sentBoxTrimmed_ = true;
    lastError_ = QVMDL_ERR_SEND_SENT_BOX_FULL;
  }
  return true;
}

bool Sender::ConnectRas() {
  if (!ras_) return false;
  long status = 0;
  connection_ = ras_->EstablishConnection(&status, account_);
  return connection_ != nullptr;
}

Sender::Prepared Sender::CheckMakemaildata() {
  lastError_ = Makemaildata(CurrentId());
  switch (lastError_) {
    case QVMDL_SUCCESS:
      skip_ = false;
      return Prepared::Ready;
    case QVMDL_ERR_SEND_NO_RECIPIENT:
      Sender_Error(lastError_);
      skip_ = true;
      return Prepared::Failed;
    case QVMDL_ERR_SEND_ACCOUNT:
      // Gone from the send box, or sent before and waiting for the user.
      Sender_Error(QVMDL_ERR_SEND_MESSAGE_READ);
      return Prepared::Skipped;
    case QVMDL_ERR_SEND_MESSAGE_READ:
      NKDbgPrintfW(L"----Sender::CheckMakemaildata() ERROR::SENDER_STRAGEGETDATA_ERROR\r\n");
      Sender_Error(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
      return Prepared::Failed;
    default:
      NKDbgPrintfW(L"----Sender::CheckMakemaildata() ERROR::SENDER_STORAGEOPEN_ERROR\r\n");
      Sender_Error(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
      return Prepared::Failed;
  }
}

// QVMDL_ERR_SEND_ACCOUNT here means "not to be sent": the id is not in the
// send box, or the message carries the sent-not-filed mark.
uint32_t Sender::Makemaildata(unsigned long id) {
  NKDbgPrintfW(L"----Sender::Makemaildata() TOP \r\n");
  std::vector<unsigned long> waiting;
  if (!sendBox_->GetMessageIds(&waiting)) {
    NKDbgPrintfW(L"----Sender::Makemaildata() Error OpenWaitfolder()\r\n");
    return QVMDL_ERR_SEND_STORAGE_OPEN;
  }
  if (!Contains(waiting, id)) return QVMDL_ERR_SEND_ACCOUNT;
  std::string stored;
  {
    std::unique_ptr<QvMessageInterface> message(sendBox_->OpenMessage(id));
    if (!message) {
      NKDbgPrintfW(L"----Sender::Makemaildata() Error OpenMessage()\r\n");
      return QVMDL_ERR_SEND_MESSAGE_READ;
    }
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kState;
    if (message->GetAttributes(&a) && a.state == kSentNotFiled) return QVMDL_ERR_SEND_ACCOUNT;
    if (!message->Read(&stored) || stored.empty()) {
      NKDbgPrintfW(L"----Sender::Makemaildata() Error waitmaildata_str->empty()\r\n");
      return QVMDL_ERR_SEND_MESSAGE_READ;
    }
  }
  Clearparameter();
  EmlCompose().EmlToRawEmailS(&stored, &mail_);
  if (mail_.recipients.empty()) return QVMDL_ERR_SEND_NO_RECIPIENT;
  return QVMDL_SUCCESS;
}

void Sender::SendMail() {
  if (!connected_) return;
  // The client stuffs the dots of its own copy; the composed text stays as
  // it is for the sent box.
  wire_ = text_;
  RawEmail_S outgoing{mail_.sender, mail_.recipients, &wire_};
  heard_ = false;
  if (sessionOpen_) {
    smtp_->setMail(&outgoing);
    smtp_->sendEmail();
  } else {
    sessionStarting_ = true;
    smtp_->setAccount(&mailAccount_, connection_);
    smtp_->setMail(&outgoing);
    StartsendMail();
  }
  // The client must answer every message; one that did not would leave the
  // run waiting for nothing.
  if (!heard_) OnReceiveMessage(1, QVMDL_ERR_SMTP_CONNECT, 0);
}

void Sender::StartsendMail() { smtp_->newConnection(); }

void Sender::SendNG() {
  if (quitNeeded_ || sessionOpen_) smtp_->quit();
  sessionOpen_ = false;
  quitNeeded_ = false;
  Clearparameter();
}

void Sender::OnReceiveMessage(int message, long w, long /*l*/) {
  if (message == 0) {
    heard_ = true;
    sessionStarting_ = false;
    sessionOpen_ = true;
    Sentmail_Completed();
    return;
  }
  if (message != 1) return;
  heard_ = true;
  sessionStarting_ = false;
  uint32_t code = static_cast<uint32_t>(w);
  if (cancel_) code = QVMDL_ERR_SEND_CANCELLED;
  if (observer_) observer_->notify(0, static_cast<long>(code), 0);
  // An envelope refused before "MAIL FROM" costs only this message.
  if (code == QVMDL_ERR_SEND_NO_RECIPIENT) {
    skip_ = true;
    return;
  }
  stop_ = true;
  if (code == QVMDL_ERR_SMTP_ADDRESS) skip_ = true;
}

// Accepted by the server: from here on the message must never go again. It
// is marked so before anything else, and the mark names its copy once there
// is one: a run cut short after that leaves the original for the next run to
// take away once the copy is whole (SettleFiledCopies), never to send again.
void Sender::Sentmail_Completed() {
  const unsigned long id = CurrentId();
  MarkSentNotFiled(id);
  WriteSendHistoryData();
  const bool filed = Savesentmaildata(id);
  bool settled;
  if (filed) {
    settled = !removeAfterSend_ || RemoveWaitfldmaildata(id);
  } else {
    settled = false;
    if (MoveToSentBox(id)) ClearSentMark(id);
  }
  Clearparameter();
  if (settled) {
    ++sent_;
    if (observer_) observer_->notify(1, 0, 0);
    return;
  }
  stop_ = true;
  quitNeeded_ = true;
  Sender_Error(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
}

void Sender::WriteSendHistoryData() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  if (!history_) history_ = std::make_unique<MailHistory>();
  for (const std::string& to : mail_.recipients) {
    st_MAILHISTORYDATA entry{stamp, to};
    history_->RegistSendHistoryData(&entry, account_);
  }
}

bool Sender::Savesentmaildata(unsigned long original) {
  QvFolderInterface* sentBox = SentBox();
  unsigned long id = 0;
  if (!sentBox || !sentBox->CreateMessage(&id, static_cast<unsigned long>(text_.size()))) return false;
  MarkSentNotFiled(original, id);
  bool written = false;
  {
    std::unique_ptr<QvMessageInterface> message(sentBox->OpenMessage(id));
    Email email;
    if (message && EmlCompose().Decode(&email, &text_)) {
      QvMessageInterface::Attributes a = FilingAttributes(email);
      a.date = a.listTime = QvMessageInterface::LocalTimeToSystemTime(email.date);
      written = message->SetAttributes(a) && message->Write(text_);
    }
  }
  if (written) {
    // Where the sent-mail rules want it; staying in the sent box is fine too.
    classifier_->MoveToFolder(id, account_);
    return true;
  }
  const uint32_t kept = GetQvMiddleError();
  sentBox->RemoveMessage(id);
  if (sentBox->FlushMessageHeader()) SetQvMiddleError(kept);
  return false;
}

bool Sender::RemoveWaitfldmaildata(unsigned long id) {
  return sendBox_->RemoveMessage(id) && sendBox_->FlushMessageHeader();
}

bool Sender::MoveToSentBox(unsigned long id) {
  QvFolderInterface* sentBox = SentBox();
  return sentBox && sendBox_->MoveMessage(id, sentBox);
}

QvFolderInterface* Sender::SentBox() {
  if (!sentBox_) sentBox_.reset(storage_->OpenFolder(sentBoxId_));
  return sentBox_.get();
}

// The copy's id rides in the UID field, which a message of the send box
// does not otherwise use. The mark is written in place: a store too full
// for a copy, a move or any other change must still learn that the server
// took the message, or the next run would send it again.
bool Sender::MarkSentNotFiled(unsigned long id, unsigned long copy) {
  std::unique_ptr<QvMessageInterface> message(sendBox_->OpenMessage(id));
  const std::string uidl = copy != 0 ? qv::FormatA("%s%lu", kCopyMark, copy) : std::string();
  const bool marked = message && message->MarkInPlace(kSentNotFiled, uidl);
  if (!marked) NKDbgPrintfW(L"----Sender:: sent message %lu neither filed nor marked\r\n", id);
  return marked;
}

void Sender::ClearSentMark(unsigned long id) {
  QvFolderInterface* sentBox = SentBox();
  std::unique_ptr<QvMessageInterface> message(sentBox != nullptr ? sentBox->OpenMessage(id) : nullptr);
  QvMessageInterface::Attributes a;
  a.mask = QvMessageInterface::kState | QvMessageInterface::kUidl;
  if (message) message->SetAttributes(a);
}

// An original marked with its copy, left by a run cut short between filing
// the copy and removing the original: the copy is the mail now.
void Sender::SettleFiledCopies() {
  std::vector<unsigned long> waiting;
  if (!sendBox_ || !sendBox_->GetMessageIds(&waiting)) return;
  for (unsigned long id : waiting) {
    unsigned long copy = 0;
    {
      std::unique_ptr<QvMessageInterface> message(sendBox_->OpenMessage(id));
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kState | QvMessageInterface::kUidl;
      if (!message || !message->GetAttributes(&a) || a.state != kSentNotFiled ||
          a.uidl.rfind(kCopyMark, 0) != 0 || std::sscanf(a.uidl.c_str() + sizeof kCopyMark - 1, "%lu", &copy) != 1) {
        continue;
      }
    }
    std::unique_ptr<QvMessageInterface> filed(storage_->OpenMessage(copy));
    std::string text;
    if (filed && filed->Read(&text) && !text.empty()) {
      filed.reset();
      RemoveWaitfldmaildata(id);
    }
  }
}

void Sender::Sender_Error(uint32_t code, long detail) {
  lastError_ = code;
  if (observer_) observer_->notify(2, static_cast<long>(code), detail);
}

void Sender::Sender_Statuschanged(long status) {
  if (observer_) observer_->notify(4, status, 0);
}

void Sender::Clearparameter() {
  stop_ = false;
  mail_.sender.clear();
  mail_.recipients.clear();
  text_.clear();
  wire_.clear();
  mail_.text = &text_;
}

void Sender::CloseRun() {
  classifier_.reset();
  history_.reset();
  sentBox_.reset();
  sendBox_.reset();
  storage_.reset();
  sessionStarting_ = false;
}
