// The process-wide rule cache, the rule storage of an account, and readers
// and writers on several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "RulesFixture.h"

namespace {

TEST_F(RulesTest, OneObjectPerFolderWhileReferencesLast) {
  auto& set = QvClassificationParamSet::Instance();
  QvClassificationParam* first = set.Open(kFolder);
  QvClassificationParam* again = set.Open(L"\\ACC\\classification");  // names ignore case
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, again);
  EXPECT_EQ(set.References(kFolder), 2u);
  QvClassificationParam* other = set.Open(L"\\Other\\Classification");
  EXPECT_NE(other, first);
  {
    QvClassificationParamInterface facade(set.Open(kFolder));
    EXPECT_EQ(set.References(kFolder), 3u);
  }
  EXPECT_EQ(set.References(kFolder), 2u);
  EXPECT_TRUE(set.Close(first));
  EXPECT_TRUE(set.Close(again));
  EXPECT_EQ(set.References(kFolder), 0u);
  EXPECT_FALSE(set.Close(first));  // already gone
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_NOT_OPEN);
  EXPECT_FALSE(set.Close(nullptr));
  EXPECT_TRUE(set.Close(other));
}

TEST_F(RulesTest, CreateAndDestroyTheRuleStorage) {
  ASSERT_TRUE(Write(Sample()));
  MakeDir(kFolder + L"\\Sub");
  MakeDir(kFolder + L"\\Sub\\Deeper");
  WriteBytes(kFolder + L"\\Sub\\Deeper\\x.txt", "x");
  WriteBytes(kFolder + L"\\Rule.cls_tmp", "partial");
  ASSERT_TRUE(SetFileAttributesW((kFolder + L"\\Sub").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(QvClassificationParamSet::Destroy(kFolder));
  EXPECT_TRUE(Exists(kFolder));
  EXPECT_FALSE(Exists(kRuleFile));
  EXPECT_FALSE(Exists(kFolder + L"\\Sub"));
  EXPECT_TRUE(QvClassificationParamSet::Destroy(kFolder));  // already empty
  EXPECT_FALSE(QvClassificationParamSet::Destroy(L"\\Missing"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_FIND_FOLDER);
  EXPECT_FALSE(QvClassificationParamSet::Create(L"\\Missing"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_CREATE_FILE);
  ASSERT_TRUE(QvClassificationParamSet::Create(kFolder));
  EXPECT_EQ(ReadBytes(kRuleFile), "");
  EXPECT_EQ(ReadOk(), Rules{});
}

TEST_F(RulesTest, ReadersNeverSeeHalfAWrite) {
  const Rules small = {{L"s", L"To", L"k", 1, 1, 0}};
  const Rules large(200, Rule{L"LargeRule", L"X-ML-name", std::wstring(100, L'k'), 9, 3, 0});
  ASSERT_TRUE(Write(small));
  std::atomic<bool> stop{false};
  std::atomic<int> writeFailures{0};
  std::thread writer([&] {
    auto facade = Open();
    for (int i = 0; i < 30; ++i) {
      if (!facade->SetAttributes(i % 2 == 0 ? large : small)) ++writeFailures;
    }
    stop = true;
  });
  int reads = 0;
  auto facade = Open();
  while (!stop || reads < 5) {
    Rules rules;
    ASSERT_TRUE(facade->GetAttributes(&rules)) << std::hex << GetQvMiddleError();
    ASSERT_TRUE(rules == small || rules == large) << rules.size();
    ++reads;
  }
  writer.join();
  EXPECT_EQ(writeFailures, 0);
}

}  // namespace
