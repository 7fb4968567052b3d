// The rule file as written and read: its exact bytes, cleaning and cutting
// of texts, the older four-column lines, damaged and hostile files.
#include <gtest/gtest.h>

#include "RulesFixture.h"
#include "engine/store/QvRuleLine.h"

namespace {

TEST_F(RulesTest, WritesTheExactBytesAndReadsThemBack) {
  ASSERT_TRUE(Write({{L"A", L"To", L"x", 1, 2, 0}}));
  EXPECT_EQ(ReadBytes(kRuleFile), std::string("A\0\t\0T\0o\0\t\0x\0\t\0001\0\t\0002\0\r\0\n\0", 24));
  ASSERT_TRUE(Write(Sample()));
  EXPECT_EQ(ReadBytes(kRuleFile), Units(L"仕事\tFrom\tboss@example.jp\t5\t1\r\n"
                                        L"ML\tX-ML-name\tqvmail-dev\t12\t3\r\n"
                                        L"家族\t件名\t\t65537\t2\r\n"));
  EXPECT_EQ(ReadOk(), Sample());
  EXPECT_FALSE(Exists(kRuleFile + L"_tmp"));
  EXPECT_FALSE(Exists(kRuleFile + L"_bak"));
  ASSERT_TRUE(Write({}));
  EXPECT_EQ(ReadBytes(kRuleFile), "");
  EXPECT_EQ(ReadOk(), Rules{});
}

TEST_F(RulesTest, TextsAreCleanedAndCutWhenWritten) {
  const std::wstring pair = L"\U00020BB7";  // one character, two UTF-16 units
  ASSERT_TRUE(Write({{L"0123456789ABCDE", L"X-ML-nameX", L"a\tb\r\nc\x01" L"d", 7, 1, 16},
                     {L"123456789" + pair, L"To", std::wstring(200, L'k'), 8, 2, 0},
                     {L"12345678" + pair, L"Cc", std::wstring(127, L'k') + pair, 9, 3, 0}}));
  const Rules expected = {{L"0123456789", L"X-ML-name", L"abcd", 7, 1, 0},
                          {L"123456789", L"To", std::wstring(128, L'k'), 8, 2, 0},
                          {L"12345678" + pair, L"Cc", std::wstring(127, L'k'), 9, 3, 0}};
  EXPECT_EQ(ReadOk(), expected);
}

TEST_F(RulesTest, LongestRulesWithLargeNumbersReadBack) {
  // Full-length texts with folder ids of five digits and more and negative
  // directions make lines well over 154 characters; they still read back.
  const Rules rules = {{L"ABCDEFGHIJ", L"X-ML-name", std::wstring(128, L'長'), 65535, 3, 0},
                       {L"ABCDEFGHIJ", L"X-ML-name", std::wstring(128, L'z'), 0xFFFFFFFFu, -2147483647 - 1, 0},
                       {L"n", L"From", L"k", 0x80000000u, 2147483647, 0}};
  ASSERT_TRUE(Write(rules));
  EXPECT_EQ(ReadOk(), rules);
}

TEST_F(RulesTest, TooManyRulesAreRefusedAndTheFileKept) {
  ASSERT_TRUE(Write(Sample()));
  const std::string before = ReadBytes(kRuleFile);
  Rules many(257, Rule{L"r", L"From", L"k", 1, 1, 0});
  EXPECT_FALSE(Write(many));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_TOO_MANY);
  EXPECT_EQ(ReadBytes(kRuleFile), before);
  many.pop_back();
  EXPECT_TRUE(Write(many));
  EXPECT_EQ(ReadOk().size(), 256u);
  // A file that holds more than 256 is refused when read.
  WriteBytes(kRuleFile, ReadBytes(kRuleFile) + Units(L"x\tTo\tk\t1\t1\r\n"));
  Rules read;
  EXPECT_FALSE(Read(&read));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_TOO_MANY);
}

TEST_F(RulesTest, FourColumnLinesReadWithoutDirection) {
  WriteBytes(kRuleFile, Units(L"a\tFrom\tk\t7\r\nb\tTo\tm\t8\t2\r\nc\tCc\tn\t9\r\n"));
  Rules rules;
  EXPECT_FALSE(Read(&rules));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_NO_DIRECTION);
  EXPECT_EQ(rules, (Rules{{L"a", L"From", L"k", 7, 0, 16}, {L"b", L"To", L"m", 8, 2, 0}, {L"c", L"Cc", L"n", 9, 0, 16}}));
}

