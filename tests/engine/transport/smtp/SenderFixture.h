// The outgoing queue of a real account on disk ("Acc"), sending into the
// postfix peer: the fixture, its observer and the mails it queues.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/QvRASController.h"
#include "engine/public/transport/Sender.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Time.h"
#include "tests/engine/store/filing/FilingFixture.h"
#include "tests/support/PostfixPeer.h"
#include "tests/support/TransportFixture.h"

namespace qv::test {

using Event = NotifyEvent;
inline const Event kConnecting{4, 1, 0}, kConnected{4, 2, 0}, kSent{1, 0, 0}, kClosing{3, 0, 0};
inline Event QueueError(long code, long detail = 0) { return {2, code, detail}; }
inline Event SessionFailed(long code) { return {0, code, 0}; }

inline std::string Mail(const std::string& headers, const std::string& body) {
  return "From: Me <me@example.com>\r\n" + headers + "Subject: test\r\nDate: Tue, 01 Dec 2026 09:00:00 +0900\r\n\r\n" +
         body;
}

inline std::string WithoutCr(std::string text) {
  std::erase(text, '\r');
  return text;
}

inline size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Recorder : public Sender::Notify {
 public:
  void notify(int message, long w, long l) override {
    events.push_back({message, w, l});
    if (onEvent) onEvent(events.back());
  }
  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;
};

class SenderTest : public FilingTest {
 protected:
  void SetUp() override {
    FilingTest::SetUp();
    if (HasFatalFailure()) return;
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    // The peer's certificate is an hour old: the clock stands at the real now.
    seams::ClearClock();
    SYSTEMTIME now{};
    GetSystemTime(&now);
    seams::SetClock(now);
    GetLocalTime(&now);
    stamp_ =
        qv::FormatW(L"%04d%02d%02d%02d%02d%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    ASSERT_TRUE(peer_.Ready()) << peer_.Error();
    peer_.ClearMail();
    seams::MapHost("smtp.example.com", 25, peer_.PlainPort());
    seams::MapHost("smtp.example.com", 587, peer_.PlainPort());
    seams::MapHost("smtp.example.com", 465, peer_.SecurePort());
    seams::MapHost("smtp.example.com", 2525, peer_.LoginPort());
    seams::SetTrustedCaFile(peer_.CaFile());
    Settings s;
    s.Select(Settings::kSousinTrayID);
    ASSERT_TRUE(account_->GetAccountInfoAttributes(&s));
    sendBox_ = s.ulSousinTrayID;
    Configure(25, false);
  }

  // The account's server settings: the peer, with or without SMTP AUTH.
  void Configure(uint32_t port, bool auth, const std::wstring& server = L"smtp.example.com") {
    Settings s;
    for (auto bit :
         {Settings::kSenderAddress, Settings::kSmtpServerName, Settings::kSmtpServerPort, Settings::kSmtpSvrAuthEnabled,
          Settings::kSmtpAuthEnabled, Settings::kSmtpUserName, Settings::kSmtpPasswd, Settings::kUseSameUserPass}) {
      s.Select(bit);
    }
    s.strSenderAddress = L"me@example.com";
    s.strSmtpServerName = server;
    s.uiSmtpServerPort = port;
    s.bSmtpSvrAuthEnabled = s.bSmtpAuthEnabled = auth;
    s.strSmtpUserName = std::wstring(peer_.User().begin(), peer_.User().end());
    s.strSmtpPasswd = std::wstring(peer_.Password().begin(), peer_.Password().end());
    ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
  }

  // A composed message waiting in the send box.
  unsigned long Queue(const std::string& raw) {
    unsigned long id = 0;
    auto box = Folder(sendBox_);
    EXPECT_TRUE(box->CreateMessage(&id, static_cast<unsigned long>(raw.size())));
    std::unique_ptr<QvMessageInterface> m(box->OpenMessage(id));
    EXPECT_TRUE(m && m->Write(raw));
    return id;
  }

  int Send(std::vector<unsigned long>* ids = nullptr) {
    recorder_.events.clear();
    Sender sender;
    EXPECT_TRUE(sender.RegisterNotify(&recorder_));
    EXPECT_FALSE(sender.RegisterNotify(&recorder_));
    sender_ = &sender;
    const int result =
        ids ? sender.SendMultiMail(account_.get(), &ras_, *ids, L"") : sender.SendMultiMail(account_.get(), &ras_, L"");
    sender_ = nullptr;
    long status = 0;
    ras_.ReleaseConnection(&status);
    return result;
  }

  std::string Log() const { return ReadBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt"); }
  void Empty(unsigned long folder) {
    Ids ids = Messages(folder);
    EXPECT_TRUE(ids.empty() || Folder(folder)->RemoveMessage(ids));
  }

  PostfixPeer& peer_ = PostfixPeer::Shared();
  QvRASController ras_;
  Recorder recorder_;
  Sender* sender_ = nullptr;
  unsigned long sendBox_ = 0;
  std::wstring stamp_;  // the local time, as the send history writes it
};

}  // namespace qv::test
