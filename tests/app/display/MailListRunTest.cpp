// The real program in the tests' X server over a receive box of 200
// Japanese mails (ISO-2022-JP, Shift_JIS and UTF-8, with pictographs, long
// subjects, unread and protected ones), stored through the engine as a
// receive stores them: the mail list opened from the folder screen, sorted,
// marked, a message deleted, the marked ones deleted but the protected.
// Each state is kept as a PNG read back from the X server. The program is
// driven as other programs drive it: integer messages to its windows
// through the device's window table; its boxes are answered the same way.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/foundation/LMessageBox.h"
#include "app/foundation/UiRegistry.h"
#include "app/protocol/BoxCommands.h"
#include "app/protocol/MailListCommands.h"
#include "app/protocol/WindowMessages.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/imaging/Imaging.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"

#include "tests/app/display/ProgramRun.h"  // last: Xlib's macros

namespace {

using namespace qv::test;
using Attr = QvMessageInterface::Attributes;
constexpr const wchar_t* kFrameClass = L"WCE_QvMailMainFrame";
constexpr const wchar_t* kFrameTitle = L"T-VELA4メール ";
constexpr const wchar_t* kAccount = L"仕事";
constexpr const wchar_t* kReceiveFolderName = L"受信ﾌｫﾙﾀﾞ";
constexpr int kMails = 200;
constexpr int kProtected = 20;  // every tenth

// ---- the mails ----

std::string Cp932(const std::wstring& text) {
  const int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Shift_JIS double bytes as JIS X 0208 between the escapes.
std::string Iso2022jp(const std::wstring& text) {
  const std::string sjis = Cp932(text);
  std::string out;
  bool kanji = false;
  for (size_t i = 0; i < sjis.size(); ++i) {
    const auto c1 = static_cast<uint8_t>(sjis[i]);
    if (c1 < 0x80) {
      if (kanji) out += "\x1b(B";
      kanji = false;
      out += static_cast<char>(c1);
      continue;
    }
    const auto c2 = static_cast<uint8_t>(sjis[++i]);
    if (!kanji) out += "\x1b$B";
    kanji = true;
    const int row = c1 < 0xA0 ? c1 - 0x70 : c1 - 0xB0;
    if (c2 < 0x9F) {
      out += static_cast<char>(row * 2 - 1);
      out += static_cast<char>(c2 - (c2 > 0x7F ? 0x20 : 0x1F));
    } else {
      out += static_cast<char>(row * 2);
      out += static_cast<char>(c2 - 0x7E);
    }
  }
  if (kanji) out += "\x1b(B";
  return out;
}

const wchar_t* const kNames[] = {L"山田太郎", L"鈴木花子", L"佐藤一郎", L"高橋美咲", L"田中健"};
const wchar_t* const kTopics[] = {L"会議の日程について", L"週報", L"お見積りのご依頼", L"新年会のお知らせ",
                                  L"出張報告", L"資料送付の件", L"打ち合わせ議事録"};

// Mail i in one of the three charsets; every seventh with a pictograph, every
// eleventh with a subject far longer than a row.
std::string MakeMail(int i) {
  std::wstring subject = std::wstring(kTopics[i % 7]) + L" 第" + std::to_wstring(i) + L"号";
  if (i % 7 == 3) subject += L"\xE63E";  // sunny (a web pictograph)
  if (i % 11 == 0) subject += L"(長い件名の例：この件名は一行に収まらないため末尾が省略されて表示されます)";
  const std::wstring name = kNames[i % 5];
  const std::wstring body = name + L"です。\n" + subject + L"の件、よろしくお願いいたします。\n";
  char date[80];
  static const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  // Later for each mail: the newest (199, with a pictograph; 198, with a
  // long subject) come first in the default order.
  const int day = 1 + i / 8;  // December 2026 starts on a Tuesday
  std::snprintf(date, sizeof date, "%s, %02d Dec 2026 %02d:%02d:00 +0900", kDays[day % 7], day, 8 + i % 8, i % 60);
  std::string from, subjectField, bodyBytes, type, encoding = "7bit";
  switch (i % 3) {
    case 0:
      from = "=?ISO-2022-JP?B?" + Base64(Iso2022jp(name)) + "?=";
      subjectField = "=?ISO-2022-JP?B?" + Base64(Iso2022jp(subject)) + "?=";
      bodyBytes = Iso2022jp(body);
      type = "text/plain; charset=ISO-2022-JP";
      break;
    case 1:
      from = "=?Shift_JIS?B?" + Base64(Cp932(name)) + "?=";
      subjectField = "=?Shift_JIS?B?" + Base64(Cp932(subject)) + "?=";
      bodyBytes = Cp932(body);
      type = "text/plain; charset=Shift_JIS";
      encoding = "8bit";
      break;
    default:
      from = "=?UTF-8?B?" + Base64(qv::WideToUtf8(name)) + "?=";
      subjectField = "=?UTF-8?B?" + Base64(qv::WideToUtf8(subject)) + "?=";
      bodyBytes = qv::WideToUtf8(body);
      type = "text/plain; charset=UTF-8";
      encoding = "8bit";
  }
  return "From: " + from + " <user" + std::to_string(i % 5) + "@example.jp>\r\nTo: me@example.jp\r\nSubject: " +
         subjectField + "\r\nDate: " + date + "\r\nMIME-Version: 1.0\r\nContent-Type: " + type +
         "\r\nContent-Transfer-Encoding: " + encoding + "\r\n\r\n" + bodyBytes;
}

// The account and its receive box of 200 mails, stored as the receive
// stores them (the list record from the decoded header).
bool MakeJapaneseReceiveBox(DWORD* box) {
  if (!qv::test::MakeDataFolder() || !QvAccountCreator().CreateFolders(kAccount)) return false;
  if (!qv::test::SetProgramValue(L"LastSelectAccount", kAccount)) return false;
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(kAccount, L""));
  if (!account) return false;
  QvAccountInfoInterface::Attributes s;
  s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  if (!account->GetAccountInfoAttributes(&s)) return false;
  *box = s.ulJusinTrayID;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> folder(storage ? storage->OpenFolder(*box) : nullptr);
  if (!folder) return false;
  for (int i = 0; i < kMails; ++i) {
    std::string raw = MakeMail(i);
    Email mail;
    if (!EmlCompose().Decode(&mail, &raw)) return false;
    Attr a;
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kDate |
             QvMessageInterface::kIsProtected | QvMessageInterface::kListFields;
    a.unread = i % 4 == 0;
    a.isProtected = i % 10 == 0;
    a.kind = QvMessageInterface::kReceived;
    a.date = QvMessageInterface::LocalTimeToSystemTime(mail.date);
    a.listText1 = L"me@example.jp";
    a.listText2 = mail.fromAddress;
    a.listShort1 = mail.fromName.substr(0, 31);
    a.listShort2 = mail.subject.substr(0, 31);
    a.listTime = a.date;
    unsigned long id = 0;
    if (!folder->CreateMessage(&id, a, raw)) return false;
  }
  return true;
}

// Two mails newer than the rest: a decorated one with two inline pictures
// (red, by "cid:") and a plain one with pictographs, stored as the receive
// stores them (decorated mail marked for the whole decode).
bool AddPreviewMails(DWORD box) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(kAccount, L""));
  std::unique_ptr<QvStorageInterface> storage(account ? account->OpenStorage() : nullptr);
  std::unique_ptr<QvFolderInterface> folder(storage ? storage->OpenFolder(box) : nullptr);
  if (!folder) return false;
  std::vector<DWORD> red(60 * 40, 0xFF0000);
  BitmapData data{60, 40, 60 * 4, PixelFormat32bppRGB, red.data(), 0};
  std::vector<BYTE> png;
  qv::EncodePng(data, &png);
  std::string picture = Base64(std::string(png.begin(), png.end()));
  for (size_t at = 76; at < picture.size(); at += 78) picture.insert(at, "\r\n");
  std::string related = "Content-Type: multipart/related; boundary=\"R\"\r\n\r\n--R\r\nContent-Type: text/html; "
                        "charset=UTF-8\r\n\r\n<div><font color=\"#0000FF\" size=\"5\">装飾メール</font></div><img "
                        "src=\"cid:a@example.jp\"><div><b>二枚目</b></div><img src=\"cid:b@example.jp\">\r\n";
  for (const char* id : {"a", "b"}) {
    related += std::string("--R\r\nContent-Type: image/png; name=\"") + id + ".png\"\r\nContent-ID: <" + id +
               "@example.jp>\r\nContent-Transfer-Encoding: base64\r\n\r\n" + picture + "\r\n";
  }
  const std::string contents[] = {related + "--R--\r\n",
                                  "Content-Type: text/plain; charset=UTF-8\r\n\r\n晴れ\xEE\x98\xBE 雨\xEE\x99\x80 \xEE\x80\x81\r\n"};
  for (int i = 0; i < 2; ++i) {
    std::string raw = "From: shop@example.jp\r\nTo: me@example.jp\r\nSubject: preview " + std::to_string(i) +
                      "\r\nDate: Thu, 31 Dec 2026 23:5" + std::to_string(9 - i) + ":00 +0900\r\nMIME-Version: 1.0\r\n" +
                      contents[i];
    Email mail;
    if (!EmlCompose().Decode(&mail, &raw)) return false;
    Attr a;
    a.mask = QvMessageInterface::kKind | QvMessageInterface::kDate | QvMessageInterface::kIsHtml |
             QvMessageInterface::kListFields;
    a.kind = QvMessageInterface::kReceived;
    a.isHtml = i == 0;
    a.date = a.listTime = QvMessageInterface::LocalTimeToSystemTime(mail.date);
    a.listText1 = L"me@example.jp";
    a.listText2 = a.listShort1 = mail.fromAddress;
    a.listShort2 = mail.subject;
    unsigned long id = 0;
    if (!folder->CreateMessage(&id, a, raw)) return false;
  }
  return true;
}

