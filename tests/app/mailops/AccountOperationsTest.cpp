// Account, settings and classification-rule operations, and the start-up's
// use of them with a "LastSelectAccount" that names no account.
#include <memory>
#include <set>

#include "app/mailops/AccountOperations.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "platform/testing/Seams.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

using Attributes = QvAccountInfoInterface::Attributes;

class AccountOperationsTest : public MailOpsTest {
 protected:
  // The extension library as a device has it in "\Windows".
  void InstallExtension() {
    const char* dir = std::getenv("QV_BINARY_DIR");
    std::filesystem::create_directories(Host("Windows"));
    std::filesystem::copy_file(std::string(dir && *dir ? dir : ".") + "/outside/QvMailExtAccount/libQvMailExtAccount.so",
                               Host("Windows/QvMailExtAccount.so"),
                               std::filesystem::copy_options::overwrite_existing);
  }
  static DWORD ExtensionValue(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMailExtAccount", 0, KEY_READ, &key) != ERROR_SUCCESS)
      return 0;
    DWORD type = 0;
    RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
  }
  static QvClassificationRuleRow Rule(int n) {
    return {L"規則" + std::to_wstring(n % 100), L"From", L"key" + std::to_wstring(n), 0, 1};
  }
};

TEST_F(AccountOperationsTest, AccountNamesAndTheExtensionLibrary) {
  {
    // No account yet: empty lists and no error box (the engine's "list
    // empty" code is one the box answers by closing the program).
    ClearDetailCode();
    std::vector<std::wstring> names{L"stale"};
    EXPECT_TRUE(GetAccountNames(&names));
    EXPECT_EQ(names, std::vector<std::wstring>{L"stale"}) << "nothing added";
    EXPECT_EQ(GetAccountCount(), 0);
    EXPECT_TRUE(GetPeriodicRecvAccounts(&names, 0));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(DetailCode(), 0u);
  }
  MakeAccount(L"alpha");
  MakeAccount(L"beta");
  struct Case {
    bool installed;
    DWORD answer;
    bool result;
    DWORD registrations;
  };
  const Case cases[] = {{false, 0, true, 0}, {true, 0, true, 1}, {true, 5, false, 2}};
  for (const Case& c : cases) {
    if (c.installed) InstallExtension();
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMailExtAccount", 0, nullptr, 0, 0, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Answer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.answer), sizeof c.answer);
    RegCloseKey(key);
    std::vector<std::wstring> names;
    EXPECT_EQ(GetAccountNames(&names), c.result) << c.installed << c.answer;
    EXPECT_EQ(names, (std::vector<std::wstring>{L"alpha", L"beta"}));
    EXPECT_EQ(ExtensionValue(L"Registrations"), c.registrations);
  }
  EXPECT_EQ(GetAccountCount(), 2);
  EXPECT_TRUE(IsInboxAccountRegistered(L"alpha")) << "every account is registered with the platform";
}

TEST_F(AccountOperationsTest, LastSelectAccountNamingNoAccount) {
  const TestAccount a = MakeAccount(L"alpha");
  Store(L"alpha", a.trays[kReceiveBox], 2, 2);
  ASSERT_TRUE(SetLastSelectAccount(L"消えた"));
  // As the start-up does it: the remembered account, else the first one.
  CString last;
  ASSERT_TRUE(GetLastSelectAccount(last));
  EXPECT_FALSE(OpenCurrentAccount(last.str()));
  EXPECT_TRUE(GetCurrentAccountName().IsEmpty());
  EXPECT_EQ(CurrentAccountInfo(), nullptr);
  EXPECT_EQ(CountCurrentAccountUnread(), -1);
  QvFolderItem item;
  EXPECT_FALSE(GetSystemFolderItem(kReceiveBox, &item));
  std::vector<std::wstring> names;
  GetAccountNames(&names);
  ASSERT_FALSE(names.empty());
  ASSERT_TRUE(OpenCurrentAccount(names.front()));
  EXPECT_EQ(CountCurrentAccountUnread(), 2);
}

TEST_F(AccountOperationsTest, SettingsRoundTripAndNewAccounts) {
  QvAccountSettings settings;
  settings.strSenderAddress = L"new@example.com";
  settings.strPopServerName = L"pop.example.com";
  settings.uiPopServerPort = 995;
  settings.bSSLEnabled = true;
  settings.bAutoMailRetrievingEnabled = true;  // not the carrier's account: not written
  settings.iUseSignature = 2;
  settings.signatures = {L"署名一", L"署名二"};
  ASSERT_TRUE(SaveAccountSettings(L"gamma", settings));
  QvAccountSettings read;
  ASSERT_TRUE(LoadAccountSettings(L"gamma", &read));
  EXPECT_EQ(read.name, L"gamma");
  EXPECT_EQ(read.strSenderAddress, L"new@example.com");
  EXPECT_EQ(read.uiPopServerPort, 995u);
  EXPECT_TRUE(read.bSSLEnabled);
  EXPECT_FALSE(read.bAutoMailRetrievingEnabled);
  EXPECT_EQ(read.signatures, (std::vector<std::wstring>{L"署名一", L"署名二"}));
  // The copy held no box ids: the new account keeps the four its store gave it.
  const std::set<unsigned long> boxes = {read.ulJusinTrayID, read.ulSousinTrayID, read.ulSousinZumiTrayID,
                                         read.ulSitagakiTrayID};
  EXPECT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes.count(0), 0u);
  EXPECT_TRUE(IsInboxAccountRegistered(L"gamma"));
  std::wstring address;
  EXPECT_TRUE(GetAccountSenderAddress(L"gamma", &address));
  EXPECT_EQ(address, L"new@example.com");
  EXPECT_FALSE(LoadAccountSettings(L"", &read));
  EXPECT_FALSE(SaveAccountSettings(L"", settings));
}

