// The retriever's tests: the filing fixture's account "Acc" pointed at a
// fresh dovecot mailbox through the host table, an observer that records
// every step, and helpers that deliver numbered mail and find stored copies
// by their UID.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/public/store/MailHistory.h"
#include "engine/public/transport/QvRASController.h"
#include "engine/public/transport/QvRetriever.h"
#include "platform/base/WinFormat.h"
#include "tests/engine/store/filing/FilingFixture.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/TransportFixture.h"

namespace qv::test {

class RetrieverRecorder : public QvRetriever::Notify {
 public:
  bool notify(unsigned int message, long w, long l) override {
    if (message != QvRetriever::MSG_RecvSize) events.push_back({static_cast<int>(message), w, l});
    if (message == QvRetriever::MSG_NewMessage) ++whole;
    if (hook) hook(message, w, l);
    return true;
  }
  void isActive(bool* answer, QvRetriever*) override { *answer = active; }
  long Error() const { return FirstError().w; }
  NotifyEvent FirstError() const {
    for (const NotifyEvent& e : events) {
      if (e.message == QvRetriever::MSG_Error) return e;
    }
    return {};
  }
  NotifyEvent LastError() const {
    for (auto e = events.rbegin(); e != events.rend(); ++e) {
      if (e->message == QvRetriever::MSG_Error) return *e;
    }
    return {};
  }

  std::vector<NotifyEvent> events;
  int whole = 0;
  bool active = true;
  std::function<void(unsigned, long, long)> hook;
};

class RetrieverTest : public FilingTest {
 protected:
  void SetUp() override {
    FilingTest::SetUp();
    if (HasFatalFailure()) return;
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    ASSERT_TRUE(peer_.Ready()) << peer_.Error();
    user_ = peer_.NewMailbox();
    qv::seams::MapHost("pop.example.com", 110, peer_.PlainPort());
    // dovecot offers STLS on port 110: the receive upgrades before it logs in.
    qv::seams::SetTrustedCaFile(peer_.CaFile());
    Settings s;
    s.strPopServerName = L"pop.example.com";
    s.uiPopServerPort = 110;
    s.strPopUserName = std::wstring(user_.begin(), user_.end());
    for (uint32_t bit : {Settings::kPopServerName, Settings::kPopServerPort, Settings::kPopUserName}) s.Select(bit);
    ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
  }
  void Set(uint32_t bit, bool on, uint32_t number = 0) {
    Settings s;
    s.bMessageLeavingEnabled = s.bPartialRetrievingEnabled = s.bRemoveOldMessageEnabled = s.bTaccount = on;
    s.uiPartialRetrievingLines = s.ulRemoveOldMessageCnt = number;
    s.Select(bit);
    ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
  }

  // Mail number n (from 1): dot lines to unstuff, a subject the rules read.
  static std::string NumberedMail(int n, const std::string& subject, size_t bodyLines = 3) {
    std::string mail = qv::FormatA(
        "Date: Tue, 01 Dec 2026 09:00:00 +0900\r\nFrom: sender%d@example.jp\r\nTo: me@example.jp\r\n"
        "Subject: %s %d\r\nMessage-ID: <%d@example.jp>\r\n\r\n.dot line\r\n..two dots\r\n",
        n, subject.c_str(), n, n);
    for (size_t i = 0; i < bodyLines; ++i) mail += qv::FormatA("line %zu of mail %d\r\n", i, n);
    return mail;
  }
  void Deliver(const std::string& mail) {
    delivered_.push_back(mail);
    peer_.AddMessage(user_, mail);
  }

  bool Receive(RetrieverRecorder& recorder, QvRetriever& retriever) {
    EXPECT_TRUE(retriever.registerNotify(&recorder));
    return retriever.RetrieveMessages(account_.get(), &ras_, peer_.Password());
  }
  bool Receive(RetrieverRecorder& recorder) {
    QvRetriever retriever;
    return Receive(recorder, retriever);
  }

  // Every stored message of the receive tree and the partial ones, by UID.
  struct Stored {
    unsigned long id, folder;
    std::string raw;
    int state;
  };
  std::multimap<std::string, Stored> StoredByUid() {
    std::multimap<std::string, Stored> out;
    Ids folders = inboxChildren_;
    folders.push_back(inbox_);
    for (unsigned long f : folders) {
      for (unsigned long id : Messages(f)) {
        const auto a = Attributes(id, QvMessageInterface::kUidl | QvMessageInterface::kState);
        out.insert({a.uidl, {id, f, Raw(id), a.state}});
      }
    }
    return out;
  }
  // Dovecot's UID of the n-th message of a fresh mailbox ("%08Xu%08Xv", which dovecot writes in small letters),
  // the validity part taken from `any` of its UIDs.
  static std::string DovecotUid(int n, const std::string& any) { return qv::FormatA("%08x", n) + any.substr(8); }

  std::list<std::wstring> KnownUids() {
    std::list<std::wstring> uids;
    EXPECT_TRUE(account_->GetUIDL(&uids));
    return uids;
  }
  std::string LogTail(size_t from) { return ReadBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt").substr(from); }
  size_t LogSize() { return LogTail(0).size(); }

  DovecotPeer& peer_ = DovecotPeer::Shared();
  std::string user_;
  std::vector<std::string> delivered_;
  QvRASController ras_;
};

}  // namespace qv::test
