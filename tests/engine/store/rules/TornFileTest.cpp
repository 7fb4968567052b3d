// Files cut short by a crash or a pulled battery at every length: the read
// either fails with a code or gives the rules of the last committed save.
#include <gtest/gtest.h>

#include "RulesFixture.h"
#include "engine/public/foundation/QvProfileManipulator.h"

namespace {

class TornFileTest : public RulesTest {
 protected:
  static Rules Newer() { return {{L"新しい", L"Cc", L"cc@example.jp", 40, 3, 0}, {L"n2", L"To", L"to", 41, 1, 0}}; }
  static std::string Encoded(const Rules& rules) {
    std::wstring text;
    for (const Rule& r : rules) {
      text += r.name + L"\t" + r.field + L"\t" + r.keyword + L"\t" + std::to_wstring(r.folderId) + L"\t" +
              std::to_wstring(r.direction) + L"\r\n";
    }
    return Units(text);
  }
};

TEST_F(TornFileTest, ACutRuleFileFailsOrHoldsWholeLinesOnly) {
  const Rules rules = Sample();
  const std::string whole = Encoded(rules);
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    WriteBytes(kRuleFile, whole.substr(0, length));
    Rules read;
    const bool ok = Read(&read);
    // Only a cut right after a line's CR LF reads as a shorter list.
    size_t lines = 0;
    bool boundary = length == 0;
    for (size_t k = 1; k <= rules.size(); ++k) {
      if (Encoded(Rules(rules.begin(), rules.begin() + k)).size() == length) {
        lines = k;
        boundary = true;
      }
    }
    EXPECT_EQ(ok, boundary);
    if (ok) {
      EXPECT_EQ(read, Rules(rules.begin(), rules.begin() + lines));
    } else {
      EXPECT_NE(GetQvMiddleError(), QVMDL_SUCCESS);
      for (size_t k = 0; k < read.size(); ++k) EXPECT_EQ(read[k], rules[k]);  // never a garbled rule
    }
  }
}

TEST_F(TornFileTest, ACutCopyBesideTheFileIsDroppedForTheCommittedRules) {
  ASSERT_TRUE(Write(Sample()));
  const std::string newer = Encoded(Newer());
  for (size_t length = 0; length <= newer.size(); ++length) {
    SCOPED_TRACE(length);
    WriteBytes(kRuleFile + L"_tmp", newer.substr(0, length));
    EXPECT_EQ(ReadOk(), Sample());
    EXPECT_FALSE(Exists(kRuleFile + L"_tmp"));
  }
}

TEST_F(TornFileTest, ACommitCutBetweenItsTwoMovesIsFinishedOrUndone) {
  ASSERT_TRUE(Write(Sample()));
  const std::string older = ReadBytes(kRuleFile);
  // Cut after the file went to "_bak" and before the copy took its place.
  ASSERT_TRUE(MoveFileW(kRuleFile.c_str(), (kRuleFile + L"_bak").c_str()));
  WriteBytes(kRuleFile + L"_tmp", Encoded(Newer()));
  EXPECT_EQ(ReadOk(), Newer());
  EXPECT_FALSE(Exists(kRuleFile + L"_bak"));
  // Cut after the backup with no copy: the backup comes back.
  ASSERT_TRUE(MoveFileW(kRuleFile.c_str(), (kRuleFile + L"_bak").c_str()));
  EXPECT_EQ(ReadOk(), Newer());
  WriteBytes(kRuleFile, older);
  EXPECT_TRUE(Write(Newer()));  // a write settles the same way first
  EXPECT_EQ(ReadOk(), Newer());
}

TEST_F(TornFileTest, AConversionCutShortIsRunAgain) {
  ASSERT_TRUE(DeleteFileW(kRuleFile.c_str()));
  {
    QvProfileManipulator profile(kOldFile);
    ASSERT_TRUE(profile.CreateProfileFile());
    std::deque<ProfileItem> items(5);
    const wchar_t* names[] = {L"count", L"0name", L"0field", L"0keyword", L"0folderid"};
    const wchar_t* texts[] = {L"1", L"旧", L"From", L"old@example.jp", L"3"};
    for (size_t i = 0; i < 5; ++i) {
      items[i].name = names[i];
      items[i].text = texts[i];
    }
    ASSERT_TRUE(profile.WriteValues(items));
  }
  const std::string oldFile = ReadBytes(kOldFile);
  const Rules converted = {{L"旧", L"From", L"old@example.jp", 3, 1, 0}};
  const std::string whole = Encoded(converted);
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE(length);
    WriteBytes(kOldFile, oldFile);
    WriteBytes(kFolder + L"\\Rule.cls_cnv", whole.substr(0, length));
    if (Exists(kRuleFile)) {
      ASSERT_TRUE(DeleteFileW(kRuleFile.c_str()));
    }
    EXPECT_EQ(ReadOk(), converted);
    EXPECT_EQ(ReadBytes(kRuleFile), whole);
  }
}

}  // namespace
