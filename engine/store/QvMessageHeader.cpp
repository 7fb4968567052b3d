#include "engine/store/QvMessageHeader.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "engine/foundation/QvLittleEndian.h"
#include "engine/foundation/QvLocalTime.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvStoreBatch.h"
#include "engine/store/QvStoreFile.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Time.h"

namespace {

constexpr size_t kToOffset = 4;
constexpr size_t kFromOffset = 518;
constexpr size_t kNameOffset = 1032;
constexpr size_t kSubjectOffset = 1096;
constexpr size_t kDateOffset = 1160;
constexpr size_t kReservedOffset = 1176;
constexpr size_t kLongUnits = 257;
constexpr size_t kShortUnits = 32;
constexpr uint32_t kLargestId = 0xFFFF;
constexpr wchar_t kEllipsis = 0x2026;
// Room a store batch keeps measured beyond what its next message needs:
// below it the volume is measured again for each message.
constexpr uint64_t kRoomMargin = uint64_t{64} << 20;

// A text field: UTF-16LE, at most units - 1 units, NUL-terminated, zero-padded.
void PutText(uint8_t* p, size_t units, const wchar_t* text, size_t capacity) {
  std::memset(p, 0, units * 2);
  std::u16string u = qv::WideToUtf16(qv::TruncateUtf16(std::wstring_view(text, wcsnlen(text, capacity)), units - 1));
  for (size_t i = 0; i < u.size(); ++i) QvLittleEndian::Put16(p + 2 * i, u[i]);
}

// Reads up to the first NUL; a field without one yields its first units - 1.
template <size_t N>
void GetText(const uint8_t* p, size_t units, wchar_t (&out)[N]) {
  std::u16string u;
  for (size_t i = 0; i + 1 < units; ++i) {
    char16_t c = QvLittleEndian::Get16(p + 2 * i);
    if (c == 0) break;
    u.push_back(c);
  }
  std::wstring w = qv::Utf16ToWide(u);
  size_t n = std::min(w.size(), N - 1);
  std::wmemcpy(out, w.data(), n);
  std::fill(out + n, out + N, L'\0');
}

template <size_t N>
void CopyText(wchar_t (&field)[N], const std::wstring& text) {
  size_t n = std::min(text.size(), N - 1);
  std::wmemcpy(field, text.data(), n);
  std::fill(field + n, field + N, L'\0');
}

long FileSize(FILE* stream) {
  if (fseek(stream, 0, SEEK_END) != 0) return -1;
  return ftell(stream);
}

bool ReadAt(FILE* stream, long offset, void* buffer, size_t size) {
  return fseek(stream, offset, SEEK_SET) == 0 && fread(buffer, 1, size, stream) == size;
}

bool WriteAt(FILE* stream, long offset, const void* data, size_t size) {
  return fseek(stream, offset, SEEK_SET) == 0 && QvStoreFile::WriteAll(stream, data, size);
}

long RecordOffset(uint32_t slot) {
  return static_cast<long>(QvMessageHeader::kIndexBytes + QvMessageHeader::kRecordBytes * slot);
}

const QvStoreFileCodes& Codes() { return QvStoreFile::kHeaderFile; }

}  // namespace

QvMessageHeader::QvMessageHeader() : mutex_(L"QvMessageHeader Mutex") {
  std::fill(std::begin(index_), std::end(index_), kUnusedSlot);
}

void QvMessageHeader::EncodeRecord(const Record& record, uint8_t* out) {
  QvLittleEndian::Put32(out, record.id);
  PutText(out + kToOffset, kLongUnits, record.toAddress, std::size(record.toAddress));
  PutText(out + kFromOffset, kLongUnits, record.fromAddress, std::size(record.fromAddress));
  PutText(out + kNameOffset, kShortUnits, record.fromName, std::size(record.fromName));
  PutText(out + kSubjectOffset, kShortUnits, record.subject, std::size(record.subject));
  QvLittleEndian::PutTime(out + kDateOffset, record.date);
  QvLittleEndian::Put32(out + kReservedOffset, record.reserved);
}

