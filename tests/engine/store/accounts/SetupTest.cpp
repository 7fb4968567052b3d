// The device's set-up tools: the carrier's account bound to a phone number,
// and the feed reader's account "Server" in the feed reader's own folders,
// with what each leaves in the files and in the platform's registry.
#include <cstring>
#include <functional>
#include <tuple>

#include "AccountFixture.h"
#include "engine/public/foundation/QvCommonSettingInterface.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvAccountRegistration.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "platform/base/WideText.h"
#include "platform/testing/Seams.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;

constexpr wchar_t kExternal[] = L"System\\Inbox\\ExternalAccounts";
constexpr wchar_t kFeedKey[] = L"Software\\Norvale\\Rivulet";
constexpr GUID kNetwork = {0xC1D06580, 0xB364, 0x45EC, {0x84, 0x21, 0x5A, 0xCF, 0x34, 0x12, 0x9C, 0x58}};

class SetupTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    MakeDir(L"\\Application Data\\QuvoMail\\System");
    MakeDir(L"\\Temp");
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"SystemInfoPath",
                                 L"\\Application Data\\QuvoMail\\System\\"));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kFeedKey, L"DataPath", L"\\Application Data\\Rivulet\\Accounts\\"));
    ASSERT_TRUE(
        SetRegistryValue(HKEY_CURRENT_USER, kFeedKey, L"SystemInfoPath", L"\\Application Data\\Rivulet\\System\\"));
    info_.reset(QvSystemInfoInterface::GetSystemInfo());
    ASSERT_TRUE(info_);
  }

  static Attributes CarrierRecord(const std::wstring& address, bool popBeforeSmtp) {
    Attributes a;
    a.strSenderName = L"not stored";
    a.strSenderAddress = address;
    a.strPopServerName = L"pop.carrier.example";
    a.uiPopServerPort = 995;
    a.strPopUserName = L"user";
    a.strPopPasswd = L"secret";
    a.bAPOPEnabled = true;
    a.bPartialRetrievingEnabled = true;
    a.strSmtpServerName = L"smtp.carrier.example";
    a.uiSmtpServerPort = 587;
    a.bPopBeforeSmtpEnabled = popBeforeSmtp;
    a.ulPopBeforeSmtpLatencySec = 7;
    a.bSmtpSvrAuthEnabled = !popBeforeSmtp;
    a.bSmtpAuthEnabled = true;
    return a;
  }

  // Every stored setting of an account, read in one pass.
  static Attributes Stored(const std::wstring& name, const std::wstring& key = L"") {
    Attributes a;
    std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, key));
    EXPECT_TRUE(account) << std::hex << GetQvMiddleError();
    if (!account) return a;
    a.SelectAll();
    account->GetAccountInfoAttributes(&a);
    return a;
  }

  // The two external accounts of `name`, value by value and byte by byte.
  void ExpectRegistered(const std::wstring& name, const std::wstring& address) {
    const std::wstring plain = std::wstring(kExternal) + L"\\" + name;
    const std::wstring handwritten = std::wstring(kExternal) + L"\\________-1" + name;
    const std::pair<std::wstring, RegistryBytes> plainValues[] = {
        {L"DisplayName", Text(L"T-VELA4メールで送信 (" + name + L")")},
        {L"Address", Text(address)},
        {L"Handler", Text(L"{B93E6627-7CD4-415E-8DFE-5CA41C43573C}")},
        {L"AccountName", Text(name)},
        {L"SendMode", {}}};
    for (const auto& [value, expected] : plainValues) {
      EXPECT_EQ(ReadRegistry(HKEY_LOCAL_MACHINE, plain, value), expected) << "plain " << qv::WideToUtf8(value);
    }
    const std::pair<std::wstring, RegistryBytes> handwrittenValues[] = {
        {L"DisplayName", Text(L"手書きメールを送信 (" + name + L")")},
        {L"Address", Text(address)},
        {L"Handler", Text(L"{B93E6627-7CD4-415E-8DFE-5CA41C43573C}")},
        {L"AccountName", Text(name)},
        {L"SendMode", Dword(1)}};
    for (const auto& [value, expected] : handwrittenValues) {
      EXPECT_EQ(ReadRegistry(HKEY_LOCAL_MACHINE, handwritten, value), expected) << "hand " << qv::WideToUtf8(value);
    }
  }

  std::unique_ptr<QvSystemInfoInterface> info_;
};

