// The protocol half of PopClient: settings, the state table, UID bookkeeping
// and notifications. The socket, workers and waits are in
// PopClientTransport.cpp.
//
// A session as dovecot answers it (new mail by the known-UID list):
//   S: +OK Dovecot ready. <1.2@host>
//   C: CAPA                  S: +OK / TOP / UIDL / STLS / ... / .
//   C: STLS                  S: +OK Begin TLS negotiation now.   (handshake)
//   C: CAPA                  S: +OK / TOP / UIDL / ... / .
//   C: USER user1            S: +OK
//   C: PASS ********         S: +OK Logged in.
//   C: CAPA                  S: +OK / TOP / UIDL / PIPELINING / ... / .
//   C: UIDL                  S: +OK / 1 0000001 / 2 0000002 / 3 0000003 / .
//   C: LIST                  S: +OK 3 messages: / 1 39 / 2 120 / 3 80 / .   (1 known)
//   C: RETR 2 / RETR 3       S: +OK 120 octets / ... / .  +OK 80 octets / ... / .
//   C: UIDL 3                S: +OK 3 0000003
//   C: QUIT                  S: +OK Logging out.
// Without PIPELINING each fetch waits for its own "LIST n" and answer:
//   C: LIST 2   S: +OK 2 120   C: RETR 2   S: +OK ... / .   C: LIST 3 ...
#include "engine/public/transport/PopClient.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/transport/Md5.h"
#include "engine/transport/PopReply.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Time.h"

namespace {

std::string Narrow(const std::wstring& text) { return qv::WideToCp932(text); }

// Longest line of a list answer (a UIDL line is at most a number and 70 bytes).
constexpr size_t kMaxListLine = 1024;

// The first word of a CAPA line, upper-cased.
std::string CapaWord(std::string_view line) {
  std::string word(line.substr(0, line.find(' ')));
  for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return word;
}

}  // namespace

bool PopClient::registerNotifyPop(NotifyPop* observer) {
  if (observer_ && observer) return false;
  observer_ = observer;
  return true;
}

void PopClient::setPopMode(int mode) { mode_ = static_cast<PopMode>(mode); }

void PopClient::setAccount(MailAccount* account, void* connection) {
  downloadList_.clear();
  knownUids_.clear();
  partialUids_.clear();
  lastUid_.clear();
  if (!account) return;
  senderAddress_ = Narrow(account->senderAddress);
  user_ = Narrow(account->popUserName);
  password_ = Narrow(account->popPassword);
  host_ = Narrow(account->popServerName);
  smtpServer_ = Narrow(account->smtpServerName);
  port_ = account->popPort;
  smtpPort_ = account->smtpPort;
  partialLines_ = account->partialLines;
  deleteOnServer_ = account->deleteOnServer != 0;
  apop_ = account->apop != 0;
  smtpUser_ = Narrow(account->smtpUserName);
  smtpPassword_ = Narrow(account->smtpPassword);
  lastUid_ = Narrow(account->lastUid);
  for (const std::wstring& uid : account->uidList) knownUids_.insert(Narrow(uid));
  connection_ = connection;
  if (port_ == 995) ssl_ = true;
  DWORD always = 0;
  if (GetRegistryDword(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"UseUidlListAlways", &always) &&
      always == 1) {
    lastUid_.clear();
  }
}

void PopClient::setDownloadList(std::list<std::string>& uids) { downloadList_ = uids; }
void PopClient::setDeleteList(std::list<std::string>& uids) { downloadList_ = uids; }
void PopClient::setPartialList(const std::list<std::string>& uids) {
  partialUids_ = std::unordered_set<std::string>(uids.begin(), uids.end());
}

void PopClient::getMail(std::string* text, std::string* uid) {
  // The text is handed over, not copied: a message can be megabytes, and the
  // client drops its own copy when the notification returns anyway.
  if (text) *text = std::move(currentText_);
  if (uid) *uid = currentUid_;
}

std::string PopClient::getLastRecvUid() { return lastRecvUid_; }

void PopClient::getUidlList(std::list<std::wstring>& out) {
  for (const std::string& uid : latestList_) out.push_back(qv::Cp932ToWide(uid));
}

void PopClient::quit() {
  if (state_ == PopState::QuitAnswer || state_ == PopState::Idle) return;
  state_ = PopState::Quit;
  expecting_ = false;
  recvExec();
}

bool PopClient::notify(int message, long w, long l) { return observer_ ? observer_->notify(message, w, l) : true; }

void PopClient::resetSession() {
  state_ = PopState::Greeting;
  expecting_ = true;
  continues_ = false;
  noUidl_ = lastUidFound_ = noKnownUid_ = headerOnly_ = deletesStarted_ = false;
  uidlComplete_ = fetchedWhole_ = false;
  deleted_.clear();
  deleting_.clear();
  deleteSent_ = quitWithheld_ = false;
  madeUidSizes_.clear();
  madeUidPos_ = 0;
  pipelining_ = false;
  ahead_.clear();
  sizes_.clear();
  sizes_.shrink_to_fit();
  sizesSorted_ = true;
  stlsOffered_ = false;
  greeting_.clear();
  carry_.clear();
  abort_ = false;
  endReason_ = EndReason::Complete;
  toProcess_ = 0;
  totalSize_ = 0;
  listPos_ = receivedPos_ = messagePos_ = 0;
  processed_ = 0;
  receivedBytes_ = 0;
  currentNumber_ = currentSize_ = 0;
  currentUid_.clear();
  currentText_.clear();
  lastRecvUid_.clear();
  lastError_ = 0;
  statRange_ = 0;
  uids_.clear();
  messageList_.clear();
  messageList_.shrink_to_fit();
  receivedList_.clear();
  latestList_.clear();
  buffer_.clear();
  // The greeting is one line.
  reply_ = Reply::Line;
  replyLimit_ = pop::kMaxLineReply;
}

