// Making, renaming and deleting accounts. An account folder is built under a
// working name that no listing shows and moved into place when whole; it is
// moved aside in one step before its tree is deleted. So a listing never
// shows a half-made or half-deleted account.
#include <new>
#include <optional>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvAccountCache.h"
#include "engine/store/QvAccountData.h"
#include "engine/store/QvAccountHold.h"
#include "engine/store/QvAccountName.h"
#include "engine/store/QvAccountNameMap.h"
#include "engine/store/QvClassificationParamSet.h"
#include "engine/store/QvSignature.h"
#include "engine/store/QvStorage.h"
#include "engine/store/QvStorageSet.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Files.h"

namespace {

// Room an account folder needs before it is made.
constexpr uint64_t kAccountRoom = 0xDB000;

uint32_t MakeEmptyFile(const std::wstring& path, uint32_t code) {
  return SafeWriteWholeFile(path, std::string()) == 0 ? QVMDL_SUCCESS : code;
}

uint32_t Fails(bool ok) { return ok ? QVMDL_SUCCESS : GetQvMiddleError(); }

// The folder's files and sub-folders, and the folder itself.
bool RemoveTree(const std::wstring& folder) {
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  const bool emptied = DeleteFolderTree(folder);
  return RemoveDirectoryW(folder.c_str()) && emptied;
}

// The contents of a new account in `folder`, which exists and is empty.
uint32_t FillAccountFolder(const std::wstring& folder) {
  QvProfileManipulator profile(folder + L"\\AccountInfo.ini");
  if (!profile.CreateProfileFile()) return GetQvMiddleError();
  std::deque<ProfileItem> items;
  for (auto which : {QvAccountInfo::kStorageFolder, QvAccountInfo::kClassificationFolder,
                     QvAccountInfo::kSignatureFolder}) {
    ProfileItem item;
    item.name = QvAccountInfo::SubFolderKey(which);
    item.text = QvAccountInfo::SubFolderDefault(which);
    items.push_back(item);
  }
  if (!profile.WriteValues(items)) return GetQvMiddleError();

  const std::wstring storage = folder + L"\\" + QvAccountInfo::SubFolderDefault(QvAccountInfo::kStorageFolder);
  const std::wstring rules = folder + L"\\" + QvAccountInfo::SubFolderDefault(QvAccountInfo::kClassificationFolder);
  const std::wstring signature = folder + L"\\" + QvAccountInfo::SubFolderDefault(QvAccountInfo::kSignatureFolder);
  for (const std::wstring* sub : {&storage, &rules, &signature}) {
    if (!CreateDirectoryW(sub->c_str(), nullptr)) return QVMDL_ERR_ACC_CREATE_FOLDER;
  }
  uint32_t code = QvStorage::Create(storage);
  if (code == QVMDL_SUCCESS) code = Fails(QvClassificationParamSet::Create(rules));
  if (code == QVMDL_SUCCESS) code = Fails(CreateSignatureFiles(signature));
  if (code == QVMDL_SUCCESS) code = MakeEmptyFile(QvAccountInfo::LastUidPath(folder), QVMDL_ERR_ACC_LASTUID_CREATE);
  if (code == QVMDL_SUCCESS) code = MakeEmptyFile(QvAccountInfo::UidListPath(folder), QVMDL_ERR_ACC_UIDL_CREATE);
  return code;
}

// Makes "<dataPath><folder>" whole or not at all.
uint32_t MakeAccountFolder(const std::wstring& dataPath, const std::wstring& folder) {
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(dataPath.c_str(), &available, &total, &totalFree) || available.QuadPart < kAccountRoom) {
    return QVMDL_ERR_ACC_DISK_SPACE;
  }
  const std::wstring building = dataPath + QvAccountName::BuildingName(folder);
  RemoveTree(building);  // what a creation cut short left
  if (!CreateDirectoryW(building.c_str(), nullptr)) return QVMDL_ERR_ACC_CREATE_FOLDER;
  uint32_t code = FillAccountFolder(building);
  if (code == QVMDL_SUCCESS && !MoveFileW(building.c_str(), (dataPath + folder).c_str())) {
    code = QVMDL_ERR_ACC_CREATE_FOLDER;
  }
  if (code != QVMDL_SUCCESS) RemoveTree(building);
  return code;
}

