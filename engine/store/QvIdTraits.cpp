#include "engine/store/QvIdTraits.h"

#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/public/store/QvStoreBatch.h"
#include "engine/store/QvStoreFile.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"

namespace {

// "%04X\t%X" of the largest count is 13 bytes; anything longer is not ours.
constexpr DWORD kStatusReadLimit = 16;
// The widest fields the reader takes.
constexpr size_t kStatusIdDigits = 4;
constexpr size_t kStatusCountDigits = 8;

uint32_t WriteWholeFile(const std::wstring& path, const std::string& text, uint32_t openCode, uint32_t writeCode,
                        bool* opened) {
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  *opened = file.is_valid();
  if (!*opened) return GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : openCode;
  DWORD written = 0;
  bool ok = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size() && FlushFileBuffers(file.get());
  DWORD error = GetLastError();
  file.reset();
  if (ok) return QVMDL_SUCCESS;
  return error == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : writeCode;
}

}  // namespace

QvIdTraits::QvIdTraits() : mutex_(L"QvIdTraits Mutex") {}

std::string QvIdTraits::FormatStatus(uint32_t nextId, uint32_t count) {
  std::string text;
  text.reserve(13);
  foundation::AppendHex(&text, nextId, 4);
  text.push_back('\t');
  foundation::AppendHex(&text, count, 1);
  return text;
}

bool QvIdTraits::ParseStatus(const char* text, size_t size, uint32_t* nextId, uint32_t* count) {
  // Read as "%04X\t%X" is scanned: the id's one to four digits (files
  // written without the padding exist), a tab, then the count's one to eight.
  // Whatever follows the count (a line end an editor added) is not ours to
  // judge; a field longer than its width is.
  size_t at = 0;
  uint32_t next = 0;
  for (; at < size && at < kStatusIdDigits; ++at) {
    int v = foundation::HexDigitValue(text[at]);
    if (v < 0) break;
    next = next * 16 + static_cast<uint32_t>(v);
  }
  if (at == 0 || at >= size || text[at] != '\t') return false;
  const size_t countStart = ++at;
  uint32_t value = 0;
  for (; at < size; ++at) {
    int v = foundation::HexDigitValue(text[at]);
    if (v < 0) break;
    if (at - countStart == kStatusCountDigits) return false;
    value = value * 16 + static_cast<uint32_t>(v);
  }
  if (at == countStart) return false;
  *nextId = next;
  *count = value;
  return true;
}

uint32_t QvIdTraits::InitStatus(const std::wstring& root) {
  if (!CreateDirectoryW(root.c_str(), nullptr)) {
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) return QVMDL_ERR_STG_TREE_EXISTS;
    return error == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : QVMDL_ERR_STG_TREE_CREATE;
  }
  std::wstring path = StatusPath(root);
  bool opened = false;
  uint32_t code =
      WriteWholeFile(path, FormatStatus(0, 0), QVMDL_ERR_STG_STATUS_OPEN, QVMDL_ERR_STG_STATUS_WRITE, &opened);
  if (code != QVMDL_SUCCESS) {
    // A half-made tree would refuse the next attempt as existing.
    if (opened) DeleteFileW(path.c_str());
    RemoveDirectoryW(root.c_str());
  }
  return code;
}

uint32_t QvIdTraits::ReadStatusFile(const std::wstring& root, uint32_t* nextId, uint32_t* count) {
  std::wstring path = StatusPath(root);
  QvStoreBatch::DropFile(path);
  uint32_t code = RestoreInterruptedFile(path, path + L"_tmp");
  if (code != QVMDL_SUCCESS) return code;
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return QVMDL_ERR_STG_STATUS_OPEN;
  char buffer[kStatusReadLimit + 1] = {};
  DWORD got = 0;
  bool ok = ReadFile(file.get(), buffer, kStatusReadLimit, &got, nullptr);
  file.reset();
  if (!ok || !ParseStatus(buffer, got, nextId, count)) return QVMDL_ERR_STG_STATUS_READ;
  return QVMDL_SUCCESS;
}

uint32_t QvIdTraits::ReadStatus(const std::wstring& root, uint32_t maxId) {
  QvNamedMutex::Hold hold(mutex_);
  trusted_ = 0;
  uint32_t next = 0, count = 0;
  uint32_t code = ReadStatusFile(root, &next, &count);
  if (code != QVMDL_SUCCESS) return code;
  nextId_ = next > maxId ? 0 : next;
  count_ = count;
  root_ = root;
  maxId_ = maxId;
  return QVMDL_SUCCESS;
}

void QvIdTraits::Assume(const std::wstring& root, uint32_t maxId, uint32_t nextId, uint32_t count) {
  QvNamedMutex::Hold hold(mutex_);
  trusted_ = 0;
  root_ = root;
  maxId_ = maxId;
  nextId_ = nextId > maxId ? 0 : nextId;
  count_ = count;
}

