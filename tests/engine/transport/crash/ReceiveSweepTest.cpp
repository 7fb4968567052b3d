// A receive from dovecot, its process killed before and after each of its
// file calls in turn, or the power cut there: the next run must leave every
// delivered mail stored exactly once and whole, and the server holding
// what the account's mode says (nothing when it deletes, everything when it
// keeps). Each point runs in a process of its own, started from a copy of
// the device root as it was before the receive and a fresh mailbox.
//
// To look into a failing point: QV_SWEEP_TRACE=1 prints where the child died,
// the journal it left and what the run after the restart stored;
// QV_SWEEP_ONLY=n starts the kill sweeps at call n, QV_CUT_ONLY=k runs cut k.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/QvRetriever.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/testing/Seams.h"
#include "tests/engine/transport/retrieval/RetrieverFixture.h"
#include "tests/support/SelfProcess.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// The child: one receive of "Acc", dying at the chosen file call (or, with a
// seed, cutting the power there first). Point 0 only counts the calls.
int SweepChild() {
  qv::seams::MapHost("pop.example.com", 110, static_cast<WORD>(std::atoi(std::getenv("QV_SWEEP_PORT"))));
  if (const char* ca = ::getenv("QV_POP_CA")) qv::seams::SetTrustedCaFile(ca);
  const int point = std::atoi(std::getenv("QV_SWEEP_POINT"));
  const bool before = std::getenv("QV_SWEEP_WHEN")[0] == 'b';
  const char* seed = std::getenv("QV_SWEEP_SEED");
  if (seed != nullptr) qv::seams::ArmPowerCut();
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  if (!account) return 2;
  QvRASController ras;
  QvRetriever retriever;
  RetrieverRecorder recorder;
  retriever.registerNotify(&recorder);
  if (point == 0) {
    qv::seams::CountFileCalls();
  } else {
    const uint64_t cut = seed != nullptr ? std::strtoull(seed, nullptr, 10) : 0;
    qv::seams::ArmCrashPoint(point, before ? qv::seams::CrashWhen::kBefore : qv::seams::CrashWhen::kAfter,
                               [seed, cut](const qv::seams::CrashCall& call) {
                                 // Where it died, for a failure's trace.
                                 if (std::getenv("QV_SWEEP_TRACE") != nullptr) {
                                   std::fprintf(stderr, "at %s %ls\n", qv::crash_seam::CallName(call.call),
                                                call.path.c_str());
                                 }
                                 if (seed != nullptr) qv::seams::CutPower(cut);
                                 _exit(0);
                               });
  }
  retriever.RetrieveMessages(account.get(), &ras, std::getenv("QV_SWEEP_PASSWORD"));
  if (point == 0) std::ofstream(std::getenv("QV_SWEEP_COUNT")) << qv::seams::FileCalls();
  return 0;
}

const bool g_child = [] {
  if (::getenv("QV_SWEEP_PORT") != nullptr) std::exit(SweepChild());
  return false;
}();

class ReceiveSweep : public RetrieverTest {
 protected:
  static constexpr int kMails = 2;