// The fields both set-ups force, as the account then holds them.
void ExpectForced(const Attributes& a, bool carrier) {
  EXPECT_TRUE(a.bPopPasswdSavingEnabled);
  EXPECT_TRUE(a.bMessageLeavingEnabled);
  EXPECT_EQ(a.uiPartialRetrievingLines, 600u);
  EXPECT_EQ(std::memcmp(&a.guidNetworkSetting, &kNetwork, sizeof kNetwork), 0);
  EXPECT_TRUE(a.bAutoMailRetrievingEnabled);
  EXPECT_FALSE(a.bSmtpAuthEnabled);
  EXPECT_EQ(a.bTaccount, carrier);
  // Left as they were: never written by a set-up.
  EXPECT_EQ(a.strSenderName, L"");
  EXPECT_FALSE(a.bPartialRetrievingEnabled);
}

TEST_F(SetupTest, CarrierAccountIsMadeForcedRecordedAndRegistered) {
  for (bool popBeforeSmtp : {true, false}) {
    Attributes record = CarrierRecord(L"me@carrier.example", popBeforeSmtp);
    ASSERT_TRUE(info_->SetTAccount(L"09012345678", record)) << std::hex << GetQvMiddleError();
    EXPECT_TRUE(record.MaskEmpty());
    EXPECT_EQ(record.strSenderAddress, L"me@carrier.example");
    const Attributes stored = Stored(L"09012345678");
    ExpectForced(stored, true);
    EXPECT_EQ(stored.bSmtpSvrAuthEnabled, popBeforeSmtp);
    EXPECT_EQ(stored.bPopBeforeSmtpEnabled, popBeforeSmtp);
    EXPECT_EQ(stored.strPopServerName, L"pop.carrier.example");
    EXPECT_EQ(stored.uiPopServerPort, 995u);
    EXPECT_EQ(stored.strPopPasswd, L"secret");
    EXPECT_TRUE(stored.bAPOPEnabled);
    EXPECT_EQ(stored.uiSmtpServerPort, 587u);
    EXPECT_EQ(stored.ulPopBeforeSmtpLatencySec, 7u);
  }
  // One account, with the default trays, named in the system file.
  EXPECT_TRUE(HostExists(std::string(kDataHost) + "09012345678/Storage/DATA/Entry.dat"));
  std::vector<std::wstring> names;
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
  EXPECT_EQ(names, std::vector<std::wstring>{L"09012345678"});
  EXPECT_EQ(ReadHost("Application Data/QuvoMail/System/SystemInfo.ini"), qv::WideToUtf16LE(L"09012345678"));
  std::wstring carrier;
  EXPECT_TRUE(QvSystemInfoInterface::GetTAccount(carrier));
  EXPECT_EQ(carrier, L"09012345678");
  ExpectRegistered(L"09012345678", L"me@carrier.example");
  EXPECT_EQ(SubKeys(HKEY_LOCAL_MACHINE, kExternal), (std::set<std::wstring>{L"09012345678", L"________-109012345678"}));
}