void QvMessageHeader::DecodeRecord(const uint8_t* in, Record* record) {
  record->id = QvLittleEndian::Get32(in);
  GetText(in + kToOffset, kLongUnits, record->toAddress);
  GetText(in + kFromOffset, kLongUnits, record->fromAddress);
  GetText(in + kNameOffset, kShortUnits, record->fromName);
  GetText(in + kSubjectOffset, kShortUnits, record->subject);
  record->date = QvLittleEndian::GetTime(in + kDateOffset);
  record->reserved = QvLittleEndian::Get32(in + kReservedOffset);
}

void QvMessageHeader::FillLongText(wchar_t (&field)[257], std::wstring_view text) {
  CopyText(field, qv::TruncateUtf16(text, 256));
}

void QvMessageHeader::FillShortText(wchar_t (&field)[32], std::wstring_view text) {
  if (qv::Utf16Length(text) <= 30) {
    CopyText(field, std::wstring(text));
  } else {
    CopyText(field, qv::TruncateUtf16(text, 30) + kEllipsis);
  }
}

void QvMessageHeader::ClearInvalidDate(SYSTEMTIME* d) {
  bool valid = d->wYear >= 1901 && d->wYear <= 2099 && d->wMonth >= 1 && d->wMonth <= 12 && d->wDayOfWeek <= 6 &&
               d->wDay >= 1 && d->wDay <= 31 && d->wHour <= 23 && d->wMinute <= 59 && d->wSecond <= 59;
  if (!valid) *d = SYSTEMTIME{0, 0, 0, 0, 0, 0, 0, d->wMilliseconds};
}

bool QvMessageHeader::Fail(uint32_t code) {
  if (code == QVMDL_SUCCESS) return true;
  SetQvMiddleError(code);
  return false;
}

uint32_t QvMessageHeader::FindSlot(uint32_t id) const {
  for (uint32_t i = 0; i < used_; ++i) {
    if (index_[i] == id) return i;
  }
  return kSlots;
}

uint32_t QvMessageHeader::ReadIndex() {
  qv::ScopedFile stream(_wfopen(path_.c_str(), L"rb"));
  if (stream.get() == nullptr) return QvStoreFile::FailureCode(Codes().open);
  uint8_t raw[kIndexBytes];
  if (fread(raw, 1, kIndexBytes, stream.get()) != kIndexBytes) return Codes().read;
  long size = FileSize(stream.get());
  used_ = kSlots;
  deleted_ = 0;
  bool foreign = false;
  for (uint32_t i = 0; i < kSlots; ++i) {
    uint32_t slot = QvLittleEndian::Get32(raw + 4 * i);
    if (used_ == kSlots && slot == kUnusedSlot) used_ = i;
    if (used_ != kSlots) {
      index_[i] = kUnusedSlot;
      continue;
    }
    index_[i] = slot;
    if (slot == kDeletedSlot) {
      ++deleted_;
    } else if (slot > kLargestId) {
      foreign = true;  // no id of ours: the index is damaged
    }
  }
  if (foreign || size < RecordOffset(used_)) return Codes().format;
  trusted_ = QvStoreBatch::Current();
  return QVMDL_SUCCESS;
}

uint32_t QvMessageHeader::Reload() {
  if (trusted_ != 0 && trusted_ == QvStoreBatch::Current()) return QVMDL_SUCCESS;
  // A mark run holds the mutex since it read the index: only its own marks
  // changed the file.
  if (marking_) return QVMDL_SUCCESS;
  trusted_ = 0;
  uint32_t code = QvStoreFile::SettleForRead(path_, Codes());
  return code == QVMDL_SUCCESS ? ReadIndex() : code;
}

uint32_t QvMessageHeader::Open(const std::wstring& path) {
  QvNamedMutex::Hold hold(mutex_);
  path_ = path;
  trusted_ = 0;
  size_t cut = path.rfind(L'\\');
  directory_ = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
  used_ = 0;
  deleted_ = 0;
  return Reload();
}

