#include "engine/public/store/QvSystemInfoInterface.h"

#include <memory>
#include <mutex>

#include "engine/public/foundation/QvCommonSettingInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/store/QvAccountData.h"
#include "engine/public/store/QvAccountRegistration.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;
using Account = std::unique_ptr<QvAccountInfoInterface>;

constexpr wchar_t kDefaultSystemFolder[] = L"\\Application Data\\QuvoMail\\System";
constexpr wchar_t kSystemIni[] = L"SystemInfo.ini";
constexpr wchar_t kLauncherKey[] = L"Software\\Norvale\\Launcher";
constexpr wchar_t kPhoneLibKey[] = L"Software\\NORVALE\\KxPhoneLib";
constexpr wchar_t kFeedAccount[] = L"Server";
constexpr wchar_t kFeedFolder[] = L"\\Application Data\\Rivulet";
constexpr wchar_t kPushServiceFile[] = L"Temp/PushService.ini";
// The push service's four lines in the device code page ("★" is 81 9A).
constexpr char kPushService[] =
    "[PushServiceSetting1]\r\n"
    "PhoneNumber=\"0120987654\"\r\n"
    "Message=\"0022\x81\x9aT+INFO\"\r\n"
    "App=\"\\Windows\\Rillwake.exe\"\r\n";
constexpr size_t kNameChars = 99;
constexpr size_t kLegacyPhoneBufferUnits = 130;

// The data connection the carrier and feed accounts are given.
constexpr GUID kNetwork = {0xC1D06580, 0xB364, 0x45EC, {0x84, 0x21, 0x5A, 0xCF, 0x34, 0x12, 0x9C, 0x58}};
// The fields both set-ups force: bits 1-8, 10-12, 17-21, 33 and 37.
constexpr uint32_t kForcedMask[2] = {0x3E1DFE, 0x22};

// The process-wide "SystemInfo.ini" object with its count of users. Objects
// are made on several threads, so the count changes under a lock.
struct SharedProfile {
  std::mutex lock;
  std::unique_ptr<QvProfileManipulator> profile;
  int users = 0;
};

SharedProfile& Shared() {
  static SharedProfile shared;
  return shared;
}

QvProfileManipulator* AcquireShared(const std::wstring& path) {
  SharedProfile& shared = Shared();
  std::lock_guard<std::mutex> hold(shared.lock);
  if (!shared.profile) shared.profile = std::make_unique<QvProfileManipulator>(path);
  ++shared.users;
  return shared.profile.get();
}

void ReleaseShared() {
  SharedProfile& shared = Shared();
  std::lock_guard<std::mutex> hold(shared.lock);
  if (shared.users > 0 && --shared.users == 0) shared.profile.reset();
}

std::wstring WithSlash(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
  return folder;
}

// The system folder `key` names ("SystemInfoPath"), ending with "\"; false
// when it names none.
bool SystemFolderOf(const std::wstring& key, std::wstring* folder) {
  if (!GetRegistryValue(HKEY_CURRENT_USER, key.empty() ? qv_account::kMailKey : key, L"SystemInfoPath", folder)) {
    return false;
  }
  *folder = WithSlash(*folder);
  return true;
}

bool SystemIniOf(const std::wstring& key, std::wstring* path) {
  std::wstring folder;
  if (!SystemFolderOf(key, &folder)) return false;
  *path = folder + kSystemIni;
  return true;
}

// The file is written whole through its "_tmp" copy and the commit, under
// the lock every process takes around the settings files.
bool WriteAccountName(const std::wstring& path, const std::wstring& name) {
  DWORD error = 0;
  {
    QvNamedMutex mutex(L"QvProfileManipulator Mutex");
    const QvNamedMutex::Hold hold(mutex);
    error = SafeWriteWholeFile(path, qv::WideToUtf16LE(name));
  }
  if (error == 0) return true;
  SetQvMiddleError(QVMDL_ERR_SYS_INI_CREATE);
  return false;
}

