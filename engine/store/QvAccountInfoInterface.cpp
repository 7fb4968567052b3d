// The account facade's instance operations and the opening of accounts. The
// operations that make and remove accounts are in QvAccountManagement.cpp.
#include "engine/public/store/QvAccountInfoInterface.h"

#include <new>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/store/QvAccountCache.h"
#include "engine/store/QvAccountData.h"
#include "engine/store/QvAccountName.h"
#include "engine/store/QvAccountNameMap.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/store/QvClassificationParamSet.h"
#include "engine/store/QvSignature.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/store/QvStorageSet.h"
#include "platform/kernel/Debug.h"

QvAccountInfoInterface::QvAccountInfoInterface(QvAccountInfo* account) : account_(account) {}

QvAccountInfoInterface::~QvAccountInfoInterface() {
  if (account_ != nullptr) QvAccountCache::Instance().Close(account_);
}

namespace qv_account {

QvAccountInfoInterface* FacadeFor(const std::wstring& folderPath) {
  QvAccountInfo* account = QvAccountCache::Instance().Open(folderPath);
  if (account == nullptr) return nullptr;
  auto* facade = new (std::nothrow) QvAccountInfoInterface(account);
  if (facade == nullptr) {
    QvAccountCache::Instance().Close(account);
    SetQvMiddleError(QVMDL_ERR_ACC_NO_MEMORY);
  }
  return facade;
}

bool DataPathOf(const std::wstring& key, std::wstring* dataPath) {
  if (!GetRegistryValue(HKEY_CURRENT_USER, key.empty() ? kMailKey : key, L"DataPath", dataPath)) return false;
  if (dataPath->empty() || dataPath->back() != L'\\') dataPath->push_back(L'\\');
  return true;
}

}  // namespace qv_account

using qv_account::DataPathOf;
using qv_account::FacadeFor;

bool QvAccountInfoInterface::CheckValidChar(const std::wstring& name) {
  if (QvAccountName::HasValidChars(name)) return true;
  SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
  return false;
}

QvAccountInfoInterface* QvAccountInfoInterface::OpenAccountInfo(const std::wstring& name, const std::wstring& key) {
  std::wstring path;
  {
    QvAccountNameMap::Held held(key, false);
    if (!held.Valid()) return nullptr;
    auto found = held.listing->folderOf.find(name);
    if (found == held.listing->folderOf.end()) {
      NKDbgPrintfW(L"  --->   rstrName:[%s]\r\n", name.c_str());
      NKDbgPrintfW(L"[DEBUG LOG OpenAccountInfo] return NULL!! \r\n");
      SetQvMiddleError(held.code == QVMDL_ERR_ACC_LIST_EMPTY ? held.code : QVMDL_ERR_ACC_FOLDER_MISSING);
      return nullptr;
    }
    path = held.dataPath + found->second;
  }
  return FacadeFor(path);
}

QvAccountInfoInterface* QvAccountInfoInterface::OpenAccountInfoFromFolder(const std::wstring& folder,
                                                                          const std::wstring& key) {
  if (!QvAccountName::IsStorable(folder)) {
    SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
    return nullptr;
  }
  std::wstring dataPath;
  if (!DataPathOf(key, &dataPath)) return nullptr;
  if (!QvAccountName::FitsBelow(dataPath, folder)) {
    SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
    return nullptr;
  }
  if (!QvAccountNameMap::IsAccountFolder(dataPath, folder)) {
    SetQvMiddleError(QVMDL_ERR_ACC_FOLDER_MISSING);
    return nullptr;
  }
  return FacadeFor(dataPath + folder);
}

QvAccountInfoInterface* QvAccountInfoInterface::OpenAccountInfoFromPhoneNumber(const std::wstring& number,
                                                                               const std::wstring& key) {
  if (!QvAccountName::IsPhoneNumber(number)) {
    NKDbgPrintfW(L"** OpenAccountInfoFromPhoneNumber() rstrPhoneNumber is Not 11 chars (%s)\r\n", number.c_str());
    SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
    return nullptr;
  }
  return OpenAccountInfoFromFolder(number, key);
}

bool QvAccountInfoInterface::GetAccountNameFromPhoneNumber(const std::wstring& number, wchar_t* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = 0;
  if (number.empty()) return false;
  QvAccountInfoInterface* account = OpenAccountInfoFromPhoneNumber(number, L"");
  if (account == nullptr) return false;
  Attributes settings;
  settings.Select(Attributes::kAccountName);
  const bool read = account->GetAccountInfoAttributes(&settings);
  delete account;
  if (!read || settings.strAccountName.empty() || settings.strAccountName.size() >= size) return false;
  settings.strAccountName.copy(out, settings.strAccountName.size());
  out[settings.strAccountName.size()] = 0;
  return true;
}

bool QvAccountInfoInterface::GetAccountNameList(std::vector<std::wstring>* names, const std::wstring& key) {
  if (names == nullptr) return false;
  names->clear();
  QvAccountNameMap::Held held(key, true);
  if (!held.Valid()) return false;
  if (held.code != QVMDL_SUCCESS) {
    SetQvMiddleError(held.code);
    return false;
  }
  *names = held.listing->order;
  return true;
}

