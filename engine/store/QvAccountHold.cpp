#include "engine/store/QvAccountHold.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <utility>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/store/QvPathKey.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

// The accounts this process holds, by mutex name.
std::mutex& TableLock() {
  static auto* lock = new std::mutex;  // holds may end in exit handlers
  return *lock;
}
std::set<std::wstring>& Table() {
  static auto* table = new std::set<std::wstring>;
  return *table;
}

}  // namespace

std::wstring QvAccountHold::MutexName(const std::wstring& folderPath) {
  // A resolved path can be longer than a kernel object's name file may be:
  // its 64-bit FNV-1a digest stands for it.
  uint64_t digest = 0xcbf29ce484222325ull;
  for (wchar_t unit : QvPathKey(folderPath)) {
    digest = (digest ^ static_cast<uint32_t>(unit)) * 0x100000001b3ull;
  }
  static const wchar_t* hex = L"0123456789abcdef";
  std::wstring name = L"QvAccountHold ";
  for (int shift = 60; shift >= 0; shift -= 4) name.push_back(hex[(digest >> shift) & 15]);
  return name;
}

QvAccountHold::QvAccountHold(const std::wstring& folderPath) { Take(folderPath); }

QvAccountHold::QvAccountHold(QvAccountInfoInterface* account) {
  if (account == nullptr || account->Account() == nullptr) {
    held_ = true;
    return;
  }
  Take(account->Account()->FolderPath());
}

void QvAccountHold::Take(const std::wstring& folderPath) {
  name_ = MutexName(folderPath);
  {
    // Entered before the mutex is tried, and not under the table's lock: a
    // platform wait may serve messages that take holds themselves.
    std::lock_guard<std::mutex> guard(TableLock());
    if (!Table().insert(name_).second) return;
    reserved_ = true;
  }
  mutex_ = CreateMutexW(nullptr, FALSE, name_.c_str());
  if (mutex_ != nullptr) {
    const DWORD wait = WaitForSingleObject(mutex_, 0);
    // An abandoned hold is free: its run's files are settled by the next one.
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  if (!held_) {
    if (mutex_ != nullptr) CloseHandle(std::exchange(mutex_, nullptr));
    std::lock_guard<std::mutex> guard(TableLock());
    Table().erase(name_);
    reserved_ = false;
  }
}

QvAccountHold::~QvAccountHold() {
  if (mutex_ != nullptr) {
    if (held_) ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  if (reserved_) {
    std::lock_guard<std::mutex> guard(TableLock());
    Table().erase(name_);
  }
}
