// The contacts database: what is saved comes back whatever it holds, a file
// cut at any length gives back only whole records, restriction and the
// find-matching-contact call answer as the chooser and the mail program
// rely on, and what one application object saves the next one sees.
#include <gtest/gtest.h>

#include "platform/base/WideText.h"
#include "platform/pim/Pim.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using qv::pim::Contact;
using qv::pim::PimApplication;

Contact Make(const std::wstring& last, const std::wstring& first, std::wstring m1, std::wstring m2 = L"",
             std::wstring m3 = L"") {
  Contact c;
  c.lastName = last;
  c.firstName = first;
  c.fileAs = last + L", " + first;
  c.email[0] = std::move(m1);
  c.email[1] = std::move(m2);
  c.email[2] = std::move(m3);
  return c;
}

class PimTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    ASSERT_TRUE(app_.Logon());
    const Contact all[] = {Make(L"山田", L"太郎", L"taro@example.jp"),
                           Make(L"佐藤", L"花子", L"", L"hanako@example.jp", L"Hanako@Work.example"),
                           Make(L"番号", L"だけ", L""),
                           Make(L"A\"b\\c", L"\t\r\n\\t", L"odd@example.jp")};
    for (const Contact& c : all) oids_.push_back(app_.Add(c));
  }
  PimApplication app_;
  std::vector<CEOID> oids_;
};

TEST_F(PimTest, SavedContactsComeBackWithTheirOidsAndEveryCharacter) {
  EXPECT_EQ(oids_, (std::vector<CEOID>{1, 2, 3, 4}));
  PimApplication other;
  ASSERT_TRUE(other.Logon());
  std::optional<Contact> odd = other.GetItemFromOid(4);
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->lastName, L"A\"b\\c");
  EXPECT_EQ(odd->firstName, L"\t\r\n\\t");
  odd->SetProp(PIMPR_EMAIL3_ADDRESS, L"third@example.jp");
  odd->SetProp(PIMPR_WEB_PAGE, L"http://example.jp/");
  ASSERT_TRUE(other.Save(*odd));
  EXPECT_TRUE(*app_.GetItemFromOid(4) == *odd);
  EXPECT_FALSE(app_.GetItemFromOid(99));
  // No "_tmp" copy is left behind.
  EXPECT_FALSE(Exists(L"\\pim.vol_tmp"));
}

// Whatever length the file is cut to, a reader gets a prefix of the
// records, each whole.
TEST_F(PimTest, AFileCutAtAnyLengthGivesOnlyWholeRecords) {
  const std::string bytes = ReadBytes(qv::pim::kContactsFile);
  const std::vector<Contact> full = qv::pim::ParseContacts(bytes);
  ASSERT_EQ(full.size(), 4u);
  size_t lastCount = 0;
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    const std::vector<Contact> got = qv::pim::ParseContacts(bytes.substr(0, cut));
    ASSERT_LE(got.size(), full.size());
    ASSERT_GE(got.size(), lastCount) << cut;
    for (size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(got[i] == full[i]) << cut;
    lastCount = got.size();
  }
  EXPECT_EQ(lastCount, 4u);
  // The store reads a cut file too, and a later save writes it whole again.
  WriteBytes(qv::pim::kContactsFile, bytes.substr(0, bytes.size() - 7));
  EXPECT_EQ(app_.Items(olFolderContacts)->Count(), 3);
  EXPECT_EQ(app_.Add(Make(L"後", L"で", L"later@example.jp")), 4u);
  EXPECT_EQ(app_.Items(olFolderContacts)->Count(), 4);
}

TEST_F(PimTest, RestrictionAndMatchingFollowTheQuery) {
  const auto items = app_.Items(olFolderContacts);
  ASSERT_TRUE(items);
  struct Case {
    const wchar_t* query;
    int count;  // -1: no collection
  } const cases[] = {
      {L" [Email1Address] <> \"\" OR [Email2Address] <> \"\" OR [Email3Address] <> \"\" ", 3},
      {L"[Email1Address] = \"TARO@example.jp\"", 1},
      {L"[LastName] = \"佐藤\" AND [Email1Address] = \"\"", 1},
      {L"[LastName] = \"佐藤\" AND [Email1Address] <> \"\"", -1},
      {L"[LastName] = \"A\"\"b\\c\"", 1},
      {L"[Nothing] = \"x\"", -1},
      {L"[LastName] = \"unterminated", -1},
      {L"[LastName] = \"x\" XOR [FirstName] = \"y\"", -1},
      {L"", -1},
  };
  for (const Case& c : cases) {
    const auto kept = items->Restrict(c.query);
    EXPECT_EQ(kept ? kept->Count() : -1, c.count) << qv::WideToUtf8(c.query);
  }
  EXPECT_EQ(app_.FindMatchingContact(L"hanako@work.EXAMPLE", FMCF_FINDEMAIL), 2u);
  EXPECT_EQ(app_.FindMatchingContact(L"taro@example.jp", 0), 0u);
  EXPECT_EQ(app_.FindMatchingContact(L"", FMCF_FINDEMAIL), 0u);
  EXPECT_EQ(app_.FindMatchingContact(L"nobody@example.jp", FMCF_FINDEMAIL), 0u);
  EXPECT_FALSE(app_.Items(9).has_value());
}

}  // namespace
