#include "engine/store/QvMessageSet.h"

#include <bit>
#include <cstring>
#include <new>
#include <optional>

#include "engine/foundation/MailMemory.h"
#include "engine/foundation/QvLittleEndian.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageHeader.h"
#include "engine/store/QvStoreFile.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Files.h"

namespace {

constexpr wchar_t kMoveRetryLine[] = L" Retry MoveFile():(%d) /// Reason: file busy\r\n";

// An older "Entry.txt" list, read once when the table is rebuilt. A list
// names at most the 256 messages of its directory; far more is not ours.
const QvStoreFileCodes kEntryList = {
    QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY,
    QVMDL_ERR_STG_FILEIO_FILE_WRITE_ENTRY,
    QVMDL_ERR_STG_FILEIO_FILE_READ_ENTRY,
    QVMDL_ERR_STG_FILE_FMTILLGL_ENTRY,
    {QVMDL_ERR_SAFESAVE_BACKUP, QVMDL_ERR_STG_SAFESAVE_DELBAK_ENTRY, QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_ENTRY,
     QVMDL_ERR_STG_SAFESAVE_DELTMP_ENTRY, QVMDL_ERR_STG_SAFESAVE_MOVETMP_ENTRY, QVMDL_ERR_SAFESAVE_NOFILE},
};
constexpr size_t kEntryListLimit = 64 * 1024;
constexpr size_t kEntryLineBytes = 9;

// Results of the id allocator of the message directory.
uint32_t MapIds(uint32_t code) {
  switch (code) {
    case QVMDL_ERR_STG_TREE_EXISTS: return QVMDL_ERR_STG_DIR_EXISTS_DATA;
    case QVMDL_ERR_STG_TREE_CREATE: return QVMDL_ERR_STG_DIR_CREATE_DATA;
    case QVMDL_ERR_STG_STATUS_OPEN: return QVMDL_ERR_STG_FILEIO_FILE_OPEN_DATASTATUS;
    case QVMDL_ERR_STG_STATUS_WRITE: return QVMDL_ERR_STG_FILEIO_FILE_WRITE_DATASTATUS;
    case QVMDL_ERR_STG_STATUS_READ: return QVMDL_ERR_STG_FILEIO_FILE_READ_DATASTATUS;
    default:
      if (code >= QVMDL_ERR_SAFESAVE_BACKUP && code <= QVMDL_ERR_SAFESAVE_NOFILE) {
        return QVMDL_ERR_STG_SAFESAVE_BACKUP_DATASTATUS + (code - QVMDL_ERR_SAFESAVE_BACKUP);
      }
      return code;
  }
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

QvMessageSet::QvMessageSet()
    : setMutex_(L"QvMessageSet MessageSet Mutex"),
      entryMutex_(L"QvMessageSet MessageEntry Mutex"),
      messageMutex_(L"QvMessage Mutex") {
  ids_.countInPlace_ = true;
}

QvMessageSet::~QvMessageSet() {
  openMessages_.clear();
  CloseTable();
}

bool QvMessageSet::Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

bool QvMessageSet::ParseEntryLine(const char* line, uint32_t* secondByte, uint32_t* folderId) {
  if (line[2] != '\t' || line[7] != '\r' || line[8] != '\n') return false;
  uint32_t values[2] = {0, 0};
  const int starts[2] = {0, 3}, widths[2] = {2, 4};
  for (int f = 0; f < 2; ++f) {
    for (int i = 0; i < widths[f]; ++i) {
      int v = foundation::HexDigitValue(line[starts[f] + i]);
      if (v < 0) return false;
      values[f] = values[f] * 16 + static_cast<uint32_t>(v);
    }
  }
  *secondByte = values[0];
  *folderId = values[1];
  return true;
}

// ---------------------------------------------------------------------------
// The entry table

uint32_t QvMessageSet::CreateEntryFile(const std::wstring& root) {
  const std::wstring dataDir = DataDirOf(root);
  uint32_t code = ids_.InitStatus(dataDir);
  if (code != QVMDL_SUCCESS) return MapIds(code);
  // The table is written whole beside its name and then moved in, so that an
  // interrupted creation leaves no table rather than a short one.
  const std::wstring table = TablePathOf(dataDir);
  const std::wstring temp = table + L"_tmp";
  if (FileIsPresent(table)) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  qv::ScopedHandle file(
      CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  std::string bytes;
  try {
    bytes.assign(kTableBytes, '\xFF');
  } catch (const std::bad_alloc&) {
    file.reset();
    DeleteFileW(temp.c_str());
    return QVMDL_ERR_STG_NOT_ENOUGH_MEMORY;
  }
  DWORD written = 0;
  bool ok = WriteFile(file.get(), bytes.data(), kTableBytes, &written, nullptr) && FlushFileBuffers(file.get());
  DWORD error = GetLastError();
  ok = ok && GetFileSize(file.get(), nullptr) == kTableBytes;
  file.reset();
  if (!ok) {
    DeleteFileW(temp.c_str());
    return error == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : QVMDL_ERR_STG_FILEIO_FILE_WRITE_ENTRY;
  }
  if (!MoveFileW(temp.c_str(), table.c_str())) {
    DeleteFileW(temp.c_str());
    return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  }
  return QVMDL_SUCCESS;
}

uint32_t QvMessageSet::OpenEntryFile(const std::wstring& root, QvFolderSet* folderSet) {
  if (folderSet_ == nullptr) folderSet_ = folderSet;
  const std::wstring dataDir = DataDirOf(root);
  uint32_t code = ids_.ReadStatus(dataDir, kMaxId);
  // The counter is rewritten in place and reaches the disk with the
  // write-back: one a power cut tore is counted again from the table.
  const bool torn = code == QVMDL_ERR_STG_STATUS_READ;
  if (code != QVMDL_SUCCESS && !torn) return MapIds(code);
  if (torn) ids_.Assume(dataDir, kMaxId, 0, 0);
  dataDir_ = dataDir;
  QvNamedMutex::Hold hold(entryMutex_);
  code = OpenTable();
  if (code != QVMDL_SUCCESS || !torn) return code;
  uint32_t used = 0, next = 0;
  for (uint32_t id = 0; id <= ids_.MaxId() && id < kSlots; ++id) {
    if (Slot(id) == kFreeSlot) continue;
    ++used;
    next = id + 1;  // ids run on past the highest in use
  }
  ids_.Assume(dataDir, kMaxId, next, used);
  return MapIds(ids_.WriteStatus());
}

uint32_t QvMessageSet::OpenTable() {
  CloseTable();
  const std::wstring table = TablePathOf(dataDir_);
  auto open = [&] {
    return CreateFileForMappingW(table.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  qv::ScopedHandle file(open());
  if (!file) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
    uint32_t code = RebuildEntryFile();
    if (code != QVMDL_SUCCESS) return code;
    file.reset(open());
    if (!file) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  }
  // A table of any other size is not one of ours; mapping it would grow it
  // with slots that read as folder 0.
  if (GetFileSize(file.get(), nullptr) != kTableBytes) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  qv::ScopedHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, kTableBytes, nullptr));
  if (!mapping) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, kTableBytes);
  if (view == nullptr) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  entryFile_ = std::move(file);
  entryMapping_ = std::move(mapping);
  entryTable_ = static_cast<uint8_t*>(view);
  return QVMDL_SUCCESS;
}

void QvMessageSet::CloseTable() {
  if (entryTable_ != nullptr) UnmapViewOfFile(entryTable_);
  entryTable_ = nullptr;
  entryMapping_.reset();
  entryFile_.reset();
}

uint32_t QvMessageSet::RebuildEntryFile() {
  QvNamedMutex::Hold hold(entryMutex_);
  const std::wstring table = TablePathOf(dataDir_);
  const std::wstring temp = table + L"_tmp";
  DeleteFileW(temp.c_str());
  if (!QvMessage::HasRoomFor(table, 0)) return QVMDL_ERR_STG_DISK_FULL;

  qv::ScopedHandle file(CreateFileForMappingW(temp.c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY);
  qv::ScopedHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, kTableBytes, nullptr));
  void* view = mapping ? MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, kTableBytes) : nullptr;
  if (view == nullptr) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  auto* slots = static_cast<uint8_t*>(view);
  memset(slots, 0xFF, kTableBytes);
  std::vector<std::wstring> lists;
  uint32_t code = RebuildFromLists(slots, &lists);
  // The rebuilt table is to last before it takes the table's name.
  if (code == QVMDL_SUCCESS && !(FlushViewOfFile(view, kTableBytes) && FlushFileBuffers(file.get()))) {
    code = QVMDL_ERR_STG_FILEIO_FILE_WRITE_ENTRY;
  }
  UnmapViewOfFile(view);
  mapping.reset();
  file.reset();
  if (code != QVMDL_SUCCESS) return code;  // the copy stays; the next rebuild deletes it first
  if (!RetryWhileBusy([&] { return MoveFileW(temp.c_str(), table.c_str()); }, kMoveRetryLine)) {
    return QVMDL_ERR_STG_SAFESAVE_MOVETMP_ENTRY;
  }
  for (const std::wstring& list : lists) DeleteFileW(list.c_str());
  return QVMDL_SUCCESS;
}

