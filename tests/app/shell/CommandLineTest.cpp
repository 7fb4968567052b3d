// The command line of a start, read and acted on against a running copy's
// window (here a window of the test's that records what it is posted):
// what is posted, what is stored for the running copy to read, what a
// first start sets for itself, and bad input.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/foundation/StartFlags.h"
#include "app/foundation/UiFiles.h"
#include "app/foundation/UiRegistry.h"
#include "app/shell/mainframe/AttachmentRequest.h"
#include "app/shell/mainframe/CommandLine.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "platform/base/WideText.h"
#include "platform/registry/Registry.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/app/support/ProgramRoot.h"

namespace {

using qv::seams::MsgEntry;
namespace seq = qv::seams::seq;

// Every list name a request may take fails its write with a full disk.
void FailListWrites(const std::wstring& temp) {
  for (DWORD n = 0; n < 0x10000; ++n) {
    qv::seams::InjectFileFault(
        temp + kAttachmentListPrefix + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(n),
        ERROR_DISK_FULL);
  }
}

// ---- reading the line ----

TEST(CommandLineParse, WholeLinesAndTokens) {
  struct Case {
    const wchar_t* line;
    WholeCommand whole;
    const wchar_t* account;  // null: none
    const wchar_t* mailto;   // null: none
    size_t attachments;
    int kind;
    const wchar_t* box;
    const wchar_t* stoppedAt;
  };
  const Case cases[] = {
      {L"", WholeCommand::kEmpty, nullptr, nullptr, 0, 0, L"", L""},
      {L"   ", WholeCommand::kEmpty, nullptr, nullptr, 0, 0, L"", L""},
      {L"-receiveTmail", WholeCommand::kReceiveTmail, nullptr, nullptr, 0, 0, L"", L""},
      {L" -receiveTaccount ", WholeCommand::kReceiveTaccount, nullptr, nullptr, 0, 0, L"", L""},
      {L"-t", WholeCommand::kUnattended, nullptr, nullptr, 0, 0, L"", L""},
      // A whole-line switch is only that when it stands alone.
      {L"-t mailto:a@b", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"", L"-t mailto:a@b"},
      {L"mailto:a@example.jp", WholeCommand::kTokens, nullptr, L"mailto:a@example.jp", 0, 0, L"", L""},
      {L"-a \"仕事\" mailto:a@example.jp?subject=x", WholeCommand::kTokens, L"仕事",
       L"mailto:a@example.jp?subject=x", 0, 0, L"", L""},
      {L"-i mailto:a@b", WholeCommand::kTokens, nullptr, L"mailto:a@b", 0, 1, L"", L""},
      {L"mailto:a@b -i", WholeCommand::kTokens, nullptr, L"mailto:a@b", 0, 1, L"", L""},
      {L"mailto:a@b -d", WholeCommand::kTokens, nullptr, L"mailto:a@b", 0, 2, L"", L""},
      {L"-i mailto:a@b -d", WholeCommand::kTokens, nullptr, L"mailto:a@b", 0, 2, L"", L""},
      {L"-d mailto:a@b", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"", L"-d mailto:a@b"},
      {L"mailto:a@b -attach \"\\My Documents\\a.jpg\" -attach \"\\b c.txt\"", WholeCommand::kTokens, nullptr,
       L"mailto:a@b", 2, 0, L"", L""},
      {L"-recvbox", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"-recvbox", L""},
      {L"-a \"個人\" -sendbox", WholeCommand::kTokens, L"個人", nullptr, 0, 0, L"-sendbox", L""},
      // A missing quote stops the scan: what follows is not read.
      {L"-a \"仕事 mailto:a@b", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"", L"-a \"仕事 mailto:a@b"},
      {L"-a 仕事\" mailto:a@b", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"", L"-a 仕事\" mailto:a@b"},
      {L"mailto:a@b -attach \\x.txt", WholeCommand::kTokens, nullptr, L"mailto:a@b", 0, 0, L"", L"-attach \\x.txt"},
      // An unknown switch ends the scan; what came before it counts.
      {L"mailto:a@b -zzz -i", WholeCommand::kTokens, nullptr, L"mailto:a@b", 0, 0, L"", L"-zzz -i"},
      {L"-recvboxes", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"", L"-recvboxes"},
      {L"-isomething", WholeCommand::kTokens, nullptr, nullptr, 0, 0, L"", L"-isomething"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::WideToUtf8(c.line));
    const CommandLineRequest r = ParseCommandLine(c.line);
    EXPECT_EQ(r.whole, c.whole);
    EXPECT_EQ(r.hasAccount, c.account != nullptr);
    if (c.account) {
      EXPECT_EQ(r.account, c.account);
    }
    EXPECT_EQ(r.hasMailto, c.mailto != nullptr);
    if (c.mailto) {
      EXPECT_EQ(r.mailto, c.mailto);
    }
    EXPECT_EQ(r.attachments.size(), c.attachments);
    EXPECT_EQ(r.Kind(), c.kind);
    EXPECT_EQ(r.box, c.box);
    EXPECT_EQ(r.stoppedAt, c.stoppedAt);
  }
}

TEST(CommandLineParse, AtMost64AttachmentsAreTaken) {
  std::wstring line = L"mailto:a@b";
  for (int i = 0; i < 65; ++i) line += L" -attach \"\\f" + std::to_wstring(i) + L".txt\"";
  const CommandLineRequest r = ParseCommandLine(line);
  ASSERT_EQ(r.attachments.size(), kMaxCommandLineAttachments);
  EXPECT_EQ(r.attachments.front(), L"\\f0.txt");
  EXPECT_EQ(r.attachments.back(), L"\\f63.txt");
  EXPECT_EQ(r.droppedAttachments, 1u);
  EXPECT_EQ(r.stoppedAt, L"");
}

TEST(CommandLineParse, SetAddressWhereTheScanEnds) {
  struct Case {
    const wchar_t* line;
    bool taken;
    const wchar_t* address;
  };
  const Case cases[] = {{L"-setadress \"a@example.jp\"", true, L"a@example.jp"},
                        {L"-a \"仕事\" -setadress \"b@example.jp\"", true, L"b@example.jp"},
                        {L"-setadress a@example.jp", false, L""},
                        {L"-setadress \"a@example.jp", false, L""},
                        {L"-zzz -setadress \"a@example.jp\"", false, L""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::WideToUtf8(c.line));
    const CommandLineRequest r = ParseCommandLine(c.line);
    EXPECT_EQ(r.hasSetAddress, c.taken);
    EXPECT_EQ(r.setAddress, c.address);
  }
}

// A line of 100,000 characters is read once: no crash, no time going in
// copies of what is left (a bound that holds on a loaded machine).
TEST(CommandLineParse, AHundredThousandCharactersAreReadInOnePass) {
  const std::vector<std::wstring> lines = {
      std::wstring(100000, L'x'),
      [] {
        std::wstring l;
        while (l.size() < 100000) l += L"-i ";
        return l;
      }(),
      L"mailto:" + std::wstring(100000 - 7, L'a'),
      L"-a \"" + std::wstring(100000 - 4, L'n'),
  };
  for (const std::wstring& line : lines) {
    const auto start = std::chrono::steady_clock::now();
    const CommandLineRequest r = ParseCommandLine(line);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r.whole, WholeCommand::kTokens);
  }
  EXPECT_EQ(ParseCommandLine(lines[1]).Kind(), 1);
  EXPECT_EQ(ParseCommandLine(lines[2]).mailto.size(), 100000u);
}