void PopClient::newConnection() {
  if (cancel_) {
    // A cancel for a session that never started: it is spent here, so that
    // the next session of this client runs.
    cancel_ = false;
    notify(MSG_PopErrorOccured, QVMDL_ERR_POP_CANCELLED, 0);
    notify(MSG_PopCanceled, 0, 0);
    return;
  }
  if (connected_) return;
  if (((mode_ == PopMode::Select || mode_ == PopMode::DeleteListed) && downloadList_.empty()) || host_.empty()) {
    // Nothing to do: the session stands as if "QUIT" were out, so that
    // quit() sends nothing.
    state_ = PopState::QuitAnswer;
    return;
  }
  static const char kTitle[] = "*** Pop Protocol Start ";
  log_.start(kTitle, sizeof kTitle - 1);
  resetSession();
  startRecv();
}

size_t PopClient::messageCount() const { return statRange_ ? statRange_ : messageList_.size(); }
uint32_t PopClient::messageAt(size_t index) const {
  return statRange_ ? static_cast<uint32_t>(index + 1) : messageList_[index];
}

void PopClient::removeLatest(const std::string& uid) {
  auto it = std::find(latestList_.begin(), latestList_.end(), uid);
  if (it != latestList_.end()) latestList_.erase(it);
}

std::optional<std::string> PopClient::uidOf(uint32_t number) const {
  const std::optional<std::string_view> uid = uids_.find(number);
  if (!uid) return std::nullopt;
  return std::string(*uid);
}

// The size "LIST" gave message `number`.
std::optional<uint32_t> PopClient::sizeOf(uint32_t number) const {
  const auto it = std::lower_bound(sizes_.begin(), sizes_.end(), std::make_pair(number, uint32_t{0}));
  if (it == sizes_.end() || it->first != number) return std::nullopt;
  return it->second;
}

// C: DELE n   (the UID is remembered until its "+OK")
PopClient::Step PopClient::sendDelete(uint32_t number, PopState next, uint32_t* error) {
  deleting_ = uidOf(number).value_or(std::string());
  deleteSent_ = true;
  char command[32];
  std::snprintf(command, sizeof command, "DELE %u\r\n", number);
  return sendCommand(command, next, error);
}

// S: +OK to a "DELE": the message goes when "QUIT" is answered, not before.
void PopClient::confirmDelete() {
  if (!deleting_.empty()) deleted_.push_back(std::move(deleting_));
  deleting_.clear();
}

std::string PopClient::madeUpUid() const {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char text[64];
  std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u%04u%08u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond, t.wMilliseconds, lastListSize_);
  return text;
}

bool PopClient::responseOk() const { return pop::StatusOk(buffer_); }

// The answer starts with "+": the steps go by that; the receive loop has
// checked the status word itself where it must be "+OK".
bool PopClient::positive() const { return !buffer_.empty() && buffer_[0] == '+'; }

// The code of a "-ERR" (or a malformed status line) in answer to the command
// the state waits on.
uint32_t PopClient::failureCode() const {
  switch (state_) {
    case PopState::UserAnswer:
    case PopState::LoginAnswer:
      return QVMDL_ERR_POP_LOGIN;
    case PopState::StlsAnswer:
      // "STLS" offered, then refused: no secure socket, and no clear text.
      return QVMDL_ERR_POP_NO_NETWORK;
    case PopState::SizeAnswer:
      return QVMDL_ERR_POP_LIST_SIZES;
    case PopState::StatAnswer:
      return QVMDL_ERR_POP_STAT;
    case PopState::DeleteReceived:
      return QVMDL_ERR_POP_DELE_RECEIVED;
    case PopState::MessageSize:
      return QVMDL_ERR_POP_LIST_MESSAGE;
    case PopState::FetchStatus:
      return QVMDL_ERR_POP_FETCH;
    case PopState::DeleteAnswer:
      return QVMDL_ERR_POP_DELE;
    case PopState::LastUidAnswer:
      return QVMDL_ERR_POP_LAST_UIDL;
    case PopState::DeleteListed:
      return QVMDL_ERR_POP_DELE_LISTED;
    case PopState::QuitAnswer:
      return QVMDL_ERR_POP_QUIT;
    default:
      return QVMDL_ERR_POP_UNEXPECTED;
  }
}

// Runs state handlers on the reply in the buffer until one has sent a command
// (or waits for more of a multi-line reply); returns a pending error code.
// A cancel that came meanwhile stops the chain before the next command, so
// that the receive loop turns it into "QUIT".
uint32_t PopClient::incomingData() {
  uint32_t error = 0;
  for (bool first = true;; first = false) {
    if (state_ == PopState::Idle || abort_) return 0;
    const PopState state = state_;
    if (!first && cancel_ && !continues_ && state != PopState::FetchStatus && state != PopState::FetchBody &&
        state != PopState::QuitAnswer) {
      expecting_ = false;
      return 0;
    }
    if (handleState(&error) == Step::Wait || error) return error;
  }
}