// Either form: a file that begins with the byte-order mark is a profile file
// holding "strAccountName"; otherwise its first line is the bare name.
bool ReadAccountName(const std::wstring& path, std::wstring* name) {
  std::string bytes;
  {
    QvNamedMutex mutex(L"QvProfileManipulator Mutex");
    const QvNamedMutex::Hold hold(mutex);
    if (!SafeReadWholeFile(path, &bytes, nullptr)) return false;
  }
  std::wstring text;
  const bool keyForm = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                       static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (keyForm) {
    QvProfileManipulator profile(path);
    if (!profile.GetPrivateProfileString(L"strAccountName", L"", &text)) return false;
  } else {
    text = qv::Utf16LEToWide(std::string_view(bytes.data(), bytes.size() & ~static_cast<size_t>(1)));
  }
  text = text.substr(0, std::min(text.find_first_of(L"\r\n"), kNameChars));
  if (text.empty()) return false;
  *name = text;
  return true;
}

// A replaced carrier or feed account keeps its folder, mail and settings,
// but can no longer reach a server.
bool Retire(QvAccountInfoInterface* account) {
  Attributes a;
  a.strPopServerName = a.strPopUserName = a.strSmtpServerName = L"Not Available";
  a.bPopPasswdSavingEnabled = false;
  for (uint32_t bit : {Attributes::kPopServerName, Attributes::kPopUserName, Attributes::kPopPasswdSavingEnabled,
                       Attributes::kSmtpServerName}) {
    a.Select(bit);
  }
  return account->SetAccountInfoAttributes(a);
}

// The settings both set-ups force, with their mask.
void Force(Attributes& a, bool carrier) {
  a.mask[0] = kForcedMask[0];
  a.mask[1] = kForcedMask[1];
  a.bPopPasswdSavingEnabled = true;
  a.bMessageLeavingEnabled = true;
  a.uiPartialRetrievingLines = 600;
  a.guidNetworkSetting = kNetwork;
  a.bAutoMailRetrievingEnabled = true;
  a.bSmtpAuthEnabled = false;
  a.bTaccount = carrier;
  if (carrier) {
    a.bSmtpSvrAuthEnabled = a.bPopBeforeSmtpEnabled;
    return;
  }
  a.strSenderAddress = QvSystemInfoInterface::kFeedSenderAddress;
  a.uiPopServerPort = 110;
  a.strPopUserName = L"rivulet";
  a.strPopPasswd = L"quillfen";
  a.bAPOPEnabled = false;
  a.uiSmtpServerPort = 25;
  a.bPopBeforeSmtpEnabled = true;
  a.ulPopBeforeSmtpLatencySec = 0;
  a.bSmtpSvrAuthEnabled = true;
}

// One field read back into the caller's record.
bool ReadBack(QvAccountInfoInterface* account, Attributes& a, uint32_t bit) {
  a.ClearMask();
  a.Select(bit);
  return account->GetAccountInfoAttributes(&a);
}

void MakeFolderIfMissing(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(path.c_str(), nullptr);
}

// The feed reader's today-screen settings, when it has none yet.
void MakeFeedCommonSettings(const std::wstring& folder) {
  if (GetFileAttributesW((folder + L"CommonSetting.ini").c_str()) != INVALID_FILE_ATTRIBUTES) return;
  NKDbgPrintfW(L" *Create CommonSettings.ini \r\n");
  QvCommonSettingInterface settings(qv_account::kFeedKey);
  QvCommonSettingInterface::Attributes a;
  a.mask[0] = 0x7C;
  a.uiTodayDispLinesRivulet = 3;
  a.bDispTodayRefresh1Line = true;
  a.bDispTodayRefresh3Line = true;
  a.uiDispTodayRefresh1LineSec = 4;
  a.uiDispTodayRefresh3LineSec = 12;
  settings.SetCommonSettingAttributes(a);
}

bool MakePushService() {
  if (GetFileAttributesW(kPushServiceFile) != INVALID_FILE_ATTRIBUTES) return true;
  NKDbgPrintfW(L" *Create PushService.ini \r\n");
  return SafeWriteWholeFile(kPushServiceFile, std::string(kPushService, sizeof kPushService - 1)) == 0;
}

