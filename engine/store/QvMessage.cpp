#include "engine/store/QvMessage.h"

#include <cstring>
#include <new>

#include "engine/public/content/EmlCompose.h"
#include "engine/foundation/QvLittleEndian.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvDeferredSync.h"
#include "engine/store/QvMessageHeader.h"
#include "engine/store/QvMessageOwner.h"
#include "engine/store/QvStoreFile.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Time.h"

namespace {

using Attr = QvMessageFields;

constexpr char kMagic[12] = {'Q', 'V', 'M', 'A', 'I', 'L', 'E', 'M', 'L', 'F', 'M', 'T'};
constexpr uint32_t kVersions[] = {4096, 4097, 4098};
constexpr wchar_t kMoveRetryLine[] = L" Retry MoveFile():(%d) /// Reason: file busy\r\n";

// Field offsets of the header block.
constexpr size_t kOffVersion = 12, kOffUnread = 16, kOffHasAttachments = 17, kOffState = 18, kOffProtected = 19,
                 kOffDate = 20, kOffUidl = 36, kOffKind = 136, kOffAttachmentsDeleted = 140, kOffIsHtml = 141,
                 kOffRecorded = 142, kOffFolder = 144, kOffTextLength = 148, kOffTextDigest = 152;
constexpr uint8_t kRecordedText = 1, kRecordedFolder = 2;


// A byte field of the header and the bit that selects it.
struct ByteField {
  uint32_t bit;
  size_t offset;
  uint8_t Attr::Attributes::*member;
};
constexpr ByteField kFlagBytes[] = {
    {Attr::kUnread, kOffUnread, &Attr::Attributes::unread},
    {Attr::kHasAttachments, kOffHasAttachments, &Attr::Attributes::hasAttachments},
    {Attr::kState, kOffState, &Attr::Attributes::state},
    {Attr::kIsProtected, kOffProtected, &Attr::Attributes::isProtected},
};

// Results of the settling before an open, in the message file's codes.
uint32_t MapPrepare(uint32_t code) {
  switch (code) {
    case QVMDL_ERR_SAFESAVE_DELBAK: return QVMDL_ERR_STG_SAFESAVE_DELBAK_EML;
    case QVMDL_ERR_SAFESAVE_RESTOREBAK: return QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_EML;
    case QVMDL_ERR_SAFESAVE_DELTMP: return QVMDL_ERR_STG_SAFESAVE_DELTMP_EML;
    case QVMDL_ERR_SAFESAVE_MOVETMP: return QVMDL_ERR_STG_SAFESAVE_MOVETMP_EML;
    case QVMDL_ERR_SAFESAVE_NOFILE: return QVMDL_ERR_STG_SAFESAVE_NOFILE_EML;
    default: return code;
  }
}

uint64_t RoundUp8K(uint64_t size) { return (size + 8191) / 8192 * 8192; }

// The copy replaces the file in one step, so the file is whole, old or new,
// whatever happens; a copy left over is dropped. A failed commit has always
// been reported with the folder list's code.
uint32_t ReplaceWithCopy(const std::wstring& temp, const std::wstring& path, DWORD flags) {
  const auto replace = [&] { return MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | flags); };
  if (RetryWhileBusy(replace, kMoveRetryLine)) return QVMDL_SUCCESS;
  DeleteFileW(temp.c_str());
  return QVMDL_ERR_STG_SAFESAVE_BACKUP_FLD;
}

// The raw text up to its first zero byte.
size_t TextLength(const std::string& raw) {
  size_t end = raw.find('\0');
  return end == std::string::npos ? raw.size() : end;
}

bool Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

bool WriteAllTo(HANDLE file, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written != chunk) return false;
    p += chunk;
    size -= chunk;
  }
  return true;
}

bool ReadAllFrom(HANDLE file, void* data, size_t size, size_t* got) {
  auto* p = static_cast<uint8_t*>(data);
  *got = 0;
  while (*got < size) {
    DWORD chunk = size - *got > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - *got);
    DWORD read = 0;
    if (!ReadFile(file, p + *got, chunk, &read, nullptr)) return false;
    if (read == 0) break;
    *got += read;
  }
  return true;
}

