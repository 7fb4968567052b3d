// Every change of the store, its process killed before and after each of its
// file calls in turn: the next open of the storage must find every folder
// listable and in one list, every message in exactly one list and in the
// slot of that folder, no message file without a slot, the count agreeing,
// each text whole, and the mail as before or as after the change.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessageSet.h"
#include "engine/store/QvStorage.h"
#include "engine/store/QvStoreNode.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/testing/Seams.h"
#include "tests/engine/store/files/StoreFixture.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::multiset<std::string>;

const std::wstring kRoot = L"\\Acc";

std::string MailText(int n) {
  return qv::FormatA("From: s%d@example.jp\r\nSubject: mail %d\r\n\r\nbody of mail %d\r\n", n, n, n);
}

// A folder node held for a step.
struct Node {
  Node(QvStorage& storage, uint32_t id) : set(&storage.Folders()), node(set->GetFolder(id)) {}
  ~Node() {
    if (node != nullptr) set->CloseFolder(node);
  }
  QvStoreNode* operator->() const { return node; }
  QvFolderSet* set;
  QvStoreNode* node;
};

uint32_t Store(QvStorage& storage, uint32_t folder, int n) {
  Node node(storage, folder);
  QvMessageInterface::Attributes a;
  a.mask = QvMessageInterface::kUnread;
  a.unread = 1;
  uint32_t id = 0;
  EXPECT_TRUE(node->CreateMessageWithText(&id, a, MailText(n))) << std::hex << GetQvMiddleError();
  return id;
}

