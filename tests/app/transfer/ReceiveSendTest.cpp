// Receiving from dovecot and sending through postfix from the operations
// layer, behind the progress window: every kind of receive, an abort at
// several points of a session and the rerun after it (no mail lost, none
// twice, none deleted on the server that is not stored), the send with
// STARTTLS and AUTH, the password prompts and the periodic pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <regex>

#include "app/mailops/QvRasHolder.h"
#include "app/mailops/dialogs/QvPasswordDlg.h"
#include "app/mailops/dialogs/QvProgressDlg.h"
#include "engine/public/transport/Sender.h"
#include "platform/shell/MenuBar.h"
#include "tests/app/transfer/TransferFixture.h"

namespace qv::test {
namespace {

DWORD NoRead(const std::wstring& account) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  HKEY key = nullptr;
  const std::wstring path = std::wstring(kProgramKey) + L"\\accounts\\" + account;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0xFFFFFFFF;
  if (RegQueryValueExW(key, L"NoRead", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    value = 0xFFFFFFFF;
  RegCloseKey(key);
  return value;
}

TEST_F(TransferTest, EveryKindOfReceiveBehindTheProgressWindow) {
  struct Case {
    const char* what;
    bool ssl, partial, leave;
    int leftOnServer;
    int state;  // of each stored copy: 0 whole, 1 held in part
  };
  const Case cases[] = {
      {"plain, delete after receive", false, false, false, 0, 0},
      {"TLS from the first byte", true, false, false, 0, 0},
      {"partial", false, true, false, 3, 1},
      {"leave on server", false, false, true, 3, 0},
  };
  for (const Case& c : cases) {
    PointAt(L"Acc", pop_.NewMailbox(), &user_);
    {
      std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
      ASSERT_TRUE(info->SaveUIDL({}));
    }
    Settings s;
    for (uint32_t bit : {Settings::kSSLEnabled, Settings::kPopServerPort, Settings::kPartialRetrievingEnabled,
                         Settings::kPartialRetrievingLines, Settings::kMessageLeavingEnabled}) {
      s.Select(bit);
    }
    s.bSSLEnabled = c.ssl;
    s.uiPopServerPort = c.ssl ? 995 : 110;
    s.bPartialRetrievingEnabled = c.partial;
    s.uiPartialRetrievingLines = 1;
    s.bMessageLeavingEnabled = !c.leave;  // the engine's flag deletes on the server
    SetSettings(L"Acc", s);
    ASSERT_TRUE(OpenCurrentAccount(L"Acc"));
    const auto before = StoredSubjects();
    Deliver(3, c.what);
    main_->refreshes.clear();
    WhileProgressUp(nullptr);
    EXPECT_TRUE(ReceiveAccountWithProgress(frame_, nullptr)) << c.what << std::hex << DetailCode() << pop_.Log();
    const auto after = StoredSubjects();
    int stored = 0;
    for (const auto& [subject, state] : after) {
      if (subject.rfind(c.what, 0) != 0) continue;
      ++stored;
      EXPECT_EQ(state, c.state) << c.what << " " << subject;
    }
    EXPECT_EQ(stored, 3) << c.what;
    EXPECT_EQ(after.size(), before.size() + 3) << c.what;
    EXPECT_EQ(pop_.MessageCount(user_), c.leftOnServer) << c.what;
    qv::seams::PumpMessages();
    EXPECT_NE(std::find(main_->refreshes.begin(), main_->refreshes.end(), Refresh(kRefreshEverything, 1)),
              main_->refreshes.end())
        << c.what;
    EXPECT_EQ(NoRead(L"Acc"), static_cast<DWORD>(CountCurrentAccountUnread())) << c.what;
    EXPECT_EQ(GetMailTaskState(), kMailTaskIdle) << c.what;
    // A second receive finds nothing new, which the engine reports as such.
    WhileProgressUp(nullptr);
    EXPECT_FALSE(ReceiveAccountWithProgress(frame_, nullptr)) << c.what;
    EXPECT_EQ(DetailCode(), kCodeNothingLeft) << c.what;
    EXPECT_EQ(StoredSubjects().size(), after.size()) << c.what;
  }
}

// The session is held at one command while the abort comes; the rerun then
// receives the rest. Whatever the point, the store never holds a mail twice
// and the server never lost one the store does not hold.
TEST_F(TransferTest, AbortAtSeveralPointsThenRerunLosesNothingAndDoublesNothing) {
  struct Case {
    const char* what;
    const char* hold;
  };
  const Case cases[] = {
      {"at the login", "USER "},
      {"before the first fetch", "RETR 1\r\n"},
      {"between fetches", "RETR 3\r\n"},
      {"before the deletes", "DELE 1\r\n"},
      {"at the end", "QUIT\r\n"},
  };
  constexpr int kMails = 5;
  int n = 0;
  for (const Case& c : cases) {
    // An account of its own each round: nothing known from the last one.
    const std::wstring name = L"Ab" + std::to_wstring(++n);
    MakeAccount(name);
    PointAt(name, pop_.NewMailbox(), &user_);
    ASSERT_TRUE(OpenCurrentAccount(name));
    Deliver(kMails, c.what);
    HoldingRelay relay(pop_.PlainPort(), c.hold);
    seams::MapHost("pop.example.com", 110, relay.Port());
    bool aborted = false;
    WhileProgressUp([&] {
      if (!relay.Held()) return false;
      Abort();
      aborted = true;
      relay.Release();
      return true;
    });
    ReceiveAccountWithProgress(frame_, nullptr);
    EXPECT_TRUE(aborted) << c.what;
    EXPECT_EQ(GetMailTaskState(), kMailTaskIdle) << c.what;
    auto stored = StoredSubjects(name);
    EXPECT_EQ(Distinct(stored).size(), stored.size()) << c.what << ": a mail stored twice";
    EXPECT_GE(static_cast<int>(stored.size()) + pop_.MessageCount(user_), kMails)
        << c.what << ": a mail deleted on the server that is not stored";
    if (std::string(c.hold) == "USER ") {
      EXPECT_EQ(stored.size(), 0u) << c.what;
    }

    seams::MapHost("pop.example.com", 110, pop_.PlainPort());
    WhileProgressUp(nullptr);
    // An abort that came too late to stop anything leaves nothing to rerun.
    if (!ReceiveAccountWithProgress(frame_, nullptr)) {
      EXPECT_EQ(DetailCode(), kCodeNothingLeft) << c.what;
    }
    stored = StoredSubjects(name);
    EXPECT_EQ(stored.size(), static_cast<size_t>(kMails)) << c.what;
    EXPECT_EQ(Distinct(stored).size(), static_cast<size_t>(kMails)) << c.what;
    EXPECT_EQ(pop_.MessageCount(user_), 0) << c.what;
  }
}

// The outbox goes out over STARTTLS with AUTH; the listed-id send only the
// listed ones; a run that sends nothing is a failure.
TEST_F(TransferTest, SendWithStartTlsAndAuthBehindTheProgressWindow) {
  const DWORD outbox = account_.trays[3];
  const auto queue = [&](const std::string& subject) {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(outbox));
    const std::string raw = "From: Me <me@example.com>\r\nTo: you@example.net\r\nSubject: " + subject +
                            "\r\nDate: Tue, 01 Dec 2026 09:00:00 +0900\r\n\r\nbody of " + subject + "\r\n";
    unsigned long id = 0;
    EXPECT_TRUE(box->CreateMessage(&id, static_cast<unsigned long>(raw.size())));
    std::unique_ptr<QvMessageInterface> m(box->OpenMessage(id));
    EXPECT_TRUE(m && m->Write(raw));
    return id;
  };
  const auto waiting = [&] {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(outbox));
    Ids ids;
    EXPECT_TRUE(box && box->GetMessageIds(&ids));
    return ids;
  };
  // Nothing waiting: refused, no sender made, no window.
  uint32_t code = 0;
  int32_t detail = -1;
  QvRasHolder holder;
  EXPECT_FALSE(SendMessages(nullptr, &code, &detail, &holder, {}));
  EXPECT_EQ(code, 0u);

