// A feed run of the retriever, its process killed before and after each of
// its file calls in turn, or the power cut there: the store must open and
// list only whole items, no two items may carry one UID, the account's last
// UID on the disk must cover every stored item (or the next run would give
// its UID again), and the run after the restart must leave the feed's items
// stored once each. The run replaces the three items of a run before, so
// the old items' removal is swept as well. Each point runs in a process of
// its own, from a copy of the device root as it was before the run.
//
// QV_SWEEP_STRIDE sets the sweep's stride (1: every call); QV_SWEEP_SHARD=k/n
// takes the k-th of every n points; QV_POWER_CUTS the number of cuts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/public/feeds/QvRssRetriever.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/testing/Seams.h"
#include "tests/engine/feeds/FeedFixtures.h"
#include "tests/support/SelfProcess.h"

namespace qv::test::feeds {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kSweepUrl[] = L"http://feeds.example.jp/sweep.xml";

struct Quiet : QvRssRetriever::Notify {
  void notify(unsigned int, long, long) override {}
  void isActive(bool* active, QvRssRetriever*) override { *active = true; }
};

// The child: one feed run of "feed", dying at the chosen file call (or, with
// a seed, cutting the power there first). Point 0 only counts the calls.
int SweepChild() {
  qv::seams::MapHost("feeds.example.jp", 80, static_cast<WORD>(std::atoi(std::getenv("QV_FEED_SWEEP_PORT"))));
  qv::seams::SetNetworkWait(kStep, 600);
  const int point = std::atoi(std::getenv("QV_SWEEP_POINT"));
  const bool before = std::getenv("QV_SWEEP_WHEN")[0] == 'b';
  const char* seed = std::getenv("QV_SWEEP_SEED");
  if (seed != nullptr) qv::seams::ArmPowerCut();
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"feed", kFeedKey));
  if (!account) return 2;
  QvRASController ras;
  QvRssRetriever retriever;
  Quiet quiet;
  retriever.registerNotify(&quiet);
  if (point == 0) {
    qv::seams::CountFileCalls();
  } else {
    const uint64_t cut = seed != nullptr ? std::strtoull(seed, nullptr, 10) : 0;
    qv::seams::ArmCrashPoint(point, before ? qv::seams::CrashWhen::kBefore : qv::seams::CrashWhen::kAfter,
                             [seed, cut](const qv::seams::CrashCall&) {
                               if (seed != nullptr) qv::seams::CutPower(cut);
                               _exit(0);
                             });
  }
  retriever.RetrieveMessages(account.get(), &ras, 0);
  if (point == 0) std::ofstream(std::getenv("QV_SWEEP_COUNT")) << qv::seams::FileCalls();
  return 0;
}

const bool g_child = [] {
  if (::getenv("QV_FEED_SWEEP_PORT") != nullptr) std::exit(SweepChild());
  return false;
}();

unsigned long UidNumber(const std::string& uid) { return std::stoul(uid, nullptr, 16); }

