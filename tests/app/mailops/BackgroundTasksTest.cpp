// The task framework, the notify sinks, the connection holder and the two
// background receive threads, through their public faces: what the progress
// window is posted and in which order, when the connection goes, who joins
// and closes which handle, and that no task ever waits on the UI thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/NotifySinks.h"
#include "app/mailops/QvRasHolder.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "engine/public/store/QvMessageImporter.h"
#include "engine/public/transport/QvRetriever.h"
#include "engine/public/transport/Sender.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/DeviceServices.h"
#include "platform/testing/MessageLog.h"
#include "platform/testing/Seams.h"
#include "tests/app/ProtocolNames.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

using qv::seams::MsgEntry;
namespace seq = qv::seams::seq;

constexpr unsigned kExact = seq::posted | seq::wparam | seq::lparam;


// The progress window stand-in: a plain window whose messages the log keeps.
class ProgressWindow : public CFrameWnd {};

class BackgroundTasksTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    ASSERT_TRUE(kProtocolNamesAdded);
    progress_ = new ProgressWindow;  // deletes itself with its window
    ASSERT_TRUE(progress_->Create(nullptr, L"progress", WS_POPUP | WS_VISIBLE));
    log_ = std::make_unique<qv::seams::MessageLog>();
    log_->Keep({kConnectionStateMessage, kProgressCountMessage, kPartProgressMessage, WM_COMMAND,
                kUiProbeMessage, WM_USER + 110});
    SetMailTaskOperations({});
    SetProgramInUse(false);
    qv::seams::SetPowerState(POWER_STATE_ON);
    SetProgressPostSpacing(0);  // every step, as the engine gives it
  }
  void TearDown() override {
    ShutdownMailOperations();
    SetProgressPostSpacing(50);
    SetMailTaskOperations({});
    SetProgramInUse(false);
    log_.reset();
    if (progress_ != nullptr) progress_->DestroyWindow();
    progress_ = nullptr;
    MailOpsTest::TearDown();
  }

  HWND Progress() const { return progress_->GetSafeHwnd(); }
  static void Pump() { qv::seams::PumpMessages(); }
  std::string Posted(const std::vector<MsgEntry>& want) const {
    Pump();
    return log_->Compare(Progress(), want);
  }

  // Sent from a test's other thread to a window of the UI thread: served
  // only while the UI thread waits in a platform wait.
  static constexpr UINT kUiProbeMessage = WM_APP + 0x31;

  ProgressWindow* progress_ = nullptr;
  std::unique_ptr<qv::seams::MessageLog> log_;
};

// ---- the receive sink ----

struct RecvStep {
  unsigned int code;
  long w;
  long l;
};

struct RecvCase {
  const char* name;
  std::vector<RecvStep> steps;
  std::vector<MsgEntry> posted;
  uint32_t code;
  int32_t detail;
};

TEST_F(BackgroundTasksTest, ReceiveSinkTurnsEachEngineStepIntoItsMessage) {
  const std::vector<RecvCase> cases = {
      {"one message counts against the initial total 1",
       {{0, 0, 0}},
       {{kProgressCountMessage, kExact, 1, 1}},
       0,
       -1},
      {"totals, then messages, whole and partial",
       {{7, 3, 9}, {0, 0, 0}, {1, 0, 0}},
       {{kProgressCountMessage, kExact, 0, 3},
        {kPartProgressMessage, kExact, 0, 9},
        {kProgressCountMessage, kExact, 1, 3},
        {kProgressCountMessage, kExact, 2, 3}},
       0,
       -1},
      {"part progress is measured against the part total",
       {{7, 2, 40}, {8, 17, 0}},
       {{kProgressCountMessage, kExact, 0, 2}, {kPartProgressMessage, kExact, 0, 40},
        {kPartProgressMessage, kExact, 17, 40}},
       0,
       -1},
      {"the end fills both counts whatever came before",
       {{7, 5, 8}, {0, 0, 0}, {4, 0, 0}},
       {{kProgressCountMessage, kExact, 0, 5},
        {kPartProgressMessage, kExact, 0, 8},
        {kProgressCountMessage, kExact, 1, 5},
        {kProgressCountMessage, kExact, 5, 5},
        {kPartProgressMessage, kExact, 8, 8}},
       0,
       -1},
      {"an error is kept, not posted; the last one wins",
       {{3, 0x2002001, 5}, {3, 0x2002011, 7}},
       {},
       0x2002011,
       7},
      {"connection states as the window's kinds",
       {{11, 1, 0}, {11, 2, 0}, {11, 3, 0}, {11, 0, 0}, {11, 9, 0}},
       {{kConnectionStateMessage, kExact, 0, 0},
        {kConnectionStateMessage, kExact, 1, 0},
        {kConnectionStateMessage, kExact, 2, 0},
        {kConnectionStateMessage, kExact, 3, 0},
        {kConnectionStateMessage, kExact, 3, 0}},
       0,
       -1},
      {"codes the sink does not know change nothing",
       {{2, 1, 1}, {9, 1, 1}, {10, 1, 1}, {12, 1, 1}},
       {},
       0,
       -1},
  };
  for (const RecvCase& c : cases) {
    SCOPED_TRACE(c.name);
    log_->Clear();
    QvRecvNotifySink sink(Progress());
    for (const RecvStep& s : c.steps) EXPECT_TRUE(sink.notify(s.code, s.w, s.l));
    EXPECT_EQ(Posted(c.posted), "");
    EXPECT_EQ(sink.ErrorCode(), c.code);
    EXPECT_EQ(sink.ErrorDetail(), c.detail);
  }
}

