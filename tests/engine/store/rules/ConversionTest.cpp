// The older rule file "\Data.ini" is converted on the first read of an
// account that has no "\Rule.cls".
#include <gtest/gtest.h>

#include <deque>

#include "RulesFixture.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "platform/base/WinFormat.h"

namespace {

class ConversionTest : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    ASSERT_TRUE(DeleteFileW(kRuleFile.c_str()));
  }

  // An older file with `count` and the rules' keys; `skip` leaves one key out.
  static void WriteOldFile(const std::wstring& count, const Rules& rules, const std::wstring& skip = L"") {
    QvProfileManipulator profile(kOldFile);
    ASSERT_TRUE(profile.CreateProfileFile());
    std::deque<ProfileItem> items;
    auto add = [&](const std::wstring& name, const std::wstring& text) {
      if (name == skip) return;
      ProfileItem item;
      item.name = name;
      item.text = text;
      items.push_back(item);
    };
    add(L"count", count);
    for (size_t i = 0; i < rules.size(); ++i) {
      const int n = static_cast<int>(i);
      add(qv::FormatW(L"%dname", n), rules[i].name);
      add(qv::FormatW(L"%dfield", n), rules[i].field);
      add(qv::FormatW(L"%dkeyword", n), rules[i].keyword);
      add(qv::FormatW(L"%dfolderid", n), std::to_wstring(rules[i].folderId));
    }
    ASSERT_TRUE(profile.WriteValues(items));
  }

  static Rules OldRules() {
    return {{L"仕事", L"From", L"boss@example.jp", 5, 1, 0}, {L"とても長い名前のルールです", L"To", L"k\tx", 300, 1, 0}};
  }
};

TEST_F(ConversionTest, FirstReadConvertsAndDeletesTheOlderFile) {
  WriteOldFile(L"2", OldRules());
  Rules expected = OldRules();
  expected[1].name = L"とても長い名前のルー";  // cut to 10 when written
  expected[1].keyword = L"kx";
  EXPECT_EQ(ReadOk(), expected);
  EXPECT_FALSE(Exists(kOldFile));
  EXPECT_FALSE(Exists(kFolder + L"\\Rule.cls_cnv"));
  EXPECT_EQ(ReadBytes(kRuleFile),
            Units(L"仕事\tFrom\tboss@example.jp\t5\t1\r\nとても長い名前のルー\tTo\tkx\t300\t1\r\n"));
  EXPECT_EQ(ReadOk(), expected);  // and from then on the new file
}

TEST_F(ConversionTest, ZeroRulesGiveAnEmptyFile) {
  WriteOldFile(L"0", {});
  EXPECT_EQ(ReadOk(), Rules{});
  EXPECT_EQ(ReadBytes(kRuleFile), "");
  EXPECT_FALSE(Exists(kOldFile));
}

TEST_F(ConversionTest, ADamagedOlderFileIsKeptAndNothingWritten) {
  const std::wstring skips[] = {L"count", L"1name", L"0field", L"1keyword", L"0folderid"};
  for (const std::wstring& skip : skips) {
    SCOPED_TRACE(qv::WideToUtf8(skip));
    WriteOldFile(L"2", OldRules(), skip);
    Rules rules;
    EXPECT_FALSE(Read(&rules));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_CONVERT);
    EXPECT_TRUE(Exists(kOldFile));
    EXPECT_FALSE(Exists(kRuleFile));
    EXPECT_FALSE(Exists(kFolder + L"\\Rule.cls_cnv"));
  }
  // A count beyond what a list may hold.
  WriteOldFile(L"257", OldRules());
  Rules rules;
  EXPECT_FALSE(Read(&rules));
  EXPECT_TRUE(Exists(kOldFile));
}

TEST_F(ConversionTest, NeitherFileIsAFailure) {
  Rules rules;
  EXPECT_FALSE(Read(&rules));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_CONVERT);
}

}  // namespace
