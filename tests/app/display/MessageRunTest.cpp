// The message window of the real program in the tests' X server: a
// received ISO-2022-JP mail with pictographs read, the next one (decorated,
// with two inline pictures) read by stepping, a reply stored as a draft and
// another sent through postfix, its bytes checked; then hostile mail read
// (links to files and scripts, attachments that climb out of their folder
// or are programs, ten thousand addresses) with nothing run and nothing
// written outside the message folder. Each state is kept as a PNG.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/protocol/BoxCommands.h"
#include "app/protocol/Commands.h"
#include "app/protocol/MailListCommands.h"
#include "app/protocol/WindowMessages.h"
#include "engine/public/content/Email.h"
#include "platform/base/WideText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/store/MailHistory.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/PostfixPeer.h"
#include "tests/app/display/RunAccount.h"

#include "tests/app/display/ProgramRun.h"  // last: Xlib's macros

namespace {

using namespace qv::test;
constexpr const wchar_t* kAccount = L"仕事";
constexpr const wchar_t* kTitle = L"T-VELA4メール ";

// A red JPEG of 60 x 40: decorated mail shows GIF and JPEG pictures in its text.
std::string Picture() {
  std::vector<DWORD> red(60 * 40, 0xFF0000);
  BitmapData data{60, 40, 60 * 4, PixelFormat32bppRGB, red.data(), 0};
  std::vector<BYTE> jpeg;
  qv::EncodeJpeg(data, 90, &jpeg);
  return Base64(std::string(jpeg.begin(), jpeg.end()));
}

// The mails, newest first: the list opens on the first.
std::vector<std::string> ReadingMails() {
  std::string related = "Content-Type: multipart/related; boundary=\"R\"\r\n\r\n--R\r\nContent-Type: text/html; "
                        "charset=UTF-8\r\n\r\n<div><font color=\"#0000FF\" size=\"5\">装飾メール</font></div><img "
                        "src=\"cid:a@example.jp\"><div><b>二枚目</b></div><img src=\"cid:b@example.jp\">\r\n";
  for (const char* id : {"a", "b"}) {
    related += std::string("--R\r\nContent-Type: image/jpeg; name=\"") + id + ".jpg\"\r\nContent-ID: <" + id +
               "@example.jp>\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Picture() + "\r\n";
  }
  return {
      // "お天気" in ISO-2022-JP with the web sunny and cloudy pictographs (their
      // code-page pairs carried raw between the escapes).
      "From: friend@example.jp\r\nTo: me@example.com\r\nSubject: =?ISO-2022-JP?B?GyRCJCpFNzUkGyhC?=\r\n"
      "Message-ID: <iso@example.jp>\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n"
      "\x1b$B$*E75$\x90\x21\x90\x22\x1b(B\r\n",
      "From: shop@example.jp\r\nTo: me@example.com\r\nSubject: =?UTF-8?B?6KOF6aO+44Oh44O844Or?=\r\n"
      "Message-ID: <deco@example.jp>\r\nMIME-Version: 1.0\r\n" + related + "--R--\r\n",
  };
}

std::vector<std::string> HostileMails() {
  std::string many = "To: ";
  for (int i = 0; i < 10000; ++i) many += "u" + std::to_string(i) + "@example.jp, ";
  many += "last@example.jp\r\n";
  const std::string attach = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"M\"\r\n\r\n--M\r\n"
                             "Content-Type: text/plain\r\n\r\nsee attached\r\n--M\r\n";
  return {
      "From: a@example.jp\r\nTo: me@example.com\r\nSubject: links\r\n\r\nfile:///etc/passwd\r\n"
      "javascript:alert(1)\r\n",
      "From: b@example.jp\r\nTo: me@example.com\r\nSubject: climb\r\n" + attach +
          "Content-Type: application/x-sh; name=\"../../x.sh\"\r\nContent-Disposition: attachment; "
          "filename=\"../../x.sh\"\r\n\r\n#!/bin/sh\r\ntouch /tmp/qv-hostile-ran\r\n--M--\r\n",
      "From: c@example.jp\r\nTo: me@example.com\r\nSubject: program\r\n" + attach +
          "Content-Type: application/octet-stream; name=\"run.exe\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
          "TVqQAAMAAAAEAAAA//8AALgAAAAAAAAAQAAAAAAAAAAA\r\n--M--\r\n",
      "From: d@example.jp\r\n" + many + "Subject: many\r\n\r\nten thousand\r\n",
  };
}

class MessageRun : public DisplayTest {
 protected:
  void TearDown() override {
    KillProgram(pid_);
    DisplayTest::TearDown();
  }
  // The account, its servers (postfix when given) and the mails in its receive box, oldest last.
  void MakeBox(const std::vector<std::string>& mails, PostfixPeer* smtp, DovecotPeer* pop = nullptr,
               const std::string& user = "") {
    RunTrays trays;
    ASSERT_TRUE(MakeRunAccount(kAccount, smtp, pop, user, &trays));
    box_ = trays.box;
    drafts_ = trays.drafts;
    std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(kAccount, L""));
    ASSERT_TRUE(account);
    std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
    std::unique_ptr<QvFolderInterface> folder(storage ? storage->OpenFolder(box_) : nullptr);
    ASSERT_TRUE(folder);
    for (size_t i = 0; i < mails.size(); ++i) {
      std::string raw = mails[i];
      Email mail;
      ASSERT_TRUE(EmlCompose().Decode(&mail, &raw));
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kKind | QvMessageInterface::kDate | QvMessageInterface::kIsHtml |
               QvMessageInterface::kListFields;
      a.kind = QvMessageInterface::kReceived;
      a.isHtml = raw.find("text/html") != std::string::npos;
      a.date = a.listTime = SYSTEMTIME{2026, 12, 4, 10, 12, static_cast<WORD>(59 - i), 0, 0};
      a.listText1 = L"me@example.com";
      a.listText2 = a.listShort1 = mail.fromAddress;
      a.listShort2 = mail.subject.substr(0, 31);
      unsigned long id = 0;
      ASSERT_TRUE(folder->CreateMessage(&id, a, raw));
    }
  }
  static std::vector<std::string> RawIn(DWORD folderId) { return RawStored(kAccount, folderId); }
  static size_t CountIn(DWORD folderId) { return CountStored(kAccount, folderId); }
  // The program up on the launcher, then the receive box's list on its newest mail.
  void Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    log_ = root_ + "/program.log";
    pid_ = StartProgram(root_, log_, args, env);
    ASSERT_GT(pid_, 0);
  }
  HWND OpenList(const std::vector<std::string>& env = {}) {
    Start({}, env);
    EXPECT_TRUE(Within(std::chrono::seconds(30), [&] {
      return ReadFile(log_).find("QvMail: launcher shown") != std::string::npos;
    })) << ReadFile(log_);
    HWND frame = FindWindowW(L"WCE_QvMailMainFrame", kTitle);
    EXPECT_TRUE(PostMessageW(frame, kOpenReceiveBoxMessage, 0, 0));
    HWND folders = AwaitWindow(L"受信ﾎﾞｯｸｽ");
    EXPECT_TRUE(PostMessageW(folders, WM_COMMAND, kOpenItemCommand, 0));
    return AwaitWindow(L"受信ﾌｫﾙﾀﾞ");
  }
  HWND AwaitSheet(HWND other = nullptr) { return AwaitWindow(kTitle, other, L"Dialog"); }
  Shot Keep(const std::string& name, const Shot* before = nullptr) {
    return KeepSettled(pid_, OutputPath(name), before);
  }

  pid_t pid_ = -1;
  std::string log_;
  DWORD box_ = 0, drafts_ = 0;
};