// Puts the given fields into a header block; `changed` and `flags` (unread
// or state changed) are set when a byte moved.
uint32_t ApplyHeaderFields(const Attr::Attributes& a, uint8_t* header, bool* changed, bool* flags) {
  uint32_t version = QvMessage::CheckFormat(header);
  if (version < 4096) return QVMDL_ERR_STG_FILE_FMTILLGL_EML;
  // Each newer version's field must be given to upgrade the file.
  if ((version < 4097 && !(a.mask & Attr::kKind)) || (version < 4098 && !(a.mask & Attr::kAttachmentsDeleted))) {
    return QVMDL_ERR_STG_EML_OLD_VERSION;
  }
  if (version != QvMessage::kCurrentVersion) {
    QvLittleEndian::Put32(header + kOffVersion, QvMessage::kCurrentVersion);
    *changed = true;
  }
  auto setByte = [&](size_t offset, uint8_t value) {
    if (header[offset] != value) {
      header[offset] = value;
      *changed = true;
      return true;
    }
    return false;
  };
  for (const ByteField& f : kFlagBytes) {
    if (!(a.mask & f.bit)) continue;
    if (setByte(f.offset, a.*f.member) && (f.bit == Attr::kUnread || f.bit == Attr::kState)) *flags = true;
  }
  if (a.mask & Attr::kDate) {
    uint8_t date[16];
    QvLittleEndian::PutTime(date, a.date);
    if (memcmp(header + kOffDate, date, sizeof date) != 0) {
      memcpy(header + kOffDate, date, sizeof date);
      *changed = true;
    }
  }
  if (a.mask & Attr::kUidl) {
    uint8_t uidl[QvMessage::kUidlBytes] = {};
    size_t length = strnlen(a.uidl.c_str(), a.uidl.size());
    memcpy(uidl, a.uidl.data(), length < QvMessage::kUidlBytes ? length : QvMessage::kUidlBytes);
    if (memcmp(header + kOffUidl, uidl, QvMessage::kUidlBytes) != 0) {
      memcpy(header + kOffUidl, uidl, QvMessage::kUidlBytes);
      *changed = true;
    }
  }
  if ((a.mask & Attr::kKind) && QvLittleEndian::Get32(header + kOffKind) != a.kind) {
    QvLittleEndian::Put32(header + kOffKind, a.kind);
    *changed = true;
  }
  if (a.mask & Attr::kAttachmentsDeleted) setByte(kOffAttachmentsDeleted, a.attachmentsDeleted);
  if (a.mask & Attr::kIsHtml) setByte(kOffIsHtml, a.isHtml);
  return QVMDL_SUCCESS;
}

}  // namespace

QvMessage::QvMessage(uint32_t messageId, QvMessageOwner* owner, const std::wstring& path)
    : owner_(owner), messageId_(messageId), path_(path), mutex_(L"QvMessage Mutex") {}

uint32_t QvMessage::CheckFormat(const uint8_t* header) {
  if (memcmp(header, kMagic, sizeof kMagic) != 0) return kBadFormat;
  uint32_t version = QvLittleEndian::Get32(header + kOffVersion);
  for (uint32_t accepted : kVersions) {
    if (version == accepted) return version;
  }
  return kBadFormat;
}

bool QvMessage::HasMagic(const uint8_t* header) { return memcmp(header, kMagic, sizeof kMagic) == 0; }

bool QvMessage::IsUnfinished(const uint8_t* header) {
  return header[0] == 0 && memcmp(header + 1, kMagic + 1, sizeof kMagic - 1) == 0;
}

void QvMessage::FreshHeader(uint8_t* header) {
  memset(header, 0, kHeaderBytes);
  memcpy(header, kMagic, sizeof kMagic);
  QvLittleEndian::Put32(header + kOffVersion, kCurrentVersion);
  SYSTEMTIME now{};
  GetSystemTime(&now);
  QvLittleEndian::PutTime(header + kOffDate, now);
}