uint32_t QvMessageSet::RebuildFromLists(uint8_t* table, std::vector<std::wstring>* lists) {
  uint32_t low = 0;
  do {
    const std::wstring dir = qv::FormatW(L"%s\\%02X", dataDir_.c_str(), low);
    if (!IsDirectory(dir)) continue;
    const std::wstring list = dir + L"\\Entry.txt";
    uint32_t code = RestoreInterruptedFile(list, list + L"_tmp");
    if (code == QVMDL_ERR_SAFESAVE_NOFILE) {
      code = RemoveDirectoryIfEmpty(low);
      if (code != QVMDL_SUCCESS) return code;
      continue;
    }
    if (code != QVMDL_SUCCESS) return QvStoreFile::MapSafeSave(code, kEntryList);
    std::string bytes;
    code = QvStoreFile::ReadAll(list, kEntryList, kEntryListLimit, &bytes);
    if (code != QVMDL_SUCCESS) return code;
    if (bytes.size() % kEntryLineBytes != 0) return QVMDL_ERR_STG_FILE_FMTILLGL_ENTRY;
    for (size_t at = 0; at < bytes.size(); at += kEntryLineBytes) {
      uint32_t second = 0, folder = 0;
      if (!ParseEntryLine(bytes.data() + at, &second, &folder)) return QVMDL_ERR_STG_FILE_FMTILLGL_ENTRY;
      QvLittleEndian::Put32(table + 4 * QvIdTraits::Compose(low, second), folder);
    }
    lists->push_back(list);
  } while (ids_.StepByte(&low));
  return QVMDL_SUCCESS;
}