// Paced, a run's steps within the spacing are held back, but the window
// still gets the first count, the totals and the last count: at the end, or
// when the sink goes without one.
TEST_F(BackgroundTasksTest, PacedSinksStillGiveTheFirstAndTheLastCount) {
  SetProgressPostSpacing(60000);
  const struct {
    const char* name;
    bool ended;
    std::vector<MsgEntry> posted;
  } cases[] = {
      {"ended by the engine", true,
       {{kProgressCountMessage, kExact, 0, 5},
        {kPartProgressMessage, kExact, 0, 8},
        {kPartProgressMessage, kExact, 2, 8},
        {kProgressCountMessage, kExact, 1, 5},
        {kProgressCountMessage, kExact, 5, 5},
        {kPartProgressMessage, kExact, 8, 8}}},
      {"stopped after three", false,
       {{kProgressCountMessage, kExact, 0, 5},
        {kPartProgressMessage, kExact, 0, 8},
        {kPartProgressMessage, kExact, 2, 8},
        {kProgressCountMessage, kExact, 1, 5},
        {kProgressCountMessage, kExact, 3, 5}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log_->Clear();
    {
      QvRecvNotifySink sink(Progress());
      sink.notify(7, 5, 8);
      for (int i = 0; i < 3; ++i) {
        sink.notify(8, 2 + i, 0);
        sink.notify(0, 0, 0);
      }
      if (c.ended) sink.notify(4, 0, 0);
    }
    EXPECT_EQ(Posted(c.posted), "");
  }
  log_->Clear();
  {
    QvSendNotifySink sink(Progress(), 3);
    for (int i = 0; i < 3; ++i) sink.notify(1, 0, 0);
  }
  EXPECT_EQ(Posted({{kProgressCountMessage, kExact, 0, 3},
                    {kProgressCountMessage, kExact, 1, 3},
                    {kProgressCountMessage, kExact, 3, 3}}),
            "");
}

TEST_F(BackgroundTasksTest, ReceiveSinkWithoutAWindowCountsAndKeepsErrorsButPostsNothing) {
  QvRecvNotifySink sink(nullptr);
  sink.notify(7, 4, 4);
  sink.notify(0, 0, 0);
  sink.notify(1, 0, 0);
  sink.notify(3, 0x2002005, 2);
  sink.notify(11, 2, 0);
  EXPECT_EQ(sink.Count(), 2);
  EXPECT_EQ(sink.Total(), 4);
  EXPECT_EQ(sink.ErrorCode(), 0x2002005u);
  EXPECT_EQ(sink.ErrorDetail(), 2);
  // Nothing to a window, and nothing to this thread's queue either.
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, kConnectionStateMessage, kPartProgressMessage, PM_NOREMOVE));
  Pump();
  EXPECT_TRUE(log_->MessagesOf(Progress()).empty());
  EXPECT_TRUE(log_->MessagesOf(main_->GetSafeHwnd()).empty());
}

// ---- whether the program is in use ----

TEST_F(BackgroundTasksTest, ActiveNowFollowsThePowerStateAndTheUiThreadsFlag) {
  struct Case {
    DWORD power;
    bool inUse;
    bool active;
  } const cases[] = {
      {POWER_STATE_ON, false, false},         {POWER_STATE_ON, true, true},
      {POWER_STATE_UNATTENDED, false, true},  {POWER_STATE_UNATTENDED, true, true},
      {POWER_STATE_IDLE, false, false},       {POWER_STATE_USERIDLE, false, false},
      {POWER_STATE_USERIDLE, true, true},
  };
  QvRecvNotifySink sink(Progress());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.power << " in use " << c.inUse);
    qv::seams::SetPowerState(c.power);
    SetProgramInUse(c.inUse);
    bool flag = !c.active;
    EXPECT_TRUE(sink.IsActiveNow(&flag));
    EXPECT_EQ(flag, c.active);
    bool asked = !c.active;
    sink.isActive(&asked, nullptr);
    EXPECT_EQ(asked, c.active);
  }
  EXPECT_FALSE(sink.IsActiveNow(nullptr));
}

