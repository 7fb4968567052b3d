// The UID files are rewritten through a "_tmp" copy and the commit: a save
// cut at any byte leaves the last committed list and last UID readable.
#include <atomic>
#include <list>
#include <mutex>
#include <set>
#include <thread>

#include "AccountFixture.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/store/QvSystemInfoInterface.h"

namespace {

const std::list<std::wstring> kCommitted = {L"uid-0001", L"uid-0002"};
const std::list<std::wstring> kNext = {L"uid-0001", L"uid-0002", L"uidl-ｶﾅ-0003", L"uid-0004"};

}  // namespace

TEST_F(AccountTest, UidFilesCutAtAnyLengthReadAsTheLastCommittedState) {
  Account account = Create(L"acc");
  ASSERT_TRUE(account);
  const std::string folder = std::string(kDataHost) + "acc/";
  // The bytes of the next save, as it would write them.
  ASSERT_TRUE(account->SaveUIDL(kNext));
  ASSERT_TRUE(account->SaveLastUID("uid-0004"));
  const std::string nextList = ReadHost(folder + "UID.list");
  const std::string nextLast = ReadHost(folder + "LastUID.ini");
  ASSERT_EQ(nextList.size() % 2, 0u);

  ASSERT_TRUE(account->SaveUIDL(kCommitted));
  ASSERT_TRUE(account->SaveLastUID("uid-0002"));
  for (size_t cut = 0; cut <= nextList.size(); ++cut) {
    // Cut while the copy was written: the list is the committed one.
    WriteHost(folder + "UID.list_tmp", nextList.substr(0, cut));
    WriteHost(folder + "LastUID.ini_tmp", nextLast.substr(0, std::min(cut, nextLast.size())));
    std::list<std::wstring> uids;
    ASSERT_TRUE(account->GetUIDL(&uids)) << cut;
    EXPECT_EQ(uids, kCommitted) << cut;
    std::wstring last;
    ASSERT_TRUE(account->GetLastUID(&last)) << cut;
    EXPECT_EQ(last, L"uid-0002") << cut;
    EXPECT_FALSE(HostExists(folder + "UID.list_tmp")) << cut;
  }
  // Cut between moving the old file aside and the copy in: the copy is whole
  // and becomes the list.
  std::rename(Host(folder + "UID.list").c_str(), Host(folder + "UID.list_bak").c_str());
  WriteHost(folder + "UID.list_tmp", nextList);
  std::list<std::wstring> uids;
  ASSERT_TRUE(account->GetUIDL(&uids));
  EXPECT_EQ(uids, kNext);
  // A file an older writer cut itself reads without its torn end.
  for (size_t cut = 0; cut <= nextList.size(); ++cut) {
    WriteHost(folder + "UID.list", nextList.substr(0, cut));
    ASSERT_TRUE(account->GetUIDL(&uids)) << cut;
    ASSERT_LE(uids.size(), kNext.size());
    auto expected = kNext.begin();
    for (auto it = uids.begin(); it != uids.end(); ++it, ++expected) {
      // Only the last line may be cut short.
      EXPECT_EQ(std::next(it) != uids.end() ? *expected : expected->substr(0, it->size()), *it) << cut;
    }
  }
  // An empty "\LastUID.ini", as a new account has it, is an empty UID.
  WriteHost(folder + "LastUID.ini", "");
  std::wstring last = L"stale";
  EXPECT_TRUE(account->GetLastUID(&last));
  EXPECT_EQ(last, L"");
}