uint32_t QvMessageSet::Slot(uint32_t messageId) const { return QvLittleEndian::Get32(entryTable_ + 4 * messageId); }

bool QvMessageSet::UpdateEntry(uint32_t operation, uint32_t messageId, uint32_t folderId) {
  if (operation < kAssign || operation > kFree) return false;  // no such operation: nothing to report
  QvNamedMutex::Hold hold(entryMutex_);
  uint32_t code = UpdateEntryLocked(operation, messageId, folderId);
  return code == QVMDL_SUCCESS || Fail(code);
}

uint32_t QvMessageSet::UpdateEntryLocked(uint32_t operation, uint32_t messageId, uint32_t folderId) {
  if (messageId > ids_.MaxId() || messageId >= kSlots) return QVMDL_ERR_STG_MESSAGE_ID_RANGE;
  if (entryTable_ == nullptr) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  const bool used = Slot(messageId) != kFreeSlot;
  if (operation == kAssign && used) return QVMDL_ERR_STG_ENTRY_IN_USE;
  if (operation != kAssign && !used) return QVMDL_ERR_STG_MESSAGE_NOT_LISTED;
  uint8_t* slot = entryTable_ + 4 * messageId;
  // The shared mapping is the file's own page: every process sees the slot at
  // once and it outlives this one. It reaches the disk with the lists and the
  // counter, which are not synced either; waiting for its write here cost a
  // disk round trip per message.
  QvLittleEndian::Put32(slot, operation == kFree ? kFreeSlot : folderId);
  return QVMDL_SUCCESS;
}

