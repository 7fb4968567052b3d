#include "engine/store/QvAccountNameMap.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "engine/store/QvAccountCache.h"
#include "engine/store/QvAccountData.h"
#include "engine/store/QvPathKey.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"

QvAccountNameMap& QvAccountNameMap::Instance() {
  static QvAccountNameMap* map = new QvAccountNameMap;
  return *map;
}

bool QvAccountNameMap::IsAccountFolder(const std::wstring& dataPath, const std::wstring& folder) {
  if (folder.empty() || folder[0] == L'.') return false;
  const DWORD attributes = GetFileAttributesW((dataPath + folder + L"\\AccountInfo.ini").c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring QvAccountNameMap::StoredName(const std::wstring& dataPath, const std::wstring& folder) {
  QvProfileManipulator profile(dataPath + folder + L"\\AccountInfo.ini");
  std::wstring name;
  if (!profile.GetPrivateProfileString(L"strAccountName", L"", &name) || name.empty()) return folder;
  return name;
}

void QvAccountNameMap::Enter(Listing* listing, const std::wstring& name, const std::wstring& folder) {
  // Two accounts of one name: the later one is known by its folder's name.
  const std::wstring key = listing->folderOf.count(name) == 0 ? name : folder;
  if (listing->folderOf.emplace(key, folder).second) listing->order.push_back(key);
  listing->foldersInUse.insert(qv::FoldCase(folder));
}

void QvAccountNameMap::Remove(Listing* listing, const std::wstring& name, const std::wstring& folder) {
  listing->folderOf.erase(name);
  listing->foldersInUse.erase(qv::FoldCase(folder));
  listing->renamed.erase(qv::FoldCase(folder));
  std::erase(listing->order, name);
}

void QvAccountNameMap::Rename(Listing* listing, const std::wstring& oldName, const std::wstring& newName,
                              const std::wstring& folder, const std::wstring& stored) {
  Remove(listing, oldName, folder);
  Enter(listing, newName, folder);
  listing->renamed[qv::FoldCase(folder)] = Listing::Renamed{stored, newName};
}

uint32_t QvAccountNameMap::Scan(const std::wstring& dataPath, Listing* listing) {
  std::map<std::wstring, Listing::Renamed> renamed = std::move(listing->renamed);
  *listing = Listing{};
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dataPath + L"*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) return QVMDL_ERR_ACC_LIST_START;
    listing->loaded = true;
    return QVMDL_ERR_ACC_LIST_EMPTY;
  }
  std::vector<std::wstring> folders;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    folders.emplace_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  for (const std::wstring& folder : folders) {
    const std::wstring folded = qv::FoldCase(folder);
    listing->foldersInUse.insert(folded);
    if (!IsAccountFolder(dataPath, folder)) continue;
    std::wstring name = StoredName(dataPath, folder);
    // A rename whose name is not stored yet keeps its new name while the
    // account is open, for its user stores the name through that object.
    // Once the folder holds any other name, or nobody has the account open
    // to store one, the folder's name counts.
    auto pending = renamed.find(folded);
    if (pending != renamed.end() && pending->second.from == name &&
        QvAccountCache::Instance().Users(dataPath + folder) != 0) {
      name = pending->second.to;
      listing->renamed.insert(*pending);
    }
    Enter(listing, name, folder);
  }
  listing->loaded = true;
  return listing->order.empty() ? QVMDL_ERR_ACC_LIST_EMPTY : QVMDL_SUCCESS;
}

uint32_t QvAccountNameMap::Load(const std::wstring& dataPath, bool rescan, Listing** listing) {
  Listing& found = listings_[QvPathKey(dataPath)];
  *listing = &found;
  if (found.loaded && !rescan) return found.order.empty() ? QVMDL_ERR_ACC_LIST_EMPTY : QVMDL_SUCCESS;
  return Scan(dataPath, &found);
}

QvAccountNameMap::Held::Held(const std::wstring& key, bool rescan) : lock_(Instance().Mutex()) {
  if (!qv_account::DataPathOf(key, &dataPath)) return;
  Listing* loaded = nullptr;
  code = Instance().Load(dataPath, rescan, &loaded);
  if (code != QVMDL_SUCCESS && code != QVMDL_ERR_ACC_LIST_EMPTY) {
    SetQvMiddleError(code);
    return;
  }
  listing = loaded;
}