TEST_F(MessageRun, ReadStepReplyStoreAndSendThroughPostfix) {
  if (IsSkipped()) return;
  PostfixPeer& smtp = PostfixPeer::Shared();
  ASSERT_TRUE(smtp.Ready()) << smtp.Error();
  DovecotPeer& pop = DovecotPeer::Shared();
  ASSERT_TRUE(pop.Ready()) << pop.Error();
  smtp.ClearMail();
  const std::string user = pop.NewMailbox();
  MakeBox(ReadingMails(), &smtp, &pop, user);
  // The device trusts both peers' authorities.
  const std::string cas = root_ + "/cas.pem";
  std::ofstream(cas, std::ios::binary) << ReadFile(smtp.CaFile()) << ReadFile(pop.CaFile());
  HWND list = OpenList({"SSL_CERT_FILE=" + cas});
  ASSERT_NE(list, nullptr) << Tail(ReadFile(log_));
  const Shot listed = Settled(pid_);
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kViewMessageCommand, 0));
  HWND viewer = AwaitSheet();
  ASSERT_NE(viewer, nullptr) << Tail(ReadFile(log_));
  const Shot iso = Keep("message-run-1-iso2022jp.png", &listed);
  ASSERT_TRUE(PostMessageW(viewer, kStepMessageRequest, 0, 0));
  const Shot deco = Keep("message-run-2-decorated.png", &iso);
  EXPECT_GT(Differing(iso, deco, 60, 600), 1000) << "the next mail stands where the first stood";
  EXPECT_TRUE(IsWindow(viewer)) << "the viewer stays on the next mail";

  // Closed, the list stands on the decorated mail: a reply from there
  // stored as a draft (the sheet closes after its notice).
  ASSERT_TRUE(PostMessageW(viewer, WM_COMMAND, IDOK, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(viewer); }));
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kReplySenderCommand, 0));
  HWND reply = AwaitSheet();
  ASSERT_NE(reply, nullptr) << Tail(ReadFile(log_));
  Keep("message-run-3-reply.png", &deco);
  ASSERT_TRUE(PostMessageW(reply, WM_COMMAND, kSaveDraftCommand, 0));
  // (The store is read from here only once the program is done with it.)
  const bool closed = Within(std::chrono::seconds(20), [&] { return !IsWindow(reply); });
  Keep("message-run-4-stored.png");
  ASSERT_TRUE(closed) << Tail(ReadFile(log_));
  EXPECT_EQ(CountIn(drafts_), 1u);

  // Another reply sent: the account sends at once, through postfix.
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kReplySenderCommand, 0));
  reply = AwaitSheet();
  ASSERT_NE(reply, nullptr);
  ASSERT_TRUE(PostMessageW(reply, WM_COMMAND, kSendMessageCommand, 0));
  const std::vector<std::string> sent = smtp.WaitForMail(1);
  ASSERT_EQ(sent.size(), 1u) << Tail(ReadFile(log_)) << smtp.Log();
  const std::string& bytes = sent[0];
  // "Re: 装飾メール" in ISO-2022-JP, both bodies in its charset.
  // (postfix keeps its queue files with bare line feeds.)
  for (const char* part : {"\nTo: shop@example.jp\n", "\nFrom: me@example.com\n", "\nIn-Reply-To: <deco@example.jp>\n",
                           "\nSubject: =?iso-2022-jp?b?UmU6IBskQkF1Pn4lYSE8JWsbKEI=?=\n",
                           "Content-Type: text/plain; charset=iso-2022-jp\n",
                           "Content-Type: text/html; charset=\"iso-2022-jp\"\n"}) {
    EXPECT_NE(bytes.find(part), std::string::npos) << part << "\n" << bytes;
  }
  // The notice that the send is done, taken.
  HWND done = AwaitWindow(L"お知らせ");
  Keep("message-run-5-after-send.png");
  ASSERT_NE(done, nullptr);
  ASSERT_TRUE(PostMessageW(done, WM_COMMAND, IDOK, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(done); }));

  // The same bytes read back from dovecot by the program's receive.
  pop.AddMessage(user, bytes);
  for (HWND screen : {list, FindWindowW(nullptr, L"受信ﾎﾞｯｸｽ")}) {
    ASSERT_TRUE(PostMessageW(screen, WM_COMMAND, IDCANCEL, 0));
    ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(screen); }));
  }
  HWND frame = FindWindowW(L"WCE_QvMailMainFrame", kTitle);
  ASSERT_TRUE(PostMessageW(frame, WM_COMMAND, kReceiveCommand, 0));
  std::vector<std::string> stored;
  EXPECT_TRUE(Within(std::chrono::seconds(60), [&] { return (stored = RawIn(box_)).size() == 3; }))
      << Tail(ReadFile(log_)) << pop.Log();
  const auto bare = [](std::string t) {
    t.erase(std::remove(t.begin(), t.end(), '\r'), t.end());
    return t;
  };
  EXPECT_TRUE(std::any_of(stored.begin(), stored.end(), [&](const std::string& r) { return bare(r) == bare(bytes); }))
      << "stored as sent, byte for byte but the line ends";
  Keep("message-run-6-received.png");
}