uint32_t QvIdTraits::WriteStatus() {
  QvNamedMutex::Hold hold(mutex_);
  trusted_ = 0;
  std::wstring path = StatusPath(root_);
  QvStoreBatch::DropFile(path);
  std::wstring temp = path + L"_tmp";
  uint32_t code = RestoreInterruptedFile(path, temp);
  if (code != QVMDL_SUCCESS) return code;
  bool opened = false;
  code = WriteWholeFile(temp, FormatStatus(nextId_, count_), QVMDL_ERR_STG_STATUS_OPEN, QVMDL_ERR_STG_STATUS_WRITE,
                        &opened);
  if (code != QVMDL_SUCCESS) {
    if (opened) DeleteFileW(temp.c_str());
    return code;
  }
  return ReplaceFileWithTemp(path, temp);
}

uint32_t QvIdTraits::NextId() {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t id = nextId_;
  nextId_ = (nextId_ + 1 > maxId_) ? 0 : nextId_ + 1;
  return id;
}

uint32_t QvIdTraits::PeekNextId() {
  QvNamedMutex::Hold hold(mutex_);
  return nextId_;
}

uint32_t QvIdTraits::GetCount() {
  QvNamedMutex::Hold hold(mutex_);
  return count_;
}

uint32_t QvIdTraits::ChangeCount(int64_t delta) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = QVMDL_SUCCESS;
  if (countInPlace_ && ChangeCountInPlace(delta, &code)) return code;
  // Another process may have changed the count since this one read it: start
  // from the saved value so that neither change is lost.
  uint32_t savedNext = 0, savedCount = 0;
  if (!root_.empty() && ReadStatusFile(root_, &savedNext, &savedCount) == QVMDL_SUCCESS) count_ = savedCount;
  int64_t value = static_cast<int64_t>(count_) + delta;
  count_ = value < 0 ? 0 : static_cast<uint32_t>(value);
  return WriteStatus();
}

// A count that can be rebuilt needs neither the copy nor a sync: the text is
// overwritten by one write of a few bytes, so a cut leaves the old text or
// the new one, each a count the storage's open checks. A text that would get
// shorter, or a file that is not as expected, takes the copy instead.
bool QvIdTraits::ChangeCountInPlace(int64_t delta, uint32_t* code) {
  if (root_.empty()) return false;
  const std::wstring path = StatusPath(root_);
  char buffer[kStatusReadLimit + 1] = {};
  DWORD got = 0;
  uint32_t savedNext = 0, savedCount = 0;
  const uint64_t batch = QvStoreBatch::Current();
  HANDLE handle = nullptr;
  qv::ScopedHandle owned;
  if (batch != 0 && trusted_ == batch && (handle = static_cast<HANDLE>(QvStoreBatch::KeptFile(path))) != nullptr) {
    // Nobody else wrote it since this process did, under the same batch.
    got = static_cast<DWORD>(statusLength_);
    savedCount = count_;
  } else {
    QvStoreBatch::DropFile(path);
    owned.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owned.is_valid()) return false;
    handle = owned.get();
    if (!ReadFile(handle, buffer, kStatusReadLimit, &got, nullptr) || !ParseStatus(buffer, got, &savedNext, &savedCount)) {
      return false;
    }
  }
  trusted_ = 0;
  // Another process may have changed the count since this one read it.
  const int64_t value = static_cast<int64_t>(savedCount) + delta;
  const uint32_t count = value < 0 ? 0 : static_cast<uint32_t>(value);
  const std::string text = FormatStatus(nextId_, count);
  if (text.size() < got) return false;
  DWORD written = 0;
  if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) != 0 ||
      !WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    *code = GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : QVMDL_ERR_STG_STATUS_WRITE;
    return true;
  }
  count_ = count;
  trusted_ = batch;
  statusLength_ = text.size();
  *code = QVMDL_SUCCESS;
  return true;
}

uint32_t QvIdTraits::IncrementCount() { return ChangeCount(1); }
uint32_t QvIdTraits::DecrementCount() { return ChangeCount(-1); }
uint32_t QvIdTraits::AddCount(int32_t delta) { return ChangeCount(delta); }

namespace {

// "\XX": a byte as two upper-case hex digits behind a separator, as
// "%02X" gives it: a path is made for every message.
void AppendByte(std::wstring* path, uint32_t byte) {
  path->push_back(L'\\');
  foundation::AppendHex(path, byte & 0xFF, 2);
}

}  // namespace

std::wstring QvIdTraits::PathOf(uint32_t id) const {
  std::wstring path;
  path.reserve(root_.size() + 10);
  path = root_;
  AppendByte(&path, LowByte(id));
  AppendByte(&path, SecondByte(id));
  return path;
}

std::wstring QvIdTraits::DirOf(uint32_t id) const {
  std::wstring path;
  path.reserve(root_.size() + 3);
  path = root_;
  AppendByte(&path, LowByte(id));
  return path;
}

bool QvIdTraits::StepByte(uint32_t* counter) const {
  if (*counter >= MaxLow()) return false;
  ++*counter;
  return true;
}