// The engine asks from the receiving thread while the UI thread may be
// waiting for that very thread (a stop joins it): the answer must come
// without the UI thread, and no message may reach the main frame.
TEST_F(BackgroundTasksTest, ActiveNowNeverWaitsForTheUiThread) {
  log_->Keep({});
  SetProgramInUse(true);
  QvRecvNotifySink sink(Progress());
  std::promise<bool> answered;
  std::future<bool> answer = answered.get_future();
  struct Call {
    QvRecvNotifySink* sink;
    std::promise<bool>* answered;
  } call{&sink, &answered};
  HANDLE asker = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* c = static_cast<Call*>(p);
        bool flag = false;
        c->sink->IsActiveNow(&flag);
        c->answered->set_value(flag);
        return 0;
      },
      &call, 0, nullptr);
  ASSERT_NE(asker, nullptr);
  // Blocked outside every platform wait, the UI thread serves nothing here.
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(60)), std::future_status::ready)
      << "the answer waited for the UI thread";
  EXPECT_TRUE(answer.get());
  EXPECT_EQ(WaitForSingleObject(asker, INFINITE), WAIT_OBJECT_0);
  CloseHandle(asker);
  Pump();
  const std::vector<UINT> toMain = log_->MessagesOf(main_->GetSafeHwnd());
  EXPECT_EQ(std::count(toMain.begin(), toMain.end(), UINT{WM_USER + 110}), 0) << "the main frame was asked";
}

// ---- the send sink ----

TEST_F(BackgroundTasksTest, SendSinkPostsTheEmptyCountFirstThenEachMessageSent) {
  QvSendNotifySink sink(Progress(), 3);
  EXPECT_EQ(Posted({{kProgressCountMessage, kExact, 0, 3}}), "") << "before anything is sent";
  sink.notify(4, 1, 0);
  sink.notify(4, 2, 0);
  sink.notify(1, 0, 0);
  sink.notify(1, 0, 0);
  sink.notify(0, 0x2002101, 4);
  sink.notify(1, 0, 0);
  sink.notify(4, 3, 0);
  sink.notify(9, 0, 0);
  EXPECT_EQ(Posted({{kProgressCountMessage, kExact, 0, 3},
                    {kConnectionStateMessage, kExact, 0, 0},
                    {kConnectionStateMessage, kExact, 1, 0},
                    {kProgressCountMessage, kExact, 1, 3},
                    {kProgressCountMessage, kExact, 2, 3},
                    {kProgressCountMessage, kExact, 3, 3},
                    {kConnectionStateMessage, kExact, 2, 0}}),
            "");
  EXPECT_EQ(sink.ErrorCode(), 0x2002101u);
  EXPECT_EQ(sink.ErrorDetail(), 4);
  sink.notify(2, 0x2002108, 1);
  EXPECT_EQ(sink.ErrorCode(), 0x2002108u) << "a queue failure is kept the same way";
  EXPECT_EQ(sink.ErrorDetail(), 1);
}

TEST_F(BackgroundTasksTest, SendSinkEndsTheChanceToCancelWhenTheEngineSaysSo) {
  for (const bool closing : {false, true}) {
    SCOPED_TRACE(closing ? "closing told" : "still sending");
    Sender sender;
    SetRunningSender(&sender);
    QvSendNotifySink sink(nullptr, 1);
    if (closing) sink.notify(3, 0, 0);
    EXPECT_EQ(CancelSender(), !closing);
    SetRunningSender(nullptr);
  }
}

// ---- export and import sinks ----