// "News" and "Adv" below the inbox, and the three rules that file the feed
// reader's items into them.
bool MakeFeedFoldersAndRules(QvAccountInfoInterface* account, uint32_t inboxId) {
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) return false;
  std::unique_ptr<QvFolderInterface> inbox(storage->OpenFolder(inboxId));
  unsigned long news = 0;
  unsigned long adv = 0;
  if (!inbox || !inbox->CreateFolder(L"News", &news) || !inbox->CreateFolder(L"Adv", &adv)) return false;
  std::unique_ptr<QvClassificationParamInterface> rules(account->OpenClassificationParamInterface());
  if (!rules) return false;
  std::vector<QvClassificationParamInterface::Attributes> list;
  for (const auto& [name, folder] : {std::pair{L"news", news}, {L"tellaro", adv}, {L"weather", news}}) {
    QvClassificationParamInterface::Attributes rule;
    rule.name = name;
    rule.field = L"X-ML-name";
    rule.keyword = name;
    rule.folderId = static_cast<uint32_t>(folder);
    rule.direction = static_cast<int32_t>(inboxId);
    list.push_back(rule);
  }
  rules->SetAttributes(list);
  return true;
}

}  // namespace

QvSystemInfoInterface* QvSystemInfoInterface::GetSystemInfo() {
  // One reference more than the objects hold, so that the shared profile
  // lives until the library unloads.
  static const bool kept = [] {
    std::wstring folder;
    AcquireShared((SystemFolderOf(L"", &folder) ? folder : WithSlash(kDefaultSystemFolder)) + kSystemIni);
    return true;
  }();
  (void)kept;
  return new QvSystemInfoInterface();
}

QvSystemInfoInterface::QvSystemInfoInterface() {
  if (!SystemFolderOf(L"", &systemFolder_)) systemFolder_ = WithSlash(kDefaultSystemFolder);
  profile_ = AcquireShared(systemFolder_ + kSystemIni);
}

QvSystemInfoInterface::~QvSystemInfoInterface() { ReleaseShared(); }

bool QvSystemInfoInterface::GetTAccount(std::wstring& name, const std::wstring& key) {
  std::wstring path;
  return SystemIniOf(key, &path) && ReadAccountName(path, &name);
}

bool QvSystemInfoInterface::ChangeSystemIni(const std::wstring& text) {
  std::wstring path;
  return SystemIniOf(L"", &path) && WriteAccountName(path, text);
}

bool QvSystemInfoInterface::SetSystemInfo(const std::wstring& name) {
  const std::wstring path = WithSlash(kDefaultSystemFolder) + kSystemIni;
  // A profile rewrite drops the bare name's line and keeps the file whole.
  if (!FileIsPresent(path) && SafeWriteWholeFile(path, std::string()) != 0) {
    SetQvMiddleError(QVMDL_ERR_SYS_INI_CREATE);
    return false;
  }
  ProfileItem item;
  item.name = L"strAccountName";
  item.text = name;
  return QvProfileManipulator(path).WriteValues({item});
}

bool QvSystemInfoInterface::SetTAccount(const std::wstring& number, Attributes& attributes, const std::wstring& key) {
  NKDbgPrintfW(L"[SetTAccount] number:%s\r\n", number.c_str());
  std::wstring current;
  std::wstring existingName;
  bool existing = false;
  if (GetTAccount(current, L"")) {
    std::wstring currentNumber;
    if (!QvAccountInfoInterface::GetAccountPhoneNumberFromName(current, &currentNumber, L"")) currentNumber = current;
    if (currentNumber != number) {
      Account old(QvAccountInfoInterface::OpenAccountInfoFromPhoneNumber(currentNumber, key));
      if (old) {
        NKDbgPrintfW(L"[SetTAccount] retire %s\r\n", currentNumber.c_str());
        if (!Retire(old.get())) return false;
      }
    }
    if (QvAccountInfoInterface::IsExistAccount(number, L"")) {
      wchar_t buffer[260] = {};
      QvAccountInfoInterface::GetAccountNameFromPhoneNumber(number, buffer, 260);
      existingName = buffer;
      existing = true;
    }
  }
  // A folder of that number made outside the set-ups is taken as it is:
  // making its trays again would double them.
  if (!existing && QvAccountInfoInterface::IsExistAccount(number, L"")) existing = true;
  Account account;
  if (!existing && QvAccountCreator().CreateFolders(number)) {
    NKDbgPrintfW(L"[SetTAccount] created %s\r\n", number.c_str());
    account.reset(QvAccountInfoInterface::OpenAccountInfo(number, key));
    if (!account) return false;
  } else {
    account.reset(QvAccountInfoInterface::OpenAccountInfoFromPhoneNumber(number, L""));
    if (!account) return false;
  }
  const std::wstring name = existingName.empty() ? number : existingName;

  Force(attributes, true);
  if (!account->SetAccountInfoAttributes(attributes)) return false;
  std::wstring systemIni;
  if (!SystemIniOf(key, &systemIni) || !WriteAccountName(systemIni, name)) return false;
  if (!ReadBack(account.get(), attributes, Attributes::kSenderAddress)) return false;
  NKDbgPrintfW(L"[SetTAccount] register %s\r\n", name.c_str());
  return qv_account::RegisterExternalAccounts(name, attributes.strSenderAddress, true);
}

