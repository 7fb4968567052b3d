// Syncs run beside the thread that queued them: each ticket ends once, with
// the result of its own file, whatever order the sync threads finish in; the
// thread's deferred syncs are its own and end with their scope.
#include "engine/store/QvDeferredSync.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/WinFormat.h"
#include "platform/kernel/FileSeam.h"
#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using DeferredSyncTest = qv::test::DeviceRootTest;

HANDLE SyncHandleOf(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, "text", 4, &written, nullptr));
  HANDLE own = ReOpenFile(file, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  CloseHandle(file);
  return own;
}

// Queues `count` new files, "\\<stem><n>.dat" with n counted on across
// calls in `made`; the flush of the `failing`-th fails (-1: none).
std::vector<uint64_t> SubmitFiles(QvDeferredSync& syncs, const wchar_t* stem, int count, int* made,
                                  int failing = -1) {
  std::vector<uint64_t> tickets;
  for (int i = 0; i < count; ++i) {
    const std::wstring path = L"\\" + std::wstring(stem) + std::to_wstring((*made)++) + L".dat";
    if (i == failing) qv::file_seam::InjectFault(path, ERROR_WRITE_FAULT, 1);
    tickets.push_back(syncs.Submit(SyncHandleOf(path)));
  }
  return tickets;
}

// Threads of this process that run batch-scheduled.
int BatchThreads() {
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (sched_getscheduler(std::stoi(task.path().filename().string())) == SCHED_BATCH) ++count;
  }
  return count;
}

// A sync thread is woken once a stored text; its wake-up must not take the
// processor from the thread that stores the next one.
TEST_F(DeferredSyncTest, SyncsRunOnThreadsWhoseWakeUpsDoNotPreempt) {
  const int before = BatchThreads();
  {
    QvDeferredSync syncs;
    EXPECT_TRUE(syncs.Wait(syncs.Submit(SyncHandleOf(L"\\batch.dat"))));
    EXPECT_GT(BatchThreads(), before);
    EXPECT_NE(sched_getscheduler(0), SCHED_BATCH);  // the storing thread is left as it was
  }
}

TEST_F(DeferredSyncTest, EveryTicketEndsWithItsOwnFilesResult) {
  ASSERT_EQ(QvDeferredSync::OnThisThread(), nullptr);
  {
    QvDeferredSync syncs;
    EXPECT_EQ(QvDeferredSync::OnThisThread(), &syncs);
    EXPECT_EQ(syncs.LastTicket(), 0u);
    // Every third file fails its flush.
    std::vector<uint64_t> tickets;
    for (int i = 0; i < 60; ++i) {
      const std::wstring path = qv::FormatW(L"\\sync%d.dat", i);
      if (i % 3 == 0) qv::file_seam::InjectFault(path, ERROR_WRITE_FAULT, 1);
      tickets.push_back(syncs.Submit(SyncHandleOf(path)));
      EXPECT_EQ(syncs.LastTicket(), tickets.back());
    }
    // Waited for from the last: later ones may end before earlier ones.
    for (size_t i = tickets.size(); i-- > 0;) {
      EXPECT_EQ(syncs.Wait(tickets[i]), i % 3 != 0) << i;
      bool ok = false;
      EXPECT_TRUE(syncs.Done(tickets[i], &ok));
      EXPECT_EQ(ok, i % 3 != 0) << i;
    }
    bool ok = true;
    EXPECT_FALSE(syncs.Done(tickets.back() + 1, &ok));
    // Another thread has none of its own.
    std::thread([] { EXPECT_EQ(QvDeferredSync::OnThisThread(), nullptr); }).join();
    {
      QvDeferredSync inner;
      EXPECT_EQ(QvDeferredSync::OnThisThread(), &inner);
    }
    EXPECT_EQ(QvDeferredSync::OnThisThread(), &syncs);
    // What is still queued at the end is synced before the scope goes.
    for (int i = 0; i < 20; ++i) syncs.Submit(SyncHandleOf(qv::FormatW(L"\\late%d.dat", i)));
  }
  EXPECT_EQ(QvDeferredSync::OnThisThread(), nullptr);
}

// WaitAll returns once every ticket so far has ended, and tells whether any
// of them failed; syncs queued after it are not its concern.
TEST_F(DeferredSyncTest, WaitAllEndsEveryTicketSoFarAndTellsOfAnyFailure) {
  struct Case {
    const char* name;
    int files;
    int failing;  // the index of the file whose flush fails, -1: none
  } cases[] = {{"nothing queued", 0, -1}, {"all reach the disk", 40, -1}, {"the first fails", 40, 0},
               {"the last fails", 40, 39}, {"one fails", 1, 0}};
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QvDeferredSync syncs;
    const std::vector<uint64_t> tickets = SubmitFiles(syncs, L"all", c.files, &made, c.failing);
    EXPECT_EQ(syncs.WaitAll(), c.failing < 0);
    for (size_t i = 0; i < tickets.size(); ++i) {
      bool ok = false;
      EXPECT_TRUE(syncs.Done(tickets[i], &ok)) << i;
      EXPECT_EQ(ok, static_cast<int>(i) != c.failing) << i;
      // Asked in order, once everything is over: the same answers.
      ok = static_cast<int>(i) == c.failing;
      EXPECT_TRUE(syncs.DoneInOrder(tickets[i], &ok)) << i;
      EXPECT_EQ(ok, static_cast<int>(i) != c.failing) << i;
    }
    bool ok = true;
    EXPECT_FALSE(syncs.DoneInOrder(syncs.LastTicket() + 1, &ok));
  }
}

// Syncs wait to go as a group; nobody waiting must not mean nobody syncing.
// Whatever was queued, however short of a group, ends on its own with only
// Done() asked, and a wait for any one of them ends too.
TEST_F(DeferredSyncTest, SyncsShortOfAGroupEndWithoutAWait) {
  struct Case {
    const char* name;
    int files;
    int waitedFor;  // the index of the one waited for, -1: only Done() is asked
  } cases[] = {{"one alone", 1, -1},      {"a few", 5, -1},          {"a group and some", 21, -1},
               {"the first of a few", 5, 0}, {"the last of a few", 5, 4}, {"one past groups", 40, 39}};
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QvDeferredSync syncs;
    const std::vector<uint64_t> tickets = SubmitFiles(syncs, L"alone", c.files, &made);
    if (c.waitedFor >= 0) {
      EXPECT_TRUE(syncs.Wait(tickets[c.waitedFor]));
    }
    // Far beyond any wait a group makes; only a sync nobody starts reaches it.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (size_t i = 0; i < tickets.size(); ++i) {
      bool ok = false;
      while (!syncs.Done(tickets[i], &ok) && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
      ASSERT_TRUE(syncs.Done(tickets[i], &ok)) << i;
      EXPECT_TRUE(ok) << i;
    }
  }
}

}  // namespace