TEST_F(BackgroundTasksTest, FileRunSinksCountEveryItemAndRepeatTheEndOnlyWhenComplete) {
  struct Case {
    const char* name;
    bool import;
    uint32_t total;
    int done;
    std::vector<MsgEntry> posted;
  } const cases[] = {
      {"export of three, all done",
       false,
       3,
       3,
       {{kProgressCountMessage, kExact, 0, 3},
        {kProgressCountMessage, kExact, 1, 3},
        {kProgressCountMessage, kExact, 2, 3},
        {kProgressCountMessage, kExact, 3, 3},
        {kProgressCountMessage, kExact, 3, 3}}},
      {"import of two, all done",
       true,
       2,
       2,
       {{kProgressCountMessage, kExact, 0, 2},
        {kProgressCountMessage, kExact, 1, 2},
        {kProgressCountMessage, kExact, 2, 2},
        {kProgressCountMessage, kExact, 2, 2}}},
      {"export cancelled after one of three: no closing count",
       false,
       3,
       1,
       {{kProgressCountMessage, kExact, 0, 3}, {kProgressCountMessage, kExact, 1, 3}}},
      {"import of nothing", true, 0, 0, {{kProgressCountMessage, kExact, 0, 0}, {kProgressCountMessage, kExact, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_->Clear();
    QvExportNotifySink exportSink(Progress());
    QvImportNotifySink importSink(Progress());
    QvFileRunNotifySink& sink = c.import ? static_cast<QvFileRunNotifySink&>(importSink) : exportSink;
    QvMailFileRun::Notification& engine = sink;
    engine.Start(c.total);
    for (int i = 0; i < c.done; ++i) engine.Progress(static_cast<uint32_t>(i + 1));
    engine.End(c.done == static_cast<int>(c.total) ? 0 : 1);
    EXPECT_EQ(Posted(c.posted), "");
    EXPECT_EQ(sink.Count(), c.done);
  }
}

// ---- the connection holder ----

TEST_F(BackgroundTasksTest, HolderReleasesAsItsKeepModeSaysAndTellsTheLastSink) {
  struct Case {
    int mode;
    bool success;
    bool released;
  } const cases[] = {
      {QvRasHolder::kReleaseAlways, true, true},   {QvRasHolder::kReleaseAlways, false, true},
      {QvRasHolder::kReleaseOnFailure, true, false}, {QvRasHolder::kReleaseOnFailure, false, true},
      {QvRasHolder::kKeep, true, false},          {QvRasHolder::kKeep, false, false},
  };
  for (const Case& c : cases) {
    for (const bool send : {false, true}) {
      SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.success ? " success" : " failure")
                                      << (send ? " send" : " receive"));
      log_->Clear();
      QvRasHolder holder;
      holder.SetKeepMode(c.mode);
      QvRASController* controller = holder.GetController();
      ASSERT_NE(controller, nullptr);
      EXPECT_EQ(holder.GetController(), controller) << "made once";
      {
        QvRecvNotifySink recv(Progress());
        QvSendNotifySink sendSink(send ? Progress() : nullptr, 0);
        if (send) {
          holder.SetNotifyObject(&sendSink);
        } else {
          holder.SetNotifyObject(&recv);
        }
        holder.Finish(c.success);
      }
      EXPECT_EQ(holder.HasController(), !c.released);
      std::vector<MsgEntry> want;
      if (send) want.push_back({kProgressCountMessage, kExact, 0, 0});
      if (c.released) want.push_back({kConnectionStateMessage, kExact, 2, 0});
      EXPECT_EQ(Posted(want), "");
      // The sinks are gone: a later release tells no one.
      log_->Clear();
      holder.Release();
      EXPECT_FALSE(holder.HasController());
      EXPECT_EQ(Posted({}), "");
    }
  }
}

TEST_F(BackgroundTasksTest, HolderKeptAcrossOperationsReleasesOnceAtItsEnd) {
  auto holder = std::make_unique<QvRasHolder>();
  holder->SetKeepMode(QvRasHolder::kReleaseOnFailure);
  QvRASController* first = holder->GetController();
  {
    QvSendNotifySink send(nullptr, 1);
    holder->SetNotifyObject(&send);
    holder->Finish(true);
  }
  holder->SetKeepMode(QvRasHolder::kReleaseAlways);
  EXPECT_EQ(holder->GetController(), first) << "the receive after a good send reuses the connection";
  {
    QvRecvNotifySink recv(Progress());
    holder->SetNotifyObject(&recv);
    holder->Finish(true);
  }
  EXPECT_FALSE(holder->HasController());
  EXPECT_EQ(Posted({{kConnectionStateMessage, kExact, 2, 0}}), "");
  log_->Clear();
  holder.reset();
  EXPECT_EQ(Posted({}), "");
}

// ---- tasks ----

TEST_F(BackgroundTasksTest, TaskWhoseOperationRefusesStillEndsTheProgressWindow) {
  std::list<unsigned long> ids{4, 5};
  std::vector<std::unique_ptr<QvTask>> tasks;
  tasks.push_back(std::make_unique<QvReceiveTask>(L"acct"));
  tasks.push_back(std::make_unique<QvReceiveTask>(&ids));
  tasks.push_back(std::make_unique<QvSendTask>(std::vector<unsigned long>{}));
  tasks.push_back(std::make_unique<QvExportTask>(L"\\out", std::vector<unsigned long>{1}));
  tasks.push_back(std::make_unique<QvImportTask>(7, std::list<std::wstring>{L"\\a.eml"}));
  for (auto& task : tasks) {
    log_->Clear();
    QvRasHolder holder;
    ASSERT_TRUE(task->Start(Progress(), &holder));
    EXPECT_FALSE(task->Start(Progress(), &holder)) << "one thread per task";
    task.reset();  // joins
    EXPECT_EQ(Posted({{WM_COMMAND, kExact, kTaskFailedCommand, L(Progress())}}), "");
  }
}

TEST_F(BackgroundTasksTest, TaskWithoutAnOwnerRunsButPostsNothing) {
  std::atomic<int> ran{0};
  MailTaskOperations ops;
  ops.exportMessages = [&](const std::vector<unsigned long>&, const std::wstring&, HWND owner, uint32_t*) {
    EXPECT_EQ(owner, nullptr);
    ++ran;
    return true;
  };
  SetMailTaskOperations(ops);
  {
    QvExportTask task(L"\\out", {1, 2});
    ASSERT_TRUE(task.Start(nullptr, nullptr));
  }
  EXPECT_EQ(ran.load(), 1);
  Pump();
  EXPECT_TRUE(log_->MessagesOf(Progress()).empty());
}

// A receive run through its task: the engine's steps reach the progress
// window as posted messages, in order, and the end comes last.
TEST_F(BackgroundTasksTest, ReceiveTaskPostsItsStepsThenItsEndInOrder) {
  struct Seen {
    std::wstring account;
    QvRasHolder* holder = nullptr;
    DWORD thread = 0;
  } seen;
  MailTaskOperations ops;
  ops.receiveAccountByName = [&](const std::wstring& account, HWND owner, uint32_t* code, int32_t* detail,
                                 QvRasHolder* holder) {
    seen = {account, holder, GetCurrentThreadId()};
    QvRecvNotifySink sink(owner);
    holder->GetController();
    holder->SetKeepMode(QvRasHolder::kReleaseAlways);
    sink.notify(11, 1, 0);
    sink.notify(11, 2, 0);
    sink.notify(7, 2, 6);
    sink.notify(8, 3, 0);
    sink.notify(0, 0, 0);
    sink.notify(8, 6, 0);
    sink.notify(0, 0, 0);
    sink.notify(4, 0, 0);
    *code = sink.ErrorCode();
    *detail = sink.ErrorDetail();
    holder->SetNotifyObject(&sink);
    holder->Finish(true);
    return true;
  };
  SetMailTaskOperations(ops);
  QvRasHolder holder;
  {
    QvReceiveTask task(L"ドコモ");
    ASSERT_TRUE(task.Start(Progress(), &holder));
    // The window's own modal loop stands in: it pumps until the end comes.
    MSG msg;
    bool ended = false;
    while (!ended && GetMessageW(&msg, nullptr, 0, 0)) {
      if (msg.hwnd == Progress() && msg.message == WM_COMMAND) ended = true;
      DispatchMessageW(&msg);
    }
    EXPECT_EQ(task.Result(), 1);
    EXPECT_EQ(task.ErrorCode(), 0u);
    EXPECT_EQ(task.ErrorDetail(), -1);
  }
  EXPECT_EQ(seen.account, L"ドコモ");
  EXPECT_EQ(seen.holder, &holder);
  EXPECT_NE(seen.thread, GetCurrentThreadId());
  EXPECT_EQ(Posted({{kConnectionStateMessage, kExact, 0, 0},
                    {kConnectionStateMessage, kExact, 1, 0},
                    {kProgressCountMessage, kExact, 0, 2},
                    {kPartProgressMessage, kExact, 0, 6},
                    {kPartProgressMessage, kExact, 3, 6},
                    {kProgressCountMessage, kExact, 1, 2},
                    {kPartProgressMessage, kExact, 6, 6},
                    {kProgressCountMessage, kExact, 2, 2},
                    {kProgressCountMessage, kExact, 2, 2},
                    {kPartProgressMessage, kExact, 6, 6},
                    {kConnectionStateMessage, kExact, 2, 0},
                    {WM_COMMAND, kExact, kTaskSucceededCommand, L(Progress())}}),
            "");
}

// The progress window's abort: Cancel reaches the engine object the
// operation runs while Run still runs, and the failure ends the window.
TEST_F(BackgroundTasksTest, AbortCancelsTheRunningOperationAndTheTaskEndsAsFailed) {
  struct Shared {
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  } shared;
  MailTaskOperations ops;
  ops.sendMessages = [&](HWND, uint32_t* code, int32_t* detail, QvRasHolder*, std::vector<unsigned long> ids) {
    EXPECT_EQ(ids, (std::vector<unsigned long>{3, 1}));
    Sender sender;
    SetRunningSender(&sender);
    SetEvent(shared.started);
    WaitForSingleObject(shared.finish, INFINITE);
    SetRunningSender(nullptr);
    *code = 0x2002116;
    *detail = 2;
    return false;
  };
  ops.receiveAccountByName = [&](const std::wstring&, HWND, uint32_t*, int32_t*, QvRasHolder*) {
    QvRetriever retriever;
    SetRunningRetriever(&retriever);
    SetEvent(shared.started);
    WaitForSingleObject(shared.finish, INFINITE);
    SetRunningRetriever(nullptr);
    return false;
  };
  SetMailTaskOperations(ops);
  for (const bool send : {true, false}) {
    SCOPED_TRACE(send ? "send" : "receive");
    ResetEvent(shared.started);
    ResetEvent(shared.finish);
    log_->Clear();
    std::unique_ptr<QvTask> task;
    if (send) {
      task = std::make_unique<QvSendTask>(std::vector<unsigned long>{3, 1});
    } else {
      task = std::make_unique<QvReceiveTask>(L"acct");
    }
    QvRasHolder holder;
    ASSERT_TRUE(task->Start(Progress(), &holder));
    ASSERT_EQ(WaitForSingleObject(shared.started, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetMailTaskState(), send ? kMailTaskSend : kMailTaskReceive);
    // The engine accepts the cancel of the object that runs now; a second
    // cancel of a send after it ended finds nothing.
    if (send) {
      EXPECT_TRUE(CancelSender());
    } else {
      EXPECT_TRUE(CancelRetriever());
    }
    task->Cancel();
    EXPECT_EQ(Posted({}), "") << "the window stays until the operation returns";
    SetEvent(shared.finish);
    task.reset();
    EXPECT_EQ(GetMailTaskState(), kMailTaskIdle);
    EXPECT_FALSE(CancelSender());
    EXPECT_FALSE(CancelRetriever());
    EXPECT_EQ(Posted({{WM_COMMAND, kExact, kTaskFailedCommand, L(Progress())}}), "");
  }
  CloseHandle(shared.started);
  CloseHandle(shared.finish);
}

// An import aborted from the progress window through the real engine: the
// importer stops between two files, and the window hears the failure.
class HeldImportSink : public QvMailFileRun::Notification {
 public:
  HeldImportSink(HWND owner, HANDLE started, HANDLE proceed) : sink_(owner), started_(started), proceed_(proceed) {}
  void Start(uint32_t total) override { Engine().Start(total); }
  void Progress(uint32_t done) override {
    Engine().Progress(done);
    if (done == 1) {
      SetEvent(started_);
      WaitForSingleObject(proceed_, INFINITE);
    }
  }
  void End(uint32_t cancelled) override { Engine().End(cancelled); }

 private:
  QvMailFileRun::Notification& Engine() { return sink_; }
  QvImportNotifySink sink_;
  HANDLE started_;
  HANDLE proceed_;
};

TEST_F(BackgroundTasksTest, AbortOfAnImportStopsTheEngineBetweenTwoFiles) {
  const TestAccount account = MakeAccount(L"imp");
  std::list<std::wstring> files;
  for (int i = 0; i < 4; ++i) {
    const std::wstring path = L"\\m" + std::to_wstring(i) + L".eml";
    std::ofstream(HostOf(path), std::ios::binary) << "From: a@example.com\r\nSubject: " << i << "\r\n\r\nbody\r\n";
    files.push_back(path);
  }
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE proceed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  MailTaskOperations ops;
  ops.importMessages = [&](DWORD folderId, const std::list<std::wstring>& paths, HWND owner, uint32_t* code) {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"imp", L""));
    std::unique_ptr<QvStorageInterface> storage(info ? info->OpenStorage() : nullptr);
    std::unique_ptr<QvFolderInterface> folder(storage ? storage->OpenFolder(folderId) : nullptr);
    if (!folder) return false;
    HeldImportSink sink(owner, started, proceed);
    QvMessageImporter importer;
    importer.RegisterNotification(&sink);
    importer.SetDestination(folder.get());
    importer.SetSource(std::vector<std::wstring>(paths.begin(), paths.end()));
    SetRunningImporter(&importer);
    const bool ok = importer.Fire(nullptr);
    SetRunningImporter(nullptr);
    *code = importer.GetErrorInfo();
    return ok;
  };
  SetMailTaskOperations(ops);
  auto task = std::make_unique<QvImportTask>(account.trays[0], files);
  ASSERT_TRUE(task->Start(Progress(), nullptr));
  ASSERT_EQ(WaitForSingleObject(started, INFINITE), WAIT_OBJECT_0);
  task->Cancel();
  SetEvent(proceed);
  task.reset();
  EXPECT_EQ(Posted({{kProgressCountMessage, kExact, 0, 4},
                    {kProgressCountMessage, kExact, 1, 4},
                    {WM_COMMAND, kExact, kTaskFailedCommand, L(Progress())}}),
            "");
  Ids stored;
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"imp", L""));
  std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
  std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(account.trays[0]));
  ASSERT_TRUE(folder && folder->GetMessageIds(&stored));
  EXPECT_EQ(stored.size(), 1u) << "the run went on after the abort";
  CloseHandle(started);
  CloseHandle(proceed);
}

