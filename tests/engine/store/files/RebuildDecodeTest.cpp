// The rebuild over real stored mail: raw texts decoded by the MIME parser.
#include <map>

#include "HeaderRecords.h"
#include "StoreFixture.h"
#include "engine/store/QvMailHeaderDecoder.h"

namespace {

class RebuildDecodeTest : public StoreFixture {
 protected:
  const std::wstring fdb_ = L"\\f.fdb";
  // The raw texts of a folder's stored messages, as the folder would read them.
  std::map<uint32_t, std::string> stored_;
  QvMailHeaderDecoder decoder_{[this](uint32_t id, std::string* raw) {
    auto it = stored_.find(id);
    if (it == stored_.end()) {
      SetQvMiddleError(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
      return false;
    }
    *raw = it->second;
    return true;
  }};
  void SetUp() override {
    StoreFixture::SetUp();
    WriteBytes(fdb_, EmptyHeaderFile());
  }
};

TEST_F(RebuildDecodeTest, RecordsCarryTheDecodedHeaderFields) {
  stored_[5] =
      "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\r\n"
      "To: Hanako <hanako@example.ne.jp>, other@example.jp\r\n"
      "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n"
      "Date: Mon, 3 Jun 2024 18:30:00 +0900\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
      "\r\n"
      "body\r\n";
  stored_[6] =
      "From: plain@example.com\r\n"
      "Subject: no recipients\r\n"
      "Date: Tue, 4 Jun 2024 00:00:00 +0900\r\n"
      "\r\n"
      "x\r\n";
  QvMessageHeader h;
  ASSERT_EQ(h.Open(fdb_), QVMDL_SUCCESS);
  qv::seams::SetTimeZoneBias(-540);
  ASSERT_TRUE(h.Rebuild({5, 6}, decoder_)) << std::hex << GetQvMiddleError();
  QvMessageHeader::Record r{};
  r.id = 5;
  ASSERT_TRUE(h.ReadRecord(&r));
  EXPECT_STREQ(r.toAddress, L"hanako@example.ne.jp");
  EXPECT_STREQ(r.fromAddress, L"yamada@example.jp");
  EXPECT_STREQ(r.fromName, L"山田");
  EXPECT_STREQ(r.subject, L"テスト");
  EXPECT_EQ(r.date.wDay, 3);
  EXPECT_EQ(r.date.wHour, 9);  // 18:30 in Japan is 9:30 UTC
  EXPECT_EQ(r.date.wMinute, 30);
  r.id = 6;
  ASSERT_TRUE(h.ReadRecord(&r));
  EXPECT_STREQ(r.toAddress, L"");
  EXPECT_STREQ(r.subject, L"no recipients");

  std::string before = ReadBytes(fdb_);
  EXPECT_FALSE(h.Rebuild({5, 7}, decoder_));  // message 7 cannot be read
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
  EXPECT_EQ(ReadBytes(fdb_), before);
}

}  // namespace