  queue("first");
  queue("second");
  WhileProgressUp(nullptr);
  EXPECT_TRUE(SendMessagesWithProgress(frame_, {})) << std::hex << DetailCode() << smtp_.Log();
  const std::vector<std::string> mail = smtp_.WaitForMail(2);
  ASSERT_EQ(mail.size(), 2u) << smtp_.Log();
  EXPECT_NE(mail[0].find("Subject: first"), std::string::npos);
  EXPECT_NE(mail[1].find("Subject: second"), std::string::npos);
  EXPECT_TRUE(waiting().empty());

  const unsigned long third = queue("third");
  queue("fourth");
  WhileProgressUp(nullptr);
  EXPECT_TRUE(SendMessagesWithProgress(frame_, {third}));
  EXPECT_EQ(smtp_.WaitForMail(3).size(), 3u);
  EXPECT_EQ(waiting().size(), 1u);

  // The fourth went out once already but could not be filed: the run passes
  // over it, sends nothing and calls itself failed.
  {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    std::unique_ptr<QvMessageInterface> m(storage->OpenMessage(waiting().front()));
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kState;
    a.state = Sender::kSentNotFiled;
    ASSERT_TRUE(m && m->SetAttributes(a));
  }
  code = 0;
  QvRasHolder again;
  EXPECT_FALSE(SendMessages(nullptr, &code, &detail, &again, waiting()));
  EXPECT_EQ(smtp_.WaitForMail(3).size(), 3u);
  EXPECT_EQ(GetMailTaskState(), kMailTaskIdle);
}

// A send aborted while the server has not yet taken the message leaves it in
// the outbox; the rerun sends it once.
TEST_F(TransferTest, SendAbortedBeforeTheServerTookItIsSentOnceByTheRerun) {
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
  std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(account_.trays[3]));
  const std::string raw =
      "From: Me <me@example.com>\r\nTo: you@example.net\r\nSubject: aborted\r\nDate: Tue, 01 Dec 2026 09:00:00 "
      "+0900\r\n\r\nbody\r\n";
  unsigned long id = 0;
  ASSERT_TRUE(box->CreateMessage(&id, static_cast<unsigned long>(raw.size())));
  {
    std::unique_ptr<QvMessageInterface> m(box->OpenMessage(id));
    ASSERT_TRUE(m && m->Write(raw));
  }
  // The abort comes with the window's first idle: before the session is up.
  WhileProgressUp([&] {
    Abort();
    return true;
  });
  SendMessagesWithProgress(frame_, {});
  const size_t first = smtp_.WaitForMail(1).size();
  Ids left;
  ASSERT_TRUE(box->GetMessageIds(&left));
  // Either it went out (and left the outbox) or it waits there: never both.
  EXPECT_EQ(first + left.size(), 1u);
  WhileProgressUp(nullptr);
  if (!left.empty()) {
    EXPECT_TRUE(SendMessagesWithProgress(frame_, {}));
  }
  EXPECT_EQ(smtp_.WaitForMail(1).size(), 1u);
  ASSERT_TRUE(box->GetMessageIds(&left));
  EXPECT_TRUE(left.empty());
}