// ---- event tasks ----

// Ticks once, and the first tick is held until the UI thread waits inside
// the task's destruction: the thread then meets its event after the
// destructor has set it. Its owner hears whether the event ended the loop.
class HeldEventTask : public QvEventTask {
 public:
  HeldEventTask(HWND owner, HWND probe) : QvEventTask(60000, owner), probe_(probe) { Launch(); }
  ~HeldEventTask() override { StopAndJoin(); }
  std::atomic<int> ticks{0};

 protected:
  void Tick() override {
    if (ticks++ == 0) SendMessageW(probe_, WM_APP + 0x31, 0, 0);
  }

 private:
  HWND probe_;
};

TEST_F(BackgroundTasksTest, EventTaskJoinsBeforeItClosesItsEvent) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    log_->Clear();
    auto task = std::make_unique<HeldEventTask>(Progress(), main_->GetSafeHwnd());
    task.reset();
    // The loop ended through its own event, not through a failed wait on a
    // handle already closed.
    EXPECT_EQ(Posted({{kUiProbeMessage, seq::sent | seq::other},
                      {WM_COMMAND, kExact, kTaskSucceededCommand, L(Progress())}}),
              "");
  }
}

TEST_F(BackgroundTasksTest, KeepAwakeTaskResetsTheIdleTimerAtOnceAndStopsWithoutTheInterval) {
  for (int round = 0; round < 10; ++round) {
    const int before = qv::seams::PowerCalls();
    {
      QvKeepAwakeTask awake;
      awake.Cancel();
    }
    // One tick: the first comes before any wait, and the stop ends the
    // 8000 ms wait at once (a test at load 20 still ends within it).
    EXPECT_EQ(qv::seams::PowerCalls() - before, 1);
  }
}