bool QvMessage::HasRoomFor(const std::wstring& path, uint64_t needed) {
  size_t cut = path.rfind(L'\\');
  std::wstring directory = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(directory.empty() ? nullptr : directory.c_str(), &available, &total, &totalFree)) {
    return false;
  }
  return available.QuadPart >= needed + kReserveBytes;
}

uint32_t QvMessage::Prepare() {
  uint32_t code = RestoreInterruptedFile(path_, TempPath());
  return code == QVMDL_SUCCESS ? code : MapPrepare(code);
}

uint32_t QvMessage::Commit() {
  // The synced copy replaces the file in one step, so the file is the old one
  // or the new one at every moment and no backup is needed; the call returns
  // once the new name is on disk too, which makes the message's store whole.
  return ReplaceWithCopy(TempPath(), path_, MOVEFILE_WRITE_THROUGH);
}

uint32_t QvMessage::OpenStored(HANDLE* file, DWORD* size) { return OpenStoredAt(path_, file, size, true); }

uint32_t QvMessage::OpenStoredAt(const std::wstring& path, HANDLE* file, DWORD* size, bool settleFirst) {
  const auto open = [&] {
    *file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    return *file != INVALID_HANDLE_VALUE;
  };
  // A stored file that opens is whole (a replace swaps it in one step), so
  // a reader in a hurry settles only a message whose file is missing; the
  // debris beside a whole file is left to the message's next own open.
  if (settleFirst || !open()) {
    uint32_t code = RestoreInterruptedFile(path, path + L"_tmp");
    if (code != QVMDL_SUCCESS) return MapPrepare(code);
    if (!open()) return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
  }
  *size = GetFileSize(*file, nullptr);
  if (*size == INVALID_FILE_SIZE || *size < kHeaderBytes) return QVMDL_ERR_STG_FILE_FMTILLGL_EML;
  return QVMDL_SUCCESS;
}

uint32_t QvMessage::ReadHeader(uint8_t* header, uint32_t* fileSize) {
  return ReadHeaderAt(path_, header, fileSize, true);
}

uint32_t QvMessage::ReadHeaderAt(const std::wstring& path, uint8_t* header, uint32_t* fileSize, bool settleFirst) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD size = 0;
  uint32_t code = OpenStoredAt(path, &handle, &size, settleFirst);
  qv::ScopedHandle file(handle);
  if (code != QVMDL_SUCCESS) return code;
  size_t got = 0;
  if (!ReadAllFrom(file.get(), header, kHeaderBytes, &got) || got != kHeaderBytes) {
    return QVMDL_ERR_STG_FILEIO_FILE_READ_EML;
  }
  *fileSize = size;
  return QVMDL_SUCCESS;
}

bool QvMessage::SeekToHead() {
  QvNamedMutex::Hold hold(mutex_);
  readPosition_ = kHeaderBytes;
  return true;
}

bool QvMessage::Read(std::string* out) {
  if (out == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = ReadRawLocked(out);
  return code == QVMDL_SUCCESS || Fail(code);
}

uint32_t QvMessage::ReadRawLocked(std::string* out) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD size = 0;
  uint32_t code = OpenStored(&handle, &size);
  qv::ScopedHandle file(handle);
  if (code != QVMDL_SUCCESS) return code;
  if (size < readPosition_) return QVMDL_ERR_STG_FILE_FMTILLGL_EML;
  std::string buffer;
  try {
    buffer.resize(size - readPosition_);
  } catch (const std::bad_alloc&) {
    return QVMDL_ERR_STG_NOT_ENOUGH_MEMORY;
  }
  if (SetFilePointer(file.get(), static_cast<LONG>(readPosition_), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    return QVMDL_ERR_STG_FILEIO_FILE_READ_EML;
  }
  size_t got = 0;
  if (!ReadAllFrom(file.get(), buffer.data(), buffer.size(), &got) || got != buffer.size()) {
    return QVMDL_ERR_STG_FILEIO_FILE_READ_EML;
  }
  readPosition_ += static_cast<uint32_t>(got);
  buffer.resize(TextLength(buffer));
  out->swap(buffer);
  return QVMDL_SUCCESS;
}

bool QvMessage::WriteRaw(const std::string& raw) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = WriteRawLocked(raw);
  return code == QVMDL_SUCCESS || Fail(code);
}