class CrashSweepTest : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    MakeDir(kRoot);
    ASSERT_EQ(QvStorage::Create(kRoot), QVMDL_SUCCESS);
    QvStorage storage;
    ASSERT_EQ(storage.Open(kRoot), QVMDL_SUCCESS);
    {
      Node root(storage, 0);
      ASSERT_TRUE(root->CreateFolder(L"A", &a_));
      ASSERT_TRUE(root->CreateFolder(L"B", &b_));
    }
    for (int n = 0; n < 3; ++n) inA_.push_back(Store(storage, a_, n));
    for (int n = 3; n < 5; ++n) inB_.push_back(Store(storage, b_, n));
    for (int n = 0; n < 5; ++n) before_.insert(MailText(n));
    snapshot_ = root_ + "-snapshot";
    fs::copy(HostOf(kRoot), snapshot_, fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(snapshot_, ignored);
    fs::remove_all(point_, ignored);
    StoreFixture::TearDown();
  }

  // Each point starts from the snapshot under a root of its own, so that no
  // cached listing of an earlier point is met.
  void FreshRoot() {
    std::error_code ignored;
    if (!point_.empty()) fs::remove_all(point_, ignored);
    point_ = root_ + qv::FormatA("-point%d", ++points_);
    fs::create_directories(point_);
    qv::SetDeviceRoot(point_);
    fs::copy(snapshot_, HostOf(kRoot), fs::copy_options::recursive);
  }

  // What the next open finds, checked against every rule; the texts listed.
  Texts Settled() {
    Texts texts;
    QvStorage storage;
    const uint32_t opened = storage.Open(kRoot);
    EXPECT_EQ(opened, QVMDL_SUCCESS) << std::hex << opened;
    if (opened != QVMDL_SUCCESS) return texts;
    std::vector<uint32_t> slots;
    EXPECT_TRUE(storage.Messages().CopyEntryTable(&slots));
    std::map<uint32_t, int> listedIn;  // message -> lists naming it
    std::map<uint32_t, int> folderSeen;
    std::vector<uint32_t> walk{0};
    folderSeen[0] = 1;
    size_t listed = 0;
    while (!walk.empty()) {
      const uint32_t folder = walk.back();
      walk.pop_back();
      Node node(storage, folder);
      EXPECT_NE(node.node, nullptr) << folder;
      if (node.node == nullptr) continue;
      std::vector<uint32_t> children, ids;
      EXPECT_TRUE(node->GetFolderIds(&children)) << folder;
      for (uint32_t child : children) {
        if (folderSeen[child]++ == 0) walk.push_back(child);
      }
      EXPECT_TRUE(node->GetMessageIds(&ids)) << "folder " << folder << " unlistable: " << std::hex
                                              << GetQvMiddleError();
      std::vector<QvFolderInterface::FolderMsgHeader> records(ids.size());
      if (!ids.empty()) {
        EXPECT_TRUE(node->LoadMessageHeader(records.data(), static_cast<uint32_t>(ids.size())));
      }
      for (uint32_t id : ids) {
        ++listedIn[id];
        ++listed;
        EXPECT_TRUE(id < slots.size() && slots[id] == folder) << "message " << id << " in " << folder;
        QvMessage* message = node->OpenMessage(id);
        std::string raw;
        EXPECT_TRUE(message != nullptr && message->SeekToHead() && message->Read(&raw)) << id;
        if (message != nullptr) storage.Messages().CloseMessage(message);
        texts.insert(raw);
      }
    }
    for (const auto& [folder, seen] : folderSeen) EXPECT_EQ(seen, 1) << "folder " << folder << " in two lists";
    for (const auto& [id, lists] : listedIn) EXPECT_EQ(lists, 1) << "message " << id << " in two lists";
    const size_t used = std::count_if(slots.begin(), slots.end(), [](uint32_t s) { return s != 0xFFFFFFFF; });
    EXPECT_EQ(used, listed);
    EXPECT_EQ(storage.Messages().Ids().GetCount(), listed);
    // No message file that nothing names.
    for (const auto& entry : fs::recursive_directory_iterator(HostOf(kRoot + L"\\DATA"))) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() != ".eml") continue;
      const unsigned low = std::stoul(entry.path().parent_path().filename().string(), nullptr, 16);
      const unsigned second = std::stoul(name.substr(0, 2), nullptr, 16);
      const uint32_t id = low | (second << 8);
      EXPECT_TRUE(id < slots.size() && slots[id] != 0xFFFFFFFF) << "orphan " << entry.path();
    }
    return texts;
  }

  using Op = std::function<void(QvStorage&)>;
  using Allowed = std::function<bool(const Texts&)>;

  int CountCalls(const Op& op) {
    FreshRoot();
    QvStorage storage;
    EXPECT_EQ(storage.Open(kRoot), QVMDL_SUCCESS);
    qv::seams::CountFileCalls();
    op(storage);
    const int calls = qv::seams::FileCalls();
    qv::seams::DisarmCrashPoint();
    return calls;
  }

  // Runs the change in a forked child that dies at call `n`, the power cut
  // there first when a seed is given.
  void DieAt(const Op& op, int n, qv::seams::CrashWhen when, const uint64_t* seed) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (seed != nullptr) qv::seams::ArmPowerCut();
      QvStorage storage;
      if (storage.Open(kRoot) != QVMDL_SUCCESS) _exit(3);
      const uint64_t cut = seed != nullptr ? *seed : 0;
      qv::seams::ArmCrashPoint(n, when, [seed, cut](const qv::seams::CrashCall& call) {
        // Where it died, for a failure's trace.
        if (getenv("QV_SWEEP_TRACE") != nullptr) {
          fprintf(stderr, "at %s %ls\n", qv::crash_seam::CallName(call.call), call.path.c_str());
        }
        if (seed != nullptr) qv::seams::CutPower(cut);
        _exit(0);
      });
      op(storage);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (seed != nullptr) qv::seams::StartNewBoot();
  }

  // Counts the change's file calls, then kills it before and after each in a
  // forked child and checks what the next open finds.
  void Sweep(const char* name, const Op& op, const Allowed& allowed) {
    SCOPED_TRACE(name);
    const int calls = CountCalls(op);
    EXPECT_TRUE(allowed(Settled())) << "the change itself";
    ASSERT_GT(calls, 0);
    // A run of the tests takes every 4th call; QV_STORE_STRIDE=1 takes all.
    const char* stride = getenv("QV_STORE_STRIDE");
    const int every = stride != nullptr ? std::max(1, std::atoi(stride)) : 4;
    for (int n = 1 + (calls - 1) % every; n <= calls; n += every) {
      for (const auto when : {qv::seams::CrashWhen::kBefore, qv::seams::CrashWhen::kAfter}) {
        SCOPED_TRACE(qv::FormatA("killed %s call %d of %d", when == qv::seams::CrashWhen::kBefore ? "before" : "after",
                                 n, calls));
        FreshRoot();
        DieAt(op, n, when, nullptr);
        const Texts after = Settled();
        EXPECT_TRUE(allowed(after)) << after.size() << " mails";
        if (HasFailure()) return;
      }
    }
  }

  // The mails before, less any of `gone`.
  Allowed LessAnyOf(std::vector<int> gone) {
    return [this, gone](const Texts& texts) {
      Texts rest = before_;
      for (int n : gone) {
        if (texts.count(MailText(n)) == 0) rest.erase(rest.find(MailText(n)));
      }
      return texts == rest;
    };
  }

  struct Change {
    const char* name;
    Op op;
    Allowed allowed;
  };
  std::vector<Change> Changes() {
    const Allowed same = [this](const Texts& texts) { return texts == before_; };
    return {
        {"create", [this](QvStorage& s) { Store(s, a_, 9); },
         [this](const Texts& texts) {
           Texts with = before_;
           with.insert(MailText(9));
           return texts == before_ || texts == with;
         }},
        {"move one", [this](QvStorage& s) { Node(s, a_)->MoveOneMessage(inA_[0], Node(s, b_).node); }, same},
        {"move two", [this](QvStorage& s) { Node(s, a_)->MoveMessages({inA_[0], inA_[2]}, Node(s, b_).node); }, same},
        {"remove one", [this](QvStorage& s) { Node(s, a_)->RemoveOneMessage(inA_[1]); }, LessAnyOf({1})},
        {"remove two", [this](QvStorage& s) { Node(s, b_)->RemoveMessages(inB_); }, LessAnyOf({3, 4})},
        {"move folder", [this](QvStorage& s) { Node(s, 0)->MoveFolder(a_, Node(s, b_).node); }, same},
        {"remove folder", [this](QvStorage& s) { Node(s, 0)->RemoveFolder(a_); }, LessAnyOf({0, 1, 2})},
    };
  }

  void DieAtAndCheck(const Change& change, int n, qv::seams::CrashWhen when, uint64_t seed) {
    FreshRoot();
    DieAt(change.op, n, when, &seed);
    const Texts after = Settled();
    EXPECT_TRUE(change.allowed(after)) << after.size() << " mails";
  }

  uint32_t a_ = 0, b_ = 0;
  std::vector<uint32_t> inA_, inB_;
  Texts before_;
  std::string snapshot_, point_;
  int points_ = 0;
};