// ---- acting on it ----

class CommandLine : public qv::test::FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    res_ = qv::test::LoadProgramResources();
    AutoReceiveStartFlag = UnattendedStartFlag = 0;
    boxes_ = 0;
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetMessageBoxShownHandler([this](HWND box) {
      ++boxes_;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    target_ = Make(WS_POPUP, nullptr, {0, 0, 10, 10}, 0, L"受け手");
    log_.Keep(PrivateMessages());
  }
  void TearDown() override {
    qv::seams::SetMessageBoxShownHandler(nullptr);
    FrameworkTest::TearDown();
    AfxSetResourceHandle(nullptr);
    if (res_) FreeLibrary(res_);
  }
  static std::vector<UINT> PrivateMessages() {
    return {kComposeFromArgsMessage, kEnterAutoReceiveMessage, kEnterUnattendedMessage, kOpenAndComposeMessage,
            kClearContactCachesMessage, kHandwrittenToMessage, kComeToFrontMessage, kOpenBoxFromArgsMessage};
  }
  // Runs the line against the target; the posted messages are taken.
  int Run(const std::wstring& line, bool withTarget = true) {
    log_.Clear();
    const int result = QvMainFrame::ProcessCmdLine(withTarget ? target_ : nullptr, line.c_str());
    Pump();
    return result;
  }
  static std::wstring Args() {
    CString args;
    return GetCmdArgs(args) ? std::wstring(args) : L"<none>";
  }
  static std::wstring Last() {
    CString last;
    return GetLastSelectAccount(last) ? std::wstring(last) : L"<none>";
  }

  HMODULE res_ = nullptr;
  HWND target_ = nullptr;
  int boxes_ = 0;
};