// Another program's compose request: a mailto (in the device's code page)
// with a pictograph in its body and a file to attach, which is taken off
// again in the page; the draft keeps the pictograph and no attachment.
TEST_F(MessageRun, AComposeRequestWithAPictographAndAnAttachmentStoredAsDraft) {
  if (IsSkipped()) return;
  MakeBox({}, nullptr);
  std::filesystem::create_directories(root_ + "/My Documents");
  std::ofstream(root_ + "/My Documents/note.txt") << "attached note\r\n";
  {
    // One correspondent in each history, for the address chooser to offer.
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(kAccount, L""));
    ASSERT_TRUE(info);
    MailHistory history;
    st_MAILHISTORYDATA received{"20261209080500", "friend@example.jp"}, sent{"20261210123000", "shop@example.jp"};
    ASSERT_EQ(history.RegistRecvHistoryData(&received, info.get()), 0);
    ASSERT_EQ(history.RegistSendHistoryData(&sent, info.get()), 0);
  }
  Start({"mailto:shop@example.jp?subject=order&body=%90%B0%F8%9F", "-attach", "\\My Documents\\note.txt"});
  HWND sheet = AwaitSheet();
  ASSERT_NE(sheet, nullptr) << Tail(ReadFile(log_));
  const Shot two = Keep("message-run-7-compose-request.png");
  // The attachment taken off again: a tap on it, then its menu's "添付ファイル削除".
  Tap(pid_, 140, 247);
  Tap(pid_, 270, 327);
  const Shot removed = Keep("message-run-8-attachment-removed.png", &two);
  // The address chooser's history sources: each history opens over the
  // compose page and Back returns to it.
  for (const auto& [command, title, picture] :
       {std::tuple{40220, L"受信履歴", "message-run-9-receive-history.png"},
        std::tuple{40215, L"送信履歴", "message-run-10-send-history.png"}}) {
    ASSERT_TRUE(PostMessageW(sheet, WM_COMMAND, command, 0));
    HWND history = AwaitWindow(title);
    ASSERT_NE(history, nullptr) << title << "\n" << Tail(ReadFile(log_));
    Keep(picture, &removed);
    ASSERT_TRUE(PostMessageW(history, WM_COMMAND, IDCANCEL, 0));
    ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(history); })) << title;
  }
  ASSERT_TRUE(PostMessageW(sheet, WM_COMMAND, kSaveDraftCommand, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(sheet); })) << Tail(ReadFile(log_));
  const std::vector<std::string> drafts = RawIn(drafts_);
  ASSERT_EQ(drafts.size(), 1u);
  std::string raw = drafts[0];
  Email mail;
  ASSERT_TRUE(EmlCompose().Decode(&mail, &raw));
  EXPECT_NE(mail.body.find(L"晴\xE63E"), std::wstring::npos) << qv::WideToUtf8(mail.body) << "\n" << raw;
  EXPECT_TRUE(mail.attachments.empty()) << raw;
  EXPECT_EQ(raw.find("note.txt"), std::string::npos);
}