uint32_t QvMessage::WriteRawLocked(const std::string& raw) {
  const size_t length = TextLength(raw);
  if (!HasRoomFor(path_, RoundUp8K(length))) return QVMDL_ERR_STG_DISK_FULL;
  uint32_t code = Prepare();
  if (code != QVMDL_SUCCESS) return code;
  uint8_t header[kHeaderBytes];
  bool withoutText = true;
  {
    qv::ScopedHandle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.is_valid()) return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
    DWORD size = GetFileSize(file.get(), nullptr);
    withoutText = size == INVALID_FILE_SIZE || size <= kHeaderBytes;
    if (size != INVALID_FILE_SIZE && size >= kHeaderBytes) {
      size_t got = 0;
      if (!ReadAllFrom(file.get(), header, kHeaderBytes, &got) || got != kHeaderBytes) {
        return QVMDL_ERR_STG_FILE_FMTILLGL_EML;
      }
    } else {
      FreshHeader(header);
    }
  }
  RecordText(header, raw.data(), length);
  code = withoutText ? WriteFirstText(header, raw.data(), length) : ReplaceText(header, raw.data(), length);
  if (code != QVMDL_SUCCESS) return code;
  readPosition_ = kHeaderBytes;
  return QVMDL_SUCCESS;
}

// Text already stored is only ever replaced by a copy synced beforehand.
uint32_t QvMessage::ReplaceText(const uint8_t* header, const char* text, size_t length) {
  const std::wstring temp = TempPath();
  qv::ScopedHandle copy(CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy.is_valid()) return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
  if (!WriteAllTo(copy.get(), header, kHeaderBytes) || !WriteAllTo(copy.get(), text, length) ||
      !FlushFileBuffers(copy.get())) {
    const uint32_t code = QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML);
    copy.reset();
    DeleteFileW(temp.c_str());
    return code;
  }
  copy.reset();
  return Commit();
}

// A message without text has nothing to lose, so its text goes into the file
// where it stands: no second file is made and none deleted. The header's
// magic is cleared while the text is written, so that a file cut off in
// between is no message at all and the store's repair discards it. The one
// sync carries the text, the header and the file's new directory entry; a
// thread with deferred syncs has it run there and goes on at once.
uint32_t QvMessage::WriteFirstText(const uint8_t* header, const char* text, size_t length) {
  qv::ScopedHandle file = OpenInPlace();
  if (!file.is_valid()) return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
  const auto rewind = [&] { return SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER; };
  if (WriteWholeInPlace(&file, header, text, length)) return QVMDL_SUCCESS;
  const uint32_t code = QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML);
  // Back to the message without text it was.
  if (SetFilePointer(file.get(), kHeaderBytes, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
    SetEndOfFile(file.get());
  }
  if (rewind()) WriteAllTo(file.get(), header, kHeaderBytes);
  return code;
}

bool QvMessage::WriteWholeInPlace(qv::ScopedHandle* owned, const uint8_t* header, const char* text, size_t length) {
  const HANDLE file = owned->get();
  uint8_t unfinished[kHeaderBytes];
  memcpy(unfinished, kMagic, sizeof kMagic);
  memcpy(unfinished + sizeof kMagic, header + sizeof kMagic, kHeaderBytes - sizeof kMagic);
  unfinished[0] = 0;
  // A small mail goes with its unfinished header in one write.
  constexpr size_t kOneWrite = 64 * 1024;
  bool written = false;
  if (length <= kOneWrite) {
    std::string both;
    both.reserve(kHeaderBytes + length);
    both.append(reinterpret_cast<const char*>(unfinished), kHeaderBytes).append(text, length);
    written = WriteAllTo(file, both.data(), both.size());
  } else {
    written = WriteAllTo(file, unfinished, kHeaderBytes) && WriteAllTo(file, text, length);
  }
  return written && SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
         WriteAllTo(file, header, kHeaderBytes) && SyncFirstText(owned);
}

