// Two receives of one account at once, from two threads and from two
// processes, against dovecot (which lets both sessions in): the second is
// refused at once and touches nothing, and every mail is stored exactly once,
// none lost, in keep mode and in delete mode. Deleting or renaming the
// account while another process receives is refused, and allowed afterwards.
// The other process is this test program run again with QV_HOLD_RECEIVER set.
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Sync.h"
#include "tests/engine/transport/retrieval/RetrieverFixture.h"
#include "tests/support/SelfProcess.h"

namespace qv::test {
namespace {

constexpr int kPerRound = 300;
constexpr DWORD kPatience = 120000;  // a bound for the other side, never reached when all goes well
const std::vector<NotifyEvent> kRefused = {{QvRetriever::MSG_Error, QVMDL_ERR_RECV_ACCOUNT_BUSY, 0}};

// One receive of "Acc" with an account object of its own; `hook` hears its
// observer's messages. True when the run returned true; `events` gets what
// its observer heard.
bool ReceiveAcc(const std::string& password, std::vector<NotifyEvent>* events,
                std::function<void(RetrieverRecorder&, unsigned)> hook = nullptr) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  if (!account) return false;
  QvRASController ras;
  QvRetriever retriever;
  RetrieverRecorder recorder;
  if (hook) recorder.hook = [&](unsigned message, long, long) { hook(recorder, message); };
  retriever.registerNotify(&recorder);
  const bool result = retriever.RetrieveMessages(account.get(), &ras, password);
  if (events) *events = recorder.events;
  return result;
}

// The child. "second": a receive while the parent's runs; exit 0 when it was
// refused as busy with the error word set, else 1. "first": a receive that,
// once it stored its 100th mail, sets "receiving" and goes on only when the
// parent has set "tried"; exit 0 when it went well, else 1 (2: no word).
int ChildReceiver(const std::string& mode) {
  qv::seams::MapHost("pop.example.com", 110, static_cast<WORD>(std::atoi(std::getenv("QV_HOLD_PORT"))));
  if (const char* ca = ::getenv("QV_POP_CA")) qv::seams::SetTrustedCaFile(ca);
  const std::string password = std::getenv("QV_HOLD_PASSWORD");
  std::vector<NotifyEvent> events;
  if (mode == "second") {
    SetQvMiddleError(0);
    const bool ran = ReceiveAcc(password, &events);
    return !ran && events == kRefused && GetQvMiddleError() == QVMDL_ERR_RECV_ACCOUNT_BUSY ? 0 : 1;
  }
  HANDLE receiving = CreateEventW(nullptr, TRUE, FALSE, L"receiver test receiving");
  HANDLE tried = CreateEventW(nullptr, TRUE, FALSE, L"receiver test tried");
  bool heard = true;
  const bool ran = ReceiveAcc(password, nullptr, [&](RetrieverRecorder& recorder, unsigned message) {
    if (message != QvRetriever::MSG_NewMessage || recorder.whole != 100) return;
    SetEvent(receiving);
    heard = WaitForSingleObject(tried, kPatience) == WAIT_OBJECT_0;
  });
  return ran && heard ? 0 : heard ? 1 : 2;
}

const bool g_holdChild = [] {
  if (const char* mode = std::getenv("QV_HOLD_RECEIVER")) std::_Exit(ChildReceiver(mode));
  return false;
}();

class RetrieverTwoAtOnce : public RetrieverTest {
 protected:
  void SetUp() override {
    (void)g_holdChild;
    RetrieverTest::SetUp();
  }
  void DeliverRound() {
    const int first = static_cast<int>(delivered_.size()) + 1;
    for (int n = first; n < first + kPerRound; ++n) Deliver(NumberedMail(n, "round", 1));
  }
  pid_t SpawnReceiver(const std::string& mode) {
    return SpawnSelf({"QV_HOLD_RECEIVER=" + mode, "QV_HOLD_PORT=" + std::to_string(peer_.PlainPort()), "QV_POP_CA=" + peer_.CaFile(),
                      "QV_HOLD_PASSWORD=" + peer_.Password(), "QVMAIL_DEVICE_ROOT=" + root_});
  }
  // Every delivered mail stored exactly once, by its POP UID and by its
  // text, and the server holding them all, known to the account (keep
  // mode), or none (delete mode).
  void ExpectEachStoredOnce(bool deleteMode) {
    std::map<std::string, int> copies;
    std::multiset<std::string> texts;
    for (const auto& [uid, copy] : StoredByUid()) {
      ++copies[uid];
      texts.insert(copy.raw);
    }
    int twice = 0;
    for (const auto& [uid, count] : copies) twice += count > 1 ? 1 : 0;
    EXPECT_EQ(twice, 0) << "UIDs stored more than once";
    EXPECT_EQ(copies.size(), delivered_.size()) << "UIDs stored";
    EXPECT_EQ(texts, std::multiset<std::string>(delivered_.begin(), delivered_.end()));
    std::set<std::string> known;
    for (const std::wstring& w : KnownUids()) known.insert(qv::WideToCp932(w));
    std::set<std::string> stored;
    for (const auto& [uid, count] : copies) stored.insert(uid);
    // The list holds what is received and still on the server.
    EXPECT_EQ(known, deleteMode ? std::set<std::string>() : stored);
    EXPECT_EQ(peer_.MessageCount(user_), deleteMode ? 0 : static_cast<int>(delivered_.size()));
  }

