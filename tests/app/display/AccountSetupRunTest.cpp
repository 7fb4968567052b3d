// The real program's first use under the tests' X server, driven through X
// input as a person drives it (pointer taps, typed keys): the package is
// installed on an empty device root as `make run` installs it; with no
// account the account list comes up by itself; an account is made through
// the name page and the account sheet against the tests' dovecot (POP3 over
// TLS) and postfix; a classification rule files one sender's mail into a
// folder chosen from the tree; a receive from the frame's menu fetches the
// waiting mail, and the filed one is seen in its folder's mail list. Every
// step is kept as a PNG read back from the X server.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/base/WideText.h"
#include "platform/imaging/Imaging.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"
#include "tests/support/DovecotPeer.h"

#include "tests/app/display/ProgramRun.h"  // last: Xlib's macros

namespace {

using namespace qv::test;

// The message count of the account's receive box and of each folder below it, by name.
std::map<std::wstring, size_t> MessagesByFolder(const std::wstring& name) {
  std::map<std::wstring, size_t> counts;
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  QvAccountInfoInterface::Attributes s;
  s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  if (!account || !account->GetAccountInfoAttributes(&s)) return counts;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> box(storage ? storage->OpenFolder(s.ulJusinTrayID) : nullptr);
  std::vector<unsigned long> ids;
  if (!box || !box->GetFolderIds(&ids)) return counts;
  ids.insert(ids.begin(), s.ulJusinTrayID);
  for (unsigned long id : ids) {
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(id));
    QvFolderInterface::FolderAttributes a;
    a.mask = 1;
    std::vector<unsigned long> messages;
    // The box itself is not among its own children: it is named by its place.
    if (id == s.ulJusinTrayID) a.name = L"(box)";
    else if (!box->ReadFolderAttributes(id, &a)) continue;
    if (folder && folder->GetMessageIds(&messages)) counts[a.name] = messages.size();
  }
  return counts;
}

class AccountSetupRun : public qv::test::DisplayTest {
 protected:
  void TearDown() override {
    KillProgram(pid_);
    DisplayTest::TearDown();
  }
  // `ca`: the device's trust store holds the tests' CA (OpenSSL's own default file).
  void Start(const std::string& ca) {
    log_ = root_ + "/run.log";
    pid_ = StartProgram(root_, log_, {}, {"SSL_CERT_FILE=" + ca});
    ASSERT_GT(pid_, 0);
  }
  // The package's installer on the test's device root; its exit code.
  int Install() {
    std::string installer = BuiltProgram("/setup/QvMailInstall");
    std::string rootVar = "QVMAIL_DEVICE_ROOT=" + root_;
    std::vector<char*> a = {installer.data(), nullptr}, e = {rootVar.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, installer.c_str(), nullptr, nullptr, a.data(), e.data()) != 0) return -1;
    return WaitEnd(pid, std::chrono::seconds(60));
  }
  bool Up(const wchar_t* title) {
    return Within(std::chrono::seconds(30), [&] { return FindWindowW(nullptr, title) != nullptr; });
  }
  bool Gone(const wchar_t* title) {
    return Within(std::chrono::seconds(30), [&] { return FindWindowW(nullptr, title) == nullptr; });
  }
  void Shot(const std::string& name) {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the last paint reaches the X server
    Keep(GrabWindow(input_.display(), Current()), OutputPath(name));
  }
  // The program's window as it is now (the display may make it anew).
  Window Current() {
    if (Window w = WindowOfProcess(input_.display(), pid_)) window_ = w;
    return window_;
  }
  void TapType(int x, int y, const std::string& text) {
    input_.Tap(Current(), x, y);
    input_.Type(text);
  }

  XInput input_;
  pid_t pid_ = -1;
  Window window_ = 0;
  std::string log_;
};