PopClient::Step PopClient::sendCommand(const char* text, PopState next, uint32_t* error) {
  state_ = next;
  expecting_ = true;
  if (!sendData(text)) {
    *error = QVMDL_ERR_POP_SOCKET;
    return Step::Next;
  }
  return Step::Wait;
}

bool PopClient::sendQuit() {
  if (quitWithheld_) return false;
  if (deleteSent_ && !notify(MSG_PopBeforeQuit, 0, 0)) {
    quitWithheld_ = true;
    return false;
  }
  return sendData("QUIT\r\n");
}

// A failure found in a reply: "QUIT" goes out first, the code follows.
PopClient::Step PopClient::fail(uint32_t code, uint32_t* error) {
  sendQuit();
  expecting_ = false;
  *error = code;
  return Step::Next;
}

PopClient::Step PopClient::moveTo(PopState next) {
  state_ = next;
  return Step::Next;
}

// The observer declined to go on: "QUIT", and the session ends as aborted.
PopClient::Step PopClient::endEarly() {
  endReason_ = EndReason::Declined;
  return moveTo(PopState::Quit);
}

// After the mailbox size: the received messages are deleted first when the
// account deletes on the server, then the new ones are fetched.
PopClient::Step PopClient::afterMailBoxSize() {
  if (!notify(MSG_PopMailBoxSize, static_cast<long>(toProcess_), static_cast<long>(totalSize_))) return endEarly();
  receivedPos_ = 0;
  return moveTo(deleteOnServer_ && !receivedList_.empty() ? PopState::DeleteReceived : PopState::NextMessage);
}

// One step of the session, chosen by the state: the answer in the buffer is
// acted on, or the next command goes out.
PopClient::Step PopClient::handleState(uint32_t* error) {
  switch (state_) {
    // Login (CAPA and STLS on port 110 first).
    case PopState::Greeting:
      return onGreeting(error);
    case PopState::CapaFirst:
      return onCapaFirst(error);
    case PopState::StlsAnswer:
      return onStls(error);
    case PopState::CapaTls:
      return onCapaTls(error);
    case PopState::UserAnswer:
      return onUserAnswer(error);
    case PopState::LoginAnswer:
      return onLoginAnswer(error);
    case PopState::CapaAnswer:
      return onCapa(error);
    // The listing, the sizes and the mailbox size.
    case PopState::UidlAnswer:
      return onUidl(error);
    case PopState::NextSize:
      return nextSize(error);
    case PopState::SizeAnswer:
      return onSizeAnswer(error);
    case PopState::Stat:
      // C: STAT
      return sendCommand("STAT\r\n", PopState::StatAnswer, error);
    case PopState::StatAnswer:
      return onStat(error);
    case PopState::ListAll:
      // C: LIST
      return sendCommand("LIST\r\n", PopState::ListAllAnswer, error);
    case PopState::ListAllAnswer:
      return onListAll(error);
    case PopState::MadeUidList:
      return onMadeUidList(error);
    case PopState::MadeUidTop:
      return madeUidTop(error);
    case PopState::MadeUidHeader:
      return onMadeUidHeader(error);
    // Fetches and deletes.
    case PopState::DeleteReceived:
      return deleteReceived(error);
    case PopState::NextMessage:
      return nextMessage(error);
    case PopState::MessageSize:
      return onMessageSize(error);
    case PopState::FetchStatus:
      // S: +OK size octets
      if (!positive()) return fail(QVMDL_ERR_POP_FETCH, error);
      return moveTo(PopState::FetchBody);
    case PopState::FetchBody:
      return onMessage();
    case PopState::Fetched:
      // Only a message stored whole is deleted.
      return moveTo(deleteOnServer_ && !cancel_ && fetchedWhole_ ? PopState::DeleteFetched : PopState::NextMessage);
    case PopState::DeleteFetched:
      // C: DELE n   (the message just fetched)
      return sendDelete(currentNumber_, PopState::DeleteAnswer, error);
    case PopState::DeleteAnswer:
      // S: +OK
      if (!positive()) return fail(QVMDL_ERR_POP_DELE, error);
      confirmDelete();
      return moveTo(PopState::NextMessage);
    case PopState::DeleteListed:
      return deleteListed(error);
    // The end.
    case PopState::LastUid:
      return lastUid(error);
    case PopState::LastUidAnswer:
      return onLastUid(error);
    case PopState::DrainAhead:
      return onDrainAhead();
    case PopState::Quit:
      return quitStep(error);
    case PopState::QuitAnswer:
      return onQuit(error);
    default:
      state_ = PopState::Idle;
      return Step::Wait;
  }
}

// Greeting: S: +OK ready <stamp>   C: CAPA   (995: TLS is there already: the login)
PopClient::Step PopClient::onGreeting(uint32_t* error) {
  greeting_ = buffer_.substr(0, pop::FirstLineEnd(buffer_));
  if (ssl_) return login(error);
  continues_ = false;
  return sendCommand("CAPA\r\n", PopState::CapaFirst, error);
}

// CapaTls: S: +OK / (capabilities) / .   or -ERR   C: USER or APOP, inside TLS
PopClient::Step PopClient::onCapaTls(uint32_t* error) {
  if (positive() && readLines([](std::string_view) { return true; }) == Lines::More) return Step::Wait;
  continues_ = false;
  return login(error);
}