TEST_F(MessageRun, HostileMailIsShownWithNothingRunOrWrittenOutside) {
  if (IsSkipped()) return;
  std::filesystem::remove("/tmp/qv-hostile-ran");
  MakeBox(HostileMails(), nullptr);
  HWND list = OpenList();
  ASSERT_NE(list, nullptr) << Tail(ReadFile(log_));
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kViewMessageCommand, 0));
  HWND viewer = AwaitSheet();
  ASSERT_NE(viewer, nullptr) << Tail(ReadFile(log_));
  Shot last = Keep("message-run-hostile-1.png");
  for (int i = 2; i <= 4; ++i) {
    ASSERT_TRUE(PostMessageW(viewer, kStepMessageRequest, 0, 0));
    last = Keep("message-run-hostile-" + std::to_string(i) + ".png", &last);
    ASSERT_TRUE(IsWindow(viewer)) << i << Tail(ReadFile(log_));
  }
  // Ten thousand addresses: shown cut, with the notice that says so.
  HWND notice = AwaitWindow(L"お知らせ");
  ASSERT_NE(notice, nullptr) << Tail(ReadFile(log_));
  ASSERT_TRUE(PostMessageW(notice, WM_COMMAND, IDOK, 0));
  Keep("message-run-hostile-5.png", &last);
  EXPECT_TRUE(IsWindow(viewer));
  EXPECT_FALSE(std::filesystem::exists("/tmp/qv-hostile-ran"));
  // Every unpacked part lies in the message window's own folder.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
    const std::string path = entry.path().string();
    if (entry.path().filename() == "x.sh" || entry.path().filename() == "run.exe") {
      EXPECT_NE(path.find("/_TempFiles/_V/"), std::string::npos) << path;
    }
  }
}

}  // namespace
