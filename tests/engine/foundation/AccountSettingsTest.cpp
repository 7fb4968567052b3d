// The account settings record in "AccountInfo.ini": defaults, masks, the
// GUID's text.
#include <cstring>
#include <memory>
#include <string>

#include "FoundationFixture.h"
#include "engine/foundation/QvAccountInfo.h"
#include "platform/base/WideText.h"

namespace {

using Attributes = QvAccountAttributes;

const std::wstring kFolder = L"\\Accounts\\Mail1";

class AccountSettingsTest : public FoundationTest {
 protected:
  void SetUp() override {
    FoundationTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW(L"\\Accounts", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr));
    account_ = std::make_unique<QvAccountInfo>(kFolder);
    ASSERT_TRUE(account_->Profile().CreateProfileFile());
  }
  void TearDown() override {
    account_.reset();
    FoundationTest::TearDown();
  }
  std::wstring Stored(const std::wstring& key) {
    std::wstring value;
    EXPECT_TRUE(account_->Profile().GetPrivateProfileString(key, L"<none>", &value));
    return value;
  }

  std::unique_ptr<QvAccountInfo> account_;
};

TEST_F(AccountSettingsTest, DefaultsForMissingKeys) {
  Attributes record;
  record.SelectAll();
  SetQvMiddleError(0);
  ASSERT_TRUE(account_->GetAccountInfoAttributes(&record));
  EXPECT_TRUE(record.MaskEmpty());
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_GUID_FORMAT) << "no GUID stored yet";
  EXPECT_EQ(record.strSenderName, L"");
  EXPECT_EQ(record.uiPopServerPort, 110u);
  EXPECT_EQ(record.uiPartialRetrievingLines, 10u);
  EXPECT_EQ(record.uiSmtpServerPort, 25u);
  EXPECT_EQ(record.ulPopBeforeSmtpLatencySec, 2u);
  EXPECT_TRUE(record.bSendMessageInAMinuteEnabled);
  EXPECT_EQ(record.ulRemoveOldMessageCnt, 500u);
  EXPECT_EQ(record.uiAutoMailRetrievingRetryCnt, 1u);
  EXPECT_EQ(record.ulJusinTrayID, 1u);
  EXPECT_EQ(record.ulSousinTrayID, 2u);
  EXPECT_EQ(record.ulSousinZumiTrayID, 3u);
  EXPECT_EQ(record.ulSitagakiTrayID, 4u);
  EXPECT_EQ(record.iUseSignature, 1);
  EXPECT_TRUE(record.bUseSignature);
  EXPECT_TRUE(record.bJunkaiJushinEnabled);
  EXPECT_TRUE(record.bUseQuotationEnabled);
  EXPECT_FALSE(record.bAPOPEnabled);
  EXPECT_FALSE(record.bSSLEnabled);
  EXPECT_FALSE(record.bTaccount);
  EXPECT_EQ(record.ulPartialTrayID, 0x10001u);
  EXPECT_EQ(record.ulUnreadTrayID, 0x10002u);
  EXPECT_EQ(account_->Profile().Path(), L"\\Accounts\\Mail1\\AccountInfo.ini");
}

TEST_F(AccountSettingsTest, ReadsOnlyTheMaskedFields) {
  ASSERT_TRUE(account_->Profile().WritePrivateProfileString(L"ulRemoveOldMessageCnt", L"42"));
  ASSERT_TRUE(account_->Profile().WritePrivateProfileString(L"strSenderName", L"山田"));
  Attributes record;
  record.strSenderName = L"untouched";
  record.ulRemoveOldMessageCnt = 7;
  record.uiPopServerPort = 9;
  record.Select(Attributes::kRemoveOldMessageCnt);
  ASSERT_TRUE(account_->GetAccountInfoAttributes(&record));
  EXPECT_EQ(record.ulRemoveOldMessageCnt, 42u);
  EXPECT_EQ(record.strSenderName, L"untouched");
  EXPECT_EQ(record.uiPopServerPort, 9u);
  EXPECT_TRUE(record.MaskEmpty());
}

