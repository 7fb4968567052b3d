#include "engine/store/QvAccountCache.h"

#include <new>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvPathKey.h"
#include "platform/kernel/Files.h"

QvAccountCache& QvAccountCache::Instance() {
  static QvAccountCache* cache = new QvAccountCache;  // accounts may be closed from exit handlers
  return *cache;
}

QvAccountInfo* QvAccountCache::Open(const std::wstring& folderPath) {
  try {
    const std::wstring key = QvPathKey(folderPath);
    std::lock_guard<std::mutex> guard(lock_);
    auto found = entries_.find(key);
    if (found != entries_.end()) {
      ++found->second.users;
      return found->second.account.get();
    }
    const DWORD attributes = GetFileAttributesW(folderPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      SetQvMiddleError(QVMDL_ERR_ACC_FOLDER_MISSING);
      return nullptr;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      SetQvMiddleError(QVMDL_ERR_ACC_NOT_A_FOLDER);
      return nullptr;
    }
    std::unique_ptr<QvAccountInfo> account(new (std::nothrow) QvAccountInfo(folderPath));
    if (account == nullptr) {
      SetQvMiddleError(QVMDL_ERR_ACC_NO_MEMORY);
      return nullptr;
    }
    Entry& entry = entries_[key];
    entry.users = 1;
    entry.account = std::move(account);
    return entry.account.get();
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_ACC_NO_MEMORY);
    return nullptr;
  }
}

void QvAccountCache::Close(QvAccountInfo* account) {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->second.account.get() != account) continue;
    if (--it->second.users == 0) entries_.erase(it);
    return;
  }
}

bool QvAccountCache::RunUnused(const std::wstring& folderPath, const std::function<bool()>& work) {
  const std::wstring key = QvPathKey(folderPath);
  std::lock_guard<std::mutex> guard(lock_);
  if (entries_.count(key) != 0) {
    SetQvMiddleError(QVMDL_ERR_ACC_DELETE_HELD);
    return false;
  }
  return work();
}

uint32_t QvAccountCache::Users(const std::wstring& folderPath) {
  const std::wstring key = QvPathKey(folderPath);
  std::lock_guard<std::mutex> guard(lock_);
  auto found = entries_.find(key);
  return found == entries_.end() ? 0 : found->second.users;
}
