// The receive and send histories as files on disk: their exact bytes after a
// run of registrations, what is refused, what a damaged file reads as, whose
// folder they go to, and two processes registering into one account without
// losing each other's entries.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <set>
#include <thread>

#include "engine/public/store/MailHistory.h"
#include "platform/base/WinFormat.h"
#include "tests/engine/store/filing/FilingFixture.h"
#include "tests/support/SelfProcess.h"

namespace {

using namespace std::string_literals;

constexpr int kPerProcess = 500;

std::string Stamp(int n) { return qv::FormatA("202612%02d%02d0000", 1 + n / 24, n % 24); }

// Reads "<who>-<n>@" back from an address; false for any other.
bool Writer(const std::string& address, std::string* who, int* n) {
  char name[16] = {};
  if (sscanf(address.c_str(), "%15[a-z]-%d@", name, n) != 2) return false;
  *who = name;
  return true;
}

// Registers kPerProcess receive entries "<who>-<n>@example.jp" for "Acc" and
// reads the list back after each one. The list keeps the latest entries, so
// the writer's own entries in it must be its latest ones, newest first and
// without a gap: n, n-1, ... An update lost to another writer that read the
// file before this one wrote and wrote it after breaks that run once this
// writer reads again. The first fault, empty when none.
std::string RegisterMany(const std::string& who) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  if (!account) return "no account";
  MailHistory history;
  for (int n = 0; n < kPerProcess; ++n) {
    st_MAILHISTORYDATA entry{Stamp(n % 500), qv::FormatA("%s-%d@example.jp", who.c_str(), n)};
    if (history.RegistRecvHistoryData(&entry, account.get()) != 0) return qv::FormatA("entry %d refused", n);
    std::list<st_MAILHISTORYDATA> list;
    if (history.GetRecvHistoryList(&list) < 0) return qv::FormatA("list unreadable after %d", n);
    int due = n;
    for (const auto& e : list) {
      std::string writer;
      int m = -1;
      if (!Writer(e.strAddress, &writer, &m)) return "foreign entry " + e.strAddress;
      if (writer != who) continue;
      if (m != due) return qv::FormatA("after %s-%d the list holds %s where %s-%d was due", who.c_str(), n,
                                       e.strAddress.c_str(), who.c_str(), due);
      --due;
    }
    // Only a full list may have pushed every own entry out.
    if (due == n && list.size() < MailHistory::kMaxEntries)
      return qv::FormatA("%s-%d lost from a list of %zu", who.c_str(), n, list.size());
  }
  return std::string();
}

// Whether the child has made its first entry: the parent starts only then,
// so that the two writers overlap.
bool ChildStarted() {
  MailHistory history;
  std::list<st_MAILHISTORYDATA> list;
  history.GetRecvHistoryList(&list);
  for (const auto& e : list) {
    if (e.strAddress.rfind("child-", 0) == 0) return true;
  }
  return false;
}

const int kChildBranch = [] {
  const char* root = std::getenv("QV_HISTORY_CHILD");
  if (root == nullptr) return 0;
  qv::SetDeviceRoot(root);
  const std::string fault = RegisterMany("child");
  if (!fault.empty()) fprintf(stderr, "child: %s\n", fault.c_str());
  std::_Exit(fault.empty() ? 0 : 1);
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

TEST_F(MailHistoryTest, TwoProcessesLoseNoEntryOfEachOther) {
  (void)kChildBranch;
  account_.reset();
  other_.reset();
  pid_t child = qv::test::SpawnSelf({"QV_HISTORY_CHILD=" + root_});
  ASSERT_GT(child, 0);
  // A bound for a child that never starts, far beyond a loaded machine's.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int status = 0;
  pid_t ended = 0;
  while (!ChildStarted() && std::chrono::steady_clock::now() < giveUp &&
         (ended = waitpid(child, &status, WNOHANG)) == 0) {
    std::this_thread::yield();
  }
  EXPECT_EQ(RegisterMany("parent"), "");
  const int exitCode = ended == child ? (WIFEXITED(status) ? WEXITSTATUS(status) : -1) : qv::test::WaitExit(child);
  EXPECT_EQ(exitCode, 0) << "the child lost an entry or had one refused";

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
    std::string who;
    ASSERT_TRUE(Writer(e.strAddress, &who, &n)) << e.strAddress;
    int& last = who == "parent" ? lastParent : lastChild;
    EXPECT_EQ(n, last - 1) << e.strAddress;  // each writer's latest, without a gap
    last = n;
    EXPECT_EQ(e.strDate, Stamp(n));
  }
  EXPECT_EQ(entries.front().strAddress.substr(entries.front().strAddress.find('-')), "-499@example.jp");
}

}  // namespace