// ---- the automatic-receive thread ----

struct PassProbe {
  std::atomic<int> entered{0};
  std::atomic<int> left{0};
};

TEST_F(BackgroundTasksTest, AutoReceiveHandleLivesUntilItsStopperJoinsAndClosesIt) {
  PassProbe probe;
  MailTaskOperations ops;
  ops.autoPass = [&] {
    ++probe.entered;
    ++probe.left;
    return true;
  };
  SetMailTaskOperations(ops);
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    HANDLE thread = StartAutoReceiveThread();
    ASSERT_NE(thread, nullptr);
    // The thread ends on its own; its handle is still the stopper's.
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_FALSE(IsAutoReceiveRunning());
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode)) << "the thread closed its own handle";
    EXPECT_EQ(exitCode, 0u);
    StopAutoReceiveThread();
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeThread(thread, &exitCode)) << "the stopper left the handle open";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(probe.entered.load(), 50);
  EXPECT_EQ(probe.left.load(), 50);
}

TEST_F(BackgroundTasksTest, AutoReceiveStartAndStopRacesLeaveNoThreadAndNoHandle) {
  PassProbe probe;
  MailTaskOperations ops;
  ops.autoPass = [&] {
    ++probe.entered;
    for (int i = 0; i < 3; ++i) Sleep(0);
    ++probe.left;
    return true;
  };
  SetMailTaskOperations(ops);
  int started = 0;
  for (int round = 0; round < 200; ++round) {
    HANDLE thread = StartAutoReceiveThread();
    ASSERT_NE(thread, nullptr);
    ++started;
    // A second start finds the thread running (the same handle) or, when it
    // ended already, starts the next one and closes the first's handle.
    HANDLE again = round % 3 == 1 ? StartAutoReceiveThread() : thread;
    ASSERT_NE(again, nullptr);
    if (again != thread) ++started;
    StopAutoReceiveThread();
    EXPECT_FALSE(IsAutoReceiveRunning());
    EXPECT_EQ(probe.entered.load(), probe.left.load()) << "a stop returned while the pass ran";
    DWORD exitCode = 0;
    EXPECT_FALSE(GetExitCodeThread(thread, &exitCode));
    EXPECT_FALSE(GetExitCodeThread(again, &exitCode));
  }
  EXPECT_EQ(probe.entered.load(), started);
  EXPECT_EQ(GetMailTaskState(), kMailTaskIdle);
}

