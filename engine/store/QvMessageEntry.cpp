#include "engine/store/QvMessageEntry.h"

#include <algorithm>

#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvStoreBatch.h"
#include "engine/store/QvStoreFile.h"

namespace {

// A decimal number with an optional sign, as "%d" writes it.
bool ReadNumber(const std::string& s, size_t* pos, long* out) {
  size_t p = *pos;
  bool negative = false;
  if (p < s.size() && (s[p] == '-' || s[p] == '+')) negative = s[p++] == '-';
  size_t start = p;
  long value = 0;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9' && p - start < 10) value = value * 10 + (s[p++] - '0');
  if (p == start || (p < s.size() && s[p] >= '0' && s[p] <= '9')) return false;
  *out = negative ? -value : value;
  *pos = p;
  return true;
}

bool Expect(const std::string& s, size_t* pos, const char* text) {
  for (; *text != '\0'; ++text, ++*pos) {
    if (*pos >= s.size() || s[*pos] != *text) return false;
  }
  return true;
}

}  // namespace

QvMessageEntry::QvMessageEntry() : mutex_(L"QvMessageEntry Mutex") {}

bool QvMessageEntry::Format(const std::vector<MessageEntryRecord>& entries, std::string* bytes) {
  bytes->clear();
  bytes->reserve(entries.size() * 11);
  for (const MessageEntryRecord& e : entries) {
    if (e.id > 0xFFFF) return false;
    // "%04X\t%d\t%d\r\n" of the id and the two flags, each 0 or 1.
    foundation::AppendHex(bytes, e.id, 4);
    bytes->append(1, '\t').append(1, e.unread ? '1' : '0').append(1, '\t').append(1, e.partial ? '1' : '0');
    bytes->append("\r\n");
  }
  return true;
}

uint32_t QvMessageEntry::Parse(const std::string& bytes, std::vector<MessageEntryRecord>* entries) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    uint32_t id = 0;
    size_t digits = 0;
    while (digits < 4 && pos < bytes.size() && foundation::HexDigitValue(bytes[pos]) >= 0) {
      id = id * 16 + static_cast<uint32_t>(foundation::HexDigitValue(bytes[pos++]));
      ++digits;
    }
    long unread = 0, partial = 0;
    // Every line is whole or the file was cut: a line that lacks any part,
    // its line end included, is a format error and never read again.
    if (digits == 0 || !Expect(bytes, &pos, "\t") || !ReadNumber(bytes, &pos, &unread) || !Expect(bytes, &pos, "\t") ||
        !ReadNumber(bytes, &pos, &partial) || !Expect(bytes, &pos, "\r\n")) {
      return QVMDL_ERR_STG_FILE_FMTILLGL_MSG;
    }
    entries->push_back(
        MessageEntryRecord{0, id, static_cast<uint8_t>(unread == 1), static_cast<uint8_t>(partial == 1)});
  }
  return QVMDL_SUCCESS;
}

uint32_t QvMessageEntry::Load() {
  if (path_.empty()) return QVMDL_SUCCESS;
  if (trusted_ != 0 && trusted_ == QvStoreBatch::Current()) return QVMDL_SUCCESS;
  std::string bytes;
  uint32_t code = QvStoreFile::ReadSettled(path_, QvStoreFile::kMessageList, QvStoreFile::kListLimit, &bytes);
  if (code != QVMDL_SUCCESS) return code;
  std::vector<MessageEntryRecord> parsed;
  code = Parse(bytes, &parsed);
  if (code != QVMDL_SUCCESS) return code;
  entries_.swap(parsed);
  bytes_.swap(bytes);
  trusted_ = QvStoreBatch::Current();
  return QVMDL_SUCCESS;
}

