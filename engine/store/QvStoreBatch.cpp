#include "engine/public/store/QvStoreBatch.h"

#include <atomic>
#include <iterator>

#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

// Every named mutex a change of the store takes, below an account: the
// storage set's too, since a storage opened inside the batch takes it.
constexpr const wchar_t* kStoreMutexes[] = {
    L"QvStorageSet Mutex",    L"QvFolderSet Mutex",   L"QvFolderEntry Mutex",   L"QvMessageSet MessageSet Mutex",
    L"QvMessage Mutex",       L"QvMessageSet MessageEntry Mutex", L"QvIdTraits Mutex", L"QvMessageEntry Mutex",
    L"QvMessageHeader Mutex",
};

std::atomic<uint64_t> g_lastBatch{0};
thread_local uint64_t t_batch = 0;
thread_local QvStoreBatch* t_holder = nullptr;  // the outer batch of the thread

}  // namespace

QvStoreBatch::QvStoreBatch() {
  if (t_batch != 0) {
    held_ = true;
    return;
  }
  mutexes_.reserve(std::size(kStoreMutexes));
  for (const wchar_t* name : kStoreMutexes) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr) break;
    mutexes_.push_back(mutex);
    // Tried only: waiting here while holding the others could deadlock
    // with a thread that takes them in another order.
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) break;
    ++taken_;
  }
  if (taken_ != std::size(kStoreMutexes)) {
    Release();
    return;
  }
  t_batch = ++g_lastBatch;
  t_holder = this;
  held_ = outer_ = true;
}

QvStoreBatch::~QvStoreBatch() {
  if (outer_) {
    for (const auto& [path, kept] : files_) CloseHandle(static_cast<HANDLE>(kept.file));
    files_.clear();
    t_batch = 0;
    t_holder = nullptr;
  }
  Release();
}

void* QvStoreBatch::KeptFile(const std::wstring& path, int64_t** at) {
  if (t_holder == nullptr) return nullptr;
  auto& files = t_holder->files_;
  auto found = files.find(path);
  if (found == files.end()) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    found = files.emplace(path, Kept{file, 0}).first;
  }
  if (at != nullptr) {
    *at = &found->second.at;
  } else {
    found->second.at = -1;
  }
  return found->second.file;
}

void QvStoreBatch::DropFile(const std::wstring& path) {
  if (t_holder == nullptr) return;
  auto found = t_holder->files_.find(path);
  if (found == t_holder->files_.end()) return;
  CloseHandle(static_cast<HANDLE>(found->second.file));
  t_holder->files_.erase(found);
}

void QvStoreBatch::Release() {
  for (size_t i = taken_; i-- > 0;) ReleaseMutex(static_cast<HANDLE>(mutexes_[i]));
  for (void* mutex : mutexes_) CloseHandle(static_cast<HANDLE>(mutex));
  mutexes_.clear();
  taken_ = 0;
}

uint64_t QvStoreBatch::Current() { return t_batch; }