// UserAnswer: S: +OK   C: PASS ********
PopClient::Step PopClient::onUserAnswer(uint32_t* error) {
  if (!positive()) return fail(QVMDL_ERR_POP_LOGIN, error);
  const std::string pass = "PASS " + password_ + "\r\n";
  return sendCommand(pass.c_str(), PopState::LoginAnswer, error);
}

// LoginAnswer: S: +OK Logged in.   C: CAPA   (POP-before-SMTP: C: QUIT)
PopClient::Step PopClient::onLoginAnswer(uint32_t* error) {
  if (!positive()) return fail(QVMDL_ERR_POP_LOGIN, error);
  if (mode_ == PopMode::LoginOnly) return moveTo(PopState::Quit);
  continues_ = false;
  return sendCommand("CAPA\r\n", PopState::CapaAnswer, error);
}

// NextSize: C: LIST n   (each listed message, to add up the mailbox size)
PopClient::Step PopClient::nextSize(uint32_t* error) {
  if (listPos_ >= messageCount()) {
    receivedPos_ = 0;
    return moveTo(deleteOnServer_ && !receivedList_.empty() ? PopState::DeleteReceived : PopState::Quit);
  }
  const uint32_t number = messageAt(listPos_);
  ++listPos_;
  char command[32];
  std::snprintf(command, sizeof command, "LIST %u\r\n", number);
  return sendCommand(command, PopState::SizeAnswer, error);
}

// SizeAnswer: S: +OK n size
PopClient::Step PopClient::onSizeAnswer(uint32_t* error) {
  uint32_t number = 0, size = 0;
  if (!pop::ParseTwoNumbers(buffer_, &number, &size)) return fail(QVMDL_ERR_POP_LIST_SIZES, error);
  lastListSize_ = size;
  totalSize_ += size;
  if (listPos_ < messageCount()) return moveTo(PopState::NextSize);
  return afterMailBoxSize();
}

// MadeUidTop: C: TOP n 0   (the header of the next message, for its UID)
PopClient::Step PopClient::madeUidTop(uint32_t* error) {
  if (madeUidPos_ >= madeUidSizes_.size()) {
    uids_.seal();
    bookUids();
    return Step::Next;
  }
  currentNumber_ = madeUidSizes_[madeUidPos_].first;
  currentSize_ = madeUidSizes_[madeUidPos_].second;
  char command[32];
  std::snprintf(command, sizeof command, "TOP %u 0\r\n", currentNumber_);
  return sendCommand(command, PopState::MadeUidHeader, error);
}

// DeleteReceived: C: DELE n   S: +OK   (each message received before, unless
// the device holds it only in part)
PopClient::Step PopClient::deleteReceived(uint32_t* error) {
  confirmDelete();
  while (receivedPos_ < receivedList_.size()) {
    const uint32_t number = receivedList_[receivedPos_++];
    const std::optional<std::string> uid = uidOf(number);
    if (uid && partialUids_.count(*uid)) continue;
    return sendDelete(number, PopState::DeleteReceived, error);
  }
  return moveTo(mode_ == PopMode::DeleteReceived ? PopState::Quit : PopState::NextMessage);
}

// MessageSize: S: +OK n size   C: RETR n  (or TOP n lines; TOP n 0 for the header only)
PopClient::Step PopClient::onMessageSize(uint32_t* error) {
  uint32_t number = 0, size = 0;
  if (!pop::ParseTwoNumbers(buffer_, &number, &size)) return fail(QVMDL_ERR_POP_LIST_MESSAGE, error);
  currentSize_ = lastListSize_ = size;
  if (!checkLimit()) return fail(QVMDL_ERR_POP_NO_MEMORY, error);
  return sendCommand(fetchCommand(currentNumber_, headerOnly_).c_str(), PopState::FetchStatus, error);
}

// DeleteListed: C: DELE n   S: +OK   (each message of the delete list)
PopClient::Step PopClient::deleteListed(uint32_t* error) {
  if (!deletesStarted_) {
    deletesStarted_ = true;
    for (const uint32_t number : messageList_) latestList_.push_back(uidOf(number).value_or(std::string()));
    messagePos_ = 0;
  } else {
    if (!positive()) return fail(QVMDL_ERR_POP_DELE_LISTED, error);
    confirmDelete();
    ++processed_;
  }
  if (messagePos_ >= messageCount()) return moveTo(PopState::Quit);
  currentNumber_ = messageAt(messagePos_++);
  currentUid_ = uidOf(currentNumber_).value_or(std::string());
  return sendDelete(currentNumber_, PopState::DeleteListed, error);
}

// LastUid: C: UIDL n   (the last message fetched, kept on the server)
PopClient::Step PopClient::lastUid(uint32_t* error) {
  if (deleteOnServer_ || noUidl_ || currentNumber_ == 0) return moveTo(PopState::Quit);
  char command[32];
  std::snprintf(command, sizeof command, "UIDL %u\r\n", currentNumber_);
  return sendCommand(command, PopState::LastUidAnswer, error);
}

// LastUidAnswer: S: +OK n uid   (the UID follows the blank after the number)
PopClient::Step PopClient::onLastUid(uint32_t* error) {
  if (!positive()) return fail(QVMDL_ERR_POP_LAST_UIDL, error);
  const size_t eol = buffer_.find_first_of("\r\n");
  const std::string line = buffer_.substr(0, eol);
  const size_t first = line.find(' ', 4);
  lastRecvUid_ = line.size() > 4 && first != std::string::npos ? line.substr(first + 1) : std::string();
  return moveTo(PopState::Quit);
}