// ---- the periodic-receive thread ----

TEST_F(BackgroundTasksTest, PeriodicPassRunsAwakeAndTheFlagOutlastsThePause) {
  struct Shared {
    HANDLE passDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> stateInPass{-1};
  } shared;
  MailTaskOperations ops;
  ops.periodicPass = [&] {
    QvRetriever retriever;
    SetRunningRetriever(&retriever);
    shared.stateInPass = GetMailTaskState();
    SetRunningRetriever(nullptr);
    SetEvent(shared.passDone);
    return true;
  };
  SetMailTaskOperations(ops);
  const int ticksBefore = qv::seams::PowerCalls();
  HANDLE thread = StartPeriodicReceiveThread();
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(IsPeriodicReceiveRunning());
  EXPECT_EQ(StartPeriodicReceiveThread(), thread) << "one pass at a time";
  ASSERT_EQ(WaitForSingleObject(shared.passDone, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(shared.stateInPass.load(), kMailTaskPeriodicReceive);
  // The pass is over but its pause is not: still running, by flag and thread.
  EXPECT_TRUE(IsPeriodicReceiveRunning());
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EndPeriodicPauseForTest();
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(IsPeriodicReceiveRunning());
  EXPECT_GE(qv::seams::PowerCalls() - ticksBefore, 1) << "the device was kept awake";
  StopPeriodicReceiveThread();
  DWORD exitCode = 0;
  EXPECT_FALSE(GetExitCodeThread(thread, &exitCode));
  CloseHandle(shared.passDone);
}

// Stopping during the final pause waits for it: the pause here ends only
// when the UI thread serves a message, which it does only inside the stop's
// wait for the thread.
TEST_F(BackgroundTasksTest, StopDuringThePeriodicPauseWaitsForThePauseToEnd) {
  class PauseEnder : public CFrameWnd {
   public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == WM_APP + 0x31) {
        servedWhileStopping = stopping;
        EndPeriodicPauseForTest();
        return 1;
      }
      return CFrameWnd::WindowProc(message, wParam, lParam);
    }
    bool stopping = false;
    bool servedWhileStopping = false;
  };
  auto* ender = new PauseEnder;
  ASSERT_TRUE(ender->Create(nullptr, L"ender", WS_POPUP));
  HANDLE passDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  MailTaskOperations ops;
  ops.periodicPass = [&] {
    SetEvent(passDone);
    return true;
  };
  SetMailTaskOperations(ops);
  HANDLE thread = StartPeriodicReceiveThread();
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(passDone, INFINITE), WAIT_OBJECT_0);
  HWND target = ender->GetSafeHwnd();
  HANDLE sender = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        SendMessageW(static_cast<HWND>(p), WM_APP + 0x31, 0, 0);
        return 0;
      },
      target, 0, nullptr);
  ASSERT_NE(sender, nullptr);
  ender->stopping = true;
  StopPeriodicReceiveThread();
  ender->stopping = false;
  EXPECT_TRUE(ender->servedWhileStopping) << "the stop returned before the pause ended";
  EXPECT_FALSE(IsPeriodicReceiveRunning());
  DWORD exitCode = 0;
  EXPECT_FALSE(GetExitCodeThread(thread, &exitCode)) << "the stopper closes the handle";
  EXPECT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);
  CloseHandle(sender);
  CloseHandle(passDone);
  ender->DestroyWindow();
}