size_t CountIn(DWORD folderId) { return CountStored(kAccount, folderId); }

// The receive box's user folder `index` (in the engine's order).
DWORD ChildFolder(size_t index) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(kAccount, L""));
  QvAccountInfoInterface::Attributes s;
  s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  if (!account || !account->GetAccountInfoAttributes(&s)) return 0;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> box(storage ? storage->OpenFolder(s.ulJusinTrayID) : nullptr);
  std::vector<unsigned long> children;
  return box && box->GetFolderIds(&children) && index < children.size() ? static_cast<DWORD>(children[index]) : 0;
}

class MailListRun : public qv::test::DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(MakeJapaneseReceiveBox(&box_));
    log_ = root_ + "/program.log";
    program_ = StartProgram(root_, log_);
    ASSERT_GT(program_, 0);
    ASSERT_TRUE(Within(std::chrono::seconds(30), [&] {
      return ReadFile(log_).find("QvMail: launcher shown") != std::string::npos &&
             FindWindowW(kFrameClass, kFrameTitle) != nullptr;
    })) << ReadFile(log_);
    frame_ = FindWindowW(kFrameClass, kFrameTitle);
  }
  void TearDown() override {
    if (program_ > 0) {
      if (frame_) PostMessageW(frame_, WM_CLOSE, 0, 0);
      if (WaitEnd(program_, std::chrono::seconds(20)) != 0) {
        ADD_FAILURE() << "the program did not end on its close request";
        kill(program_, SIGKILL);
        waitpid(program_, nullptr, 0);
      }
    }
    DisplayTest::TearDown();
  }
  // A window of the program by its title, once it is there.
  HWND Await(const wchar_t* title) {
    HWND found = nullptr;
    Within(std::chrono::seconds(20), [&] { return (found = FindWindowW(nullptr, title)) != nullptr; });
    return found;
  }

  DWORD box_ = 0;
  std::string log_;
  pid_t program_ = -1;
  HWND frame_ = nullptr;
};