uint32_t QvMessage::ComposeNewText(const Attributes& attributes, const std::string& raw, NewText* out) {
  FreshHeader(out->header);
  bool changed = false, flags = false;
  const uint32_t code = ApplyHeaderFields(attributes, out->header, &changed, &flags);
  if (code != QVMDL_SUCCESS) return code;
  out->text = raw.data();
  out->length = TextLength(raw);
  RecordText(out->header, out->text, out->length);
  out->unread = out->header[kOffUnread];
  out->state = out->header[kOffState];
  out->attributes = &attributes;
  return QVMDL_SUCCESS;
}

void QvMessage::RecordFolder(uint8_t* header, uint32_t folderId) {
  QvLittleEndian::Put32(header + kOffFolder, folderId);
  header[kOffRecorded] |= kRecordedFolder;
}

void QvMessage::RecordText(uint8_t* header, const char* text, size_t length) {
  if (length > 0xFFFFFFFFu) {
    header[kOffRecorded] &= static_cast<uint8_t>(~kRecordedText);
    return;
  }
  QvLittleEndian::Put32(header + kOffTextLength, static_cast<uint32_t>(length));
  const uint64_t digest = TextDigest(text, length);
  QvLittleEndian::Put32(header + kOffTextDigest, static_cast<uint32_t>(digest));
  QvLittleEndian::Put32(header + kOffTextDigest + 4, static_cast<uint32_t>(digest >> 32));
  header[kOffRecorded] |= kRecordedText;
}

// Eight bytes a step, each mixed in by a multiply: cheap beside the write of
// the text, and any block a cut left unwritten shows.
uint64_t QvMessage::TextDigest(const char* text, size_t length) {
  uint64_t hash = 0x9E3779B97F4A7C15ull ^ length;
  for (size_t at = 0; at < length; at += 8) {
    uint64_t word = 0;
    memcpy(&word, text + at, length - at < 8 ? length - at : 8);
    hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 32;
  }
  hash ^= hash >> 33;
  hash *= 0xC4CEB9FE1A85EC53ull;
  hash ^= hash >> 33;
  return hash;
}

QvMessage::Stored QvMessage::CheckStored(const std::wstring& path, uint32_t* folderId) {
  qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Stored::kUnreadable;
  uint8_t header[kHeaderBytes];
  size_t got = 0;
  if (!ReadAllFrom(file.get(), header, kHeaderBytes, &got) || got != kHeaderBytes) return Stored::kTorn;
  if (CheckFormat(header) == kBadFormat) return IsUnfinished(header) ? Stored::kTorn : Stored::kUnreadable;
  const uint8_t recorded = header[kOffRecorded];
  if ((recorded & kRecordedText) == 0 || (recorded & kRecordedFolder) == 0) return Stored::kUnrecorded;
  const uint32_t length = QvLittleEndian::Get32(header + kOffTextLength);
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size != kHeaderBytes + static_cast<uint64_t>(length)) return Stored::kTorn;
  std::string text;
  try {
    text.resize(length);
  } catch (const std::bad_alloc&) {
    return Stored::kUnreadable;
  }
  if (!ReadAllFrom(file.get(), text.data(), length, &got) || got != length) return Stored::kTorn;
  const uint64_t digest = QvLittleEndian::Get32(header + kOffTextDigest) |
                          static_cast<uint64_t>(QvLittleEndian::Get32(header + kOffTextDigest + 4)) << 32;
  if (TextDigest(text.data(), length) != digest) return Stored::kTorn;
  *folderId = QvLittleEndian::Get32(header + kOffFolder);
  return Stored::kWhole;
}