// DrainAhead: S: (the fetch sent ahead, whole)   C: QUIT
PopClient::Step PopClient::onDrainAhead() {
  if (positive() && pop::ListEnd(buffer_) == std::string::npos) {
    continues_ = true;
    return Step::Wait;
  }
  continues_ = false;
  ahead_.pop_front();
  return moveTo(PopState::Quit);
}

// Quit: C: QUIT   (after the answers to the fetches sent ahead, if any)
PopClient::Step PopClient::quitStep(uint32_t* error) {
  if (!ahead_.empty()) {
    state_ = PopState::DrainAhead;
    expecting_ = true;
    return Step::Wait;
  }
  // Without "QUIT" the server removes nothing: the session ends there.
  if (deleteSent_ && (quitWithheld_ || !notify(MSG_PopBeforeQuit, 0, 0))) {
    quitWithheld_ = true;
    expecting_ = false;
    *error = QVMDL_ERR_POP_QUIT;
    return Step::Next;
  }
  return sendCommand("QUIT\r\n", PopState::QuitAnswer, error);
}

// QuitAnswer: S: +OK Logging out.
PopClient::Step PopClient::onQuit(uint32_t* error) {
  if (!positive()) {
    expecting_ = false;
    *error = QVMDL_ERR_POP_QUIT;
    return Step::Next;
  }
  endSession();
  return Step::Wait;
}

// The login: C: USER user, or with APOP, C: APOP user <MD5 of the greeting's
// time stamp and the password>. On port 110 it comes after the first "CAPA"
// (and inside TLS when the server offered "STLS").
PopClient::Step PopClient::login(uint32_t* error) {
  continues_ = false;
  if (!apop_) {
    const std::string command = "USER " + user_ + "\r\n";
    return sendCommand(command.c_str(), PopState::UserAnswer, error);
  }
  const size_t open = greeting_.find('<');
  const size_t close = open == std::string::npos ? open : greeting_.find('>', open);
  if (close == std::string::npos) return fail(QVMDL_ERR_POP_NO_TIMESTAMP, error);
  const std::string stamp = greeting_.substr(open, close - open + 1) + password_;
  char digest[33];
  Md5HexString(digest, stamp.c_str());
  const std::string command = "APOP " + user_ + " " + digest + "\r\n";
  return sendCommand(command.c_str(), PopState::LoginAnswer, error);
}

// CapaFirst: S: +OK / TOP / UIDL / STLS / .   C: STLS
//            S: +OK / TOP / UIDL / .   or -ERR   C: USER user   (no TLS offered)
PopClient::Step PopClient::onCapaFirst(uint32_t* error) {
  if (buffer_.empty() || (buffer_[0] != '+' && buffer_[0] != '-')) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  if (buffer_[0] == '+') {
    const Lines read = readLines([this](std::string_view line) {
      if (CapaWord(line) == "STLS") stlsOffered_ = true;
      return true;
    });
    if (read == Lines::More) return Step::Wait;
    if (read == Lines::Bad) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  }
  continues_ = false;
  if (stlsOffered_) return sendCommand("STLS\r\n", PopState::StlsAnswer, error);
  return login(error);
}

// StlsAnswer: S: +OK begin TLS   (handshake)   C: CAPA, inside TLS
// A failed handshake leaves the socket unusable: nothing more goes out, not
// even "QUIT", and the login never happens in clear text.
PopClient::Step PopClient::onStls(uint32_t* error) {
  // Whatever came in clear text after the "+OK" is not the server's word.
  buffer_.clear();
  carry_.clear();
  if (const uint32_t r = handshake()) {
    expecting_ = false;
    *error = r;
    return Step::Next;
  }
  return sendCommand("CAPA\r\n", PopState::CapaTls, error);
}

// Hands the whole lines of the multi-line answer in the buffer to `take` and
// drops them (the status line stays, so the answer's end is still found), so
// that a long list never sits whole in memory. Done at the terminator; More
// while lines are still due; Bad when `take` refused a line or a line passes
// kMaxListLine.
PopClient::Lines PopClient::readLines(const std::function<bool(std::string_view)>& take) {
  const size_t start = pop::FirstLineEnd(buffer_) + 1;
  size_t pos = start;
  for (;;) {
    const size_t next = buffer_.find("\r\n", pos);
    if (next == std::string::npos) break;
    const std::string_view line(buffer_.data() + pos, next - pos);
    pos = next + 2;
    if (line == ".") {
      continues_ = false;
      return Lines::Done;
    }
    if (line.size() > kMaxListLine || !take(line)) {
      continues_ = false;
      return Lines::Bad;
    }
  }
  buffer_.erase(start, pos - start);
  continues_ = buffer_.size() - start <= kMaxListLine;
  return continues_ ? Lines::More : Lines::Bad;
}

// A UIDL line that names no message we can take: its message stays on the
// server, and the protocol log says so once.
void PopClient::skipLine(const char* why, uint32_t number) {
  log_.write_free("*** UIDL line %u %s: its message stays on the server\r\n", number, why);
}