bool QvSystemInfoInterface::SetFAccount(Attributes& attributes) {
  NKDbgPrintfW(L" **SetFAccount() \r\n");
  const std::wstring folder = kFeedFolder;
  for (const std::wstring& path : {folder, folder + L"\\Accounts", folder + L"\\System"}) MakeFolderIfMissing(path);
  const std::wstring key = qv_account::kFeedKey;

  std::wstring current;
  if (GetTAccount(current, key) && current != kFeedAccount) {
    Account old(QvAccountInfoInterface::OpenAccountInfo(current, key));
    if (old && !Retire(old.get())) return false;
  }
  // A feed account made before keeps its trays: a second set-up only adds
  // the feed folders below the same inbox.
  Account account(QvAccountInfoInterface::OpenAccountInfo(kFeedAccount, key));
  if (!account) {
    QvAccountCreator().CreateFeedFolders(kFeedAccount, key);
    account.reset(QvAccountInfoInterface::OpenAccountInfo(kFeedAccount, key));
  }
  if (!account) return false;

  Force(attributes, false);
  if (!account->SetAccountInfoAttributes(attributes)) return false;
  if (!ReadBack(account.get(), attributes, Attributes::kJusinTrayID)) return false;
  std::wstring systemFolder;
  if (!SystemFolderOf(key, &systemFolder) || !WriteAccountName(systemFolder + kSystemIni, kFeedAccount)) return false;
  MakeFeedCommonSettings(systemFolder);
  if (!MakePushService()) return false;
  return MakeFeedFoldersAndRules(account.get(), attributes.ulJusinTrayID);
}

bool QvSystemInfoInterface::SetFAccount(const std::wstring& smtpServer) {
  return SetFAccount(kSignUpAddress, smtpServer);
}

bool QvSystemInfoInterface::SetFAccount(const std::wstring& popServer, const std::wstring& smtpServer) {
  Attributes attributes;
  attributes.strPopServerName = popServer;
  attributes.strSmtpServerName = smtpServer;
  QvSystemInfoInterface second;
  return SetFAccount(attributes);
}

bool QvSystemInfoInterface::ChangeDefMail(int value) {
  return SetRegistryDword(HKEY_CURRENT_USER, kLauncherKey, L"defaultLaunchMailer", static_cast<DWORD>(value));
}

int QvSystemInfoInterface::IsDefMail() {
  DWORD value = 0;
  if (!GetRegistryDword(HKEY_CURRENT_USER, kLauncherKey, L"defaultLaunchMailer", &value) || value == 0) return 0;
  return value == 1 ? 1 : 2;
}

bool QvSystemInfoInterface::GetPhonenum(wchar_t* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return false;
  buffer[0] = 0;
  std::wstring number;
  if (!GetRegistryValue(HKEY_CURRENT_USER, kPhoneLibKey, L"MyPhonenum", &number) || number.empty() ||
      number.size() >= size) {
    return false;
  }
  number.copy(buffer, number.size());
  buffer[number.size()] = 0;
  return true;
}

bool QvSystemInfoInterface::GetPhonenum(wchar_t* buffer) { return GetPhonenum(buffer, kLegacyPhoneBufferUnits); }