TEST_F(RulesTest, DamagedLinesStopTheReadAfterTheRulesBeforeThem) {
  struct Case {
    std::wstring text;
    uint32_t code;
    size_t kept;
  };
  const Case cases[] = {
      {L"a\tFrom\tk\t7\t1\r\nb\tTo\tm\t8\t2", QVMDL_ERR_CLS_NO_LINE_END, 1},
      {L"a\tFrom\tk\t7\t1\r\nb\tTo\tm\t8", QVMDL_ERR_CLS_FORMAT, 1},
      {L"a\tFrom\tk\t7\t1\nb\tTo\tm\t8\t2\r\n", QVMDL_ERR_CLS_NO_LINE_END, 0},
      {L"a\tFrom\tk\t7\t1\r\n\r\n", QVMDL_ERR_CLS_FORMAT, 1},
      {L"a\tFrom\r\n", QVMDL_ERR_CLS_FORMAT, 0},
      {L"a\tFrom\tk\t7\t1\r\n" + std::wstring(300, L'x') + L"\tTo\tk\t1\t1\r\n", QVMDL_ERR_CLS_FORMAT, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::WideToUtf8(c.text));
    WriteBytes(kRuleFile, Units(c.text));
    Rules rules(3);
    EXPECT_FALSE(Read(&rules));
    EXPECT_EQ(GetQvMiddleError(), c.code);
    EXPECT_EQ(rules.size(), c.kept);
  }
}

TEST_F(RulesTest, HostileFilesFailCleanly) {
  // Far larger than any rule file; an odd byte count; numbers out of range.
  WriteBytes(kRuleFile, std::string(1 << 20, 'a'));
  Rules rules;
  EXPECT_FALSE(Read(&rules));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_FORMAT);
  WriteBytes(kRuleFile, Units(L"a\tFrom\tk\t7\t1\r\n") + "x");
  EXPECT_FALSE(Read(&rules));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_FORMAT);
  WriteBytes(kRuleFile, Units(L"a\tFrom\tk\t99999999999999999999\t-99999999999999\r\n"));
  EXPECT_TRUE(Read(&rules));
  EXPECT_EQ(rules, (Rules{{L"a", L"From", L"k", 0xFFFFFFFFu, -2147483647 - 1, 0}}));
  EXPECT_EQ(QvRuleLine::ParseDecimal(L"  +42abc"), 42u);
  EXPECT_EQ(QvRuleLine::ParseDecimal(L"-1"), 0xFFFFFFFFu);
  EXPECT_EQ(QvRuleLine::ParseDecimal(L"x1"), 0u);
}

TEST_F(RulesTest, NullArgumentsAndNullObject) {
  EXPECT_FALSE(Open()->GetAttributes(nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_NULL_ARGUMENT);
  QvClassificationParamInterface none(nullptr);
  Rules rules;
  EXPECT_FALSE(none.GetAttributes(&rules));
  EXPECT_FALSE(none.SetAttributes(Sample()));
  EXPECT_EQ(none.GetErrorInfo(), QVMDL_SUCCESS);
  auto facade = Open();
  EXPECT_FALSE(facade->GetAttributes(nullptr));
  EXPECT_EQ(facade->GetErrorInfo(), QVMDL_ERR_CLS_NULL_ARGUMENT);
}

TEST_F(RulesTest, AFullVolumeLeavesTheRulesAsTheyWere) {
  ASSERT_TRUE(Write(Sample()));
  const std::string before = ReadBytes(kRuleFile);
  qv::seams::InjectFileFault(kRuleFile + L"_tmp", ERROR_DISK_FULL);
  EXPECT_FALSE(Write({{L"new", L"To", L"k", 1, 1, 0}}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(ReadBytes(kRuleFile), before);
  EXPECT_FALSE(Exists(kRuleFile + L"_tmp"));
  EXPECT_EQ(ReadOk(), Sample());
}

TEST_F(RulesTest, AMissingRuleFileIsNotWrittenAnew) {
  ASSERT_TRUE(DeleteFileW(kRuleFile.c_str()));
  Rules rules;
  EXPECT_FALSE(Write(Sample()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_SAFESAVE_NOFILE);
  EXPECT_FALSE(Read(&rules));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CLS_CONVERT);
  EXPECT_FALSE(Exists(kRuleFile));
}

}  // namespace