TEST_F(AccountOperationsTest, ANewAccountWhoseSignatureCannotBeWrittenIsRemovedAgain) {
  MakeAccount(L"alpha");
  // Where a new account's signatures go: as for an existing one.
  std::vector<std::string> signatureFiles;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(AccountHost(L"alpha"))) {
    const std::string name = entry.path().filename().string();
    if (name == "Data1.txt" || name == "Data2.txt") signatureFiles.push_back(entry.path().string());
  }
  ASSERT_FALSE(signatureFiles.empty());
  const std::string relative = signatureFiles.front().substr(AccountHost(L"alpha").size());
  std::wstring device;
  for (char ch : relative) device += ch == '/' ? L'\\' : static_cast<wchar_t>(ch);
  // A new account's folder is named after it.
  const std::wstring newFolder = std::wstring(kData) + L"delta";
  for (const wchar_t* suffix : {L"", L"_tmp"}) qv::seams::InjectFileFault(newFolder + device + suffix, ERROR_DISK_FULL);

  QvAccountSettings settings;
  settings.signatures = {L"一", L"二"};
  EXPECT_FALSE(SaveAccountSettings(L"delta", settings));
  EXPECT_GT(qv::seams::FileFaultHits(newFolder + device + L"_tmp") + qv::seams::FileFaultHits(newFolder + device), 0);
  qv::seams::ClearFileFaults();
  std::vector<std::wstring> names;
  GetAccountNames(&names);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"alpha"}));
}

TEST_F(AccountOperationsTest, RenameMovesTheCurrentNameOnlyForTheCurrentAccount) {
  MakeAccount(L"alpha");
  MakeAccount(L"beta");
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  ASSERT_TRUE(RenameAccount(L"beta", L"gamma"));
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"alpha");
  ASSERT_TRUE(RenameAccount(L"alpha", L"delta"));
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"delta");
  EXPECT_FALSE(RenameAccount(L"nobody", L"epsilon"));
  std::vector<std::wstring> names;
  GetAccountNames(&names);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"delta", L"gamma"}));
  ASSERT_TRUE(DeleteAccount(L"gamma"));
  EXPECT_EQ(GetAccountCount(), 1);
}

TEST_F(AccountOperationsTest, PeriodicAndRoundReceiveAccounts) {
  for (const wchar_t* name : {L"a1", L"a2", L"a3"}) MakeAccount(name);
  struct Case {
    int batch;
    std::vector<std::wstring> set;
  };
  const Case cases[] = {{0, {L"a2"}}, {1, {L"a1", L"a3"}}, {0, {}}, {1, {L"a1", L"a2", L"a3"}}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetPeriodicRecvAccounts(c.set, c.batch));
    std::vector<std::wstring> got{L"stale"};
    ASSERT_TRUE(GetPeriodicRecvAccounts(&got, c.batch));
    EXPECT_EQ(got, c.set) << c.batch;
  }
  std::vector<std::wstring> periodic;
  ASSERT_TRUE(GetPeriodicRecvAccounts(&periodic, 0));
  EXPECT_TRUE(periodic.empty()) << "the two flags are apart";
  std::vector<std::wstring> noPassword;
  ASSERT_TRUE(GetAccountsWithoutSavedPassword(&noPassword));
  EXPECT_EQ(noPassword.size(), 3u);
  EXPECT_EQ(GetAccountReceiveKind(L"a1"), 0);
  bool enabled = true;
  unsigned minutes = 0;
  ASSERT_TRUE(SetPeriodicRecvSetting(true, 45));
  ASSERT_TRUE(GetPeriodicRecvSetting(&enabled, &minutes));
  EXPECT_TRUE(enabled);
  EXPECT_EQ(minutes, 45u);
}

TEST_F(AccountOperationsTest, ClassificationRulesUpToTheLimit) {
  MakeAccount(L"alpha");
  EXPECT_FALSE(LoadClassificationRules()) << "no account open";
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  std::vector<QvClassificationRuleRow> rows;
  GetClassificationRules(&rows);
  EXPECT_TRUE(rows.empty());
  ASSERT_TRUE(AddClassificationRule(Rule(0)));
  std::vector<std::wstring> names;
  GetClassificationRuleNames(&names);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"規則0"}));

  std::vector<QvClassificationRuleRow> full;
  for (int i = 0; i < 256; ++i) full.push_back(Rule(i));
  ASSERT_TRUE(SaveClassificationRules(full));
  const std::string file = AccountHost(L"alpha");
  std::string before;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(file)) {
    if (entry.path().filename() == "Rule.cls") before = ReadHostFile(entry.path().string());
  }
  ASSERT_FALSE(before.empty());
  EXPECT_FALSE(AddClassificationRule(Rule(300)));
  std::string after;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(file)) {
    if (entry.path().filename() == "Rule.cls") after = ReadHostFile(entry.path().string());
  }
  EXPECT_EQ(after, before);
  GetClassificationRules(&rows);
  EXPECT_EQ(rows.size(), 256u);
  // Reopened: the same rules, from the file.
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  GetClassificationRules(&rows);
  ASSERT_EQ(rows.size(), 256u);
  EXPECT_EQ(rows[255].keyword, L"key255");
}

}  // namespace
}  // namespace qv::test
