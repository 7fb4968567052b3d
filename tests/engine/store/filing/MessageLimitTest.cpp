// The message-count limit over an account's real store: which messages go
// to make room, which stay, and what the caller is told when not enough can.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvMessageLimit.h"
#include "tests/engine/store/filing/FilingFixture.h"

namespace {

// Where a seeded message lies.
enum Place { kInbox, kInboxChild, kSent, kSentChild };

struct Seed {
  Place place;
  int day;  // days after 2026-01-01
  bool unread = false;
  bool isProtected = false;
  bool held = false;  // kept open while the limit runs
  bool lost = false;  // its file deleted: unreadable
};

class MessageLimitTest : public FilingTest {
 protected:
  unsigned long FolderOf(Place p) {
    switch (p) {
      case kInbox: return inbox_;
      case kInboxChild: return inboxChildren_[0];
      case kSent: return sent_;
      case kSentChild: return sentChildren_[0];
    }
    return 0;
  }
  static SYSTEMTIME Day(int n) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{2026} / 1 / 1} + days{n}};
    SYSTEMTIME out{};
    out.wYear = static_cast<WORD>(static_cast<int>(d.year()));
    out.wMonth = static_cast<WORD>(static_cast<unsigned>(d.month()));
    out.wDay = static_cast<WORD>(static_cast<unsigned>(d.day()));
    out.wHour = 3;
    return out;
  }
  std::vector<unsigned long> Seed(const std::vector<::Seed>& seeds) {
    std::vector<unsigned long> ids;
    for (const ::Seed& s : seeds) ids.push_back(Store(FolderOf(s.place), Day(s.day), s.unread, s.isProtected));
    return ids;
  }
  // Indices of the seeded messages no longer in any folder.
  std::set<size_t> Removed(const std::vector<unsigned long>& ids) {
    std::set<unsigned long> left;
    for (Place p : {kInbox, kInboxChild, kSent, kSentChild}) {
      for (unsigned long id : Messages(FolderOf(p))) left.insert(id);
    }
    std::set<size_t> gone;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (left.count(ids[i]) == 0) gone.insert(i);
    }
    return gone;
  }
  bool Ensure(unsigned incoming, unsigned* shortfall) {
    return EnsureMessageLimit({storage_.get(), account_.get()}, incoming, shortfall);
  }
};

TEST_F(MessageLimitTest, OldestReadUnprotectedGoFirst) {
  // 120 messages one day apart over the receive tree and the sent tray; the
  // ten unread ones and three protected ones lie among the oldest.
  std::vector<::Seed> seeds;
  for (int i = 0; i < 120; ++i) {
    ::Seed s{static_cast<Place>(i % 3), i};
    s.unread = i < 20 && i % 2 == 0;
    s.isProtected = i == 1 || i == 3 || i == 5;
    seeds.push_back(s);
  }
  const auto ids = Seed(seeds);
  SetMaximum(150);
  unsigned shortfall = 99;
  ASSERT_TRUE(Ensure(50, &shortfall)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(shortfall, 0u);
  const std::set<size_t> expected = {7, 9, 11, 13, 15, 17, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
  EXPECT_EQ(Removed(ids), expected);
  EXPECT_FALSE(Ensure(1, nullptr));
  EXPECT_EQ(GetQvMiddleError(), static_cast<uint32_t>(QVMDL_ERR_LIMIT_NULL_ARGUMENT));
}

TEST_F(MessageLimitTest, Cases) {
  struct Case {
    const char* what;
    std::vector<::Seed> seeds;
    uint32_t maximum;
    unsigned incoming;
    bool result;
    unsigned shortfall;
    std::set<size_t> removed;
    uint32_t error;
  };
  const Case cases[] = {
      {"fits", {{kInbox, 1}, {kSent, 2}, {kInbox, 3}}, 5, 2, true, 0, {}, 0},
      {"ties: receive tree first, sub-folder before its parent",
       {{kSent, 5}, {kInbox, 5}, {kInboxChild, 5}, {kSentChild, 5}},
       4, 2, true, 0, {1, 2}, 0},
      {"only four removable",
       {{kInbox, 1, true}, {kInbox, 2}, {kSent, 3, true}, {kSent, 4}, {kInboxChild, 5, true}, {kInboxChild, 6},
        {kInbox, 7, true}, {kInbox, 8}, {kInbox, 9, true}, {kInbox, 10, true}},
       6, 6, false, 6, {1, 3, 5, 7}, QVMDL_ERR_RECV_MESSAGE_LIMIT},
      {"all unread or protected", {{kInbox, 1, true}, {kSent, 2, false, true}}, 2, 3, false, 3, {},
       QVMDL_ERR_RECV_MESSAGE_LIMIT},
      {"maximum 0 is no limit", {{kInbox, 1}, {kSent, 2}}, 0, 10, true, 0, {}, 0},
      {"an open message is passed over",
       {{kInbox, 1, false, false, true}, {kSent, 2}, {kInbox, 3}}, 3, 1, true, 0, {1}, 0},
      {"an unreadable message is no candidate",
       {{kInbox, 1, false, false, false, true}, {kSent, 2}, {kInbox, 3}}, 3, 1, true, 0, {1}, 0},
  };
  for (const Case& c : cases) {
    // Each case on an empty store: the trays are emptied first.
    for (Place p : {kInbox, kInboxChild, kSent, kSentChild}) {
      auto ids = Messages(FolderOf(p));
      if (!ids.empty()) {
        ASSERT_TRUE(Folder(FolderOf(p))->RemoveMessage(ids));
      }
    }
    const auto ids = Seed(c.seeds);
    std::vector<std::unique_ptr<QvMessageInterface>> held;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (c.seeds[i].held) held.emplace_back(storage_->OpenMessage(ids[i]));
      if (c.seeds[i].lost) std::filesystem::remove(HostOf(EmlPathOf(ids[i])));
    }
    SetMaximum(c.maximum);
    SetQvMiddleError(0);
    unsigned shortfall = 99;
    EXPECT_EQ(Ensure(c.incoming, &shortfall), c.result) << c.what;
    EXPECT_EQ(shortfall, c.shortfall) << c.what;
    EXPECT_EQ(Removed(ids), c.removed) << c.what;
    if (c.error != 0) {
      EXPECT_EQ(GetQvMiddleError(), c.error) << c.what;
    }
  }
}

}  // namespace