bool QvMessageSet::GetMessageFolder(uint32_t messageId, uint32_t* folderId) {
  if (folderId == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvNamedMutex::Hold hold(entryMutex_);
  if (entryTable_ == nullptr) return Fail(QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY);
  if (messageId > ids_.MaxId() || messageId >= kSlots) return Fail(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
  uint32_t folder = Slot(messageId);
  if (folder == kFreeSlot) return Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  *folderId = folder;
  return true;
}

// ---------------------------------------------------------------------------
// Message files

bool QvMessageSet::CreateMessageFile(uint32_t* messageId, uint32_t folderId, const QvMessage::NewText* content) {
  if (messageId == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  // Held throughout, so that two processes never pick the same free id.
  QvNamedMutex::Hold hold(entryMutex_);
  uint32_t code = CreateLocked(messageId, folderId, content);
  return code == QVMDL_SUCCESS || Fail(code);
}

uint32_t QvMessageSet::CreateLocked(uint32_t* messageId, uint32_t folderId, const QvMessage::NewText* content) {
  if (entryTable_ == nullptr) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  // An id is free when neither a slot nor a file claims it; creating the
  // file only when it is new is the test for the file.
  uint32_t id = 0;
  std::wstring dir, path;
  bool madeDir = false;
  qv::ScopedHandle file;
  for (uint32_t tries = 0; !file;) {
    if (tries++ > ids_.MaxId()) return QVMDL_ERR_STG_NO_FREE_ID;
    id = ids_.NextId();
    if (Slot(id) != kFreeSlot) continue;
    path = MessagePath(id);
    file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) break;
    DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) {
      // The id's directory comes with its first message.
      dir = ids_.DirOf(id);
      if (!CreateDirectoryW(dir.c_str(), nullptr)) return QvStoreFile::FailureCode(QVMDL_ERR_STG_DIR_CREATE_DATA);
      madeDir = true;
      file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file) break;
      error = GetLastError();
    }
    const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       (error == ERROR_ACCESS_DENIED && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!taken || madeDir) {
      const uint32_t code = QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
      if (madeDir) RemoveDirectoryW(dir.c_str());
      return code;
    }
  }
  auto undo = [&](uint32_t code, bool madeFile) {
    if (madeFile) DeleteFileW(path.c_str());
    if (madeDir) RemoveDirectoryW(dir.c_str());
    return code;
  };
  bool ok = false;
  uint8_t header[QvMessage::kHeaderBytes];
  if (content != nullptr) {
    // Given its text, the message is whole before any slot or list names it.
    memcpy(header, content->header, sizeof header);
    QvMessage::RecordFolder(header, folderId);
    ok = QvMessage::WriteWholeInPlace(&file, header, content->text, content->length);
  } else {
    QvMessage::FreshHeader(header);
    QvMessage::RecordFolder(header, folderId);
    DWORD written = 0;
    // Not synced: a message is committed by its first write, which puts
    // its text into this file and syncs it; one cut off before that holds
    // no text and the next open of the storage reclaims it.
    ok = WriteFile(file.get(), header, sizeof header, &written, nullptr) && written == sizeof header;
  }
  uint32_t writeCode = QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML);
  file.reset();
  if (!ok) return undo(writeCode, true);

  uint32_t code = UpdateEntryLocked(kAssign, id, folderId);
  if (code != QVMDL_SUCCESS) return undo(code, true);
  code = ids_.IncrementCount();
  if (code != QVMDL_SUCCESS) {
    UpdateEntryLocked(kFree, id, 0);
    return undo(MapIds(code), true);
  }
  *messageId = id;
  return QVMDL_SUCCESS;
}