TEST_F(AccountSettingsTest, WrittenRecordReadsBack) {
  Attributes out;
  out.strSenderName = L"送信者 太郎";
  out.strSenderAddress = L"taro@example.jp";
  out.strPopServerName = L"pop.example.jp";
  out.uiPopServerPort = 995;
  out.strPopPasswd = L"p=ss\tword";
  out.bAPOPEnabled = true;
  out.bMessageLeavingEnabled = true;
  out.uiPartialRetrievingLines = 0;
  out.guidNetworkSetting = {0x0A1B2C3D, 0x0004, 0xBEEF, {0x00, 0x01, 0x22, 0x33, 0xA4, 0xB5, 0xC6, 0xFF}};
  out.bSendMessageInAMinuteEnabled = false;
  out.iUseSignature = -2;
  out.bUseSignature = false;
  out.ulSitagakiTrayID = 0x1234;
  out.strAccountName = L"メイン";
  out.ulPartialTrayID = 5;  // never stored
  out.SelectAll();
  ASSERT_TRUE(account_->SetAccountInfoAttributes(out));
  EXPECT_TRUE(out.MaskEmpty());
  EXPECT_EQ(Stored(L"guidNetworkSetting"), L"a1b2c3d-4-beef-0001-2233a4b5c6ff");
  EXPECT_EQ(Stored(L"bAPOPEnabled"), L"1");
  EXPECT_EQ(Stored(L"iUseSignature"), L"4294967294");

  Attributes in;
  in.SelectAll();
  SetQvMiddleError(0);
  ASSERT_TRUE(account_->GetAccountInfoAttributes(&in));
  EXPECT_EQ(GetQvMiddleError(), 0u);
  EXPECT_EQ(in.strSenderName, out.strSenderName);
  EXPECT_EQ(in.strSenderAddress, out.strSenderAddress);
  EXPECT_EQ(in.strPopServerName, out.strPopServerName);
  EXPECT_EQ(in.uiPopServerPort, 995u);
  EXPECT_EQ(in.strPopPasswd, out.strPopPasswd);
  EXPECT_TRUE(in.bAPOPEnabled);
  EXPECT_TRUE(in.bMessageLeavingEnabled);
  EXPECT_EQ(in.uiPartialRetrievingLines, 0u) << "a stored 0 is a value, not a missing key";
  EXPECT_EQ(memcmp(&in.guidNetworkSetting, &out.guidNetworkSetting, sizeof(GUID)), 0);
  EXPECT_FALSE(in.bSendMessageInAMinuteEnabled);
  EXPECT_EQ(in.iUseSignature, -2);
  EXPECT_FALSE(in.bUseSignature);
  EXPECT_EQ(in.ulSitagakiTrayID, 0x1234u);
  EXPECT_EQ(in.strAccountName, L"メイン");
  EXPECT_EQ(in.ulPartialTrayID, 0x10001u);
}

TEST_F(AccountSettingsTest, WritesOnlyTheMaskedFields) {
  ASSERT_TRUE(account_->Profile().WritePrivateProfileString(L"strSmtpServerName", L"smtp.old"));
  Attributes out;
  out.strSmtpServerName = L"smtp.new";
  out.strSenderName = L"written";
  out.Select(Attributes::kSenderName);
  ASSERT_TRUE(account_->SetAccountInfoAttributes(out));
  EXPECT_EQ(Stored(L"strSmtpServerName"), L"smtp.old");
  EXPECT_EQ(Stored(L"strSenderName"), L"written");

  // The virtual tray bits select nothing: the file is rewritten with its values.
  out.Select(Attributes::kPartialTrayID);
  out.Select(Attributes::kUnreadTrayID);
  ASSERT_TRUE(account_->SetAccountInfoAttributes(out));
  EXPECT_TRUE(out.MaskEmpty());
  EXPECT_EQ(Stored(L"strSmtpServerName"), L"smtp.old");
  EXPECT_EQ(Stored(L"strSenderName"), L"written");
}