TEST_F(AccountSetupRun, AnAccountMadeThroughTheSheetsReceivesOverTls) {
  if (IsSkipped()) return;
  ASSERT_TRUE(input_.Ready()) << "the X server's test input (XTEST) is not there";
  qv::test::DovecotPeer& pop = qv::test::DovecotPeer::Shared();
  ASSERT_TRUE(pop.Ready()) << pop.Error();
  const std::string user = pop.NewMailbox();
  pop.AddMessage(user, "From: sender@example.com\r\nTo: " + user +
                           "@example.com\r\nSubject: =?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=\r\n"
                           "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B$3$s$K$A$O\x1b(B\r\n");
  // The one the rule files away.
  pop.AddMessage(user, "From: filed@example.org\r\nTo: " + user + "@example.com\r\nSubject: filed mail\r\n\r\nbody\r\n");
  // An empty device root: the package is installed as `make run` installs it.
  ASSERT_EQ(Install(), 0);
  Start(pop.CaFile());

  // No account: the account list comes up by itself, with its notice.
  ASSERT_TRUE(Up(L"アカウント一覧")) << ReadFile(log_);
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return (window_ = WindowOfProcess(input_.display(), pid_)) != 0; }));
  // The notice that there is no account, when it is up, is taken with Enter.
  const bool notice = Within(std::chrono::seconds(5), [] { return FindWindowW(nullptr, L"お知らせ") != nullptr; });
  Shot("setup-1-no-account.png");
  if (notice) {
    input_.Tap(Current(), 240, 60);  // the pointer over the program: the keys go to it
    input_.Key(XK_Return);
    ASSERT_TRUE(Gone(L"お知らせ"));
  }

  // New: the name, then the account sheet's three pages.
  input_.Tap(Current(), 124, 640);  // 新規作成
  ASSERT_TRUE(Up(L"アカウント名入力"));
  input_.Type("dovecot");
  Shot("setup-2-name.png");
  input_.Tap(Current(), 120, 773);  // 次へ
  ASSERT_TRUE(Up(L"設定：dovecot")) << ReadFile(log_);
  TapType(242, 120, "Taro");
  TapType(242, 204, user + "@example.com");
  TapType(242, 345, "localhost");
  TapType(242, 431, "localhost");
  TapType(242, 514, user);
  TapType(242, 600, pop.Password());
  input_.Tap(Current(), 30, 655);  // save the password
  Shot("setup-3-main-page.png");
  input_.Tap(Current(), 182, 720);  // 詳細設定
  input_.Tap(Current(), 460, 87);
  for (int i = 0; i < 5; ++i) input_.Key(XK_BackSpace);
  input_.Type(std::to_string(pop.PlainPort()));  // the plain listener, which the client raises to TLS (STLS)
  input_.Tap(Current(), 30, 244);  // SSL/TLS
  Shot("setup-4-detail-page.png");
  input_.Tap(Current(), 306, 720);  // 接続/受信
  Shot("setup-5-connection-page.png");
  input_.Tap(Current(), 120, 773);  // OK
  ASSERT_TRUE(Gone(L"設定：dovecot")) << ReadFile(log_);
  Shot("setup-6-account-list.png");
  input_.Tap(Current(), 425, 28);  // the list's OK
  ASSERT_TRUE(Gone(L"アカウント一覧"));
  ASSERT_TRUE(Within(std::chrono::seconds(30), [&] {
    return ReadFile(log_).find("QvMail: launcher shown") != std::string::npos;
  })) << ReadFile(log_);
  // The new account's four boxes stand above the three fixed rows, down to the launcher's seventh row.
  // The list's own rows may still be on the screen for a moment: the picture must have settled.
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] {
    const int before = Inked(GrabWindow(input_.display(), Current()), 240, 370);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return before > 300 && Inked(GrabWindow(input_.display(), Current()), 240, 370) == before;
  }));
  Shot("setup-7-launcher.png");

  // The frame's menu: the classification rules.
  input_.Tap(Current(), 360, 773);  // メニュー
  input_.Tap(Current(), 360, 601);  // 振り分け設定...
  ASSERT_TRUE(Up(L"振り分け設定：dovecot")) << ReadFile(log_);
  Shot("setup-8-rules.png");
  input_.Tap(Current(), 399, 82);  // 新規
  Shot("setup-8a-new.png");
  TapType(320, 86, "filed");
  TapType(320, 190, "filed@example.org");
  Shot("setup-9-rule.png");
  input_.Tap(Current(), 395, 412);  // 選択...
  Shot("setup-10-chooser.png");
  input_.Tap(Current(), 443, 181);  // the receive box's folder tree
  Shot("setup-11-tree.png");
  input_.Tap(Current(), 230, 291);  // フォルダ2
  Shot("setup-12-chosen.png");
  input_.Tap(Current(), 120, 773);  // the chooser's OK
  Shot("setup-13-rule-filled.png");
  input_.Tap(Current(), 120, 773);  // the editor's OK
  Shot("setup-14-rule-list.png");
  input_.Tap(Current(), 120, 773);  // the rule list's OK: the rules are stored
  ASSERT_TRUE(Gone(L"振り分け設定：dovecot")) << ReadFile(log_);

  // Receive: the server logs the account's login over TLS and the mail fetched.
  input_.Tap(Current(), 360, 773);  // メニュー
  input_.Tap(Current(), 360, 379);  // 受信
  const bool fetched = Within(std::chrono::seconds(60), [&] {
    const std::string log = pop.Log();
    return log.find("Login: user=<" + user + ">") != std::string::npos && log.find(", TLS,") != std::string::npos &&
           log.find("retr=2/") != std::string::npos;
  });
  ASSERT_TRUE(fetched) << ReadFile(log_) << pop.Log();
  ASSERT_TRUE(Up(L"お知らせ"));
  Shot("setup-15-received.png");
  input_.Key(XK_Return);
  ASSERT_TRUE(Gone(L"お知らせ"));
  input_.Tap(Current(), 100, 70);  // 受信ﾎﾞｯｸｽ
  Shot("setup-16-receive-box.png");
  input_.Tap(Current(), 100, 219);  // ﾌｫﾙﾀﾞ2: its mail list
  ASSERT_TRUE(Up(L"ﾌｫﾙﾀﾞ2")) << ReadFile(log_);
  Shot("setup-17-filed-mail.png");
  std::ofstream(OutputPath("setup-run.log"), std::ios::binary) << ReadFile(log_);
  // In the store: the rule's mail in ﾌｫﾙﾀﾞ2, the other in the receive folder.
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  EXPECT_EQ(MessagesByFolder(L"dovecot"), (std::map<std::wstring, size_t>{
                                              {L"(box)", 1}, {L"ﾌｫﾙﾀﾞ1", 0}, {L"ﾌｫﾙﾀﾞ2", 1}, {L"ﾌｫﾙﾀﾞ3", 0}}));
  // The password typed into the sheet never reaches the program's log.
  EXPECT_EQ(ReadFile(log_).find(pop.Password()), std::string::npos);
}

}  // namespace
