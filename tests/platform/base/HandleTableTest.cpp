// The handle-table template: how numbers run, wrap and are reused, and what
// Find and Take give back.
#include "platform/base/HandleTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(HandleTableTest, NumbersRunFromTheFirstInSteps) {
  qv::HandleTable<int, qv::HandleNumbering{0x10000, 4}> table;
  EXPECT_EQ(table.Add(1), 0x10000u);
  EXPECT_EQ(table.Add(2), 0x10004u);
  EXPECT_EQ(table.Add(3), 0x10008u);
}

TEST(HandleTableTest, WithoutALimitATakenNumberIsNeverGivenAgain) {
  qv::HandleTable<int, qv::HandleNumbering{0x20000, 0x10}> table;
  const uintptr_t first = table.Add(1);
  ASSERT_TRUE(table.Take(first));
  EXPECT_EQ(table.Add(2), 0x20010u);
  EXPECT_EQ(table.Find(first), nullptr);
}

// A limit of 0x10010 leaves four numbers: 0x10000, 0x10004, 0x10008, 0x1000C.
struct WrapCase {
  const char* name;
  std::vector<int> takeBeforeWrap;  // indexes (0..3) of the first four taken out again
  uintptr_t fifth;                  // the number the fifth Add gets
};

TEST(HandleTableTest, WithALimitNumbersWrapPastThoseInUse) {
  const WrapCase cases[] = {
      {"all free again", {0, 1, 2, 3}, 0x10000},
      {"first still open", {1, 2, 3}, 0x10004},
      {"only the last free", {3}, 0x1000C},
      {"only the third free", {2}, 0x10008},
  };
  for (const WrapCase& c : cases) {
    SCOPED_TRACE(c.name);
    qv::HandleTable<std::string, qv::HandleNumbering{0x10000, 4, 0x10010}> table;
    std::vector<uintptr_t> handles;
    for (int i = 0; i < 4; ++i) handles.push_back(table.Add(std::to_string(i)));
    EXPECT_EQ(handles, (std::vector<uintptr_t>{0x10000, 0x10004, 0x10008, 0x1000C}));
    for (int i : c.takeBeforeWrap) ASSERT_TRUE(table.Take(handles[static_cast<size_t>(i)]));
    const uintptr_t fifth = table.Add("fifth");
    EXPECT_EQ(fifth, c.fifth);
    ASSERT_NE(table.Find(fifth), nullptr);
    EXPECT_EQ(*table.Find(fifth), "fifth");
  }
}

TEST(HandleTableTest, FindAndTakeGiveWhatWasAdded) {
  qv::HandleTable<std::unique_ptr<int>, qv::HandleNumbering{0x100, 1}> table;
  const uintptr_t a = table.Add(std::make_unique<int>(7));
  const uintptr_t b = table.Add(std::make_unique<int>(8));
  ASSERT_NE(table.Find(a), nullptr);
  EXPECT_EQ(**table.Find(a), 7);
  EXPECT_EQ(table.Find(0x99), nullptr);
  EXPECT_FALSE(table.Take(0x99));
  std::optional<std::unique_ptr<int>> taken = table.Take(b);
  ASSERT_TRUE(taken);
  EXPECT_EQ(**taken, 8);
  EXPECT_EQ(table.Find(b), nullptr);
  EXPECT_FALSE(table.Take(b));
  EXPECT_NE(table.Find(a), nullptr);
}

}  // namespace