QvMessage* QvMessageSet::OpenMessage(uint32_t messageId) {
  QvNamedMutex::Hold hold(setMutex_);
  auto found = openMessages_.find(messageId);
  if (found != openMessages_.end()) {
    ++found->second.count;
    return found->second.message.get();
  }
  try {
    auto message = std::make_unique<QvMessage>(messageId, this, MessagePath(messageId));
    QvMessage* raw = message.get();
    openMessages_.emplace(messageId, OpenNode{1, std::move(message)});
    return raw;
  } catch (const std::bad_alloc&) {
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

void QvMessageSet::CloseMessage(QvMessage* message) {
  QvNamedMutex::Hold hold(setMutex_);
  for (auto it = openMessages_.begin(); it != openMessages_.end(); ++it) {
    if (it->second.message.get() != message) continue;
    if (--it->second.count == 0) openMessages_.erase(it);
    return;
  }
}

bool QvMessageSet::IsMessageOpen(uint32_t messageId) {
  QvNamedMutex::Hold hold(setMutex_);
  return openMessages_.count(messageId) != 0;
}

bool QvMessageSet::HasOpenMessages() {
  QvNamedMutex::Hold hold(setMutex_);
  return !openMessages_.empty();
}

uint32_t QvMessageSet::RemoveDirectoryIfEmpty(uint32_t messageId) {
  const std::wstring dir = ids_.DirOf(messageId);
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dir + L"\\*.*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    FindClose(find);
    return QVMDL_SUCCESS;
  }
  DWORD error = GetLastError();
  // An empty directory reports "no more files" (or "not found"); one already
  // gone has nothing left to remove.
  if (error == ERROR_PATH_NOT_FOUND) return QVMDL_SUCCESS;
  if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND) return QVMDL_ERR_STG_DIR_SEARCH;
  RemoveDirectoryW(dir.c_str());
  return QVMDL_SUCCESS;
}

// The file goes before its slot: a death in between leaves a slot without a
// file, which the storage's rebuild frees, never a file nothing names.
uint32_t QvMessageSet::RemoveOneLocked(uint32_t messageId, QvMessageHeader* headers) {
  if (messageId > ids_.MaxId() || messageId >= kSlots) return QVMDL_ERR_STG_MESSAGE_ID_RANGE;
  if (entryTable_ == nullptr) return QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY;
  if (Slot(messageId) == kFreeSlot) return QVMDL_ERR_STG_MESSAGE_NOT_LISTED;
  const std::wstring path = MessagePath(messageId);
  RetryWhileBusy([&] { return DeleteFileW(path.c_str()); }, kMoveRetryLine);
  // The id's directory stays, empty or not: a feed run removes as many
  // messages as it files, and each next id's directory was made again.
  uint32_t code = UpdateEntryLocked(kFree, messageId, 0);
  if (code != QVMDL_SUCCESS) return code;
  if (headers != nullptr && !headers->MarkDeleted(messageId)) return GetQvMiddleError();
  return QVMDL_SUCCESS;
}

bool QvMessageSet::RemoveMessageFile(uint32_t messageId) {
  QvNamedMutex::Hold hold(entryMutex_);
  uint32_t code = RemoveOneLocked(messageId, nullptr);
  if (code == QVMDL_SUCCESS) code = MapIds(ids_.DecrementCount());
  return code == QVMDL_SUCCESS || Fail(code);
}

