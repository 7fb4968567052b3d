// Receiving and sending through the mail operations against the real peers:
// an account "Acc" of a device root pointed at a fresh dovecot mailbox and
// at postfix through the host table, the operations installed into the task
// table, and a frame that runs the script's steps while the progress window
// (or any dialog it owns) waits for input. Mail is delivered into dovecot's
// maildir and read back from the account's store through the engine's faces.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/ReceiveSendOperations.h"
#include "app/mailops/RunWithProgress.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Time.h"
#include "platform/testing/Seams.h"
#include "tests/app/mailops/MailOpsFixture.h"
#include "tests/app/transfer/HoldingRelay.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/PostfixPeer.h"

namespace qv::test {

using Settings = QvAccountInfoInterface::Attributes;

class TransferTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    if (HasFatalFailure()) return;
    // The peers' certificates are an hour old: the clock stands at the real now.
    seams::ClearClock();
    SYSTEMTIME now{};
    GetSystemTime(&now);
    seams::SetClock(now);
    ASSERT_TRUE(pop_.Ready()) << pop_.Error();
    ASSERT_TRUE(smtp_.Ready()) << smtp_.Error();
    smtp_.ClearMail();
    seams::MapHost("pop.example.com", 110, pop_.PlainPort());
    seams::MapHost("pop.example.com", 995, pop_.SecurePort());
    seams::MapHost("smtp.example.com", 587, smtp_.PlainPort());
    TrustBothPeers();
    account_ = MakeAccount(L"Acc");
    PointAt(L"Acc", pop_.NewMailbox(), &user_);
    ASSERT_TRUE(OpenCurrentAccount(L"Acc"));
    RegisterWindow(main_);
    frame_ = new ScriptFrame;  // deletes itself with its window
    ASSERT_TRUE(frame_->Create(nullptr, L"frame", WS_POPUP | WS_VISIBLE));
    SetMailTaskOperations({});
    InstallReceiveSendOperations();
    ResetRememberedPassword(false);
  }
  void TearDown() override {
    Script().clear();
    SetPasswordPromptRunnerForTest(nullptr);
    ResetRememberedPassword(false);
    ShutdownMailOperations();
    SetMailTaskOperations({});
    if (frame_ != nullptr) frame_->DestroyWindow();
    frame_ = nullptr;
    MailOpsTest::TearDown();
  }

  // One file with both peers' certificate authorities.
  void TrustBothPeers() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string bundle = std::string(tmp && *tmp ? tmp : "/tmp") + "/qv-transfer-cas.pem";
    std::ofstream out(bundle, std::ios::binary | std::ios::trunc);
    for (const std::string& file : {pop_.CaFile(), smtp_.CaFile()}) {
      std::ifstream in(file, std::ios::binary);
      out << in.rdbuf();
    }
    out.close();
    seams::SetTrustedCaFile(bundle);
  }

  // The account's servers: a dovecot mailbox with its password saved, and
  // postfix with STARTTLS and AUTH on 587, its password saved.
  void PointAt(const std::wstring& name, const std::string& user, std::string* kept = nullptr) {
    if (kept != nullptr) *kept = user;
    Settings s;
    for (uint32_t bit : {Settings::kSenderAddress, Settings::kPopServerName, Settings::kPopServerPort,
                         Settings::kPopUserName, Settings::kPopPasswd, Settings::kPopPasswdSavingEnabled,
                         Settings::kMessageLeavingEnabled, Settings::kSmtpServerName, Settings::kSmtpServerPort,
                         Settings::kSmtpSvrAuthEnabled, Settings::kSmtpAuthEnabled, Settings::kSmtpUserName,
                         Settings::kSmtpPasswd, Settings::kSmtpPasswdSavingEnabled, Settings::kUseSameUserPass}) {
      s.Select(bit);
    }
    s.strSenderAddress = L"me@example.com";
    s.strPopServerName = L"pop.example.com";
    s.uiPopServerPort = 110;
    s.strPopUserName = std::wstring(user.begin(), user.end());
    s.strPopPasswd = std::wstring(pop_.Password().begin(), pop_.Password().end());
    s.bPopPasswdSavingEnabled = true;
    // The engine's "leaving" is the mail leaving the server: deleted there
    // once it is stored.
    s.bMessageLeavingEnabled = true;
    s.strSmtpServerName = L"smtp.example.com";
    s.uiSmtpServerPort = 587;
    s.bSmtpSvrAuthEnabled = s.bSmtpAuthEnabled = true;
    s.strSmtpUserName = std::wstring(smtp_.User().begin(), smtp_.User().end());
    s.strSmtpPasswd = std::wstring(smtp_.Password().begin(), smtp_.Password().end());
    s.bSmtpPasswdSavingEnabled = true;
    s.bUseSameUserPass = false;
    SetSettings(name, s);
  }

  static std::string NumberedMail(int n, const std::string& subject) {
    return qv::FormatA(
        "Date: Tue, 01 Dec 2026 09:00:00 +0900\r\nFrom: sender%d@example.jp\r\nTo: me@example.jp\r\n"
        "Subject: %s %d\r\nMessage-ID: <%s.%d@example.jp>\r\n\r\nline one of %d\r\nline two\r\nline three\r\n",
        n, subject.c_str(), n, subject.c_str(), n, n);
  }
  void Deliver(int count, const std::string& subject, const std::string& user = "") {
    for (int n = 1; n <= count; ++n) pop_.AddMessage(user.empty() ? user_ : user, NumberedMail(n, subject));
  }

  // The subjects stored in the account's receive box and its folders, each
  // as often as it is stored, with the state of each copy.
  std::multimap<std::string, int> StoredSubjects(const std::wstring& name = L"Acc") {
    std::multimap<std::string, int> out;
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
    std::unique_ptr<QvStorageInterface> storage(info ? info->OpenStorage() : nullptr);
    if (!storage) {
      ADD_FAILURE() << "no storage";
      return out;
    }
    Settings s;
    s.Select(Settings::kJusinTrayID);
    EXPECT_TRUE(info->GetAccountInfoAttributes(&s));
    std::vector<unsigned long> folders{s.ulJusinTrayID};
    std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(s.ulJusinTrayID));
    std::vector<unsigned long> children;
    if (box && box->GetFolderIds(&children)) folders.insert(folders.end(), children.begin(), children.end());
    for (const unsigned long f : folders) {
      std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(f));
      std::vector<unsigned long> ids;
      if (!folder || !folder->GetMessageIds(&ids)) continue;
      for (const unsigned long id : ids) {
        std::unique_ptr<QvMessageInterface> m(storage->OpenMessage(id));
        std::string raw;
        QvMessageInterface::Attributes a;
        a.mask = QvMessageInterface::kState;
        if (!m || !m->Read(&raw) || !m->GetAttributes(&a)) continue;
        const size_t at = raw.find("Subject: ");
        const size_t end = at == std::string::npos ? at : raw.find("\r\n", at);
        out.insert({at == std::string::npos ? std::string("?") : raw.substr(at + 9, end - at - 9), a.state});
      }
    }
    return out;
  }
  static std::set<std::string> Distinct(const std::multimap<std::string, int>& stored) {
    std::set<std::string> out;
    for (const auto& [subject, state] : stored) out.insert(subject);
    return out;
  }

  // Steps that keep the progress window up (a dialog without steps is
  // cancelled): each runs `poll` until it answers true, then idles along
  // until the window has gone.
  void WhileProgressUp(std::function<bool()> poll) {
    Script().push_back(IdleStep{this, std::make_shared<std::function<bool()>>(std::move(poll))});
  }
  struct IdleStep {
    TransferTest* test;
    std::shared_ptr<std::function<bool()>> poll;
    void operator()() const {
      if (++test->spins_ > kMaxSpins) return;  // a script gone wrong fails, never hangs
      if (*poll && (*poll)()) *poll = nullptr;
      if (*poll || ProgressWindow() != nullptr) Script().push_back(*this);
    }
  };
  static HWND ProgressWindow() {
    CWnd* second = GetSecondWindow();
    return second != nullptr ? second->GetSafeHwnd() : nullptr;
  }
  static void Abort() {
    if (HWND progress = ProgressWindow()) ::SendMessageW(progress, WM_COMMAND, IDCANCEL, 0);
  }

  static constexpr long kMaxSpins = 5000000;
  DovecotPeer& pop_ = DovecotPeer::Shared();
  PostfixPeer& smtp_ = PostfixPeer::Shared();
  TestAccount account_;
  std::string user_;
  ScriptFrame* frame_ = nullptr;
  long spins_ = 0;
};

}  // namespace qv::test