// New lines go after the file as just read, which ends with a whole line: a
// list of n messages is not rewritten for its n+1st.
uint32_t QvMessageEntry::Append(const std::vector<MessageEntryRecord>& records) {
  std::vector<MessageEntryRecord> added;
  added.reserve(records.size());
  for (const MessageEntryRecord& r : records) added.push_back(MessageEntryRecord{0, r.id, r.unread, r.partial});
  std::string lines;
  if (!Format(added, &lines)) return QvStoreFile::kMessageList.write;
  if (path_.empty()) return QVMDL_SUCCESS;
  uint32_t code = QvStoreFile::WriteInPlace(path_, QvStoreFile::kMessageList, bytes_.size(), lines, true);
  if (code != QVMDL_SUCCESS) {
    trusted_ = 0;  // the file is read again
    return code;
  }
  entries_.insert(entries_.end(), added.begin(), added.end());
  bytes_ += lines;
  return QVMDL_SUCCESS;
}

// A line as this list writes it ("%04X\t%d\t%d\r\n" of 0 or 1) keeps its
// length when a flag changes and is overwritten where it stands; any other
// spelling is rewritten with the whole list.
uint32_t QvMessageEntry::StoreLine(size_t index) {
  size_t start = 0;
  for (size_t line = 0; line < index; ++line) {
    start = bytes_.find("\r\n", start);
    if (start == std::string::npos) return Store();
    start += 2;
  }
  std::string line;
  if (!Format({entries_[index]}, &line)) return Store();
  const std::string_view stored = std::string_view(bytes_).substr(start, line.size());
  const bool sameShape = stored.size() == line.size() && stored.compare(0, 5, line, 0, 5) == 0 &&
                         (stored[5] == '0' || stored[5] == '1') && stored[6] == '\t' &&
                         (stored[7] == '0' || stored[7] == '1') && stored.substr(8) == "\r\n";
  if (!sameShape) return Store();
  uint32_t code = QvStoreFile::WriteInPlace(path_, QvStoreFile::kMessageList, start, line, false);
  if (code == QVMDL_SUCCESS) {
    bytes_.replace(start, line.size(), line);
  } else {
    trusted_ = 0;
  }
  return code;
}

// The rewritten list is read again before its next use: bytes_ is not its text.
uint32_t QvMessageEntry::Store() {
  trusted_ = 0;
  return QvStoreFile::StoreList(path_, QvStoreFile::kMessageList, Format, entries_);
}

uint32_t QvMessageEntry::ReadFile(const std::wstring& path) {
  QvNamedMutex::Hold hold(mutex_);
  path_ = path;
  entries_.clear();
  trusted_ = 0;
  return QvStoreFile::LoadList(path_, QvStoreFile::kMessageList, Parse, &entries_, true);
}

bool QvMessageEntry::Get(uint32_t id, MessageEntryRecord* out) {
  QvNamedMutex::Hold hold(mutex_);
  Load();  // on a failed read the list last read answers
  for (const MessageEntryRecord& e : entries_) {
    if (e.id == id) {
      if (out != nullptr) *out = e;
      return true;
    }
  }
  return false;
}

bool QvMessageEntry::Contains(uint32_t id) { return Get(id, nullptr); }

uint32_t QvMessageEntry::Update(uint32_t id, const MessageEntryRecord& record, MessageEntryRecord* previous) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Load();
  if (code != QVMDL_SUCCESS) return code;
  auto it = std::find_if(entries_.begin(), entries_.end(), [id](const MessageEntryRecord& e) { return e.id == id; });
  if (it == entries_.end()) return QVMDL_ERR_STG_MESSAGE_NOT_LISTED;
  const MessageEntryRecord before = *it;
  if (previous != nullptr) *previous = before;
  if (record.mask & 1) it->unread = record.unread ? 1 : 0;
  if (record.mask & 2) it->partial = record.partial ? 1 : 0;
  if (it->unread == before.unread && it->partial == before.partial) return QVMDL_SUCCESS;
  return StoreLine(static_cast<size_t>(it - entries_.begin()));
}

uint32_t QvMessageEntry::Remove(uint32_t id) {
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Load();
  if (code != QVMDL_SUCCESS) return code;
  auto it = std::find_if(entries_.begin(), entries_.end(), [id](const MessageEntryRecord& e) { return e.id == id; });
  if (it == entries_.end()) return QVMDL_ERR_STG_MESSAGE_NOT_LISTED;
  entries_.erase(it);
  return Store();
}