TEST_F(SetupTest, ANewNumberRetiresTheOldCarrierAccountAndKeepsItsMail) {
  Attributes record = CarrierRecord(L"old@carrier.example", true);
  ASSERT_TRUE(info_->SetTAccount(L"09011111111", record));
  {
    std::unique_ptr<QvAccountInfoInterface> old(QvAccountInfoInterface::OpenAccountInfo(L"09011111111", L""));
    std::unique_ptr<QvStorageInterface> storage(old->OpenStorage());
    std::unique_ptr<QvFolderInterface> inbox(storage->OpenFolder(Stored(L"09011111111").ulJusinTrayID));
    unsigned long id = 0;
    ASSERT_TRUE(inbox && inbox->CreateMessage(&id));
    std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
    ASSERT_TRUE(message && message->Write(std::string("Subject: kept\r\n\r\nbody\r\n")));
  }
  Attributes next = CarrierRecord(L"new@carrier.example", false);
  ASSERT_TRUE(info_->SetTAccount(L"09022222222", next));
  const Attributes old = Stored(L"09011111111");
  EXPECT_EQ(old.strPopServerName, L"Not Available");
  EXPECT_EQ(old.strPopUserName, L"Not Available");
  EXPECT_EQ(old.strSmtpServerName, L"Not Available");
  EXPECT_FALSE(old.bPopPasswdSavingEnabled);
  EXPECT_EQ(old.strSenderAddress, L"old@carrier.example");
  EXPECT_EQ(old.strPopPasswd, L"secret");
  EXPECT_TRUE(old.bTaccount);
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"09011111111", L""));
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> inbox(storage->OpenFolder(old.ulJusinTrayID));
  std::vector<unsigned long> ids;
  ASSERT_TRUE(inbox->GetMessageIds(&ids));
  EXPECT_EQ(ids.size(), 1u);
  // The same number again changes no other account.
  const auto before = ReadHost(std::string(kDataHost) + "09011111111/AccountInfo.ini");
  Attributes again = CarrierRecord(L"new@carrier.example", false);
  ASSERT_TRUE(info_->SetTAccount(L"09022222222", again));
  EXPECT_EQ(ReadHost(std::string(kDataHost) + "09011111111/AccountInfo.ini"), before);
  ExpectForced(Stored(L"09022222222"), true);
  ExpectRegistered(L"09022222222", L"new@carrier.example");
}

class FeedSetupTest : public SetupTest {
 protected:
  static std::vector<std::pair<std::wstring, unsigned long>> Below(QvFolderInterface* folder) {
    std::vector<unsigned long> ids;
    EXPECT_TRUE(folder->GetFolderIds(&ids));
    std::vector<std::pair<std::wstring, unsigned long>> out;
    for (unsigned long id : ids) {
      QvFolderInterface::FolderAttributes a;
      a.mask = 1;
      folder->ReadFolderAttributes(id, &a);
      out.emplace_back(a.name, id);
    }
    return out;
  }
  // The inbox's child folders and the account's rules.
  void ExpectFoldersAndRules(size_t setups) {
    const Attributes stored = Stored(L"Server", kFeedKey);
    std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Server", kFeedKey));
    ASSERT_TRUE(account);
    std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
    std::unique_ptr<QvFolderInterface> root(storage->OpenRootFolder());
    const auto trays = Below(root.get());  // the four trays, then the two virtual ones
    ASSERT_EQ(trays.size(), 6u);
    EXPECT_EQ(trays[0].first, L"受信トレイ");
    EXPECT_EQ(trays[0].second, stored.ulJusinTrayID);
    std::unique_ptr<QvFolderInterface> inbox(storage->OpenFolder(stored.ulJusinTrayID));
    const auto below = Below(inbox.get());
    ASSERT_EQ(below.size(), 2 * setups);
    const unsigned long news = below[below.size() - 2].second;
    const unsigned long adv = below.back().second;
    EXPECT_EQ(below[below.size() - 2].first, L"News");
    EXPECT_EQ(below.back().first, L"Adv");
    std::unique_ptr<QvClassificationParamInterface> rules(account->OpenClassificationParamInterface());
    std::vector<QvClassificationParamInterface::Attributes> list;
    ASSERT_TRUE(rules->GetAttributes(&list));
    ASSERT_EQ(list.size(), 3u);
    const std::tuple<std::wstring, unsigned long> expected[] = {{L"news", news}, {L"tellaro", adv}, {L"weather", news}};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(list[i].name, std::get<0>(expected[i]));
      EXPECT_EQ(list[i].keyword, std::get<0>(expected[i]));
      EXPECT_EQ(list[i].field, L"X-ML-name");
      EXPECT_EQ(list[i].folderId, std::get<1>(expected[i]));
      EXPECT_EQ(static_cast<uint32_t>(list[i].direction), stored.ulJusinTrayID);
    }
  }
};