  void SetUp() override {
    RetrieverTest::SetUp();
    if (HasFatalFailure()) return;
    storage_.reset();
    account_.reset();
    snapshot_ = root_ + "-snapshot";
    fs::copy(root_, snapshot_, fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(snapshot_, ignored);
    for (const std::string& point : points_) fs::remove_all(point, ignored);
    qv::SetDeviceRoot(root_);
    RetrieverTest::TearDown();
  }

  // A copy of the device root as before the receive, pointed at a new
  // mailbox holding `mails` numbered mails.
  void FreshPoint(bool deletes, int mails) {
    std::error_code ignored;
    if (!points_.empty()) fs::remove_all(points_.back(), ignored);
    points_.push_back(root_ + qv::FormatA("-point%zu", points_.size()));
    fs::copy(snapshot_, points_.back(), fs::copy_options::recursive);
    qv::SetDeviceRoot(points_.back());
    peer_.ResetMailbox(user_);
    for (int n = 1; n <= mails; ++n) peer_.AddMessage(user_, NumberedMail(n, "sweep"));
    account_ = Open(L"Acc");
    ASSERT_TRUE(account_);
    Settings s;
    s.strPopUserName = std::wstring(user_.begin(), user_.end());
    s.bMessageLeavingEnabled = deletes;
    s.Select(Settings::kPopUserName);
    s.Select(Settings::kMessageLeavingEnabled);
    ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
    account_.reset();
  }

  int RunChild(int point, bool before, const std::string& seed) {
    std::vector<std::string> env{"QV_SWEEP_PORT=" + std::to_string(peer_.PlainPort()), "QV_POP_CA=" + peer_.CaFile(),
                                 "QV_SWEEP_PASSWORD=" + peer_.Password(),
                                 "QVMAIL_DEVICE_ROOT=" + points_.back(),
                                 "QV_SWEEP_POINT=" + std::to_string(point),
                                 std::string("QV_SWEEP_WHEN=") + (before ? "b" : "a"),
                                 "QV_SWEEP_COUNT=" + points_.back() + "/calls"};
    if (!seed.empty()) env.push_back("QV_SWEEP_SEED=" + seed);
    return WaitExit(SpawnSelf(env));
  }

  // After the point: a receive as after a restart, then every mail once,
  // whole, and the server as the mode leaves it.
  void CheckAfterRestart(bool deletes, int mails) {
    account_ = Open(L"Acc");
    ASSERT_TRUE(account_);
    const bool trace = std::getenv("QV_SWEEP_TRACE") != nullptr;
    if (trace) {
      const std::string journal = ReadBytes(account_->Account()->FolderPath() + L"\\UID.journal");
      std::fprintf(stderr, "journal: %s\n", qv::WideToUtf8(qv::Utf16LEToWide(journal)).c_str());
      const std::string known = ReadBytes(account_->Account()->FolderPath() + L"\\UID.list");
      std::fprintf(stderr, "known: %s\n", qv::WideToUtf8(qv::Utf16LEToWide(known)).c_str());
      for (const auto& entry : fs::recursive_directory_iterator(points_.back())) {
        if (entry.is_regular_file() && entry.path().string().find("Storage") != std::string::npos) {
          std::fprintf(stderr, "file %s %ju\n", entry.path().c_str(), static_cast<uintmax_t>(entry.file_size()));
        }
      }
    }
    RetrieverRecorder again;
    Receive(again);
    for (const NotifyEvent& e : again.events) {
      if (e.message == QvRetriever::MSG_Error && e.w != static_cast<long>(QVMDL_ERR_RECV_NO_NEW_MAIL)) {
        ADD_FAILURE() << "the run after the restart: " << std::hex << e.w;
      }
    }
    storage_.reset(account_->OpenStorage());
    ASSERT_TRUE(storage_) << std::hex << GetQvMiddleError();
    std::map<std::string, int> copies;
    for (const auto& [uid, copy] : StoredByUid()) {
      ++copies[copy.raw];
      if (trace) std::fprintf(stderr, "stored %s as %lu in %lu\n", uid.c_str(), copy.id, copy.folder);
    }
    for (const NotifyEvent& e : trace ? again.events : std::vector<NotifyEvent>{}) {
      std::fprintf(stderr, "heard %d %lx %lx\n", e.message, e.w, e.l);
    }
    for (int n = 1; n <= mails; ++n) EXPECT_EQ(copies[NumberedMail(n, "sweep")], 1) << "mail " << n;
    EXPECT_EQ(copies.size(), static_cast<size_t>(mails)) << "a mail stored torn or foreign";
    // A delete-mode run that finds nothing new ends before deleting what it
    // knows: that goes with the next run that has new mail.
    if (deletes) {
      EXPECT_LE(peer_.MessageCount(user_), mails);
    } else {
      EXPECT_EQ(peer_.MessageCount(user_), mails);
    }
    storage_.reset();
    account_.reset();
  }

  int CountCalls(bool deletes, int mails) {
    FreshPoint(deletes, mails);
    EXPECT_EQ(RunChild(0, true, ""), 0);
    std::ifstream in(points_.back() + "/calls");
    int calls = 0;
    in >> calls;
    return calls;
  }

  // Every `stride`-th point, before and after its call.
  void Sweep(bool deletes, int mails, int stride) {
    const int calls = CountCalls(deletes, mails);
    ASSERT_GT(calls, 20);
    const char* only = std::getenv("QV_SWEEP_ONLY");
    // QV_SWEEP_SHARD="k/n" takes the k-th of every n points of the stride,
    // so that n processes share a dense sweep.
    int shard = 0, shards = 1;
    if (const char* given = std::getenv("QV_SWEEP_SHARD")) std::sscanf(given, "%d/%d", &shard, &shards);
    shards = std::max(1, shards);
    int taken = 0;
    for (int point = only != nullptr ? std::atoi(only) : 1; point <= calls; point += stride) {
      if (taken++ % shards != shard) continue;
      for (const bool before : {true, false}) {
        SCOPED_TRACE(qv::FormatA("%s, %d mails, killed %s call %d of %d", deletes ? "delete" : "keep", mails,
                                 before ? "before" : "after", point, calls));
        FreshPoint(deletes, mails);
        ASSERT_EQ(RunChild(point, before, ""), 0);
        CheckAfterRestart(deletes, mails);
        if (HasFailure()) return;
      }
    }
  }

  std::string snapshot_;
  std::vector<std::string> points_;
};

// Every file call of a receive of two mails and of twenty, in both modes.
// A run of the tests takes every 29th point of the first and every 251st of
// the second; QV_SWEEP_STRIDE and QV_SWEEP_STRIDE_20 set them (1: all).
TEST_F(ReceiveSweep, KilledAtEveryFileCallNothingLostNothingTwice) {
  const auto stride = [](const char* name, int otherwise) {
    const char* given = std::getenv(name);
    return given != nullptr ? std::max(1, std::atoi(given)) : otherwise;
  };
  for (const bool deletes : {false, true}) {
    Sweep(deletes, kMails, stride("QV_SWEEP_STRIDE", 29));
    Sweep(deletes, 20, stride("QV_SWEEP_STRIDE_20", 251));
  }
}

// Power cuts at random file calls of receives in every mode, each followed
// by a run after the restart. QV_POWER_CUTS raises the number of cuts.
TEST_F(ReceiveSweep, PowerCutsAtRandomCallsLoseNothingAndListNothingTorn) {
  const char* wanted = std::getenv("QV_POWER_CUTS");
  const int cuts = wanted != nullptr ? std::atoi(wanted) : 24;
  std::mt19937_64 random(20261209);
  // QV_SWEEP_SHARD="k/n": the k-th of every n cuts.
  int shard = 0, shards = 1;
  if (const char* given = std::getenv("QV_SWEEP_SHARD")) std::sscanf(given, "%d/%d", &shard, &shards);
  shards = std::max(1, shards);
  const int callsKeep = CountCalls(false, 4), callsDelete = CountCalls(true, 4);
  ASSERT_GT(callsKeep, 20);
  ASSERT_GT(callsDelete, 20);
  for (int cut = 0; cut < cuts; ++cut) {
    const bool deletes = cut % 2 == 1;
    const int point = 1 + static_cast<int>(random() % static_cast<uint64_t>(deletes ? callsDelete : callsKeep));
    const bool before = random() % 2 == 0;
    const std::string seed = std::to_string(random());
    SCOPED_TRACE(qv::FormatA("cut %d: %s, %s call %d, seed %s", cut, deletes ? "delete" : "keep",
                             before ? "before" : "after", point, seed.c_str()));
    if (std::getenv("QV_CUT_ONLY") != nullptr && std::atoi(std::getenv("QV_CUT_ONLY")) != cut) continue;
    if (cut % shards != shard) continue;
    FreshPoint(deletes, 4);
    ASSERT_EQ(RunChild(point, before, seed), 0);
    qv::seams::StartNewBoot();
    CheckAfterRestart(deletes, 4);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace qv::test
