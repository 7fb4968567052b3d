#include "engine/store/QvFolderEntry.h"

#include <algorithm>

#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvStoreFile.h"
#include "platform/base/WinFormat.h"
#include "platform/codepage/CodePage.h"

namespace {

// The reader's line buffer: a line and its terminating NUL fit 260 bytes.
constexpr size_t kLineBuffer = 260;

}  // namespace

QvFolderEntry::QvFolderEntry() : mutex_(L"QvFolderEntry Mutex") {}

bool QvFolderEntry::IsStorableName(const std::wstring& name) {
  if (name.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos) return false;
  return qv::WideToCp932(name).size() <= kMaxNameBytes;
}

bool QvFolderEntry::Format(const std::vector<FolderEntryRecord>& entries, std::string* bytes) {
  bytes->clear();
  for (const FolderEntryRecord& e : entries) {
    if (e.id > 0xFFFF || !IsStorableName(e.name)) return false;
    bytes->append(qv::FormatA("%04X\t", e.id));
    bytes->append(qv::WideToCp932(e.name));
    bytes->append("\r\n");
  }
  return true;
}

uint32_t QvFolderEntry::Parse(const std::string& bytes, std::vector<FolderEntryRecord>* entries) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) return QVMDL_ERR_STG_FILE_FMTILLGL_FLD;  // no line end: cut short
    size_t length = end - pos + 1;
    if (length >= kLineBuffer || length < 7) return QVMDL_ERR_STG_FILE_FMTILLGL_FLD;
    const char* line = bytes.data() + pos;
    if (line[4] != '\t' || line[length - 2] != '\r') return QVMDL_ERR_STG_FILE_FMTILLGL_FLD;
    uint32_t id = 0;
    for (size_t i = 0; i < 4; ++i) {
      int v = foundation::HexDigitValue(line[i]);
      if (v < 0) return QVMDL_ERR_STG_FILE_FMTILLGL_FLD;
      id = id * 16 + static_cast<uint32_t>(v);
    }
    std::string_view name(line + 5, length - 7);
    if (name.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
      return QVMDL_ERR_STG_FILE_FMTILLGL_FLD;
    }
    entries->push_back(FolderEntryRecord{0, id, qv::Cp932ToWide(name)});
    pos = end + 1;
  }
  return QVMDL_SUCCESS;
}

uint32_t QvFolderEntry::Load() {
  return QvStoreFile::LoadList(path_, QvStoreFile::kFolderList, Parse, &entries_, false);
}

uint32_t QvFolderEntry::Store() { return QvStoreFile::StoreList(path_, QvStoreFile::kFolderList, Format, entries_); }

uint32_t QvFolderEntry::ReadFile(const std::wstring& path) {
  QvNamedMutex::Hold hold(mutex_);
  path_ = path;
  entries_.clear();
  return QvStoreFile::LoadList(path_, QvStoreFile::kFolderList, Parse, &entries_, true);
}

bool QvFolderEntry::Contains(uint32_t id) {
  QvNamedMutex::Hold hold(mutex_);
  Load();  // on a failed read the list last read answers
  return std::any_of(entries_.begin(), entries_.end(), [id](const FolderEntryRecord& e) { return e.id == id; });
}

bool QvFolderEntry::Get(uint32_t id, FolderEntryRecord* out) {
  QvNamedMutex::Hold hold(mutex_);
  Load();
  for (const FolderEntryRecord& e : entries_) {
    if (e.id == id) {
      if (out != nullptr) *out = e;
      return true;
    }
  }
  return false;
}

bool QvFolderEntry::GetIds(std::vector<uint32_t>* ids) {
  QvNamedMutex::Hold hold(mutex_);
  Load();
  ids->clear();
  for (const FolderEntryRecord& e : entries_) ids->push_back(e.id);
  return true;
}

uint32_t QvFolderEntry::Update(uint32_t id, const FolderEntryRecord& attributes) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Load();
  if (code != QVMDL_SUCCESS) return code;
  auto it = std::find_if(entries_.begin(), entries_.end(), [id](const FolderEntryRecord& e) { return e.id == id; });
  if (it == entries_.end()) return QVMDL_ERR_STG_FOLDER_NOT_LISTED;
  if (attributes.mask & 1) {
    if (!IsStorableName(attributes.name)) return QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD;
    it->name = attributes.name;
  }
  return Store();
}

uint32_t QvFolderEntry::Remove(uint32_t id) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Load();
  if (code != QVMDL_SUCCESS) return code;
  auto it = std::find_if(entries_.begin(), entries_.end(), [id](const FolderEntryRecord& e) { return e.id == id; });
  if (it == entries_.end()) return QVMDL_ERR_STG_FOLDER_NOT_LISTED;
  entries_.erase(it);
  return Store();
}

uint32_t QvFolderEntry::Add(const FolderEntryRecord& record) {
  QvNamedMutex::Hold hold(mutex_);
  if (record.id > 0xFFFF || !IsStorableName(record.name)) return QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD;
  uint32_t code = Load();
  if (code != QVMDL_SUCCESS) return code;
  entries_.push_back(FolderEntryRecord{0, record.id, record.name});
  return Store();
}

uint32_t QvFolderEntry::WriteFile() {
  QvNamedMutex::Hold hold(mutex_);
  return Store();
}