// Clearing the server of the mail the device holds asks first, then runs
// behind the progress window, where an abort stops it before the server
// removed anything.
TEST_F(TransferTest, ClearingTheServerAsksThenRunsBehindTheProgressWindowWithAbort) {
  struct Case {
    const char* what;
    int answer;
    const char* hold;  // null: no abort
    int left;
  };
  const Case cases[] = {
      {"answered no", IDNO, nullptr, 3},
      {"aborted at the login", IDYES, "USER ", 3},
      {"run through", IDYES, nullptr, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring name = L"Cl" + std::to_wstring(++n);
    MakeAccount(name);
    PointAt(name, pop_.NewMailbox(), &user_);
    Settings keep;
    keep.Select(Settings::kMessageLeavingEnabled);
    keep.bMessageLeavingEnabled = false;  // left on the server
    SetSettings(name, keep);
    ASSERT_TRUE(OpenCurrentAccount(name));
    Deliver(3, c.what);
    WhileProgressUp(nullptr);
    ASSERT_TRUE(ReceiveAccountWithProgress(frame_, nullptr)) << c.what;
    ASSERT_EQ(pop_.MessageCount(user_), 3) << c.what;
    Script().clear();
    seams::SetQuestionAnswer(c.answer);
    std::unique_ptr<HoldingRelay> relay;
    if (c.hold != nullptr) {
      relay = std::make_unique<HoldingRelay>(pop_.PlainPort(), c.hold);
      seams::MapHost("pop.example.com", 110, relay->Port());
    }
    bool windowSeen = false;
    WhileProgressUp([&] {
      windowSeen = windowSeen || ProgressWindow() != nullptr;
      if (relay && !relay->Held()) return false;
      if (relay) {
        Abort();
        relay->Release();
      }
      return true;
    });
    ClearMessagesOnServer(frame_);
    seams::MapHost("pop.example.com", 110, pop_.PlainPort());
    EXPECT_EQ(pop_.MessageCount(user_), c.left) << c.what << std::hex << DetailCode();
    EXPECT_EQ(windowSeen, c.answer == IDYES) << c.what;
    EXPECT_EQ(StoredSubjects(name).size(), 3u) << c.what;
    EXPECT_EQ(GetMailTaskState(), kMailTaskIdle) << c.what;
    Script().clear();
  }
}

// ---- password prompts ----

std::atomic<int> Prompts{0};
std::atomic<bool> PromptShowedNote{false};
CString PromptAnswer;
bool PromptAnswers = true;

bool ScriptedPrompt(const PasswordPromptRequest& request, CString* password) {
  ++Prompts;
  PromptShowedNote = request.showNote;
  if (!PromptAnswers) return false;
  *password = PromptAnswer;
  return request.parent != nullptr;
}

TEST_F(TransferTest, PasswordPromptsAskOnlyWhenNothingIsSavedAndTheCacheServesOneRound) {
  SetPasswordPromptRunnerForTest(ScriptedPrompt);
  struct Case {
    const char* what;
    bool popSaved, sameUserPass, smtpSaved, popBeforeSmtp, smtpAuth, smtpServerAuth;
    bool smtp;  // the send's prompt, else the receive's
    int prompts;
    bool note;
  };
  const Case cases[] = {
      {"POP saved", true, false, false, false, false, false, false, 0, false},
      {"POP not saved", false, false, false, false, false, false, false, 1, false},
      {"SMTP server needs no auth", false, false, false, true, true, false, true, 0, false},
      {"SMTP AUTH with the POP password", false, true, false, false, true, true, true, 1, false},
      {"SMTP AUTH, its own password not saved", true, false, false, false, true, true, true, 1, true},
      {"SMTP AUTH, its own password saved", false, false, true, false, true, true, true, 0, false},
      {"POP before SMTP", false, false, false, true, false, true, true, 1, false},
      {"neither", false, false, false, false, false, true, true, 0, false},
  };
  RegisterSecondWindow(frame_);
  for (const Case& c : cases) {
    Settings s;
    for (uint32_t bit : {Settings::kPopPasswdSavingEnabled, Settings::kUseSameUserPass,
                         Settings::kSmtpPasswdSavingEnabled, Settings::kPopBeforeSmtpEnabled,
                         Settings::kSmtpAuthEnabled, Settings::kSmtpSvrAuthEnabled}) {
      s.Select(bit);
    }
    s.bPopPasswdSavingEnabled = c.popSaved;
    s.bUseSameUserPass = c.sameUserPass;
    s.bSmtpPasswdSavingEnabled = c.smtpSaved;
    s.bPopBeforeSmtpEnabled = c.popBeforeSmtp;
    s.bSmtpAuthEnabled = c.smtpAuth;
    s.bSmtpSvrAuthEnabled = c.smtpServerAuth;
    SetSettings(L"Acc", s);
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
    Prompts = 0;
    PromptAnswer = L"typed-1";
    CString password;
    bool typed = false;
    const bool got = c.smtp ? PromptSmtpPassword(info.get(), L"Acc", &password, &typed)
                            : PromptPopPassword(info.get(), L"Acc", &password, &typed);
    EXPECT_TRUE(got) << c.what;
    EXPECT_EQ(Prompts.load(), c.prompts) << c.what;
    EXPECT_EQ(typed, c.prompts == 1) << c.what;
    EXPECT_EQ(password, CString(c.prompts == 1 ? L"typed-1" : L"")) << c.what;
    if (c.prompts == 1) {
      EXPECT_EQ(PromptShowedNote.load(), c.note) << c.what;
    }
  }
  // The POP password typed for a send-and-receive serves its receive, and
  // nothing after the reset.
  ResetRememberedPassword(true);
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  Prompts = 0;
  std::string password;
  ASSERT_TRUE(GetAccountPassword(info.get(), L"Acc", &password, nullptr));
  ASSERT_TRUE(GetAccountPassword(info.get(), L"Acc", &password, nullptr));
  EXPECT_EQ(Prompts.load(), 1);
  EXPECT_EQ(password, "typed-1");
  ResetRememberedPassword(false);
  ASSERT_TRUE(GetAccountPassword(info.get(), L"Acc", &password, nullptr));
  EXPECT_EQ(Prompts.load(), 2);
  // A cancelled prompt gives no password.
  PromptAnswers = false;
  EXPECT_FALSE(GetAccountPassword(info.get(), L"Acc", &password, nullptr));
  PromptAnswers = true;
  RegisterSecondWindow(nullptr);
}

// The real dialog, shown from the task's thread over the progress window:
// the typed password logs in; a cancel ends the task as refused (code 0) and
// leaves the busy state idle; its picture is kept.
TEST_F(TransferTest, PasswordDialogFromTheTaskThreadOverTheProgressWindow) {
  Settings s;
  s.Select(Settings::kPopPasswdSavingEnabled);
  s.Select(Settings::kPopPasswd);
  s.bPopPasswdSavingEnabled = false;
  s.strPopPasswd = L"";
  SetSettings(L"Acc", s);
  ASSERT_TRUE(OpenCurrentAccount(L"Acc"));
  struct Case {
    const char* what;
    const wchar_t* typed;  // null: cancel
    bool received;
  };
  const Case cases[] = {
      {"a full-width character is refused, then the right one", L"ｐｏｐ", true},
      {"an empty password is refused, then the right one", L"", true},
      {"cancel", nullptr, false},
  };
  const char* dir = std::getenv("QV_BINARY_DIR");
  const std::wstring right(pop_.Password().begin(), pop_.Password().end());
  size_t delivered = 0;
  for (const Case& c : cases) {
    Deliver(2, c.what);
    delivered += c.received ? 2 : 0;
    HWND parent = nullptr;
    HWND owner = nullptr;
    bool stayedOpen = false;
    LONG fieldRight = 0;
    bool hasBar = false;
    bool saved = false;
    int round = 0;
    WhileProgressUp([&] {
      const HWND dialog = QvPasswordDlg::Showing();
      if (dialog == nullptr) return false;
      if (round == 0) {
        parent = ::GetParent(dialog);
        owner = ProgressWindow();
        saved = seams::SaveScreenPng(std::string(dir && *dir ? dir : ".") + "/app-password-dialog.png");
        RECT field{};
        ::GetWindowRect(::GetDlgItem(dialog, QvPasswordDlg::kPasswordField), &field);
        fieldRight = field.right;
        hasBar = SHFindMenuBar(dialog) != nullptr;
      }
      if (c.typed == nullptr) {
        ::PostMessageW(dialog, kCloseRequestMessage, 0, 0);
        return true;
      }
      if (round == 0) {
        ::SetDlgItemTextW(dialog, QvPasswordDlg::kPasswordField, c.typed);
        ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        stayedOpen = ::IsWindow(dialog) && QvPasswordDlg::Showing() == dialog;
        ++round;
        return false;
      }
      ::SetDlgItemTextW(dialog, QvPasswordDlg::kPasswordField, right.c_str());
      ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      return true;
    });
    const bool received = ReceiveAccountWithProgress(frame_, nullptr);
    EXPECT_EQ(received, c.received) << c.what << std::hex << DetailCode();
    EXPECT_NE(owner, nullptr) << c.what;
    EXPECT_EQ(parent, owner) << c.what << ": the dialog's parent is the progress window";
    EXPECT_TRUE(saved) << c.what;
    EXPECT_LE(fieldRight, GetSystemMetrics(SM_CXSCREEN)) << c.what << ": the field stays on the screen";
    EXPECT_TRUE(hasBar) << c.what << ": the dialog has its own soft keys";
    if (c.typed != nullptr) {
      EXPECT_TRUE(stayedOpen) << c.what;
    }
    if (c.typed == nullptr) {
      EXPECT_EQ(DetailCode(), 0u) << c.what << ": cancelled, not failed";
    }
    EXPECT_EQ(GetMailTaskState(), kMailTaskIdle) << c.what;
  }
  EXPECT_EQ(StoredSubjects().size(), delivered);
}

// The person aborts while the task still opens the account and asks for the
// password: the retriever made after that hears the abort before its run.
TEST_F(TransferTest, AnAbortBeforeTheRetrieverIsMadeEndsTheReceiveAtItsStart) {
  Settings s;
  s.Select(Settings::kPopPasswdSavingEnabled);
  s.Select(Settings::kPopPasswd);
  s.bPopPasswdSavingEnabled = false;
  s.strPopPasswd = L"";
  SetSettings(L"Acc", s);
  ASSERT_TRUE(OpenCurrentAccount(L"Acc"));
  Deliver(2, "aborted early");
  static std::wstring password;
  static bool abort;
  password.assign(pop_.Password().begin(), pop_.Password().end());
  abort = true;
  SetPasswordPromptRunnerForTest([](const PasswordPromptRequest& request, CString* typed) {
    if (abort) ::SendMessageW(request.parent, WM_COMMAND, IDCANCEL, 0);  // from the task's thread, as a tap would
    *typed = password.c_str();
    return true;
  });
  WhileProgressUp(nullptr);
  EXPECT_FALSE(ReceiveAccountWithProgress(frame_, nullptr));
  abort = false;
  EXPECT_TRUE(StoredSubjects().empty()) << "nothing fetched";
  EXPECT_EQ(pop_.MessageCount(user_), 2) << "nothing deleted";
  EXPECT_EQ(GetMailTaskState(), kMailTaskIdle);
  // The next receive is not touched by the abort that is over.
  WhileProgressUp(nullptr);
  EXPECT_TRUE(ReceiveAccountWithProgress(frame_, nullptr)) << std::hex << DetailCode();
  SetPasswordPromptRunnerForTest(nullptr);
  EXPECT_EQ(StoredSubjects().size(), 2u);
}

// ---- the periodic pass ----

// Accounts over TLS wait until the plain ones are done, every one of them
// however many (more than ten).
TEST_F(TransferTest, PeriodicPassReceivesPlainAccountsFirstThenEveryTlsOne) {
  constexpr int kTls = 11;
  std::vector<std::wstring> names;
  std::map<std::wstring, std::string> users;
  const auto make = [&](const std::wstring& name, bool ssl) {
    MakeAccount(name);
    PointAt(name, pop_.NewMailbox(), &users[name]);
    Settings s;
    for (uint32_t bit : {Settings::kSSLEnabled, Settings::kPopServerPort, Settings::kPeriodicRetrievingEnabled}) {
      s.Select(bit);
    }
    s.bSSLEnabled = ssl;
    s.uiPopServerPort = ssl ? 995 : 110;
    s.bPeriodicRetrievingEnabled = true;
    SetSettings(name, s);
    pop_.AddMessage(users[name], NumberedMail(1, std::string(name.begin(), name.end())));
    names.push_back(name);
  };
  for (int i = 0; i < kTls; ++i) make(L"T" + std::to_wstring(i), true);
  make(L"P1", false);
  make(L"P2", false);
  const size_t logStart = pop_.Log().size();
  EXPECT_TRUE(RunPeriodicReceive());
  const std::string log = pop_.Log().substr(logStart);
  std::vector<std::string> order;
  const std::regex login("Login: user=<([^>]+)>");
  for (auto it = std::sregex_iterator(log.begin(), log.end(), login); it != std::sregex_iterator(); ++it) {
    order.push_back((*it)[1]);
  }
  ASSERT_GE(order.size(), 2u) << log;
  EXPECT_EQ(order[0], users[L"P1"]);
  EXPECT_EQ(order[1], users[L"P2"]);
  for (const std::wstring& name : names) {
    EXPECT_EQ(StoredSubjects(name).size(), 1u) << std::string(name.begin(), name.end());
    EXPECT_EQ(NoRead(name), 1u) << std::string(name.begin(), name.end());
  }
  EXPECT_EQ(GetMailTaskState(), kMailTaskIdle);
}

// A stop that comes as the periodic thread starts, before its retriever
// exists or before its run begins, ends the pass at once: it never waits out
// a receive. The server never answers the login here, so a stop that went
// unheard would wait for the reply deadline.
TEST_F(TransferTest, StopRacingThePeriodicStartDoesNotWaitOutTheReceive) {
  Settings s;
  s.Select(Settings::kPeriodicRetrievingEnabled);
  s.bPeriodicRetrievingEnabled = true;
  SetSettings(L"Acc", s);
  Deliver(2, "never");
  seams::SetReplyDeadline(120000, 1);
  for (int round = 0; round < 20; ++round) {
    HoldingRelay relay(pop_.PlainPort(), "USER ");
    seams::MapHost("pop.example.com", 110, relay.Port());
    ASSERT_NE(StartPeriodicReceiveThread(), nullptr) << round;
    EndPeriodicPauseForTest();
    auto stopped = std::async(std::launch::async, [] { StopPeriodicReceiveThread(); });
    // Far beyond any stop heard, far below the deadline of an unheard one.
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(60)), std::future_status::ready) << round;
    EXPECT_FALSE(IsPeriodicReceiveRunning()) << round;
    EXPECT_FALSE(relay.Held() && StoredSubjects().size() > 0) << round;
  }
  EXPECT_EQ(StoredSubjects().size(), 0u);
  EXPECT_EQ(pop_.MessageCount(user_), 2);
}

}  // namespace
}  // namespace qv::test