bool QvAccountInfoInterface::GetAccountFolderPath(const std::wstring& name, std::wstring* path,
                                                  const std::wstring& key) {
  if (path == nullptr) return false;
  QvAccountNameMap::Held held(key, false);
  auto found = held.Valid() ? held.listing->folderOf.find(name) : std::map<std::wstring, std::wstring>::iterator();
  if (!held.Valid() || found == held.listing->folderOf.end()) {
    NKDbgPrintfW(L"[DEBUG LOG OpenAccountInfo] return NULL \r\n");
    return false;
  }
  *path = held.dataPath + found->second;
  return true;
}

bool QvAccountInfoInterface::IsExistAccount(const std::wstring& name, const std::wstring& key) {
  std::wstring dataPath;
  if (!QvAccountName::IsStorable(name) || !DataPathOf(key, &dataPath)) return false;
  // The device matches names without regard to case; an account's folder
  // must be spelled as asked.
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dataPath + name).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return name == data.cFileName && QvAccountNameMap::IsAccountFolder(dataPath, name);
}

bool QvAccountInfoInterface::GetAccountPhoneNumberFromName(const std::wstring& name, std::wstring* number,
                                                           const std::wstring& key) {
  std::wstring dataPath;
  if (number == nullptr || !DataPathOf(key, &dataPath)) return false;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dataPath + L"*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    const std::wstring folder = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !QvAccountNameMap::IsAccountFolder(dataPath, folder)) {
      continue;
    }
    if (QvAccountNameMap::StoredName(dataPath, folder) == name) {
      *number = folder;
      found = true;
    }
  } while (!found && FindNextFileW(find, &data));
  FindClose(find);
  return found;
}

// ---------------------------------------------------------------------------
// One open account

bool QvAccountInfoInterface::GetAccountInfoAttributes(Attributes* attributes) {
  return account_ != nullptr && attributes != nullptr && account_->GetAccountInfoAttributes(attributes);
}

bool QvAccountInfoInterface::SetAccountInfoAttributes(Attributes& attributes) {
  return account_ != nullptr && account_->SetAccountInfoAttributes(attributes);
}

bool QvAccountInfoInterface::GetAccountName(std::wstring* name) {
  if (account_ == nullptr || name == nullptr) return false;
  const std::wstring& path = account_->FolderPath();
  *name = path.substr(path.find_last_of(L'\\') + 1);
  return true;
}

bool QvAccountInfoInterface::GetLastUID(std::wstring* uid) {
  return account_ != nullptr && uid != nullptr && account_->GetLastUID(uid);
}

bool QvAccountInfoInterface::SaveLastUID(const std::string& uid) {
  return account_ != nullptr && account_->SaveLastUID(uid);
}

bool QvAccountInfoInterface::GetUIDL(std::list<std::wstring>* uids) {
  return account_ != nullptr && uids != nullptr && account_->GetUIDL(uids);
}

bool QvAccountInfoInterface::SaveUIDL(const std::list<std::wstring>& uids) {
  return account_ != nullptr && account_->SaveUIDL(uids);
}

namespace {

// The facade over an object opened on the sub-folder's path; when the facade
// cannot be made, the object is given back and `facadeCode` set.
template <typename Facade, typename Object>
Facade* OpenPart(QvAccountInfo* account, QvAccountInfo::SubFolder which, Object* (*open)(const std::wstring&),
                 void (*close)(Object*), uint32_t facadeCode) {
  if (account == nullptr) return nullptr;
  std::wstring path;
  const uint32_t code = account->SubFolderPath(which, &path);
  if (code != QVMDL_SUCCESS) {
    SetQvMiddleError(code);
    return nullptr;
  }
  Object* object = open(path);
  if (object == nullptr) return nullptr;
  auto* facade = new (std::nothrow) Facade(object);
  if (facade == nullptr) {
    close(object);
    SetQvMiddleError(facadeCode);
  }
  return facade;
}

QvStorage* OpenStorageAt(const std::wstring& path) { return QvStorageSet::Instance().Open(path); }
void CloseStorage(QvStorage* storage) { QvStorageSet::Instance().Close(storage); }
QvClassificationParam* OpenRulesAt(const std::wstring& path) { return QvClassificationParamSet::Instance().Open(path); }
void CloseRules(QvClassificationParam* rules) { QvClassificationParamSet::Instance().Close(rules); }

}  // namespace

QvStorageInterface* QvAccountInfoInterface::OpenStorage() {
  return OpenPart<QvStorageInterface>(account_, QvAccountInfo::kStorageFolder, &OpenStorageAt, &CloseStorage,
                                      QVMDL_ERR_ACC_STORAGE_FACADE);
}

QvSignatureInterface* QvAccountInfoInterface::OpenSignature() {
  return OpenPart<QvSignatureInterface>(account_, QvAccountInfo::kSignatureFolder, &GetSignature, &ReleaseSignature,
                                        QVMDL_ERR_ACC_SIGNATURE_FACADE);
}

QvClassificationParamInterface* QvAccountInfoInterface::OpenClassificationParamInterface() {
  return OpenPart<QvClassificationParamInterface>(account_, QvAccountInfo::kClassificationFolder, &OpenRulesAt,
                                                  &CloseRules, QVMDL_ERR_ACC_RULES_FACADE);
}