uint32_t QvMessageEntry::RemoveMany(const std::vector<uint32_t>& ids) {
  if (ids.empty()) return QVMDL_SUCCESS;
  QvNamedMutex::Hold hold(mutex_);
  uint32_t code = Load();
  if (code != QVMDL_SUCCESS) return code;
  bool erased = false;
  for (uint32_t id : ids) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const MessageEntryRecord& e) { return e.id == id; });
    if (it != entries_.end()) {
      entries_.erase(it);
      erased = true;
    }
  }
  return erased ? Store() : QVMDL_ERR_STG_MESSAGE_NOT_LISTED;
}

uint32_t QvMessageEntry::Add(const MessageEntryRecord& record) { return AddMany({record}); }

uint32_t QvMessageEntry::AddMany(const std::vector<MessageEntryRecord>& records) {
  QvNamedMutex::Hold hold(mutex_);
  for (const MessageEntryRecord& r : records) {
    if (r.id > 0xFFFF) return QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG;
  }
  uint32_t code = Load();
  return code == QVMDL_SUCCESS ? Append(records) : code;
}

bool QvMessageEntry::Collect(const std::vector<uint32_t>& ids, std::vector<MessageEntryRecord>* out) {
  QvNamedMutex::Hold hold(mutex_);
  Load();
  out->clear();
  for (uint32_t id : ids) {
    for (const MessageEntryRecord& e : entries_) {
      if (e.id == id) {
        out->push_back(e);
        break;
      }
    }
  }
  return !out->empty();
}

template <typename Pick>
bool QvMessageEntry::PickIds(std::vector<uint32_t>* ids, Pick pick) {
  QvNamedMutex::Hold hold(mutex_);
  Load();
  ids->clear();
  for (const MessageEntryRecord& e : entries_) {
    if (pick(e)) ids->push_back(e.id);
  }
  return true;
}

bool QvMessageEntry::GetIds(std::vector<uint32_t>* ids) {
  return PickIds(ids, [](const MessageEntryRecord&) { return true; });
}

bool QvMessageEntry::GetPartialIds(std::vector<uint32_t>* ids) {
  return PickIds(ids, [](const MessageEntryRecord& e) { return e.partial != 0; });
}

bool QvMessageEntry::GetUnreadIds(std::vector<uint32_t>* ids) {
  return PickIds(ids, [](const MessageEntryRecord& e) { return e.unread != 0; });
}

uint32_t QvMessageEntry::GetUnreadCount() {
  QvNamedMutex::Hold hold(mutex_);
  Load();
  return static_cast<uint32_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const MessageEntryRecord& e) { return e.unread != 0; }));
}

uint32_t QvMessageEntry::GetCount() {
  QvNamedMutex::Hold hold(mutex_);
  Load();
  return static_cast<uint32_t>(entries_.size());
}

bool QvMessageEntry::ReplaceAll(const std::vector<MessageEntryRecord>& records) {
  QvNamedMutex::Hold hold(mutex_);
  trusted_ = 0;
  std::vector<MessageEntryRecord> entries;
  entries.reserve(records.size());
  for (const MessageEntryRecord& r : records) entries.push_back(MessageEntryRecord{0, r.id, r.unread, r.partial});
  std::string bytes;
  if (!Format(entries, &bytes)) {
    SetQvMiddleError(QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG);
    return false;
  }
  // A repair may meet a file that is missing or past reading: the commit
  // then simply puts the new list in place.
  uint32_t code = QvStoreFile::SettleForRead(path_, QvStoreFile::kMessageList);
  if (code == QVMDL_SUCCESS) code = QvStoreFile::WriteTemp(path_, QvStoreFile::kMessageList, bytes);
  if (code == QVMDL_SUCCESS) code = QvStoreFile::Commit(path_, QvStoreFile::kMessageList);
  if (code != QVMDL_SUCCESS) {
    SetQvMiddleError(code);
    return false;
  }
  entries_.swap(entries);
  return true;
}

uint32_t QvMessageEntry::WriteFile() {
  QvNamedMutex::Hold hold(mutex_);
  return Store();
}