  // Rounds of fresh mail, each received by this thread while, once it has
  // stored its k-th mail of the round, a second receive of the account runs
  // on another thread or in another process and ends.
  void Rounds(bool deleteMode, bool process) {
    Set(Settings::kMessageLeavingEnabled, deleteMode);
    for (int k : {1, kPerRound / 2, kPerRound}) {
      SCOPED_TRACE(::testing::Message() << "second receive after the " << k << "th mail");
      DeliverRound();
      bool secondRan = true;
      std::vector<NotifyEvent> secondHeard;
      int childStatus = -2;
      int secondRuns = 0;
      RetrieverRecorder recorder;
      recorder.hook = [&](unsigned message, long, long) {
        if (message != QvRetriever::MSG_NewMessage || recorder.whole != k) return;
        ++secondRuns;
        if (process) {
          childStatus = WaitExit(SpawnReceiver("second"));
        } else {
          std::thread([&] { secondRan = ReceiveAcc(peer_.Password(), &secondHeard); }).join();
        }
      };
      ASSERT_TRUE(Receive(recorder)) << std::hex << recorder.Error();
      EXPECT_EQ(recorder.whole, kPerRound);
      EXPECT_EQ(secondRuns, 1);
      if (process) {
        EXPECT_EQ(childStatus, 0) << "the second receive was not refused as busy";
      } else {
        EXPECT_FALSE(secondRan);
        EXPECT_EQ(secondHeard, kRefused);
      }
      ExpectEachStoredOnce(deleteMode);
    }
  }
};

TEST_F(RetrieverTwoAtOnce, TwoThreadsKeepMode) { Rounds(false, false); }
TEST_F(RetrieverTwoAtOnce, TwoThreadsDeleteMode) { Rounds(true, false); }
TEST_F(RetrieverTwoAtOnce, TwoProcessesKeepMode) { Rounds(false, true); }
TEST_F(RetrieverTwoAtOnce, TwoProcessesDeleteMode) { Rounds(true, true); }

// A receive on this very thread, from its own observer: refused as well.
TEST_F(RetrieverTwoAtOnce, ASecondReceiveFromTheObserverIsRefused) {
  Set(Settings::kMessageLeavingEnabled, true);
  DeliverRound();
  bool nestedRan = true;
  std::vector<NotifyEvent> nestedHeard;
  RetrieverRecorder recorder;
  recorder.hook = [&](unsigned message, long, long) {
    if (message == QvRetriever::MSG_NewMessage && recorder.whole == 7) {
      nestedRan = ReceiveAcc(peer_.Password(), &nestedHeard);
    }
  };
  ASSERT_TRUE(Receive(recorder)) << std::hex << recorder.Error();
  EXPECT_FALSE(nestedRan);
  EXPECT_EQ(nestedHeard, kRefused);
  ExpectEachStoredOnce(true);
}

TEST_F(RetrieverTwoAtOnce, DeleteAndRenameDuringAReceiveAreRefused) {
  Set(Settings::kMessageLeavingEnabled, true);
  DeliverRound();
  storage_.reset();
  account_.reset();
  HANDLE receiving = CreateEventW(nullptr, TRUE, FALSE, L"receiver test receiving");
  HANDLE tried = CreateEventW(nullptr, TRUE, FALSE, L"receiver test tried");
  const pid_t child = SpawnReceiver("first");
  ASSERT_GT(child, 0);
  ASSERT_EQ(WaitForSingleObject(receiving, kPatience), WAIT_OBJECT_0);

  // While the child receives: a receive here, a deletion, a rename.
  std::vector<NotifyEvent> heard;
  SetQvMiddleError(0);
  EXPECT_FALSE(ReceiveAcc(peer_.Password(), &heard));
  EXPECT_EQ(heard, kRefused);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_RECV_ACCOUNT_BUSY);
  SetQvMiddleError(0);
  EXPECT_FALSE(QvAccountInfoInterface::Delete(L"Acc", L""));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_BUSY);
  SetQvMiddleError(0);
  EXPECT_FALSE(QvAccountInfoInterface::Rename(L"Acc", L"Other"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_BUSY);
  EXPECT_TRUE(HostExists(AccountFile("Acc", "AccountInfo.ini")));
  EXPECT_TRUE(Open(L"Acc"));
  EXPECT_FALSE(Open(L"Other"));
  SetEvent(tried);
  EXPECT_EQ(WaitExit(child), 0);
  CloseHandle(receiving);
  CloseHandle(tried);

  // The child's run was whole.
  account_ = Open(L"Acc");
  ASSERT_TRUE(account_);
  storage_.reset(account_->OpenStorage());
  ASSERT_TRUE(storage_);
  ExpectEachStoredOnce(true);
  storage_.reset();

  // Afterwards both are allowed (the caller of a rename stores the name).
  EXPECT_TRUE(QvAccountInfoInterface::Rename(L"Acc", L"Other")) << std::hex << GetQvMiddleError();
  Settings name;
  name.strAccountName = L"Other";
  name.Select(Settings::kAccountName);
  ASSERT_TRUE(account_->SetAccountInfoAttributes(name));
  account_.reset();
  EXPECT_TRUE(QvAccountInfoInterface::Delete(L"Other", L"")) << std::hex << GetQvMiddleError();
  EXPECT_FALSE(HostExists(AccountFile("Acc", "AccountInfo.ini")));
}

}  // namespace
}  // namespace qv::test