void QvMessage::ApplyListFields(const Attributes& a, QvFolderInterface::FolderMsgHeader* record) {
  if (a.mask & Attr::kListText1) QvMessageHeader::FillLongText(record->toAddress, a.listText1);
  if (a.mask & Attr::kListText2) QvMessageHeader::FillLongText(record->fromAddress, a.listText2);
  if (a.mask & Attr::kListShort1) QvMessageHeader::FillShortText(record->fromName, a.listShort1);
  if (a.mask & Attr::kListShort2) QvMessageHeader::FillShortText(record->subject, a.listShort2);
  if (a.mask & Attr::kListTime) record->date = a.listTime;
}

bool QvMessage::SyncFirstText(qv::ScopedHandle* file) {
  // The writer's own handle goes to the sync, its share claim dropped: no
  // second handle is made and none closed here.
  if (QvDeferredSync* later = QvDeferredSync::OnThisThread()) {
    if (qv::KeepOnlyForFlush(file->get())) {
      later->Submit(file->release());
      return true;
    }
  }
  return FlushFileBuffers(file->get()) != FALSE;
}

qv::ScopedHandle QvMessage::OpenInPlace() {
  qv::ScopedHandle file;
  RetryWhileBusy(
      [&] {
        file.reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.is_valid() ? TRUE : FALSE;
      },
      kMoveRetryLine);
  return file;
}