TEST_F(CrashSweepTest, EveryChangeKilledAtEveryFileCallLeavesAWholeStore) {
  for (const Change& change : Changes()) Sweep(change.name, change.op, change.allowed);
}

// The power cut at random calls of each change, a seeded choice of what had
// not reached the disk lost or torn: the store opens whole, and a change
// that had not made its mail safe may be undone but never loses what was
// there before (the created mail may go).
TEST_F(CrashSweepTest, PowerCutsDuringChangesLeaveAWholeStore) {
  const char* wanted = std::getenv("QV_POWER_CUTS");
  const int perChange = wanted != nullptr ? std::max(1, std::atoi(wanted) / 7) : 8;
  std::mt19937_64 random(1209);
  for (const Change& change : Changes()) {
    const int calls = CountCalls(change.op);
    ASSERT_GT(calls, 0);
    for (int cut = 0; cut < perChange; ++cut) {
      const int n = 1 + static_cast<int>(random() % static_cast<uint64_t>(calls));
      const auto when = random() % 2 == 0 ? qv::seams::CrashWhen::kBefore : qv::seams::CrashWhen::kAfter;
      const uint64_t seed = random();
      // QV_CUT_AT="change name:call:b|a:seed" replays one cut.
      if (const char* at = getenv("QV_CUT_AT")) {
        const std::string replay = at;
        const size_t a = replay.find(':'), b = replay.find(':', a + 1), c = replay.find(':', b + 1);
        if (replay.substr(0, a) != change.name) break;
        DieAtAndCheck(change, std::stoi(replay.substr(a + 1, b - a - 1)),
                      replay[b + 1] == 'b' ? qv::seams::CrashWhen::kBefore : qv::seams::CrashWhen::kAfter,
                      std::stoull(replay.substr(c + 1)));
        return;
      }
      SCOPED_TRACE(qv::FormatA("%s: cut at call %d of %d, seed %llu", change.name, n, calls,
                               static_cast<unsigned long long>(seed)));
      FreshRoot();
      DieAt(change.op, n, when, &seed);
      const Texts after = Settled();
      EXPECT_TRUE(change.allowed(after)) << after.size() << " mails";
      if (HasFailure()) {
        if (getenv("QV_SWEEP_TRACE") != nullptr) {
          for (const auto& e : fs::recursive_directory_iterator(point_)) {
            if (e.is_regular_file()) fprintf(stderr, "%s %ju\n", e.path().c_str(), static_cast<uintmax_t>(e.file_size()));
          }
        }
        return;
      }
    }
  }
}