TEST_F(BackgroundTasksTest, PeriodicStartAndStopRacesLeaveNoThreadAndNoHandle) {
  PassProbe probe;
  MailTaskOperations ops;
  ops.periodicPass = [&] {
    ++probe.entered;
    Sleep(0);
    // Ends this pass's pause before it begins (the event keeps the word).
    EndPeriodicPauseForTest();
    ++probe.left;
    return true;
  };
  SetMailTaskOperations(ops);
  const int ticksBefore = qv::seams::PowerCalls();
  for (int round = 0; round < 100; ++round) {
    HANDLE thread = StartPeriodicReceiveThread();
    ASSERT_NE(thread, nullptr);
    if (round % 2 == 0) Sleep(0);
    StopPeriodicReceiveThread();
    EXPECT_FALSE(IsPeriodicReceiveRunning());
    EXPECT_EQ(probe.entered.load(), round + 1) << "every start runs its pass";
    EXPECT_EQ(probe.left.load(), round + 1) << "a stop returned while the pass ran";
    DWORD exitCode = 0;
    EXPECT_FALSE(GetExitCodeThread(thread, &exitCode));
  }
  // Each pass had its keep-awake task, which ticks before its first wait.
  EXPECT_GE(qv::seams::PowerCalls() - ticksBefore, 100);
  EXPECT_EQ(GetMailTaskState(), kMailTaskIdle);
}

TEST_F(BackgroundTasksTest, PeriodicPassThatThrowsStillEndsTheThread) {
  MailTaskOperations ops;
  ops.periodicPass = []() -> bool { throw std::bad_alloc(); };
  SetMailTaskOperations(ops);
  HANDLE thread = StartPeriodicReceiveThread();
  ASSERT_NE(thread, nullptr);
  EndPeriodicPauseForTest();
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(IsPeriodicReceiveRunning());
  StopPeriodicReceiveThread();
}

}  // namespace
}  // namespace qv::test