// The mutex stays held so that no other process replaces the file while it
// is open here; a file left to settle is settled before it is opened.
QvMessageHeader::MarkRun::MarkRun(QvMessageHeader* header) : header_(header), hold_(header->mutex_) {
  if (header_->markRuns_++ == 0 && header_->Reload() == QVMDL_SUCCESS) {
    header_->marking_.reset(CreateFileW(header_->path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
}

QvMessageHeader::MarkRun::~MarkRun() {
  if (--header_->markRuns_ == 0) header_->marking_.reset();
}

uint32_t QvMessageHeader::WriteIndexAt(uint32_t firstSlot, uint32_t slots) {
  uint8_t raw[kIndexBytes];
  for (uint32_t i = 0; i < slots; ++i) QvLittleEndian::Put32(raw + 4 * i, index_[firstSlot + i]);
  bool written = false;
  if (marking_) {
    DWORD wrote = 0;
    written = SetFilePointer(marking_.get(), static_cast<LONG>(4 * firstSlot), nullptr, FILE_BEGIN) !=
                  INVALID_SET_FILE_POINTER &&
              WriteFile(marking_.get(), raw, 4 * slots, &wrote, nullptr) && wrote == 4 * slots;
  } else {
    qv::ScopedFile stream(_wfopen(path_.c_str(), L"r+b"));
    if (stream.get() == nullptr) return QvStoreFile::FailureCode(Codes().open);
    written = WriteAt(stream.get(), static_cast<long>(4 * firstSlot), raw, 4 * slots) && qv::CloseWritten(stream);
  }
  if (!written) {
    trusted_ = 0;
    marking_.reset();  // the index is read again before the next mark
    return QvStoreFile::FailureCode(Codes().write);
  }
  return QVMDL_SUCCESS;
}

uint32_t QvMessageHeader::AppendLocked(const Record& record) {
  if (record.id > kLargestId) return Codes().write;
  uint32_t code = Reload();
  if (code != QVMDL_SUCCESS) return code;
  if (used_ == kSlots && deleted_ != 0) {
    // Slots held only by deleted records are won back before refusing.
    code = CompactLocked();
    if (code != QVMDL_SUCCESS) return code;
  }
  if (used_ == kSlots) return QVMDL_ERR_STG_HEADER_FULL;
  uint8_t raw[kRecordBytes];
  EncodeRecord(record, raw);
  // The record goes to the place its slot names, past any record a torn
  // append left behind; its slot follows only once the record is written.
  // The rest of the index on disk is the one just read.
  if (HANDLE kept = static_cast<HANDLE>(QvStoreBatch::KeptFile(path_))) {
    // Under a store batch: the file open from one message to the next.
    const auto writeAt = [kept](long offset, const void* data, DWORD size) {
      DWORD written = 0;
      return SetFilePointer(kept, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
             WriteFile(kept, data, size, &written, nullptr) && written == size;
    };
    if (!writeAt(RecordOffset(used_), raw, kRecordBytes)) return QvStoreFile::FailureCode(Codes().write);
    index_[used_] = record.id;
    uint8_t slot[4];
    QvLittleEndian::Put32(slot, record.id);
    const bool indexed = writeAt(static_cast<long>(4 * used_), slot, sizeof slot);
    ++used_;
    return indexed ? QVMDL_SUCCESS : QvStoreFile::FailureCode(Codes().write);
  }
  qv::ScopedFile stream(_wfopen(path_.c_str(), L"r+b"));
  if (stream.get() == nullptr) return QvStoreFile::FailureCode(Codes().open);
  if (!WriteAt(stream.get(), RecordOffset(used_), raw, kRecordBytes)) return QvStoreFile::FailureCode(Codes().write);
  index_[used_] = record.id;
  uint8_t slot[4];
  QvLittleEndian::Put32(slot, record.id);
  bool indexed = WriteAt(stream.get(), static_cast<long>(4 * used_), slot, sizeof slot);
  ++used_;  // the slot stays taken in memory even when the index write failed
  if (!indexed || !qv::CloseWritten(stream)) return QvStoreFile::FailureCode(Codes().write);
  return QVMDL_SUCCESS;
}

bool QvMessageHeader::Append(const Record& record) {
  QvNamedMutex::Hold hold(mutex_);
  const uint32_t code = AppendLocked(record);
  if (code != QVMDL_SUCCESS) trusted_ = 0;  // the file is read again
  return Fail(code);
}

uint32_t QvMessageHeader::OpenRecord(uint32_t id, const wchar_t* mode, uint32_t* slot, qv::ScopedFile* stream) {
  uint32_t code = Reload();
  if (code != QVMDL_SUCCESS) return code;
  *slot = FindSlot(id);
  if (*slot == kSlots) return QVMDL_ERR_STG_HEADER_NOT_FOUND;
  stream->reset(_wfopen(path_.c_str(), mode));
  return stream->get() != nullptr ? QVMDL_SUCCESS : QvStoreFile::FailureCode(Codes().open);
}

bool QvMessageHeader::ReadRecord(Record* record) {
  if (record == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvNamedMutex::Hold hold(mutex_);
  uint32_t slot = 0;
  qv::ScopedFile stream;
  uint32_t code = OpenRecord(record->id, L"rb", &slot, &stream);
  if (code != QVMDL_SUCCESS) return Fail(code);
  uint8_t raw[kRecordBytes];
  if (!ReadAt(stream.get(), RecordOffset(slot), raw, kRecordBytes)) return Fail(Codes().read);
  Record read;
  DecodeRecord(raw, &read);
  if (read.id != record->id) return Fail(Codes().format);
  *record = read;
  return true;
}

bool QvMessageHeader::WriteRecord(const Record& record) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t slot = 0;
  qv::ScopedFile stream;
  uint32_t code = OpenRecord(record.id, L"r+b", &slot, &stream);
  if (code != QVMDL_SUCCESS) return Fail(code);
  uint8_t raw[kRecordBytes];
  EncodeRecord(record, raw);
  if (!WriteAt(stream.get(), RecordOffset(slot), raw, kRecordBytes) || !qv::CloseWritten(stream)) {
    return Fail(QvStoreFile::FailureCode(Codes().write));
  }
  return true;
}

bool QvMessageHeader::UpdateRecord(uint32_t id, const std::function<void(Record*)>& change) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t slot = 0;
  qv::ScopedFile stream;
  uint32_t code = OpenRecord(id, L"r+b", &slot, &stream);
  if (code != QVMDL_SUCCESS) return Fail(code);
  uint8_t raw[kRecordBytes];
  if (!ReadAt(stream.get(), RecordOffset(slot), raw, kRecordBytes)) return Fail(Codes().read);
  Record record;
  DecodeRecord(raw, &record);
  if (record.id != id) return Fail(Codes().format);
  const Record before = record;
  change(&record);
  record.id = id;
  if (memcmp(&record, &before, sizeof record) == 0) return true;
  EncodeRecord(record, raw);
  if (!WriteAt(stream.get(), RecordOffset(slot), raw, kRecordBytes) || !qv::CloseWritten(stream)) {
    return Fail(QvStoreFile::FailureCode(Codes().write));
  }
  return true;
}

bool QvMessageHeader::MarkDeleted(uint32_t id) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Reload();
  if (code != QVMDL_SUCCESS) return Fail(code);
  uint32_t slot = FindSlot(id);
  if (slot == kSlots) return Fail(QVMDL_ERR_STG_HEADER_NOT_FOUND);
  index_[slot] = kDeletedSlot;
  ++deleted_;
  // The mark goes to the file at once: another process re-reads the index
  // before each operation and would otherwise bring the record back.
  return Fail(WriteIndexAt(slot, 1));
}

uint32_t QvMessageHeader::LoadLocked(Record* records, uint32_t count) {
  uint32_t code = Reload();
  if (code != QVMDL_SUCCESS) return code;
  if (count > used_) return Codes().format;
  uint32_t live = Live();
  if (live > count) return QVMDL_ERR_STG_HEADER_TOO_MANY;
  if (live < count) return Codes().format;
  // Read a block of slots at a time and decoded straight into the caller's
  // records: a full folder's file and a second copy of its records would
  // cost megabytes of fresh pages each open.
  constexpr uint32_t kBlockSlots = 32;
  std::vector<uint8_t> data(static_cast<size_t>(kRecordBytes) * kBlockSlots);
  qv::ScopedFile stream(_wfopen(path_.c_str(), L"rb"));
  if (stream.get() == nullptr) return QvStoreFile::FailureCode(Codes().open);
  const int64_t offset = QvLocalTime::OffsetNow();
  uint32_t n = 0;
  for (uint32_t first = 0; first < used_; first += kBlockSlots) {
    const uint32_t slots = std::min(kBlockSlots, used_ - first);
    if (!ReadAt(stream.get(), RecordOffset(first), data.data(), static_cast<size_t>(kRecordBytes) * slots)) {
      return Codes().read;
    }
    for (uint32_t i = 0; i < slots; ++i) {
      if (index_[first + i] == kDeletedSlot) continue;
      Record& r = records[n];
      DecodeRecord(data.data() + static_cast<size_t>(kRecordBytes) * i, &r);
      if (r.id != index_[first + i]) return Codes().format;
      QvLocalTime::Shift(&r.date, offset);  // a date that is no time at all stays as it is, and is cleared next
      ClearInvalidDate(&r.date);
      ++n;
    }
  }
  return QVMDL_SUCCESS;
}

bool QvMessageHeader::LoadAll(Record* records, uint32_t count) {
  if (records == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvNamedMutex::Hold hold(mutex_);
  return Fail(LoadLocked(records, count));
}

bool QvMessageHeader::CheckCount(const std::vector<uint32_t>& ids) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Reload();
  if (code != QVMDL_SUCCESS) return Fail(code);
  return Fail(Live() == ids.size() ? QVMDL_SUCCESS : QVMDL_ERR_STG_HEADER_OUT_OF_STEP);
}

uint32_t QvMessageHeader::CompactLocked() {
  if (deleted_ == 0) return QVMDL_SUCCESS;
  trusted_ = 0;  // rare: the file is read again after it
  uint32_t live = Live();
  ULARGE_INTEGER available{}, total{}, totalFree{};
  uint64_t needed = ((static_cast<uint64_t>(live) * kRecordBytes + 12191) & ~uint64_t{8191}) + 512000;
  bool roomy = GetDiskFreeSpaceExW(directory_.empty() ? nullptr : directory_.c_str(), &available, &total, &totalFree) &&
               available.QuadPart >= needed;
  uint32_t code = QvStoreFile::SettleForWrite(path_, Codes());
  if (code != QVMDL_SUCCESS) return code;
  code = WriteIndexAt(0, kSlots);
  if (code != QVMDL_SUCCESS || !roomy) return code;

  std::vector<uint8_t> data(static_cast<size_t>(kRecordBytes) * used_);
  {
    qv::ScopedFile stream(_wfopen(path_.c_str(), L"rb"));
    if (stream.get() == nullptr) return QvStoreFile::FailureCode(Codes().open);
    if (!ReadAt(stream.get(), kIndexBytes, data.data(), data.size())) return Codes().read;
  }
  uint32_t packed[kSlots];
  std::fill(std::begin(packed), std::end(packed), kUnusedSlot);
  std::string bytes(kIndexBytes, '\0');
  bytes.reserve(kIndexBytes + static_cast<size_t>(kRecordBytes) * live);
  uint32_t n = 0;
  for (uint32_t slot = 0; slot < used_; ++slot) {
    if (index_[slot] == kDeletedSlot) continue;
    packed[n++] = index_[slot];
    bytes.append(reinterpret_cast<const char*>(data.data()) + static_cast<size_t>(kRecordBytes) * slot, kRecordBytes);
  }
  uint8_t* slots = reinterpret_cast<uint8_t*>(bytes.data());
  for (uint32_t i = 0; i < kSlots; ++i) QvLittleEndian::Put32(slots + 4 * i, packed[i]);
  code = QvStoreFile::WriteTemp(path_, Codes(), bytes);
  if (code != QVMDL_SUCCESS) return code;
  code = QvStoreFile::Commit(path_, Codes());
  if (code != QVMDL_SUCCESS) {
    DeleteFileW(QvStoreFile::TempOf(path_).c_str());
    return code;
  }
  std::copy(std::begin(packed), std::end(packed), std::begin(index_));
  used_ = live;
  deleted_ = 0;
  return QVMDL_SUCCESS;
}

bool QvMessageHeader::Compact() {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Reload();
  return Fail(code == QVMDL_SUCCESS ? CompactLocked() : code);
}

bool QvMessageHeader::EnsureSpace(uint32_t size) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Reload();
  if (code != QVMDL_SUCCESS) return Fail(code);
  uint64_t fileBlocks = deleted_ != 0 ? (static_cast<uint64_t>(Live()) * kRecordBytes + 4000 + 8191) / 8192
                                      : (static_cast<uint64_t>(used_) * kRecordBytes + 5180 + 8191) / 8192;
  uint64_t mailBlocks = (static_cast<uint64_t>(size) + 8447) / 8192;
  const uint64_t needed = (fileBlocks + mailBlocks) * 8192 + 536576;
  // Under a store batch the room measured at its first message, less every
  // message's asking since, answers while it lasts: its files are the only
  // ones of the store that grow meanwhile. Other writers only make it
  // earlier to measure again, never later than the volume fills.
  const uint64_t batch = QvStoreBatch::Current();
  const uint64_t asked = (mailBlocks + 1) * 8192 + kRecordBytes;
  if (batch != 0 && roomBatch_ == batch && roomLeft_ > needed + kRoomMargin) {
    roomLeft_ -= asked;
    return Fail(CompactLocked());
  }
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(directory_.empty() ? nullptr : directory_.c_str(), &available, &total, &totalFree) ||
      available.QuadPart <= needed) {
    roomBatch_ = 0;
    return Fail(QVMDL_ERR_STG_DISK_FULL);
  }
  roomBatch_ = batch;
  roomLeft_ = available.QuadPart - std::min<uint64_t>(available.QuadPart, asked);
  return Fail(CompactLocked());
}