// UidlAnswer: S: +OK / 1 0000001 / 2 0000002 / .   (or -ERR: no UIDs, made
// from headers), read as it comes and booked once whole. A malformed line
// is skipped, not the whole list.
PopClient::Step PopClient::onUidl(uint32_t* error) {
  if (buffer_.empty() || buffer_[0] != '+') {
    // No UIDL: UIDs are made from each message's header.
    //   C: LIST   S: +OK / 1 120 / 2 300 / .   C: TOP 1 0   S: +OK / (header) / .   ...
    noUidl_ = true;
    messageList_.clear();
    continues_ = false;
    return sendCommand("LIST\r\n", PopState::MadeUidList, error);
  }
  if (!pop::StatusOk(buffer_)) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  bool full = false;
  const Lines read = readLines([this, &full](std::string_view line) {
    ++listLine_;
    uint32_t number = 0;
    std::string_view uid;
    if (!pop::ParseUidlLine(line, &number, &uid)) {
      skipLine("is malformed", listLine_);
      return true;
    }
    full = !uids_.add(number, uid);
    return !full;
  });
  if (read == Lines::More) return Step::Wait;
  if (read == Lines::Bad) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  uids_.seal();
  bookUids();
  return Step::Next;
}

// Decides from the UIDL lines what is new, what was received before, and
// which state follows: the sizes by "LIST n" or "LIST", "STAT", or the deletes.
// A line that repeats an earlier UID or number stands for nothing.
void PopClient::bookUids() {
  uidlComplete_ = true;
  const size_t count = uids_.size();
  for (size_t i = 0; i < count; ++i) {
    if (uids_.repeated(i)) skipLine("repeats a UID or number", static_cast<uint32_t>(i + 1));
  }
  if (knownUids_.size() < count / 2) messageList_.reserve(count - knownUids_.size());
  if (mode_ == PopMode::Select || mode_ == PopMode::DeleteListed) {
    bookSelected();
  } else {
    bookNew();
  }
}

// Select check (the download list's messages). A line counts as received
// when the device knows its UID; lines up to the last UID too, but only when
// it knows none. Only the known ones may be deleted: the last UID is a hint,
// not proof that the device holds a line's mail.
void PopClient::bookSelected() {
  const size_t count = uids_.size();
  const UidSet wanted(downloadList_.begin(), downloadList_.end());
  bool passedLast = lastUid_.empty();
  for (size_t i = 0; i < count; ++i) {
    if (uids_.repeated(i)) continue;
    const uint32_t number = uids_.number(i);
    const std::string_view uid = uids_.uid(i);
    if (wanted.find(uid) != wanted.end()) {
      messageList_.push_back(number);
      ++toProcess_;
    } else if (knownUids_.find(uid) != knownUids_.end()) {
      receivedList_.push_back(number);
      latestList_.emplace_back(uid);
    } else if (!passedLast && knownUids_.empty()) {
      latestList_.emplace_back(uid);
    }
    if (!passedLast && uid == lastUid_) passedLast = true;
  }
  if (messageList_.empty()) {
    state_ = PopState::Quit;
  } else if (mode_ == PopMode::DeleteListed) {
    state_ = PopState::DeleteListed;
  } else {
    state_ = pipelining_ ? PopState::ListAll : PopState::NextSize;
  }
}

// Normal check: the known UID list decides what is new. The last UID only
// marks what came before it as received when the caller knows no UID at all,
// and such a line is never deleted (receivedList_ holds what may be).
void PopClient::bookNew() {
  const size_t count = uids_.size();
  size_t lastAt = count;
  for (size_t i = 0; i < count && !lastUid_.empty(); ++i) {
    if (!uids_.repeated(i) && uids_.uid(i) == lastUid_) {
      lastAt = i;
      lastUidFound_ = true;
      break;
    }
  }
  const bool byLastUid = knownUids_.empty() && lastUidFound_;
  for (size_t i = 0; i < count; ++i) {
    if (uids_.repeated(i)) continue;
    const uint32_t number = uids_.number(i);
    const std::string_view uid = uids_.uid(i);
    if (knownUids_.find(uid) != knownUids_.end()) {
      receivedList_.push_back(number);
      latestList_.emplace_back(uid);
    } else if (byLastUid && i <= lastAt) {
      latestList_.emplace_back(uid);
    } else {
      messageList_.push_back(number);
      ++toProcess_;
    }
  }
  noKnownUid_ = receivedList_.empty() && !byLastUid;
  listPos_ = 0;
  if (mode_ == PopMode::DeleteReceived) {
    receivedPos_ = 0;
    state_ = PopState::DeleteReceived;
  } else if (pipelining_ && !messageList_.empty()) {
    // One "LIST" gives every size: no "LIST n" per message.
    state_ = PopState::ListAll;
  } else if (lastUidFound_) {
    state_ = PopState::NextSize;
  } else {
    state_ = noKnownUid_ ? PopState::Stat : PopState::ListAll;
  }
}

// StatAnswer: S: +OK count size
PopClient::Step PopClient::onStat(uint32_t* error) {
  uint32_t count = 0, size = 0;
  if (!pop::ParseTwoNumbers(buffer_, &count, &size)) return fail(QVMDL_ERR_POP_STAT, error);
  if (noUidl_ && uids_.size() == 0) {
    messageList_.clear();
    statRange_ = count;
  }
  toProcess_ = count;
  totalSize_ = size;
  if (!notify(MSG_PopMailBoxSize, static_cast<long>(count), static_cast<long>(size)) || count == 0) {
    return endEarly();
  }
  return moveTo(PopState::NextMessage);
}