class FeedSweep : public FeedAccountTest {
 protected:
  void SetUp() override {
    FeedAccountTest::SetUp();
    if (HasFatalFailure()) return;
    std::string items;
    for (int k = 0; k < 3; ++k)
      items += Item20("s" + std::to_string(k), "http://feeds.example.jp/s" + std::to_string(k),
                      "<category>news</category>");
    peer_.PutFile("/sweep.xml", Rss20("UTF-8", items));
    QvAccountInfoInterface::Attributes s;
    s.Select(QvAccountInfoInterface::Attributes::kPopServerName);
    s.Select(QvAccountInfoInterface::Attributes::kSmtpServerName);
    s.strPopServerName = L"feeds.example.jp";
    s.strSmtpServerName = kSweepUrl;
    ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
    ASSERT_TRUE(account_->SaveLastUID("0000000009"));
    // The items go to a folder of their own below the receive box by their category.
    {
      std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
      ASSERT_TRUE(storage);
      QvClassificationParamInterface::Attributes rule;
      rule.name = L"news";
      rule.field = L"X-ML-name";
      rule.keyword = L"news";
      rule.folderId = static_cast<uint32_t>(ReceiveBoxFolders(account_.get(), storage.get(), L"news")[L"news"]);
      rule.direction = 1;
      std::unique_ptr<QvClassificationParamInterface> param(account_->OpenClassificationParamInterface());
      ASSERT_TRUE(param && param->SetAttributes({rule}));
    }
    // The run before: its three items are the old ones of the swept run.
    ASSERT_TRUE(Run());
    ASSERT_EQ(StoredItems(account_.get()).size(), 3u);
    account_.reset();
    snapshot_ = root_ + "-snapshot";
    fs::copy(root_, snapshot_, fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(snapshot_, ignored);
    for (const std::string& point : points_) fs::remove_all(point, ignored);
    qv::SetDeviceRoot(root_);
    FeedAccountTest::TearDown();
  }

  bool Run() {
    QvRASController ras;
    QvRssRetriever retriever;
    Quiet quiet;
    retriever.registerNotify(&quiet);
    return retriever.RetrieveMessages(account_.get(), &ras, 0);
  }

  void FreshPoint() {
    std::error_code ignored;
    if (!points_.empty()) fs::remove_all(points_.back(), ignored);
    points_.push_back(root_ + qv::FormatA("-point%zu", points_.size()));
    fs::copy(snapshot_, points_.back(), fs::copy_options::recursive);
    qv::SetDeviceRoot(points_.back());
  }

  int RunChild(int point, bool before, const std::string& seed) {
    std::vector<std::string> env{"QV_FEED_SWEEP_PORT=" + std::to_string(peer_.Port()),
                                 "QVMAIL_DEVICE_ROOT=" + points_.back(), "QV_SWEEP_POINT=" + std::to_string(point),
                                 std::string("QV_SWEEP_WHEN=") + (before ? "b" : "a"),
                                 "QV_SWEEP_COUNT=" + points_.back() + "/calls"};
    if (!seed.empty()) env.push_back("QV_SWEEP_SEED=" + seed);
    return WaitExit(SpawnSelf(env));
  }

  // What the cut-off run left, then a run as after a restart.
  void CheckAfterRestart() {
    account_.reset(QvAccountInfoInterface::OpenAccountInfo(L"feed", kFeedKey));
    ASSERT_TRUE(account_);
    std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
    ASSERT_TRUE(storage) << "the store does not open";
    storage.reset();
    std::wstring last;
    ASSERT_TRUE(account_->GetLastUID(&last));
    const unsigned long covered = last.empty() ? 0 : UidNumber(std::string(last.begin(), last.end()));
    std::set<std::string> uids;
    unsigned long highest = 0;
    for (const auto& [folder, item] : StoredItems(account_.get())) {
      EXPECT_EQ(item.raw.rfind("X-Kxr-Rivulet", 0), 0u) << "a torn item " << item.uid;
      EXPECT_TRUE(uids.insert(item.uid).second) << "two items carry " << item.uid;
      highest = std::max(highest, UidNumber(item.uid));
    }
    EXPECT_GE(covered, highest) << "the last UID on the disk is behind a stored item";
    EXPECT_TRUE(Run()) << std::hex << GetQvMiddleError();
    std::multiset<std::wstring> subjects;
    std::set<std::string> after;
    for (const auto& [folder, item] : StoredItems(account_.get())) {
      subjects.insert(item.subject);
      EXPECT_TRUE(after.insert(item.uid).second) << "two items carry " << item.uid;
      EXPECT_GT(UidNumber(item.uid), highest) << "a UID given again: " << item.uid;
    }
    EXPECT_EQ(subjects, (std::multiset<std::wstring>{L"s0", L"s1", L"s2"}));
    account_.reset();
  }

  int CountCalls() {
    FreshPoint();
    EXPECT_EQ(RunChild(0, true, ""), 0);
    std::ifstream in(points_.back() + "/calls");
    int calls = 0;
    in >> calls;
    return calls;
  }

  static void Shard(int* shard, int* shards) {
    *shard = 0;
    *shards = 1;
    if (const char* given = std::getenv("QV_SWEEP_SHARD")) std::sscanf(given, "%d/%d", shard, shards);
    *shards = std::max(1, *shards);
  }

  std::string snapshot_;
  std::vector<std::string> points_;
};

TEST_F(FeedSweep, KilledAtItsFileCallsNoItemTornListedTwiceOrNumberedAgain) {
  const int calls = CountCalls();
  ASSERT_GT(calls, 20);
  const char* given = std::getenv("QV_SWEEP_STRIDE");
  const int stride = std::max(1, given != nullptr ? std::atoi(given) : 7);
  int shard = 0, shards = 1;
  Shard(&shard, &shards);
  int taken = 0;
  for (int point = 1; point <= calls; point += stride) {
    if (taken++ % shards != shard) continue;
    for (const bool before : {true, false}) {
      SCOPED_TRACE(qv::FormatA("killed %s call %d of %d", before ? "before" : "after", point, calls));
      FreshPoint();
      ASSERT_EQ(RunChild(point, before, ""), 0);
      CheckAfterRestart();
      if (HasFailure()) return;
    }
  }
}

TEST_F(FeedSweep, PowerCutsAtRandomCallsLeaveWholeItemsNumberedOnce) {
  const char* wanted = std::getenv("QV_POWER_CUTS");
  const int cuts = wanted != nullptr ? std::atoi(wanted) : 24;
  std::mt19937_64 random(20261209);
  int shard = 0, shards = 1;
  Shard(&shard, &shards);
  const int calls = CountCalls();
  ASSERT_GT(calls, 20);
  for (int cut = 0; cut < cuts; ++cut) {
    const int point = 1 + static_cast<int>(random() % static_cast<uint64_t>(calls));
    const bool before = random() % 2 == 0;
    const std::string seed = std::to_string(random());
    if (cut % shards != shard) continue;
    SCOPED_TRACE(qv::FormatA("cut %d: %s call %d, seed %s", cut, before ? "before" : "after", point, seed.c_str()));
    FreshPoint();
    ASSERT_EQ(RunChild(point, before, seed), 0);
    qv::seams::StartNewBoot();
    CheckAfterRestart();
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace qv::test::feeds
