// The receive and send histories as files on disk: their exact bytes after a
// run of registrations, what is refused, what a damaged file reads as, whose
// folder they go to, and two processes registering into one account.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "engine/public/store/MailHistory.h"
#include "platform/base/WinFormat.h"
#include "tests/engine/store/filing/FilingFixture.h"
#include "tests/support/SelfProcess.h"

namespace {

using namespace std::string_literals;

constexpr int kPerProcess = 500;

std::string Stamp(int n) { return qv::FormatA("202612%02d%02d0000", 1 + n / 24, n % 24); }

// Registers kPerProcess receive entries "<who>-<n>@example.jp" for "Acc".
bool RegisterMany(const std::string& who) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  if (!account) return false;
  MailHistory history;
  for (int n = 0; n < kPerProcess; ++n) {
    st_MAILHISTORYDATA entry{Stamp(n % 500), qv::FormatA("%s-%d@example.jp", who.c_str(), n)};
    if (history.RegistRecvHistoryData(&entry, account.get()) != 0) return false;
  }
  return true;
}

const int kChildBranch = [] {
  const char* root = std::getenv("QV_HISTORY_CHILD");
  if (root == nullptr) return 0;
  qv::SetDeviceRoot(root);
  std::_Exit(RegisterMany("child") ? 0 : 1);
}();

class MailHistoryTest : public FilingTest {
 protected:
  void SetUp() override {
    FilingTest::SetUp();
    other_ = Create(L"Other");
    ASSERT_TRUE(other_);
    Select(L"Acc");
  }
  static void Select(const std::wstring& name) {
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"LastSelectAccount", name));
  }
  std::string File(const std::string& account, bool receive) {
    return ReadHost(AccountFile(account, receive ? "recvhistory.dat" : "sendhistory.dat"));
  }
  Account other_;
};

TEST_F(MailHistoryTest, RegistrationsGiveTheExactFile) {
  struct Step {
    std::string address, stamp;
    int result;
  };
  const std::string longAddress(MailHistory::kLineBuffer, 'a');
  const std::vector<Step> steps = {
      {"a@example.jp", "20261201090000", 0},
      {"b@example.jp", "20261201090100", 0},
      {"a@example.jp", "20261201090200", 0},  // moves to the front with its new time
      {"", "20261201090300", -1},
      {"c@example.jp", "", -1},
      {"c@example.jp\r\nX: y", "20261201090300", -1},
      {"c@example.jp", "2026\n", -1},
      {std::string("c@ex\0ample.jp", 13), "20261201090300", -1},
      {longAddress, "20261201090300", -1},
  };
  MailHistory history;
  for (const Step& s : steps) {
    st_MAILHISTORYDATA entry{s.stamp, s.address};
    EXPECT_EQ(history.RegistRecvHistoryData(&entry, account_.get()), s.result) << s.address;
  }
  EXPECT_EQ(File("Acc", true), "a@example.jp\n20261201090200\nb@example.jp\n20261201090100\n");
  EXPECT_EQ(File("Acc", false), "");  // made empty by the constructor

  // The 22nd correspondent pushes out the oldest.
  for (int n = 0; n < 21; ++n) {
    st_MAILHISTORYDATA entry{Stamp(n), qv::FormatA("to%02d@example.jp", n)};
    ASSERT_EQ(history.RegistSendHistoryData(&entry, account_.get()), 0);
  }
  std::string expected;
  for (int n = 20; n >= 1; --n) expected += qv::FormatA("to%02d@example.jp\n", n) + Stamp(n) + "\n";
  st_MAILHISTORYDATA last{"20261231235959", "last@example.jp"};
  ASSERT_EQ(history.RegistSendHistoryData(&last, account_.get()), 0);
  EXPECT_EQ(File("Acc", false), "last@example.jp\n20261231235959\n" + expected);
  std::list<st_MAILHISTORYDATA> list;
  EXPECT_EQ(history.GetSendHistoryList(&list), 21);
  EXPECT_EQ(list.front().strAddress, "last@example.jp");
  history.ClearHistData(&last);
  EXPECT_EQ(last.strAddress + last.strDate, "");
}