TEST_F(MailListRun, TwoHundredJapaneseMailsShownSortedMarkedAndDeleted) {
  if (IsSkipped()) return;
  const Shot launcher = Settled(program_);
  // The receive box's folder screen, then its own folder's mail list.
  ASSERT_TRUE(PostMessageW(frame_, kOpenReceiveBoxMessage, 0, 0));
  HWND folders = Await(L"受信ﾎﾞｯｸｽ");
  ASSERT_NE(folders, nullptr);
  Settled(program_, &launcher);
  ASSERT_TRUE(PostMessageW(folders, WM_COMMAND, kOpenItemCommand, 0));
  HWND list = Await(kReceiveFolderName);
  ASSERT_NE(list, nullptr) << ReadFile(log_);
  const Shot shown = Settled(program_);
  ASSERT_EQ(shown.width, 480);
  Keep(shown, OutputPath("program-maillist.png"));
  EXPECT_GT(Differing(shown, launcher, 100, 400), 10000) << "rows stand where the launcher was";

  // Sorted by subject, then by date again (newest first, the default).
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kSortBySubjectCommand, 0));
  EXPECT_TRUE(Within(std::chrono::seconds(10), [] {
    int state = 0;
    return GetSortColumn(&state) && state == 2;
  }));
  const Shot sorted = Settled(program_, &shown);
  Keep(sorted, OutputPath("program-maillist-by-subject.png"));
  EXPECT_GT(Differing(shown, sorted, 100, 400), 1000) << "other rows come first";

  // One message deleted after its question (the system box "確認").
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kDeleteSelectedCommand, 0));
  HWND question = Await(L"確認");
  ASSERT_NE(question, nullptr) << Tail(ReadFile(log_));
  Keep(Settled(program_, &sorted), OutputPath("program-maillist-delete-question.png"));
  ASSERT_TRUE(PostMessageW(question, WM_COMMAND, IDYES, 0));
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return CountIn(box_) == kMails - 1; })) << CountIn(box_);

  // The selected message moved to a folder of the box: the move sheet, its
  // receive side's folder tree dropped down and a folder tapped, OK.
  const Shot beforeMove = Settled(program_);
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kMoveSelectedCommand, 0));
  HWND sheet = Await(L"移動先フォルダ");
  ASSERT_NE(sheet, nullptr);
  const Shot moveSheet = Settled(program_, &beforeMove);
  Keep(moveSheet, OutputPath("program-maillist-move-sheet.png"));
  Tap(program_, 444, 180);
  const Shot tree = Settled(program_, &moveSheet);
  Keep(tree, OutputPath("program-maillist-move-tree.png"));
  Tap(program_, 230, 291);  // the box's second folder
  const Shot chosen = Settled(program_, &tree);
  Keep(chosen, OutputPath("program-maillist-move-chosen.png"));
  Tap(program_, 120, 772);  // the OK soft key
  const DWORD second = ChildFolder(1);
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] { return CountIn(second) == 1 && CountIn(box_) == kMails - 2; }))
      << CountIn(second) << " " << CountIn(box_);
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(sheet); }));

  // Marking mode: every row selected and marked, then the marked ones
  // deleted but the protected (the program's own three-button box).
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kMarkToDeleteCommand, 0));
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kSelectAllCommand, 0));
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kToggleMarksCommand, 0));
  const Shot marked = Settled(program_, &sorted);
  Keep(marked, OutputPath("program-maillist-marked.png"));
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, kFinishMarkingCommand, 0));
  HWND three = Await(L" 確認");  // the drawn box sets its caption off by a blank
  ASSERT_NE(three, nullptr);
  Keep(Settled(program_, &marked), OutputPath("program-maillist-delete-marked.png"));
  ASSERT_TRUE(PostMessageW(three, WM_COMMAND, kLMessageBoxNo, 0));  // "保護以外"
  // The moved message was not protected (the newest protected one is older).
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] { return CountIn(box_) == kProtected; })) << CountIn(box_);
  const Shot left = Settled(program_, &marked);
  Keep(left, OutputPath("program-maillist-protected-left.png"));
  EXPECT_TRUE(IsWindow(list)) << "protected mail is left: the list stays";
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, IDCANCEL, 0));
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(list); }));
}