bool QvMessageSet::RemoveMessageFiles(const std::vector<uint32_t>& messageIds, QvMessageHeader* headers) {
  if (messageIds.empty()) return true;
  QvNamedMutex::Hold hold(entryMutex_);
  std::optional<QvMessageHeader::MarkRun> marks;
  if (headers != nullptr) marks.emplace(headers);
  for (uint32_t id : messageIds) {
    uint32_t code = RemoveOneLocked(id, headers);
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  uint32_t code = MapIds(ids_.AddCount(-static_cast<int32_t>(messageIds.size())));
  return code == QVMDL_SUCCESS || Fail(code);
}

bool QvMessageSet::RecoverEntries(std::map<uint32_t, RecoveredEntry>* out) {
  if (out == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  out->clear();
  // The table is read under one hold of its lock rather than one for each of
  // its 65536 slots: a repair then costs what the used slots cost.
  std::vector<uint32_t> slots;
  if (!CopyEntryTable(&slots)) return false;
  for (uint32_t id = 0; id < slots.size(); ++id) {
    const uint32_t folder = slots[id];
    if (folder == kFreeSlot) continue;
    // The message is read holding no entry lock: its own mutex comes first.
    QvMessage* message = OpenMessage(id);
    if (message == nullptr) return false;
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kState;
    bool read = message->GetAttributes(&a);
    uint32_t code = read ? QVMDL_SUCCESS : GetQvMiddleError();
    CloseMessage(message);
    if (code == QVMDL_SUCCESS || code == QVMDL_ERR_STG_EML_OLD_VERSION) {
      (*out)[id] = RecoveredEntry{id, folder, a.unread, a.state};
      continue;
    }
    // A header without our magic is one a power cut tore before its sync,
    // or a file of no format of ours: the store cannot read it, so it leaves
    // the store, but it is set aside ("_torn") rather than deleted.
    uint8_t header[QvMessage::kHeaderBytes];
    const bool headed = code == QVMDL_ERR_STG_FILE_VERSION_EML && ReadHeaderOf(id, header);
    const bool unfinished = headed && QvMessage::IsUnfinished(header);
    const bool foreign = headed && !unfinished && !QvMessage::HasMagic(header);
    if (code != QVMDL_ERR_STG_FILE_FMTILLGL_EML && code != QVMDL_ERR_STG_SAFESAVE_NOFILE_EML && !unfinished &&
        !foreign) {
      return Fail(code);
    }
    QvNamedMutex::Hold hold(entryMutex_);
    code = UpdateEntryLocked(kFree, id, 0);
    if (code == QVMDL_SUCCESS && foreign) {
      const std::wstring path = MessagePath(id), aside = path + L"_torn";
      DeleteFileW(aside.c_str());
      if (!MoveFileW(path.c_str(), aside.c_str())) code = QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML);
    } else if (code == QVMDL_SUCCESS) {
      DeleteFileW(MessagePath(id).c_str());
      code = RemoveDirectoryIfEmpty(id);
    }
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  // Measured against the saved count, under the lock every count change takes.
  QvNamedMutex::Hold hold(entryMutex_);
  uint32_t code = MapIds(ids_.ReadStatus(dataDir_, kMaxId));
  if (code != QVMDL_SUCCESS) return Fail(code);
  const int64_t difference = static_cast<int64_t>(out->size()) - static_cast<int64_t>(ids_.GetCount());
  if (difference != 0) code = MapIds(ids_.AddCount(static_cast<int32_t>(difference)));
  return code == QVMDL_SUCCESS || Fail(code);
}

void QvMessageSet::ReadHeaderFields(const std::vector<uint32_t>& ids, uint32_t mask,
                                    std::vector<QvMessage::Attributes>* out, std::vector<uint32_t>* codes) {
  out->assign(ids.size(), QvMessage::Attributes{});
  codes->assign(ids.size(), QVMDL_SUCCESS);
  QvNamedMutex::Hold hold(messageMutex_);
  for (size_t i = 0; i < ids.size(); ++i) {
    QvMessage::Attributes& a = (*out)[i];
    a.mask = mask & QvMessageFields::kHeaderFields;
    if (!IsValidId(ids[i])) {
      (*codes)[i] = QVMDL_ERR_STG_MESSAGE_ID_RANGE;
      continue;
    }
    bool older = false;
    uint32_t code = QvMessage::ReadHeaderFieldsAt(MessagePath(ids[i]), &a, &older);
    if (code == QVMDL_SUCCESS && older) code = QVMDL_ERR_STG_EML_OLD_VERSION;
    (*codes)[i] = code;
  }
}

bool QvMessageSet::ReadHeaderOf(uint32_t messageId, uint8_t* header) {
  qv::ScopedHandle file(CreateFileW(MessagePath(messageId).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD got = 0;
  return file && ReadFile(file.get(), header, QvMessage::kHeaderBytes, &got, nullptr) &&
         got == QvMessage::kHeaderBytes;
}

bool QvMessageSet::LeftUnfinished(uint32_t messageId) {
  uint8_t header[QvMessage::kHeaderBytes];
  return ReadHeaderOf(messageId, header) && QvMessage::IsUnfinished(header);
}

bool QvMessageSet::CopyEntryTable(std::vector<uint32_t>* slots) {
  QvNamedMutex::Hold hold(entryMutex_);
  if (entryTable_ == nullptr) return Fail(QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY);
  const uint32_t count = ids_.MaxId() + 1 < kSlots ? ids_.MaxId() + 1 : kSlots;
  slots->resize(count);
  // Every open copies the whole table: on a little-endian host the slots
  // are already in the table's byte order.
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(slots->data(), entryTable_, count * sizeof(uint32_t));
  } else {
    for (uint32_t id = 0; id < count; ++id) (*slots)[id] = Slot(id);
  }
  return true;
}

bool QvMessageSet::DiscardMessage(uint32_t messageId) {
  QvNamedMutex::Hold hold(entryMutex_);
  if (entryTable_ == nullptr) return Fail(QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY);
  if (messageId > ids_.MaxId() || messageId >= kSlots) return Fail(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
  uint32_t code = Slot(messageId) == kFreeSlot ? QVMDL_SUCCESS : UpdateEntryLocked(kFree, messageId, 0);
  if (code != QVMDL_SUCCESS) return Fail(code);
  const std::wstring path = MessagePath(messageId);
  for (const wchar_t* suffix : {L"", L"_tmp", L"_bak"}) DeleteFileW((path + suffix).c_str());
  code = RemoveDirectoryIfEmpty(messageId);
  return code == QVMDL_SUCCESS || Fail(code);
}

bool QvMessageSet::AdoptOrDiscard(uint32_t messageId, const std::set<uint32_t>& tree, bool* adopted) {
  // Held throughout: a creation holds it from its file to its slot, so a
  // file met here without a slot is no creation still at work.
  QvNamedMutex::Hold hold(entryMutex_);
  if (entryTable_ == nullptr) return Fail(QVMDL_ERR_STG_FILEIO_FILE_OPEN_ENTRY);
  if (messageId > ids_.MaxId() || messageId >= kSlots) return Fail(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
  if (Slot(messageId) != kFreeSlot) return true;
  uint32_t folder = 0;
  if (QvMessage::CheckStored(MessagePath(messageId), &folder) == QvMessage::Stored::kWhole && tree.count(folder) != 0) {
    const uint32_t code = UpdateEntryLocked(kAssign, messageId, folder);
    if (code != QVMDL_SUCCESS) return Fail(code);
    *adopted = true;
    return true;
  }
  return DiscardMessage(messageId);
}

// ---------------------------------------------------------------------------
// The folder side of a message

bool QvMessageSet::UpdateEntryLine(uint32_t messageId, uint8_t unread, uint8_t state) {
  uint32_t folder = 0;
  if (!GetMessageFolder(messageId, &folder)) return false;
  if (folderSet_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return folderSet_->SetMessageFlags(folder, messageId, unread != 0, state != 0);
}

bool QvMessageSet::ReadHeaderRecord(FolderMsgHeader* record) {
  if (record == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  uint32_t folder = 0;
  if (!GetMessageFolder(record->id, &folder)) return false;
  if (folderSet_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return folderSet_->ReadHeaderRecord(folder, record);
}

bool QvMessageSet::UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change) {
  uint32_t folder = 0;
  if (!GetMessageFolder(id, &folder)) return false;
  if (folderSet_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return folderSet_->UpdateHeaderRecord(folder, id, change);
}

bool QvMessageSet::WriteHeaderRecord(const FolderMsgHeader& record) {
  uint32_t folder = 0;
  if (!GetMessageFolder(record.id, &folder)) return false;
  if (folderSet_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return folderSet_->WriteHeaderRecord(folder, record);
}
