#include "engine/store/QvStorageSet.h"

#include <new>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/store/QvStorage.h"
#include "engine/store/QvPathKey.h"

namespace {

// Made per call: a named mutex belongs to the device root in force when it
// is made, and the storage set outlives any one root.
constexpr wchar_t kMutexName[] = L"QvStorageSet Mutex";

}  // namespace

QvStorageSet& QvStorageSet::Instance() {
  static QvStorageSet* set = new QvStorageSet;  // storages may be closed from exit handlers
  return *set;
}

std::wstring QvStorageSet::KeyOf(const std::wstring& root) { return QvPathKey(root); }

QvStorage* QvStorageSet::Open(const std::wstring& root) {
  QvNamedMutex mutex(kMutexName);
  QvNamedMutex::Hold hold(mutex);
  std::lock_guard<std::mutex> guard(lock_);
  try {
    const std::wstring key = KeyOf(root);
    auto found = nodes_.find(key);
    if (found != nodes_.end()) {
      ++found->second.users;
      return found->second.storage.get();
    }
    std::unique_ptr<QvStorage> storage(new (std::nothrow) QvStorage);
    if (storage == nullptr) {
      SetQvMiddleError(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    const uint32_t code = storage->Open(root);
    if (code != QVMDL_SUCCESS) {
      SetQvMiddleError(code);
      return nullptr;
    }
    Node& node = nodes_[key];
    node.users = 1;
    node.storage = std::move(storage);
    return node.storage.get();
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

bool QvStorageSet::Close(QvStorage* storage) {
  QvNamedMutex mutex(kMutexName);
  QvNamedMutex::Hold hold(mutex);
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (it->second.storage.get() != storage) continue;
    if (it->second.users > 0) --it->second.users;
    if (it->second.users > 0) return true;
    // A busy storage stays in the set, unused, until it is opened again.
    uint32_t busy = QVMDL_SUCCESS;
    if (storage->Folders().HasOpenFolders()) {
      busy = QVMDL_ERR_STG_SET_FOLDERS_OPEN;
    } else if (storage->Messages().HasOpenMessages()) {
      busy = QVMDL_ERR_STG_SET_MESSAGES_OPEN;
    }
    if (busy != QVMDL_SUCCESS) {
      SetQvMiddleError(busy);
      return false;
    }
    nodes_.erase(it);
    return true;
  }
  SetQvMiddleError(QVMDL_ERR_STG_SET_NOT_HELD);
  return false;
}

uint32_t QvStorageSet::Users(const std::wstring& root) {
  std::lock_guard<std::mutex> guard(lock_);
  auto found = nodes_.find(KeyOf(root));
  return found == nodes_.end() ? 0 : found->second.users;
}