TEST_F(CommandLine, ASecondStartPostsItsRequestAndStoresItsText) {
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  using seq::posted;
  using seq::wparam;
  struct Case {
    const wchar_t* line;
    int result;
    std::vector<MsgEntry> posts;
    const wchar_t* args;  // "CmdArgs" afterwards (null: unchanged)
    const wchar_t* last;  // "LastSelectAccount" afterwards
  };
  const Case cases[] = {
      {L"", 1, {{kClearContactCachesMessage, posted}}, nullptr, L"仕事"},
      {L"-receiveTmail", 0, {{kEnterAutoReceiveMessage, posted}}, nullptr, L"仕事"},
      {L"-t", 0, {{kEnterUnattendedMessage, posted}}, nullptr, L"仕事"},
      {L"mailto:a@example.jp", 1, {{kComposeFromArgsMessage, posted | wparam, 0}}, L"mailto:a@example.jp", L"仕事"},
      {L"-i mailto:a@example.jp", 1, {{kComposeFromArgsMessage, posted | wparam, 1}}, L"mailto:a@example.jp",
       L"仕事"},
      {L"mailto:b@example.jp -d", 1, {{kComposeFromArgsMessage, posted | wparam, 2}}, L"mailto:b@example.jp",
       L"仕事"},
      {L"-a \"個人\" mailto:c@example.jp", 1, {{kOpenAndComposeMessage, posted | wparam, 0}}, L"mailto:c@example.jp",
       L"個人"},
      {L"-a \"仕事\"", 1, {{kComeToFrontMessage, posted}}, nullptr, L"仕事"},
      {L"-recvbox", 1, {{kComeToFrontMessage, posted}}, L"-recvbox", L"仕事"},
      {L"-a \"個人\" -sendbox", 1, {{kComeToFrontMessage, posted}}, L"-sendbox", L"個人"},
      // The address travels in the registry, the message carries nothing.
      {L"-setadress \"d@example.jp\"", 1, {{kHandwrittenToMessage, posted | wparam | seq::lparam, 0, 0}},
       L"d@example.jp", L"個人"},
      // Nothing understood: nothing posted, the start goes on (and ends at
      // the framework's own look for the running copy).
      {L"-zzz", 1, {}, nullptr, L"個人"},
      {L"-a \"仕事 mailto:x@example.jp", 1, {}, nullptr, L"個人"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::WideToUtf8(c.line));
    const std::wstring before = Args();
    EXPECT_EQ(Run(c.line), c.result);
    EXPECT_EQ(log_.Compare(target_, c.posts), "");
    EXPECT_EQ(Args(), c.args ? std::wstring(c.args) : before);
    EXPECT_EQ(Last(), c.last);
    EXPECT_EQ(boxes_, 0);
  }
}

TEST_F(CommandLine, AFirstStartOnlySetsItsStartFlags) {
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  EXPECT_EQ(Run(L"-receiveTmail", false), 1);
  EXPECT_EQ(AutoReceiveStartFlag, 1);
  EXPECT_EQ(UnattendedStartFlag, 0);
  AutoReceiveStartFlag = 0;
  EXPECT_EQ(Run(L"-t", false), 1);
  EXPECT_EQ(UnattendedStartFlag, 1);
  EXPECT_EQ(log_.Compare(target_, {}), "");
  // A mailto is stored, but no list is made for a copy that has no window yet.
  EXPECT_EQ(Run(L"mailto:a@example.jp -attach \"\\a.txt\"", false), 1);
  EXPECT_EQ(Args(), L"mailto:a@example.jp");
}

TEST_F(CommandLine, RequestsThatCannotBeMetSayWhyAndEndTheStart) {
  // Without an account there is no one to write as.
  ASSERT_TRUE(qv::test::MakeDataFolder());
  EXPECT_EQ(Run(L"mailto:a@example.jp"), 0);
  EXPECT_EQ(boxes_, 1);
  EXPECT_EQ(log_.Compare(target_, {}), "");
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  // The carrier's account is not set up.
  EXPECT_EQ(Run(L"-receiveTaccount"), 0);
  EXPECT_EQ(boxes_, 2);
  // A mailto longer than the stored arguments can be read back is refused
  // whole, not cut.
  EXPECT_EQ(Run(L"mailto:" + std::wstring(3000, L'a')), 0);
  EXPECT_EQ(boxes_, 3);
  EXPECT_EQ(log_.Compare(target_, {}), "");
}