TEST_F(AccountSettingsTest, EmptyMasksAreRefused) {
  Attributes record;
  EXPECT_FALSE(account_->GetAccountInfoAttributes(&record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_READ_NO_MASK);
  EXPECT_FALSE(account_->SetAccountInfoAttributes(record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_WRITE_NO_MASK);
  record.mask[1] = 1u << (50 - 32);  // a bit that selects nothing is still a mask
  EXPECT_TRUE(account_->GetAccountInfoAttributes(&record));
  EXPECT_TRUE(record.MaskEmpty());
}

TEST_F(AccountSettingsTest, FailedReadKeepsTheMaskFailedWriteClearsIt) {
  ASSERT_TRUE(DeleteFileW(account_->Profile().Path().c_str()));
  Attributes record;
  record.Select(Attributes::kSenderName);
  EXPECT_FALSE(account_->GetAccountInfoAttributes(&record));
  EXPECT_TRUE(record.Selected(Attributes::kSenderName));
  EXPECT_FALSE(account_->SetAccountInfoAttributes(record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_WRITE_FAILED);
  EXPECT_TRUE(record.MaskEmpty());

  ASSERT_TRUE(account_->Profile().CreateProfileFile());
  qv::seams::SetFreeSpace(1000);
  record.Select(Attributes::kSenderName);
  EXPECT_FALSE(account_->SetAccountInfoAttributes(record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_BATCH_DISK_SPACE) << "no room is reported as such";
  EXPECT_TRUE(record.MaskEmpty());
}

TEST_F(AccountSettingsTest, GuidTexts) {
  GUID guid = {};
  ASSERT_TRUE(QvAccountInfo::GuidFromText(L"12345678-9ABC-def0-1122-334455667788", &guid));
  EXPECT_EQ(guid.Data1, 0x12345678u);
  EXPECT_EQ(guid.Data2, 0x9ABC);
  EXPECT_EQ(guid.Data3, 0xDEF0);
  const uint8_t bytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  EXPECT_EQ(memcmp(guid.Data4, bytes, 8), 0);
  EXPECT_EQ(QvAccountInfo::GuidToText(guid), L"12345678-9abc-def0-1122-334455667788");
  const GUID zero = {};
  EXPECT_EQ(QvAccountInfo::GuidToText(zero), L"0-0-0-0000-000000000000");
  ASSERT_TRUE(QvAccountInfo::GuidFromText(L"0-0-0-0000-000000000000", &guid));
  EXPECT_EQ(memcmp(&guid, &zero, sizeof(GUID)), 0);

  const GUID before = guid;
  for (const wchar_t* bad : {L"", L"1-2-3-0000", L"1-2-3-0000-000000000000-0", L"1-2-3-0000-00000000000g",
                             L"123456789-0-0-0000-000000000000", L"0-12345-0-0000-000000000000",
                             L"0-0-0-0000-0000000000000", L"0-0-0-0000-00000000000", L"-0-0-0000-000000000000"}) {
    SCOPED_TRACE(qv::WideToUtf8(bad));
    EXPECT_FALSE(QvAccountInfo::GuidFromText(bad, &guid));
    EXPECT_EQ(memcmp(&guid, &before, sizeof(GUID)), 0);
  }
}

TEST_F(AccountSettingsTest, TooLongGuidInTheFileIsRefusedNotOverrun) {
  const std::wstring tooLong = L"1-2-3-0405-060708090a0b0c0d0e0f10111213141516171819";
  ASSERT_TRUE(account_->Profile().WritePrivateProfileString(L"guidNetworkSetting", tooLong));
  Attributes record;
  record.guidNetworkSetting = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  const GUID before = record.guidNetworkSetting;
  record.Select(Attributes::kNetworkSetting);
  record.Select(Attributes::kPopServerPort);
  SetQvMiddleError(0);
  EXPECT_TRUE(account_->GetAccountInfoAttributes(&record)) << "the read goes on";
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_GUID_FORMAT);
  EXPECT_EQ(memcmp(&record.guidNetworkSetting, &before, sizeof(GUID)), 0);
  EXPECT_EQ(record.uiPopServerPort, 110u);
  EXPECT_TRUE(record.MaskEmpty());
}

}  // namespace