TEST_F(FeedSetupTest, FeedAccountIsMadeInTheFeedReadersFolders) {
  ASSERT_TRUE(info_->SetFAccount(L"feeds.example", L"http://feeds.example/list")) << std::hex << GetQvMiddleError();
  const Attributes stored = Stored(L"Server", kFeedKey);
  ExpectForced(stored, false);
  EXPECT_EQ(stored.strSenderAddress, QvSystemInfoInterface::kFeedSenderAddress);
  EXPECT_EQ(stored.strPopServerName, L"feeds.example");
  EXPECT_EQ(stored.strSmtpServerName, L"http://feeds.example/list");
  EXPECT_EQ(stored.strPopUserName, L"rivulet");
  EXPECT_EQ(stored.strPopPasswd, L"quillfen");
  EXPECT_EQ(stored.uiPopServerPort, 110u);
  EXPECT_EQ(stored.uiSmtpServerPort, 25u);
  EXPECT_TRUE(stored.bPopBeforeSmtpEnabled);
  EXPECT_EQ(stored.ulPopBeforeSmtpLatencySec, 0u);
  EXPECT_TRUE(stored.bSmtpSvrAuthEnabled);
  EXPECT_TRUE(HostExists("Application Data/Rivulet/Accounts/Server/AccountInfo.ini"));
  EXPECT_FALSE(HostExists(std::string(kDataHost) + "Server"));
  EXPECT_EQ(ReadHost("Application Data/Rivulet/System/SystemInfo.ini"), qv::WideToUtf16LE(L"Server"));
  EXPECT_EQ(ReadHost("Temp/PushService.ini"),
            "[PushServiceSetting1]\r\nPhoneNumber=\"0120987654\"\r\nMessage=\"0022\x81\x9aT+INFO\"\r\n"
            "App=\"\\Windows\\Rillwake.exe\"\r\n");
  QvCommonSettingInterface common(kFeedKey);
  QvCommonSettingInterface::Attributes today;
  today.mask[0] = 0x7C;
  ASSERT_TRUE(common.GetCommonSettingAttributes(&today));
  EXPECT_EQ(today.uiTodayDispLinesRivulet, 3u);
  EXPECT_TRUE(today.bDispTodayRefresh1Line && today.bDispTodayRefresh3Line);
  EXPECT_EQ(today.uiDispTodayRefresh1LineSec, 4u);
  EXPECT_EQ(today.uiDispTodayRefresh3LineSec, 12u);
  ExpectFoldersAndRules(1);
  // No external account for the feed reader, no mail account.
  EXPECT_TRUE(SubKeys(HKEY_LOCAL_MACHINE, kExternal).empty());

  // A second set-up keeps the files it finds and adds the feed folders again.
  WriteHost("Temp/PushService.ini", "kept");
  const std::string commonBytes = ReadHost("Application Data/Rivulet/System/CommonSetting.ini");
  ASSERT_TRUE(info_->SetFAccount(L"http://other.example/"));
  EXPECT_EQ(ReadHost("Temp/PushService.ini"), "kept");
  EXPECT_EQ(ReadHost("Application Data/Rivulet/System/CommonSetting.ini"), commonBytes);
  EXPECT_EQ(Stored(L"Server", kFeedKey).strPopServerName, QvSystemInfoInterface::kSignUpAddress);
  ExpectFoldersAndRules(2);
}

TEST_F(FeedSetupTest, AnotherFeedAccountNamedInTheSystemFileIsRetired) {
  for (const wchar_t* folder : {L"\\Application Data\\Rivulet", L"\\Application Data\\Rivulet\\Accounts",
                                L"\\Application Data\\Rivulet\\System"}) {
    MakeDir(folder);
  }
  ASSERT_TRUE(Account(QvAccountInfoInterface::CreateFeed(L"Old", kFeedKey)));
  WriteHost("Application Data/Rivulet/System/SystemInfo.ini", qv::WideToUtf16LE(L"Old"));
  ASSERT_TRUE(info_->SetFAccount(L"feeds.example", L"http://feeds.example/list"));
  EXPECT_EQ(Stored(L"Old", kFeedKey).strPopServerName, L"Not Available");
  EXPECT_EQ(Stored(L"Server", kFeedKey).strPopServerName, L"feeds.example");
}

// ---------------------------------------------------------------------------
// Another program's account in one call