// The preview of the real program: the newest mail, decorated, with its two
// pictures; the next one down, plain, with its pictographs.
TEST_F(MailListRun, ThePreviewShowsDecoratedMailAndPictographs) {
  if (IsSkipped()) return;
  ASSERT_TRUE(AddPreviewMails(box_));
  ASSERT_TRUE(PostMessageW(frame_, kOpenReceiveBoxMessage, 0, 0));
  HWND folders = Await(L"受信ﾎﾞｯｸｽ");
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(PostMessageW(folders, WM_COMMAND, kOpenItemCommand, 0));
  HWND list = Await(kReceiveFolderName);
  ASSERT_NE(list, nullptr) << ReadFile(log_);
  const auto count = [](const Shot& shot, const std::function<bool(DWORD)>& is) {
    int n = 0;
    for (int y = shot.height / 2; y < shot.height; ++y) {
      for (int x = 0; x < shot.width; ++x) n += is(shot.At(x, y));
    }
    return n;
  };
  const auto colourful = [](DWORD p) {
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    return std::max({r, g, b}) - std::min({r, g, b}) > 60 && p != 0xFF0000 && p != 0x000080;
  };
  Shot decorated;
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] {
    decorated = Settled(program_);
    return count(decorated, [](DWORD p) { return p == 0xFF0000; }) >= 2 * 60 * 40;
  })) << "both pictures in the preview";
  Keep(decorated, OutputPath("program-preview-decorated.png"));
  Tap(program_, 200, 205);  // the second row: selected, and opened in the message window
  HWND viewer = nullptr;
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return (viewer = FindWindowW(L"Dialog", kFrameTitle)) != nullptr; }));
  ASSERT_TRUE(PostMessageW(viewer, WM_COMMAND, IDOK, 0));  // closed again: the preview shows the row
  Shot plain;
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] {
    plain = Settled(program_, &decorated);
    return count(plain, [](DWORD p) { return p == 0xFF0000; }) == 0 && count(plain, colourful) > 100;
  })) << "pictographs in colour, no picture";
  Keep(plain, OutputPath("program-preview-pictographs.png"));
  ASSERT_TRUE(PostMessageW(list, WM_COMMAND, IDCANCEL, 0));
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(list); }));
}

}  // namespace