// What a restart finds, each damage made by hand on a settled storage: the
// first open of the new boot must settle it without losing a whole mail.
TEST_F(CrashSweepTest, TheFirstOpenAfterARestartSettlesWhatACutLeft) {
  const std::wstring data = kRoot + L"\\DATA";
  const auto eml = [&](uint32_t id) { return qv::FormatW(L"%s\\%02X\\%02X.eml", data.c_str(), id & 0xFF, id >> 8); };
  const uint32_t stray = 0x1234;
  struct Case {
    const char* name;
    std::function<void()> damage;
    Texts expected;
  };
  Texts withStray = before_;
  withStray.insert(MailText(2));
  const std::vector<Case> cases = {
      {"a whole file without a slot goes back into its folder",
       [&] {
         MakeDir(qv::FormatW(L"%s\\%02X", data.c_str(), stray & 0xFF));
         WriteBytes(eml(stray), ReadBytes(eml(inA_[2])));
       },
       withStray},
      {"a torn file without a slot goes",
       [&] {
         MakeDir(qv::FormatW(L"%s\\%02X", data.c_str(), stray & 0xFF));
         std::string bytes = ReadBytes(eml(inA_[2]));
         bytes.replace(bytes.size() - 4, 4, "XXXX");
         WriteBytes(eml(stray), bytes);
       },
       before_},
      {"a torn id counter is counted again", [&] { WriteBytes(data + L"\\Status.txt", "\x93\x11garbage"); }, before_},
      {"slots a torn page left are rebuilt from the lists",
       [&] {
         std::string table = ReadBytes(data + L"\\Entry.dat");
         for (int i = 0; i < 128; ++i) table[4 * i] = static_cast<char>(0x5A + i);
         WriteBytes(data + L"\\Entry.dat", table);
       },
       before_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshRoot();
    {
      QvStorage settled;  // the boot noted as settled
      ASSERT_EQ(settled.Open(kRoot), QVMDL_SUCCESS);
    }
    c.damage();
    qv::seams::StartNewBoot();
    EXPECT_EQ(Settled(), c.expected);
    EXPECT_FALSE(HasFailure());
  }
}

}  // namespace