ACCOUNT_INFO FullInfo() {
  ACCOUNT_INFO info;
  info.accountName = L"外部";
  info.senderName = L"送信者";
  info.senderAddress = L"ext@example.jp";
  info.popServer = L"pop.example.jp";
  info.popPort = 1110;
  info.popUser = L"popuser";
  info.popPassword = L"poppass";
  info.apop = 7;
  info.keepPopPassword = 1;
  info.smtpHasOwnUser = 1;
  info.smtpServer = L"smtp.example.jp";
  info.smtpPort = 2525;
  info.smtpUser = L"smtpuser";
  info.smtpPassword = L"smtppass";
  info.keepSmtpPassword = 1;
  info.autoReceive = 1;
  info.autoReceiveRetry = 1;
  info.autoReceiveRetries = 5;
  info.partialRetrieval = 1;
  info.partialLines = 42;
  info.autoReceiveValid = 1;
  info.deleteOnServer = 1;
  info.popBeforeSmtp = 1;
  info.popBeforeSmtpWait = 9;
  info.smtpAuth = 1;
  info.sendAtOnce = 0;
  info.removeOldMessages = 1;
  info.messageLimit = 321;
  info.useSignature = 1;
  info.signatureIndex = 0;
  info.signatures = {L"署名一"};
  info.network = kNetwork;
  info.smtpServerAuth = 1;
  info.quoteReplies = 0;
  info.periodicReceive = 1;
  info.ssl = 1;
  return info;
}

TEST_F(SetupTest, AccountFromAnotherProgramStoresEveryField) {
  const auto before = Listing();
  ACCOUNT_INFO info = FullInfo();
  EXPECT_EQ(SetAccountInfo(L"", &info), -1);
  EXPECT_EQ(SetAccountInfo(L"外部", nullptr), -1);
  EXPECT_EQ(Listing(), before);
  EXPECT_TRUE(SubKeys(HKEY_LOCAL_MACHINE, kExternal).empty());

  ASSERT_EQ(SetAccountInfo(L"外部", &info), 0) << std::hex << GetQvMiddleError();
  const Attributes a = Stored(L"外部");
  EXPECT_EQ(a.strAccountName, L"外部");
  EXPECT_EQ(a.strSenderName, L"送信者");
  EXPECT_EQ(a.strPopServerName, L"pop.example.jp");
  EXPECT_EQ(a.uiPopServerPort, 1110u);
  EXPECT_EQ(a.strPopUserName, L"popuser");
  EXPECT_EQ(a.strPopPasswd, L"poppass");
  EXPECT_TRUE(a.bAPOPEnabled);  // any non-zero value is true
  EXPECT_FALSE(a.bUseSameUserPass);
  EXPECT_EQ(a.strSmtpUserName, L"smtpuser");
  EXPECT_EQ(a.uiSmtpServerPort, 2525u);
  EXPECT_TRUE(a.bAutoMailRetrievingEnabled);
  EXPECT_TRUE(a.bAutoMailRetrievingRetryEnabled);
  EXPECT_EQ(a.uiAutoMailRetrievingRetryCnt, 5u);
  EXPECT_EQ(a.uiPartialRetrievingLines, 42u);
  EXPECT_TRUE(a.bMessageLeavingEnabled);
  EXPECT_EQ(a.ulPopBeforeSmtpLatencySec, 9u);
  EXPECT_FALSE(a.bSendMessageInAMinuteEnabled);
  EXPECT_TRUE(a.bRemoveOldMessageEnabled);
  EXPECT_EQ(a.ulRemoveOldMessageCnt, 321u);
  EXPECT_EQ(a.iUseSignature, 1);
  EXPECT_EQ(std::memcmp(&a.guidNetworkSetting, &kNetwork, sizeof kNetwork), 0);
  EXPECT_FALSE(a.bUseQuotationEnabled);
  EXPECT_TRUE(a.bPeriodicRetrievingEnabled && a.bSSLEnabled && a.bSmtpSvrAuthEnabled);
  EXPECT_FALSE(a.bTaccount);  // no field sets it
  {
    std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"外部", L""));
    std::unique_ptr<QvSignatureInterface> signature(account->OpenSignature());
    QvSignatureInterface::Attributes texts;
    texts.mask = 3;
    ASSERT_TRUE(signature->ReadAttributes(&texts));
    EXPECT_EQ(texts.first, L"署名一");
    EXPECT_EQ(texts.second, L"");
  }
  ExpectRegistered(L"外部", L"ext@example.jp");

  // Without the automatic-receiving fields those settings stay as stored.
  info.autoReceiveValid = 0;
  info.autoReceive = 0;
  info.autoReceiveRetry = 0;
  info.autoReceiveRetries = 0;
  info.messageLimit = 0;
  info.signatureIndex = 1;
  ASSERT_EQ(SetAccountInfo(L"外部", &info), 0);
  const Attributes again = Stored(L"外部");
  EXPECT_TRUE(again.bAutoMailRetrievingEnabled);
  EXPECT_TRUE(again.bAutoMailRetrievingRetryEnabled);
  EXPECT_EQ(again.uiAutoMailRetrievingRetryCnt, 5u);
  EXPECT_EQ(again.ulRemoveOldMessageCnt, 0u);
  EXPECT_EQ(again.iUseSignature, 2);
}