TEST_F(MailHistoryTest, EachAccountKeepsItsOwnAndTheScreenReadsTheSelectedOne) {
  MailHistory history;
  st_MAILHISTORYDATA mine{"20261201090000", "mine@example.jp"};
  st_MAILHISTORYDATA theirs{"20261201090100", "theirs@example.jp"};
  ASSERT_EQ(history.RegistRecvHistoryData(&mine, account_.get()), 0);
  ASSERT_EQ(history.RegistRecvHistoryData(&theirs, other_.get()), 0);
  EXPECT_EQ(File("Acc", true), "mine@example.jp\n20261201090000\n");
  EXPECT_EQ(File("Other", true), "theirs@example.jp\n20261201090100\n");

  std::list<st_MAILHISTORYDATA> list;
  EXPECT_EQ(history.GetRecvHistoryList(&list), 1);
  Select(L"Other");
  EXPECT_EQ(history.GetRecvHistoryList(&list), 1);
  ASSERT_EQ(list.size(), 2u);  // appended
  EXPECT_EQ(list.back().strAddress, "theirs@example.jp");

  Select(L"");
  EXPECT_EQ(history.GetRecvHistoryList(&list), -1);
  EXPECT_EQ(history.RegistRecvHistoryData(&mine, nullptr), -1);
}

TEST_F(MailHistoryTest, DamagedFilesKeepTheirPairs) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> addresses;
  };
  const std::string tooLong(MailHistory::kLineBuffer + 100, 'x');
  const Case cases[] = {
      {"empty", "", {}},
      {"last line cut", "a@x\n20261201090000\nb@x\n2026120109", {"a@x"}},
      {"over-long address", tooLong + "\n20261201090000\nb@x\n20261201090100\n", {"b@x"}},
      {"over-long stamp", "a@x\n" + tooLong + "\nb@x\n20261201090100\n", {"b@x"}},
      {"blank line", "a@x\n\nb@x\n20261201090100\nc@x\n20261201090200\n", {"b@x", "c@x"}},
      {"CR or NUL in a pair", "a@x\r\n20261201090000\r\nb@x\n2026120109\0\nc@x\n20261201090200\n"s, {"c@x"}},
  };
  MailHistory history;
  for (const Case& c : cases) {
    WriteHost(AccountFile("Acc", "recvhistory.dat"), c.bytes);
    std::list<st_MAILHISTORYDATA> list;
    EXPECT_EQ(history.GetRecvHistoryList(&list), static_cast<int>(c.addresses.size())) << c.what;
    std::vector<std::string> got;
    for (const auto& e : list) got.push_back(e.strAddress);
    EXPECT_EQ(got, c.addresses) << c.what;
  }
}

TEST_F(MailHistoryTest, TwoProcessesLeaveAWellFormedFile) {
  (void)kChildBranch;
  account_.reset();
  other_.reset();
  pid_t child = qv::test::SpawnSelf({"QV_HISTORY_CHILD=" + root_});
  ASSERT_GT(child, 0);
  EXPECT_TRUE(RegisterMany("parent"));
  EXPECT_EQ(qv::test::WaitExit(child), 0);

  const std::string bytes = File("Acc", true);
  const auto entries = MailHistory::ParseHistoryText(bytes);
  ASSERT_EQ(entries.size(), MailHistory::kMaxEntries);
  EXPECT_EQ(MailHistory::FormatHistoryText(entries), bytes);
  // Newest first within each writer, one entry per correspondent, and the
  // last writer's last entry at the front.
  std::set<std::string> seen;
  int lastParent = kPerProcess, lastChild = kPerProcess;
  for (const auto& e : entries) {
    EXPECT_TRUE(seen.insert(e.strAddress).second) << e.strAddress;
    int n = -1;
    char who[16] = {};
    ASSERT_EQ(sscanf(e.strAddress.c_str(), "%15[a-z]-%d@", who, &n), 2) << e.strAddress;
    int& last = std::string(who) == "parent" ? lastParent : lastChild;
    EXPECT_LT(n, last) << e.strAddress;
    last = n;
    EXPECT_EQ(e.strDate, Stamp(n));
  }
  EXPECT_EQ(entries.front().strAddress.substr(entries.front().strAddress.find('-')), "-499@example.jp");
}

}  // namespace