bool QvMessageHeader::Rebuild(const std::vector<uint32_t>& ids, QvMailHeaderSource& source) {
  if (ids.size() > kSlots) return Fail(QVMDL_ERR_STG_FOLDER_FULL);
  // The messages are read before the cache's mutex is taken: reading one
  // takes the message's own mutex, which is held while records are written.
  std::string bytes(kIndexBytes, '\xFF');
  bytes.reserve(kIndexBytes + static_cast<size_t>(kRecordBytes) * ids.size());
  int64_t offset = QvLocalTime::OffsetNow();
  for (size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] > kLargestId) return Fail(Codes().write);
    QvMailHeaderFields fields;
    if (!source.ReadHeaderFields(ids[i], &fields)) return false;
    Record record{};
    record.id = ids[i];
    FillLongText(record.toAddress, fields.toAddress);
    FillLongText(record.fromAddress, fields.fromAddress);
    FillShortText(record.fromName, fields.fromName);
    FillShortText(record.subject, fields.subject);
    record.date = fields.date;
    if (!QvLocalTime::Shift(&record.date, -offset)) record.date = SYSTEMTIME{};
    uint8_t raw[kRecordBytes];
    EncodeRecord(record, raw);
    bytes.append(reinterpret_cast<const char*>(raw), kRecordBytes);
    QvLittleEndian::Put32(reinterpret_cast<uint8_t*>(bytes.data()) + 4 * i, ids[i]);
  }
  QvNamedMutex::Hold hold(mutex_);
  trusted_ = 0;
  // The rebuilt file replaces the old one only once it is whole.
  uint32_t code = QvStoreFile::SettleForRead(path_, Codes());
  if (code == QVMDL_SUCCESS) code = QvStoreFile::WriteTemp(path_, Codes(), bytes);
  if (code == QVMDL_SUCCESS) code = QvStoreFile::Commit(path_, Codes());
  if (code != QVMDL_SUCCESS) {
    DeleteFileW(QvStoreFile::TempOf(path_).c_str());
    return Fail(code);
  }
  std::fill(std::begin(index_), std::end(index_), kUnusedSlot);
  std::copy(ids.begin(), ids.end(), index_);
  used_ = static_cast<uint32_t>(ids.size());
  deleted_ = 0;
  return true;
}