TEST_F(SetupTest, ANewAccountThatCannotBeStoredIsRemovedAgain) {
  ACCOUNT_INFO info = FullInfo();
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail\\accounts\\新規", L"Kept", L"1"));
  const auto before = Listing();
  qv::seams::InjectFileFault(std::wstring(kData) + L"新規\\Signature\\Data1.txt_tmp", ERROR_DISK_FULL);
  const int result = SetAccountInfo(L"新規", &info);
  EXPECT_NE(result, 0);
  EXPECT_EQ(static_cast<uint32_t>(result), GetQvMiddleError());
  EXPECT_EQ(Listing(), before);
  EXPECT_TRUE(SubKeys(HKEY_LOCAL_MACHINE, kExternal).empty());
  EXPECT_TRUE(SubKeys(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail\\accounts").empty());
  EXPECT_FALSE(Account(QvAccountInfoInterface::OpenAccountInfo(L"新規", L"")));
}

// A new account whose settings cannot be stored (the disk fills while
// "AccountInfo.ini" is rewritten with the trays' ids) undoes itself, by
// whichever way it was being made: no listing shows it, no file of it is
// left, and the failure is reported. Made again with room, it is whole.
TEST_F(SetupTest, ANewAccountWhoseSettingsCannotBeStoredUndoesItself) {
  const ACCOUNT_INFO info = FullInfo();
  struct Case {
    const char* what;
    std::function<bool()> make;
  };
  const Case cases[] = {
      {"mail folders", [] { return QvAccountCreator().CreateFolders(L"新規"); }},
      {"feed folders", [] { return QvAccountCreator().CreateFeedFolders(L"新規", L""); }},
      {"set-up from another program", [&] { return SetAccountInfo(L"新規", &info) == 0; }},
  };
  ASSERT_TRUE(Create(L"other"));
  const auto before = Listing();
  const std::wstring settings = std::wstring(kData) + L"新規\\AccountInfo.ini_tmp";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qv::seams::InjectFileFault(settings, ERROR_DISK_FULL);
    SetQvMiddleError(0);
    EXPECT_FALSE(c.make());
    const uint32_t word = GetQvMiddleError();
    EXPECT_GT(qv::seams::FileFaultHits(settings), 0);
    qv::seams::ClearFileFaults();
    EXPECT_EQ(word, QVMDL_ERR_ACC_WRITE_FAILED) << std::hex << word;
    EXPECT_EQ(Listing(), before);
    std::vector<std::wstring> names;
    ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
    EXPECT_EQ(names, std::vector<std::wstring>{L"other"});
    EXPECT_FALSE(Account(QvAccountInfoInterface::OpenAccountInfo(L"新規", L"")));
    EXPECT_TRUE(SubKeys(HKEY_LOCAL_MACHINE, kExternal).empty());

    ASSERT_TRUE(c.make());
    Account made(QvAccountInfoInterface::OpenAccountInfo(L"新規", L""));
    ASSERT_TRUE(made);
    Attributes trays;
    trays.Select(Attributes::kJusinTrayID);
    ASSERT_TRUE(made->GetAccountInfoAttributes(&trays));
    EXPECT_NE(trays.ulJusinTrayID, 0u);
    made.reset();
    ASSERT_TRUE(QvAccountInfoInterface::Delete(L"新規", L""));
    qv_account::DeleteExternalAccounts(L"新規");
  }
}

}  // namespace
