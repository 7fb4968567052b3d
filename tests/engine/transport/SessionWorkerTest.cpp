// The worker runner the POP3 and SMTP clients share: what a run comes to and
// its engine code, the stepped wait with its limit, the wake-up that ends a
// production-length step at once, the two ways a worker is stopped (it is
// always joined), and the lost data connection.
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/MailSocket.h"
#include "engine/public/transport/ProtocolLog.h"
#include "engine/public/transport/SessionWorker.h"
#include "platform/kernel/Sync.h"
#include "tests/support/TestServer.h"
#include "tests/support/TransportFixture.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

// Codes that tell every entry apart.
constexpr EngineCodes kCodes{.noThread = 0x11, .connect = 0x12, .socket = 0x13, .unexpected = 0x14,
                             .cancelled = 0x15, .aborted = 0x16, .timeout = 0x17};

class SessionWorkerTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    if (HasFatalFailure()) return;
    log_ = std::make_unique<ProtocolLog>();  // the log file is there now
    worker_ = std::make_unique<SessionWorker>(socket_, *log_);
  }
  void TearDown() override {
    worker_.reset();
    TransportTest::TearDown();
  }

  // Rules that end the wait once `cancel` is set (and on nothing else).
  SessionWorker::Rules EndOnCancel(NetResult end) {
    return [this, end](WaitWake) -> std::optional<NetResult> {
      if (cancel_) return end;
      return std::nullopt;
    };
  }
  // A reading worker that waits for its stop flag.
  SessionWorker::Work UntilStopped() {
    return [this] {
      while (!worker_->Stopping()) Sleep(1);
      stopped_ = true;
      return NetResult::Ok;
    };
  }

  MailSocket socket_;
  std::unique_ptr<ProtocolLog> log_;
  std::unique_ptr<SessionWorker> worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> stopped_{false};
};

TEST_F(SessionWorkerTest, AFinishedWorkerGivesItsOwnResultAndItsCode) {
  const SessionWorker::Rules none = [](WaitWake) { return std::optional<NetResult>(); };
  const struct {
    NetResult worker;
    uint32_t code;
  } cases[] = {{NetResult::Ok, 0}, {NetResult::SocketError, kCodes.socket}, {NetResult::Overflow, kCodes.unexpected}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.worker));
    EXPECT_EQ(worker_->Send([&] { return c.worker; }, none, kCodes), c.code);
    EXPECT_EQ(worker_->Read([&] { return c.worker; }, none, kCodes), c.code);
  }
  // Rules that see the worker done may still end the wait their own way (SMTP's cancel).
  cancel_ = true;
  EXPECT_EQ(worker_->Send([] { return NetResult::Ok; }, EndOnCancel(NetResult::Cancelled), kCodes), kCodes.cancelled);
}

TEST_F(SessionWorkerTest, StepsRunOutIntoTheTimeOutAndTheReadingWorkerIsStoppedAndJoined) {
  seams::SetNetworkWait(10, 5);
  const auto start = Clock::now();
  EXPECT_EQ(worker_->Read(UntilStopped(), EndOnCancel(NetResult::Cancelled), kCodes), kCodes.timeout);
  EXPECT_TRUE(stopped_);  // joined before the call returned
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST_F(SessionWorkerTest, AWakeEndsAProductionLengthStepAtOnce) {
  // Steps of ten seconds, 600 of them; the cancel comes after 50 ms. Ending
  // well inside the first step shows the wake, however loaded the machine.
  seams::SetNetworkWait(10000, 600);
  for (const auto& [end, code] : {std::pair{NetResult::Cancelled, kCodes.cancelled}, std::pair{NetResult::Interrupted, 0u},
                                  std::pair{NetResult::Aborted, kCodes.aborted}}) {
    SCOPED_TRACE(static_cast<int>(end));
    cancel_ = false;
    stopped_ = false;
    std::thread canceller([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      cancel_ = true;
      worker_->Wake();
    });
    const auto start = Clock::now();
    EXPECT_EQ(worker_->Read(UntilStopped(), EndOnCancel(end), kCodes), code);
    canceller.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(stopped_);
  }
}

TEST_F(SessionWorkerTest, ASendLeftBehindIsWokenByClosingTheSocket) {
  // The send stands for one blocked in the kernel: only the socket's close ends it.
  ASSERT_TRUE(socket_.Open(false, ""));
  const SessionWorker::Work blocked = [this] {
    while (socket_.IsOpen()) Sleep(1);
    return NetResult::SocketError;
  };
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cancel_ = true;
    worker_->Wake();
  });
  EXPECT_EQ(worker_->Send(blocked, EndOnCancel(NetResult::Cancelled), kCodes), kCodes.cancelled);
  canceller.join();
  EXPECT_FALSE(socket_.IsOpen());
}

TEST_F(SessionWorkerTest, ConnectFailuresAreConnectFailures) {
  const SessionWorker::Rules none = [](WaitWake) { return std::optional<NetResult>(); };
  TestServer server;
  server.Stall();
  server.Start();
  seams::MapHost("open.example.com", 110, server.Port());
  // A loopback port nobody listens on: a server's, once it is gone.
  WORD closedPort = 0;
  {
    TestServer gone;
    closedPort = gone.Port();
  }
  seams::MapHost("closed.example.com", 110, closedPort);

  ASSERT_TRUE(socket_.Open(false, ""));
  EXPECT_EQ(worker_->Connect("unmapped.example.com", 110, none, kCodes), kCodes.connect);
  EXPECT_EQ(worker_->Connect("open.example.com", 110, none, kCodes), 0u);
  ASSERT_TRUE(socket_.Open(false, ""));
  EXPECT_EQ(worker_->Connect("closed.example.com", 110, none, kCodes), kCodes.connect);
}

TEST_F(SessionWorkerTest, ALostDataConnectionEndsTheWaitAndAReadLogsIt) {
  seams::SetNetworkWait(10, 100);
  seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
  const SessionWorker::Rules watch = [this](WaitWake wake) -> std::optional<NetResult> {
    if (wake == WaitWake::StepEnded && SessionWorker::LinkDown(connection_)) return NetResult::LinkLost;
    return std::nullopt;
  };
  EXPECT_FALSE(SessionWorker::LinkDown(nullptr));
  // A send is not a read: nothing is logged.
  ASSERT_TRUE(socket_.Open(false, ""));
  const SessionWorker::Work blocked = [this] {
    while (socket_.IsOpen()) Sleep(1);
    return NetResult::SocketError;
  };
  EXPECT_EQ(worker_->Send(blocked, watch, kCodes), static_cast<uint32_t>(QVMDL_ERR_NET_LINK_LOST));
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(worker_->Read(UntilStopped(), watch, kCodes), static_cast<uint32_t>(QVMDL_ERR_NET_LINK_LOST));
  EXPECT_EQ(Log(), "*** diconnect RAS Connection ***\r\n");
}

TEST_F(SessionWorkerTest, PauseRunsItsStepsUnlessACancelWakesIt) {
  seams::SetNetworkWait(10, 600);
  const auto start = Clock::now();
  EXPECT_FALSE(worker_->Pause(5, [this] { return cancel_.load(); }));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));

  seams::SetNetworkWait(10000, 600);
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cancel_ = true;
    worker_->Wake();
  });
  const auto woken = Clock::now();
  EXPECT_TRUE(worker_->Pause(60, [this] { return cancel_.load(); }));
  canceller.join();
  EXPECT_LT(Clock::now() - woken, std::chrono::seconds(5));
}

}  // namespace
}  // namespace qv::test