// ListAllAnswer: S: +OK 2 messages: / 1 39 / 2 120 / .   (read as it comes;
// the sizes of the messages to fetch are added up)
PopClient::Step PopClient::onListAll(uint32_t* error) {
  const Lines read = readLines([this](std::string_view line) { return listSize(line, &sizes_); });
  if (read == Lines::More) return Step::Wait;
  if (read == Lines::Bad) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  if (!sizesSorted_) std::sort(sizes_.begin(), sizes_.end());
  sizesSorted_ = true;
  totalSize_ = 0;
  for (const uint32_t number : messageList_) totalSize_ += sizeOf(number).value_or(0);
  return afterMailBoxSize();
}

// One line of a "LIST" answer into `out`; false for a malformed line or a
// list past PopUidTable's bound.
bool PopClient::listSize(std::string_view line, std::vector<std::pair<uint32_t, uint32_t>>* out) {
  uint32_t number = 0, size = 0;
  if (!pop::ParseListLine(line, &number, &size) || out->size() >= PopUidTable::kMaxLines) return false;
  if (!out->empty() && number <= out->back().first) sizesSorted_ = false;
  out->emplace_back(number, size);
  return true;
}

std::string PopClient::fetchCommand(uint32_t number, bool headerOnly) const {
  char command[48];
  if (mode_ == PopMode::Partial) {
    std::snprintf(command, sizeof command, "TOP %u %u\r\n", number, headerOnly ? 0u : partialLines_);
  } else if (headerOnly) {
    std::snprintf(command, sizeof command, "TOP %u 0\r\n", number);
  } else {
    std::snprintf(command, sizeof command, "RETR %u\r\n", number);
  }
  return command;
}

// NextMessage, pipelined: the size is known from "LIST"; the fetch goes out
// at once, with the next messages' fetches behind it while nothing is
// deleted, so that the server sends on while a message is stored.
//   C: RETR 1 / RETR 2 / RETR 3   S: +OK (1) / .   C: RETR 4   S: +OK (2) / .   ...
// The fetches out ahead are at most kMaxAhead, and past the first they stop
// once their sizes reach kAheadBytes: the socket and carry_ hold their answers.
PopClient::Step PopClient::pipelinedFetch(uint32_t* error) {
  constexpr size_t kMaxAhead = 16;
  // Small mail refills the window in groups, one send for several fetches
  // rather than one a message; half a window ahead keeps the server busy.
  constexpr size_t kRefillBelow = kMaxAhead / 2;
  constexpr uint64_t kAheadBytes = 512u << 10;
  std::string commands;
  if (!ahead_.empty()) {
    headerOnly_ = ahead_.front();
    ahead_.pop_front();
  } else {
    if (!checkLimit()) return fail(QVMDL_ERR_POP_NO_MEMORY, error);
    commands = fetchCommand(currentNumber_, headerOnly_);
  }
  const bool thisHeaderOnly = headerOnly_;
  const uint32_t thisSize = currentSize_;
  // The reply limit set with a send must hold the largest answer still due.
  uint32_t limitSize = thisSize;
  uint64_t aheadBytes = 0;
  for (size_t i = 0; i < ahead_.size(); ++i) {
    const uint32_t size = sizeOf(messageAt(messagePos_ + i)).value_or(0);
    limitSize = std::max(limitSize, size);
    aheadBytes += size;
  }
  const bool refill = ahead_.size() <= kRefillBelow || aheadBytes >= kAheadBytes / 2;
  while (refill && !deleteOnServer_ && messagePos_ + ahead_.size() < messageCount() && ahead_.size() < kMaxAhead &&
         (ahead_.empty() || aheadBytes < kAheadBytes)) {
    const uint32_t next = messageAt(messagePos_ + ahead_.size());
    const std::optional<uint32_t> size = sizeOf(next);
    if (!size) break;
    currentSize_ = *size;
    if (!checkLimit()) break;
    commands += fetchCommand(next, headerOnly_);
    ahead_.push_back(headerOnly_);
    limitSize = std::max(limitSize, *size);
    aheadBytes += *size;
  }
  headerOnly_ = thisHeaderOnly;
  if (commands.empty()) {
    // This fetch went out with one before.
    currentSize_ = thisSize;
    state_ = PopState::FetchStatus;
    expecting_ = true;
    return Step::Wait;
  }
  currentSize_ = limitSize;
  const Step step = sendCommand(commands.c_str(), PopState::FetchStatus, error);
  currentSize_ = thisSize;
  return step;
}

// NextMessage: C: LIST n   (the next message to fetch; none left: UIDL n)
PopClient::Step PopClient::nextMessage(uint32_t* error) {
  if (messagePos_ >= messageCount()) return moveTo(PopState::LastUid);
  currentNumber_ = messageAt(messagePos_++);
  if (noUidl_ && uids_.size() == 0) {
    currentUid_ = madeUpUid();
  } else {
    currentUid_ = uidOf(currentNumber_).value_or(std::string());
  }
  if (!notify(MSG_PopUpdateStatus, 1, 0)) return endEarly();
  if (pipelining_) {
    if (const std::optional<uint32_t> size = sizeOf(currentNumber_)) {
      currentSize_ = lastListSize_ = *size;
      return pipelinedFetch(error);
    }
  }
  char command[32];
  std::snprintf(command, sizeof command, "LIST %u\r\n", currentNumber_);
  return sendCommand(command, PopState::MessageSize, error);
}