TEST_F(AccountTest, ThreadsOpeningRenamingAndDeletingLeaveNoStaleEntry) {
  for (const wchar_t* name : {L"a", L"b"}) ASSERT_TRUE(Create(name));
  MakeDir(L"\\Application Data\\QuvoMail\\System");
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"SystemInfoPath",
                               L"\\Application Data\\QuvoMail\\System\\"));
  std::atomic<bool> stop{false};
  std::atomic<int> renames{0};
  // The first check that failed, for the report.
  std::mutex whyLock;
  std::string why;
  const auto fail = [&](const std::string& what) {
    std::lock_guard<std::mutex> guard(whyLock);
    if (!stop.exchange(true)) why = what;
  };
  // Renames an open account and stores the new name, as the program does:
  // the new name finds the very object that is open, the old one nothing.
  const auto rename = [&](const std::wstring& from, const std::wstring& to) {
    const std::string step = qv::WideToUtf8(from) + "->" + qv::WideToUtf8(to) + ": ";
    Account held = Open(from);
    if (!held) return fail(step + "the old name opens nothing"), false;
    if (!QvAccountInfoInterface::Rename(from, to, L"")) return fail(step + "Rename failed"), false;
    QvAccountInfoInterface::Attributes name;
    name.strAccountName = to;
    name.Select(QvAccountInfoInterface::Attributes::kAccountName);
    if (!held->SetAccountInfoAttributes(name)) return fail(step + "storing the name failed"), false;
    Account found = Open(to);
    ++renames;
    if (!found) return fail(step + "the new name opens nothing"), false;
    if (found->Account() != held->Account()) return fail(step + "the new name opens another object"), false;
    if (Open(from)) return fail(step + "the old name still opens"), false;
    return true;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 60 && !stop; ++i) {
        const std::wstring mine = t == 0 ? L"a" : L"b";
        if (i % 2 == 1) {
          // Away and back, while the other thread opens, lists and deletes.
          if (!rename(mine, mine + L"2") || !rename(mine + L"2", mine)) stop = true;
        }
        Account a = Open(mine);
        Account again = Open(mine);
        if (!a || !again) fail(qv::WideToUtf8(mine) + ": the name opens nothing");
        if (a && again && a->Account() != again->Account()) fail(qv::WideToUtf8(mine) + ": two objects for one account");
        std::unique_ptr<QvStorageInterface> storage(a ? a->OpenStorage() : nullptr);
        storage.reset();
        again.reset();
        a.reset();
        if (i % 10 == 9) {
          // Delete and make it again; the other thread works on the other account.
          if (!QvAccountInfoInterface::Delete(mine, L"")) fail(qv::WideToUtf8(mine) + ": Delete failed");
          else if (!Create(mine)) fail(qv::WideToUtf8(mine) + ": Create failed");
        }
        std::vector<std::wstring> names;
        QvAccountInfoInterface::GetAccountNameList(&names, L"");
        // One name per account, the old and the new never both.
        const std::set<std::wstring> distinct(names.begin(), names.end());
        if (distinct.size() != names.size()) fail(qv::WideToUtf8(mine) + ": a name listed twice");
        if (distinct.count(mine) != 0 && distinct.count(mine + L"2") != 0) {
          fail(qv::WideToUtf8(mine) + ": old and new name both listed");
        }
        // The system information's shared file object is made and dropped
        // by both threads; the carrier name is always one a thread wrote.
        std::unique_ptr<QvSystemInfoInterface> info(QvSystemInfoInterface::GetSystemInfo());
        std::wstring carrier;
        if (!info) fail("no system information object");
        else if (!info->ChangeSystemIni(mine)) fail(qv::WideToUtf8(mine) + ": writing the carrier name failed");
        else if (!QvSystemInfoInterface::GetTAccount(carrier)) fail(qv::WideToUtf8(mine) + ": reading the carrier name failed");
        else if (carrier != L"a" && carrier != L"b") fail("carrier name " + qv::WideToUtf8(carrier));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(stop.load()) << why;
  EXPECT_EQ(renames.load(), 2 * 30 * 2);
  // Every object was given back: each account deletes.
  EXPECT_TRUE(QvAccountInfoInterface::Delete(L"a", L""));
  EXPECT_TRUE(QvAccountInfoInterface::Delete(L"b", L""));
}