TEST_F(CommandLine, TheCarriersAccountLetsACarrierReceiveThrough) {
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"個人", L""));
  ASSERT_TRUE(account);
  QvAccountInfoInterface::Attributes a;
  a.Select(QvAccountInfoInterface::Attributes::kTaccount);
  a.bTaccount = true;
  ASSERT_TRUE(account->SetAccountInfoAttributes(a));
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Jacket\\", 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"cuscon", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Run(L"-receiveTaccount"), 0);
  EXPECT_EQ(log_.Compare(target_, {{kEnterAutoReceiveMessage, seq::posted}}), "");
  EXPECT_EQ(boxes_, 0);
}

// ---- attachment lists ----

TEST_F(CommandLine, AttachmentsGoInAListOfTheirOwnNamedInTheStoredArguments) {
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  WriteBytes(L"\\a.txt", "a");
  WriteBytes(L"\\b c.jpg", "b");
  MakeDir(L"\\folder");
  // A list an earlier request left under the old fixed name is not read.
  CString temp;
  ASSERT_TRUE(GetTempFolderPath(temp));
  const std::wstring leftover = std::wstring(temp) + L"_tmpQvMailAttachFiles";
  WriteBytes(leftover, "\\secret.txt\r\n");
  std::wstring line = L"mailto:a@example.jp";
  for (const wchar_t* p : {L"\\a.txt", L"\\missing.txt", L"\\folder", L"\\b c.jpg"}) {
    line += L" -attach \"" + std::wstring(p) + L"\"";
  }
  ASSERT_EQ(Run(line), 1);
  std::wstring mailto, list;
  SplitComposeArgs(Args(), &mailto, &list);
  EXPECT_EQ(mailto, L"mailto:a@example.jp");
  ASSERT_NE(list, L"");
  EXPECT_NE(list, leftover);
  EXPECT_EQ(ReadBytes(list), "\\a.txt\r\n\\b c.jpg\r\n");  // only existing files, one a line
  // A second request gets a list of its own.
  ASSERT_EQ(Run(L"mailto:b@example.jp -attach \"\\a.txt\""), 1);
  std::wstring second;
  SplitComposeArgs(Args(), &mailto, &second);
  EXPECT_NE(second, list);
  std::vector<std::wstring> taken;
  EXPECT_TRUE(TakeAttachmentList(second, &taken));
  EXPECT_EQ(taken, std::vector<std::wstring>{L"\\a.txt"});
  EXPECT_FALSE(Exists(second)) << "taken once";
  EXPECT_FALSE(TakeAttachmentList(second, &taken));
  EXPECT_FALSE(TakeAttachmentList(leftover, &taken)) << "not a list of a request";
  EXPECT_EQ(ReadBytes(leftover), "\\secret.txt\r\n");
}

using AttachmentList = qv::test::DeviceRootTest;



TEST_F(AttachmentList, OnlyPathsThatStayOneLineAndNameAFileAreListed) {
  WriteBytes(L"\\one.txt", "1");
  const std::vector<std::wstring> paths = {L"\\one.txt", L"\\one.txt\r\n\\two.txt", L"\\missing",
                                           L"\\" + std::wstring(300, L'x')};
  std::wstring list;
  size_t taken = 0;
  EXPECT_EQ(WriteAttachmentList(paths, &list, &taken), AttachmentListResult::kWritten);
  EXPECT_EQ(taken, 1u);
  EXPECT_EQ(ReadBytes(list), "\\one.txt\r\n");
  EXPECT_EQ(WriteAttachmentList({L"\\missing"}, &list, &taken), AttachmentListResult::kNoneTaken);
  EXPECT_EQ(list, L"");
  // A write that fails: the failure is told and no half list stays behind.
  CString temp;
  ASSERT_TRUE(GetTempFolderPath(temp));
  FailListWrites(std::wstring(temp));
  EXPECT_EQ(WriteAttachmentList({L"\\one.txt"}, &list, &taken), AttachmentListResult::kWriteFailed);
  qv::seams::ClearFileFaults();
  int lists = 0;
  for (const auto& e : std::filesystem::directory_iterator(HostOf(std::wstring(temp)))) {
    lists += e.path().filename().string().rfind("_tmpQvMailAttachFiles.", 0) == 0;
  }
  EXPECT_EQ(lists, 1) << "the first list only";
}

TEST_F(CommandLine, AListThatCannotBeWrittenIsReportedAndNothingIsPosted) {
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  WriteBytes(L"\\a.txt", "a");
  CString temp;
  ASSERT_TRUE(GetTempFolderPath(temp));
  FailListWrites(std::wstring(temp));
  EXPECT_EQ(Run(L"mailto:a@example.jp -attach \"\\a.txt\""), 0);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(boxes_, 1);
  EXPECT_EQ(log_.Compare(target_, {}), "");
}

}  // namespace