// FetchBody: S: (text, dot-stuffed) / .   whole, or still arriving.
PopClient::Step PopClient::onMessage() {
  const size_t end = pop::ListEnd(buffer_);
  if (end == std::string::npos) {
    const uint64_t sofar = receivedBytes_ + (buffer_.size() >= 2 ? buffer_.size() - 2 : 0);
    notify(MSG_PopRecvSize, static_cast<long>(sofar), 0);
    continues_ = true;
    return Step::Wait;
  }
  continues_ = false;
  if (cancel_) {
    // Received to its end, but not handed over: the cancel ends the session.
    return moveTo(PopState::Fetched);
  }
  const size_t start = pop::FirstLineEnd(buffer_) + 1;
  const size_t textEnd = end + 2;  // the last line end stays
  const std::string_view raw = std::string_view(buffer_).substr(start, textEnd > start ? textEnd - start : 0);
  notify(MSG_PopRecvSize, static_cast<long>(receivedBytes_ + raw.size()), 0);
  currentText_ = pop::Unstuff(raw);
  int kind = MSG_PopNewMessage;
  if (headerOnly_) {
    kind = MSG_PopNewHeader;
  } else if (mode_ == PopMode::Partial && static_cast<uint64_t>(currentSize_) > raw.size() + 2) {
    kind = MSG_PopNewPartMessage;
  }
  receivedBytes_ += headerOnly_ ? currentText_.size() : currentSize_;
  const bool goOn = notify(kind, 0, 0);
  currentText_.clear();
  currentText_.shrink_to_fit();
  // True means stored for good; only a "RETR" brings the whole text.
  fetchedWhole_ = goOn && kind == MSG_PopNewMessage && mode_ != PopMode::Partial && !headerOnly_;
  if (!goOn) return endEarly();
  ++processed_;
  latestList_.push_back(currentUid_);
  return moveTo(PopState::Fetched);
}

// CapaAnswer: S: +OK / TOP / UIDL / PIPELINING / .   (or -ERR: no list)   C: UIDL
PopClient::Step PopClient::onCapa(uint32_t* error) {
  if (!buffer_.empty() && buffer_[0] == '+') {
    const Lines read = readLines([this](std::string_view line) {
      if (CapaWord(line) == "PIPELINING") pipelining_ = true;
      return true;
    });
    if (read == Lines::More) return Step::Wait;
    if (read == Lines::Bad) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  }
  continues_ = false;
  listLine_ = 0;
  return sendCommand("UIDL\r\n", PopState::UidlAnswer, error);
}

// MadeUidList: S: +OK / 1 120 / 2 300 / .   (every message and its size)
PopClient::Step PopClient::onMadeUidList(uint32_t* error) {
  const Lines read = readLines([this](std::string_view line) { return listSize(line, &madeUidSizes_); });
  if (read == Lines::More) return Step::Wait;
  if (read == Lines::Bad) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  madeUidPos_ = 0;
  return moveTo(PopState::MadeUidTop);
}

// MadeUidHeader: S: +OK / (header) / .   The UID is the header's digest. A
// server without "TOP" leaves made-up UIDs of the time (STAT follows).
PopClient::Step PopClient::onMadeUidHeader(uint32_t* error) {
  if (buffer_.empty() || buffer_[0] != '+') {
    continues_ = false;
    uids_.clear();
    return moveTo(PopState::Stat);
  }
  if (!pop::StatusOk(buffer_)) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  const size_t end = pop::ListEnd(buffer_);
  if (end == std::string::npos) {
    continues_ = true;
    return Step::Wait;
  }
  continues_ = false;
  const size_t start = pop::FirstLineEnd(buffer_) + 1;
  const std::string_view header = std::string_view(buffer_).substr(start, end + 2 > start ? end + 2 - start : 0);
  std::string uid = pop::MadeUid(header, currentSize_);
  // Two messages alike in all of it are told apart by their order.
  int same = 0;
  for (size_t i = 0; i < uids_.size(); ++i) {
    if (uids_.uid(i).compare(0, 32, uid) == 0) ++same;
  }
  if (same) {
    uid += '-';
    uid += std::to_string(same + 1);
  }
  if (!uids_.add(currentNumber_, uid)) return fail(QVMDL_ERR_POP_UNEXPECTED, error);
  ++madeUidPos_;
  return moveTo(PopState::MadeUidTop);
}

// QuitAnswer answered "+": the session ends here.
void PopClient::endSession() {
  // S: +OK to "QUIT": the server has now removed what was deleted.
  for (const std::string& uid : deleted_) removeLatest(uid);
  deleted_.clear();
  closeSocket();
  connected_ = false;
  uids_.clear();
  state_ = PopState::Idle;
  expecting_ = false;
  const EndReason reason = endReason_;
  const PopMode mode = mode_;
  mode_ = PopMode::Receive;
  if (reason == EndReason::Declined) {
    notify(MSG_PopAborted, static_cast<long>(processed_), 0);
  } else if (reason == EndReason::Cancelled) {
    notify(MSG_PopCanceled, 0, 0);
  } else if (mode == PopMode::DeleteListed) {
    notify(MSG_PopDeleteComplete, static_cast<long>(processed_), 0);
  } else {
    notify(MSG_PopComplete, static_cast<long>(processed_), 0);
  }
}