// Chooses the folder (the name, else "name(2)", "name(3)"... for a mail
// account), makes it and enters it in the fresh listing.
QvAccountInfoInterface* CreateAccount(const std::wstring& name, const std::wstring& key, bool suffixed) {
  if (!QvAccountName::IsStorable(name)) {
    SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
    return nullptr;
  }
  std::wstring dataPath;
  std::wstring folder;
  {
    QvAccountNameMap::Held held(key, true);
    if (!held.Valid()) return nullptr;
    QvAccountNameMap::Listing* listing = held.listing;
    dataPath = held.dataPath;
    auto inUse = [&](const std::wstring& candidate) { return listing->foldersInUse.count(qv::FoldCase(candidate)) != 0; };
    folder = name;
    for (size_t suffix = 2; inUse(folder); ++suffix) {
      if (!suffixed || suffix > listing->foldersInUse.size() + 1) {
        SetQvMiddleError(QVMDL_ERR_ACC_CREATE_FOLDER);
        return nullptr;
      }
      folder = name + qv::FormatW(L"(%d)", static_cast<int>(suffix));
    }
    if (!QvAccountName::FitsBelow(dataPath, folder)) {
      SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
      return nullptr;
    }
    const uint32_t code = MakeAccountFolder(dataPath, folder);
    if (code != QVMDL_SUCCESS) {
      SetQvMiddleError(code);
      return nullptr;
    }
    QvAccountNameMap::Enter(listing, name, folder);
  }
  return qv_account::FacadeFor(dataPath + folder);
}

}  // namespace

QvAccountInfoInterface* QvAccountInfoInterface::Create(const std::wstring& name, const std::wstring& key) {
  return CreateAccount(name, key, true);
}

QvAccountInfoInterface* QvAccountInfoInterface::CreateFeed(const std::wstring& name, const std::wstring& key) {
  return CreateAccount(name, key, false);
}

bool QvAccountInfoInterface::Rename(const std::wstring& oldName, const std::wstring& newName,
                                    const std::wstring& key) {
  if (!QvAccountName::IsStorable(newName)) {
    SetQvMiddleError(QVMDL_ERR_ACC_INVALID_NAME);
    return false;
  }
  QvAccountNameMap::Held held(key, false);
  if (!held.Valid()) return false;
  QvAccountNameMap::Listing* listing = held.listing;
  auto old = listing->folderOf.find(oldName);
  if (old == listing->folderOf.end() || listing->folderOf.count(newName) != 0) return false;
  const std::wstring folder = old->second;
  // Not while a receive or send holds the account: it goes on under the name it started with.
  QvAccountHold hold(held.dataPath + folder);
  if (!hold.Held()) {
    SetQvMiddleError(QVMDL_ERR_ACC_BUSY);
    return false;
  }
  // The folder keeps its name; the caller stores the new strAccountName. The
  // listing knows the new name at once, and keeps it through the scans of
  // other threads until the caller has stored it.
  QvAccountNameMap::Rename(listing, oldName, newName, folder, QvAccountNameMap::StoredName(held.dataPath, folder));
  return true;
}

bool QvAccountInfoInterface::Delete(const std::wstring& name, const std::wstring& key) {
  QvAccountNameMap::Held held(key, false);
  if (!held.Valid()) return false;
  QvAccountNameMap::Listing* listing = held.listing;
  const std::wstring& dataPath = held.dataPath;
  auto found = listing->folderOf.find(name);
  if (found == listing->folderOf.end()) {
    SetQvMiddleError(QVMDL_ERR_ACC_FOLDER_MISSING);
    return false;
  }
  const std::wstring folder = found->second;
  const std::wstring folderPath = dataPath + folder;
  const std::wstring aside = dataPath + QvAccountName::DeletingName(folder);
  // Not while a receive or send holds the account, in this process or
  // another: what it deleted on the server would go with the folder. Held
  // until the folder is moved aside, so that no run starts meanwhile.
  std::optional<QvAccountHold> hold(std::in_place, folderPath);
  if (!hold->Held()) {
    SetQvMiddleError(QVMDL_ERR_ACC_BUSY);
    return false;
  }

  // The parts another user may hold; a sub-folder name that is no plain name
  // can have been opened by nobody.
  QvAccountInfo probe(folderPath);
  std::wstring storage, rules, signature;
  probe.SubFolderPath(QvAccountInfo::kStorageFolder, &storage);
  probe.SubFolderPath(QvAccountInfo::kClassificationFolder, &rules);
  probe.SubFolderPath(QvAccountInfo::kSignatureFolder, &signature);
  const bool movedAside = QvAccountCache::Instance().RunUnused(folderPath, [&] {
    if ((!storage.empty() && QvStorageSet::Instance().Users(storage) != 0) ||
        (!rules.empty() && QvClassificationParamSet::Instance().References(rules) != 0) ||
        (!signature.empty() && SignatureReferences(signature) != 0)) {
      SetQvMiddleError(QVMDL_ERR_ACC_DELETE_HELD);
      return false;
    }
    RemoveTree(aside);  // a deletion cut short
    if (!MoveFileW(folderPath.c_str(), aside.c_str())) {
      SetQvMiddleError(QVMDL_ERR_ACC_DELETE_FILES);
      return false;
    }
    return true;
  });
  if (!movedAside) return false;
  hold.reset();
  QvAccountNameMap::Remove(listing, name, folder);
  if (!RemoveTree(aside)) {
    SetQvMiddleError(QVMDL_ERR_ACC_DELETE_FILES);
    return false;
  }
  return true;
}