bool QvMessage::GetAttributes(Attributes* attributes) {
  if (attributes == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  bool older = false;
  if (attributes->mask & Attr::kHeaderFields) {
    QvNamedMutex::Hold hold(mutex_);
    uint32_t code = GetHeaderFields(attributes, &older);
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  // The folder's record is read without the message's mutex held: the folder
  // side takes its own locks, some of which are held while messages are read.
  if (attributes->mask & Attr::kListFields) {
    uint32_t code = GetListFields(attributes);
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  // An older file has every asked field filled, defaults included, and says so.
  return !older || Fail(QVMDL_ERR_STG_EML_OLD_VERSION);
}

uint32_t QvMessage::GetHeaderFields(Attributes* a, bool* older) {
  uint8_t header[kHeaderBytes];
  uint32_t fileSize = 0;
  uint32_t code = ReadHeader(header, &fileSize);
  return code == QVMDL_SUCCESS ? DecodeHeaderFields(header, fileSize, a, older) : code;
}

uint32_t QvMessage::ReadHeaderFieldsAt(const std::wstring& path, Attributes* a, bool* older) {
  uint8_t header[kHeaderBytes];
  uint32_t fileSize = 0;
  uint32_t code = ReadHeaderAt(path, header, &fileSize, false);
  return code == QVMDL_SUCCESS ? DecodeHeaderFields(header, fileSize, a, older) : code;
}

uint32_t QvMessage::DecodeHeaderFields(const uint8_t* header, uint32_t fileSize, Attributes* a, bool* older) {
  uint32_t version = CheckFormat(header);
  if (version < 4096) return QVMDL_ERR_STG_FILE_VERSION_EML;
  a->size = fileSize - kHeaderBytes;
  a->defaultedMask = 0;
  const uint32_t mask = a->mask;
  for (const ByteField& f : kFlagBytes) {
    if (mask & f.bit) a->*f.member = header[f.offset];
  }
  if (mask & Attr::kDate) a->date = QvLittleEndian::GetTime(header + kOffDate);
  if (mask & Attr::kUidl) {
    const char* uidl = reinterpret_cast<const char*>(header + kOffUidl);
    a->uidl.assign(uidl, strnlen(uidl, kUidlBytes));
  }
  if (mask & Attr::kIsHtml) a->isHtml = header[kOffIsHtml];
  if (version < 4098) {
    // Files before 4098 report the kind of older files and no stripping.
    a->defaultedMask |= Attr::kKind | Attr::kAttachmentsDeleted;
    a->kind = Attr::kOlderFile;
    a->attachmentsDeleted = 0;
    *older = true;
  } else {
    if (mask & Attr::kKind) a->kind = QvLittleEndian::Get32(header + kOffKind);
    if (mask & Attr::kAttachmentsDeleted) a->attachmentsDeleted = header[kOffAttachmentsDeleted];
  }
  return QVMDL_SUCCESS;
}

uint32_t QvMessage::GetListFields(Attributes* a) {
  if (owner_ == nullptr) return QVMDL_ERR_STG_NULL_ARGUMENT;
  QvFolderInterface::FolderMsgHeader record{};
  record.id = messageId_;
  if (!owner_->ReadHeaderRecord(&record)) return GetQvMiddleError();
  if (a->mask & Attr::kListText1) a->listText1.assign(record.toAddress, wcsnlen(record.toAddress, 257));
  if (a->mask & Attr::kListText2) a->listText2.assign(record.fromAddress, wcsnlen(record.fromAddress, 257));
  if (a->mask & Attr::kListShort1) a->listShort1.assign(record.fromName, wcsnlen(record.fromName, 32));
  if (a->mask & Attr::kListShort2) a->listShort2.assign(record.subject, wcsnlen(record.subject, 32));
  if (a->mask & Attr::kListTime) a->listTime = record.date;
  return QVMDL_SUCCESS;
}

bool QvMessage::SetAttributes(const Attributes& attributes) { return SetAttributesWith(attributes, true); }

bool QvMessage::MarkInPlace(uint8_t state, const std::string& uidl) {
  Attributes a;
  a.mask = Attr::kState | Attr::kUidl;
  a.state = state;
  a.uidl = uidl;
  return SetAttributesWith(a, false);
}

bool QvMessage::SetAttributesWith(const Attributes& attributes, bool reserve) {
  bool flagsChanged = false;
  uint8_t unread = 0, state = 0;
  {
    QvNamedMutex::Hold hold(mutex_);
    uint32_t code = SetHeaderFields(attributes, reserve, &flagsChanged, &unread, &state);
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  // The folder's entry line and record are changed without the message's
  // mutex held, for the same reason as in GetAttributes.
  if (flagsChanged && (owner_ == nullptr || !owner_->UpdateEntryLine(messageId_, unread, state))) {
    return owner_ == nullptr ? Fail(QVMDL_ERR_STG_NULL_ARGUMENT) : false;
  }
  if (attributes.mask & Attr::kListFields) {
    uint32_t code = SetListFields(attributes);
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  return true;
}

uint32_t QvMessage::SetHeaderFields(const Attributes& a, bool reserve, bool* flagsChanged, uint8_t* unread,
                                    uint8_t* state) {
  // Settled first, so that a file whose last save was interrupted is measured
  // and rewritten as its committed state, not reported as a full disk.
  uint32_t code = Prepare();
  if (code != QVMDL_SUCCESS && !(code == QVMDL_ERR_STG_SAFESAVE_NOFILE_EML && !(a.mask & Attr::kHeaderFields))) {
    return code;
  }
  // The header block is the file's first 256 bytes, inside its first sector:
  // it is rewritten in place, never torn by a cut, and the text after it is
  // not copied for a change of a flag. The handle that writes it measures
  // the file too.
  uint64_t currentSize = 0;
  qv::ScopedHandle file;
  if (code == QVMDL_SUCCESS) {
    if (a.mask & Attr::kHeaderFields) {
      file = OpenInPlace();
      if (!file.is_valid()) return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML);
    } else {
      file.reset(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    DWORD size = file.is_valid() ? GetFileSize(file.get(), nullptr) : INVALID_FILE_SIZE;
    if (size == INVALID_FILE_SIZE) return QVMDL_ERR_STG_DISK_FULL;
    currentSize = size;
  }
  if (reserve && !HasRoomFor(path_, currentSize)) return QVMDL_ERR_STG_DISK_FULL;
  if (!(a.mask & Attr::kHeaderFields)) return QVMDL_SUCCESS;

  uint8_t header[kHeaderBytes];
  size_t got = 0;
  if (!ReadAllFrom(file.get(), header, kHeaderBytes, &got)) return QVMDL_ERR_STG_FILEIO_FILE_READ_EML;
  bool changed = false;
  if (got < kHeaderBytes) {
    // Only an empty file given every header field may start afresh.
    if (got != 0 || (a.mask & Attr::kHeaderFields) != Attr::kHeaderFields) return QVMDL_ERR_STG_FILE_FMTILLGL_EML;
    memset(header, 0, kHeaderBytes);
    memcpy(header, kMagic, sizeof kMagic);
    QvLittleEndian::Put32(header + kOffVersion, kCurrentVersion);
    changed = true;
  }
  bool flags = false;
  code = ApplyHeaderFields(a, header, &changed, &flags);
  if (code != QVMDL_SUCCESS || !changed) return code;
  // A file without text is no mail yet: its first write syncs header and
  // text together, and one cut off before that is discarded when the store
  // opens. A stored mail's new header is on the disk before the call returns.
  const bool holdsText = currentSize > kHeaderBytes;
  if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !WriteAllTo(file.get(), header, kHeaderBytes) || (holdsText && !FlushFileBuffers(file.get()))) {
    return QvStoreFile::FailureCode(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML);
  }
  *flagsChanged = flags;
  *unread = header[kOffUnread];
  *state = header[kOffState];
  return QVMDL_SUCCESS;
}

uint32_t QvMessage::SetListFields(const Attributes& a) {
  if (owner_ == nullptr) return QVMDL_ERR_STG_NULL_ARGUMENT;
  const auto change = [&a](QvFolderInterface::FolderMsgHeader* updated) { ApplyListFields(a, updated); };
  return owner_->UpdateHeaderRecord(messageId_, change) ? QVMDL_SUCCESS : GetQvMiddleError();
}

bool QvMessage::WriteEmail(Email* mail) {
  if (mail == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  EmlCompose composer;
  std::string raw;
  if (!composer.Encode(mail, &raw)) return false;
  if (!HasRoomFor(path_, RoundUp8K(TextLength(raw)))) return Fail(QVMDL_ERR_STG_DISK_FULL);

  const SYSTEMTIME date = QvMessageFields::LocalTimeToSystemTime(mail->date);
  Attributes a;
  a.mask = Attr::kHeaderFields;
  a.hasAttachments = mail->attachments.empty() ? 0 : 1;
  a.kind = Attr::kComposed;
  a.isHtml = mail->htmlBody.empty() ? 0 : 1;
  a.date = date;
  if (!SetAttributes(a) || !WriteRaw(raw)) return false;

  if (owner_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvFolderInterface::FolderMsgHeader record{};
  record.id = messageId_;
  if (!mail->to.empty()) {
    std::wstring field = mail->to.front(), address, name;
    composer.ParseAddress(field, &address, &name);
    QvMessageHeader::FillLongText(record.toAddress, name);
  }
  QvMessageHeader::FillLongText(record.fromAddress, mail->fromAddress);
  QvMessageHeader::FillShortText(record.fromName, mail->fromName);
  QvMessageHeader::FillShortText(record.subject, mail->subject);
  record.date = date;
  return owner_->WriteHeaderRecord(record);
}

bool QvMessage::DeleteAttachments() {
  Attributes a;
  a.mask = Attr::kHasAttachments | Attr::kState;
  if (!GetAttributes(&a)) return false;
  if (a.hasAttachments == 0 || a.state == 1) return Fail(QVMDL_ERR_STG_NO_ATTACHMENT);
  std::string raw, stripped;
  {
    QvNamedMutex::Hold hold(mutex_);
    readPosition_ = kHeaderBytes;
    uint32_t code = ReadRawLocked(&raw);
    if (code != QVMDL_SUCCESS) return Fail(code);
  }
  EmlCompose composer;
  if (!composer.DeleteEnclosureFromRawData(&raw, &stripped)) return false;
  if (!WriteRaw(stripped)) return false;
  Attributes done;
  done.mask = Attr::kHasAttachments | Attr::kAttachmentsDeleted;
  done.hasAttachments = 0;
  done.attachmentsDeleted = 1;
  return SetAttributes(done);
}
