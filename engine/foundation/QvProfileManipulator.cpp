#include "engine/public/foundation/QvProfileManipulator.h"

#include <cstdlib>
#include <new>

#include "engine/foundation/QvLittleEndian.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/foundation/QvSafeReplace.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

constexpr char16_t kBom = 0xFEFF;
constexpr char16_t kCr = 0x0D;
constexpr char16_t kLf = 0x0A;
constexpr std::u16string_view kCrLf = u"\r\n";
constexpr std::u16string_view kKeyPrefix = u"key1=";

// Rewrites need this much room beyond the file's own size.
constexpr ULONGLONG kWriteReserve = 0x7F000;

// Scrambling: a line's text is made of every unit but NUL, CR and LF, 65533
// units in all. Each unit is replaced by its rank r among them, r becomes
// ((K - r + A) mod M) + B, and the result is turned back into a unit. With M
// the size of that set, A a multiple of M and B = 0 this reflects the set onto
// itself: its own inverse for any key, and never NUL, CR or LF.
constexpr int32_t kScrambleM = 65533;
constexpr int32_t kScrambleA = kScrambleM;
constexpr int32_t kScrambleB = 0;

constexpr int32_t RankOf(char16_t unit) { return unit - 1 - (unit > kLf ? 1 : 0) - (unit > kCr ? 1 : 0); }

constexpr char16_t UnitOf(int32_t rank) {
  int32_t unit = rank + 1;
  if (unit >= kLf) ++unit;
  if (unit >= kCr) ++unit;
  return static_cast<char16_t>(unit);
}

// The key a new or rewritten file gets: one or two decimal digits.
uint32_t DrawKey() { return static_cast<uint32_t>(rand() % 100); }

std::u16string ToUnits(std::wstring_view text) { return qv::WideToUtf16(text); }

std::wstring FromUnits(std::u16string_view units) { return qv::Utf16ToWide(units); }

std::u16string DecimalUnits(uint32_t value) { return ToUnits(std::to_wstring(value)); }

// C's strtoul over a 32-bit unsigned long, as the device computes it: leading
// blanks, an optional sign, digits; overflow saturates, a minus negates.
uint32_t ParseUnsigned32(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
    if (value > 0xFFFFFFFFull) {
      overflow = true;
      value = 0xFFFFFFFFull;
    }
  }
  if (overflow) return 0xFFFFFFFFu;
  const auto result = static_cast<uint32_t>(value);
  return negative ? static_cast<uint32_t>(0u - result) : result;
}

uint32_t ParseKey(std::u16string_view plainKeyLine) {
  return ParseUnsigned32(FromUnits(plainKeyLine.substr(kKeyPrefix.size())));
}

bool IsKeyLine(std::u16string_view plain) { return plain.substr(0, kKeyPrefix.size()) == kKeyPrefix; }

// A line assigns `name` when it starts with the name followed by "=".
bool Assigns(std::u16string_view plain, std::u16string_view name) {
  return plain.size() > name.size() && plain.substr(0, name.size()) == name && plain[name.size()] == u'=';
}

bool ReadUnits(FILE* stream, std::u16string* units) {
  std::string bytes;
  char chunk[16384];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof(chunk), stream)) > 0) bytes.append(chunk, got);
  if (ferror(stream)) return false;
  units->resize(bytes.size() / 2);  // an odd final byte is no unit
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t i = 0; i < units->size(); ++i) (*units)[i] = QvLittleEndian::Get16(p + 2 * i);
  return true;
}

// Writes UTF-16LE and pushes it to the file, so that a full disk shows at the
// step that caused it.
bool WriteUnits(FILE* stream, std::u16string_view units) {
  std::string bytes(units.size() * 2, '\0');
  auto* p = reinterpret_cast<uint8_t*>(bytes.data());
  for (size_t i = 0; i < units.size(); ++i) QvLittleEndian::Put16(p + 2 * i, units[i]);
  return fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() && fflush(stream) == 0;
}

// Closes the stream if one is open; false when buffered writes failed to land.
bool CloseStream(qv::ScopedFile& stream) {
  FILE* f = stream.release();
  return f == nullptr || fclose(f) == 0;
}

// The lines of a file's units after its byte-order-mark line.
class LineReader {
 public:
  explicit LineReader(std::u16string_view units) : units_(units) {
    if (!units_.empty() && units_[0] == kBom) {
      hasBom_ = true;
      pos_ = 1;
      if (units_.substr(1, 2) == kCrLf) pos_ = 3;
    }
  }
  bool HasBom() const { return hasBom_; }
  // The raw (scrambled) text of the next line, without its CR LF.
  bool Next(std::u16string_view* raw) {
    if (pos_ >= units_.size()) return false;
    size_t end = units_.find(kLf, pos_);
    size_t next = end == std::u16string_view::npos ? units_.size() : end + 1;
    if (end == std::u16string_view::npos) {
      end = units_.size();
    } else if (end > pos_ && units_[end - 1] == kCr) {
      --end;
    }
    *raw = units_.substr(pos_, end - pos_);
    pos_ = next;
    return true;
  }
  // Everything after the last line returned, as stored.
  std::u16string_view Rest() const { return units_.substr(pos_); }

 private:
  std::u16string_view units_;
  size_t pos_ = 0;
  bool hasBom_ = false;
};

bool HasEqualSign(const std::wstring& name) { return name.find(L'=') != std::wstring::npos; }

// Puts the finished temporary copy in place of the file in one step, waiting
// out a reader that holds the file for a moment.
bool CommitTemp(const std::wstring& path, const std::wstring& temp) {
  return RetryWhileBusy([&] { return DeleteAndRenameFile(path.c_str(), temp.c_str()); },
                        L" Retry DeleteAndRenameFile():(%d) /// Reason: file busy\r\n");
}

ULONGLONG FileSize(const std::wstring& path) {
  qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return 0;
  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  file.reset();
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return 0;
  return (static_cast<ULONGLONG>(high) << 32) | low;
}

std::u16string BomLine() {
  std::u16string line(1, kBom);
  line += kCrLf;
  return line;
}

std::u16string KeyLine(uint32_t key) {
  std::u16string line = std::u16string(kKeyPrefix) + DecimalUnits(key);
  QvProfileManipulator::ConvertValueInPlace(line, QvProfileManipulator::kInitialKey);
  line += kCrLf;
  return line;
}

std::u16string AssignmentLine(std::u16string_view name, std::u16string_view value, uint32_t key) {
  std::u16string line(name);
  line += u'=';
  line += value;
  QvProfileManipulator::ConvertValueInPlace(line, key);
  return line;
}

}  // namespace

// ---------------------------------------------------------------------------

char16_t QvProfileManipulator::ConvertUnit(char16_t unit, uint32_t key) {
  if (unit == 0 || unit == kCr || unit == kLf) return unit;
  const int32_t k = static_cast<int32_t>(key % static_cast<uint32_t>(kScrambleM));
  return UnitOf(((k - RankOf(unit) + kScrambleA) % kScrambleM) + kScrambleB);
}

std::u16string QvProfileManipulator::ConvertValue(std::u16string_view units, uint32_t key) {
  std::u16string copy(units);
  ConvertValueInPlace(copy, key);
  return copy;
}

void QvProfileManipulator::ConvertValueInPlace(std::u16string& units, uint32_t key) {
  for (char16_t& unit : units) unit = ConvertUnit(unit, key);
}

uint32_t QvProfileManipulator::ParseNumber(std::wstring_view text, uint32_t defaultValue) {
  const uint32_t value = ParseUnsigned32(text);
  return (value == 0 && text.size() != 1) ? defaultValue : value;
}

QvProfileManipulator::QvProfileManipulator(std::wstring path)
    : path_(std::move(path)), mutex_(L"QvProfileManipulator Mutex") {
  tempPath_ = path_ + L"_tmp";
}

QvProfileManipulator::~QvProfileManipulator() {
  CloseStream(readStream_);
  CloseStream(writeStream_);
}

// Single-value operations settle only a left-over "_tmp".
bool QvProfileManipulator::SettleTemp(bool writing) {
  const bool hasFile = FileIsPresent(path_);
  const bool hasTemp = FileIsPresent(tempPath_);
  if (hasFile && hasTemp) {
    if (!DeleteFileW(tempPath_.c_str())) {
      SetQvMiddleError(QVMDL_ERR_PRF_TMP_DELETE);
      if (writing) return false;  // a read can go on with the file itself
    }
    return true;
  }
  if (hasTemp) {
    const bool moved = RetryWhileBusy([this] { return MoveFileW(tempPath_.c_str(), path_.c_str()); },
                                      L" Retry MoveFile():(%d) /// Reason: file busy\r\n");
    if (!moved) SetQvMiddleError(QVMDL_ERR_PRF_TMP_MOVE);
    return moved;
  }
  if (hasFile) return true;
  SetQvMiddleError(QVMDL_ERR_PRF_FILE_NOT_FOUND);
  if (!writing) return false;
  // A write starts the file over with its byte-order-mark line alone.
  qv::ScopedFile stream(_wfopen(path_.c_str(), L"wb"));
  if (!stream) return true;  // the open below reports it
  WriteUnits(stream.get(), BomLine());
  CloseStream(stream);
  return true;
}

bool QvProfileManipulator::FileHasRoom(uint32_t refusal) {
  ULARGE_INTEGER available = {};
  ULARGE_INTEGER total = {};
  ULARGE_INTEGER totalFree = {};
  if (!GetDiskFreeSpaceExW(path_.c_str(), &available, &total, &totalFree) ||
      available.QuadPart <= FileSize(path_) + kWriteReserve) {
    SetQvMiddleError(refusal);
    return false;
  }
  return true;
}

bool QvProfileManipulator::GetPrivateProfileString(const std::wstring& name, const std::wstring& defaultValue,
                                                   std::wstring* result) {
  const QvNamedMutex::Hold hold(mutex_);
  if (HasEqualSign(name)) {
    SetQvMiddleError(QVMDL_ERR_PRF_NAME_HAS_EQUAL);
    return false;
  }
  if (!SettleTemp(false)) return false;

  readStream_.reset(_wfopen(path_.c_str(), L"rb"));
  if (!readStream_) {
    SetQvMiddleError(QVMDL_ERR_PRF_READ_OPEN);
    return false;
  }
  std::u16string units;
  bool read = false;
  try {
    read = ReadUnits(readStream_.get(), &units);
  } catch (const std::bad_alloc&) {
    CloseStream(readStream_);
    SetQvMiddleError(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
    return false;
  }
  CloseStream(readStream_);
  if (!read) {
    SetQvMiddleError(QVMDL_ERR_PRF_READ_OPEN);
    return false;
  }

  const std::u16string wanted = ToUnits(name);
  uint32_t key = kInitialKey;
  std::u16string_view raw;
  LineReader lines(units);
  std::u16string value;
  while (lines.Next(&raw)) {
    const std::u16string plain = ConvertValue(raw, key);
    if (IsKeyLine(plain)) key = ParseKey(plain);
    if (Assigns(plain, wanted)) {
      value = plain.substr(wanted.size() + 1);
      break;
    }
  }
  *result = value.empty() ? defaultValue : FromUnits(value);
  return true;
}

bool QvProfileManipulator::GetPrivateProfileInt(const std::wstring& name, const uint32_t* defaultValue,
                                                uint32_t* result) {
  std::wstring text;
  if (!GetPrivateProfileString(name, std::to_wstring(*defaultValue), &text)) return false;
  *result = ParseNumber(text, *defaultValue);
  return true;
}

bool QvProfileManipulator::GetPrivateProfileBool(const std::wstring& name, const bool* defaultValue, bool* result) {
  std::wstring text;
  if (!GetPrivateProfileString(name, *defaultValue ? L"1" : L"0", &text)) return false;
  if (text == L"1") {
    *result = true;
  } else if (text == L"0") {
    *result = false;
  } else {
    *result = *defaultValue;
  }
  return true;
}

bool QvProfileManipulator::WritePrivateProfileString(const std::wstring& name, const std::wstring& value) {
  const QvNamedMutex::Hold hold(mutex_);
  return WriteStringLocked(name, value);
}

bool QvProfileManipulator::WriteStringLocked(const std::wstring& name, const std::wstring& value) {
  if (!FileIsPresent(path_)) {
    SetQvMiddleError(QVMDL_ERR_PRF_WRITE_NO_FILE);
    return false;
  }
  if (!FileHasRoom(QVMDL_ERR_PRF_DISK_SPACE)) return false;
  if (HasEqualSign(name)) {
    SetQvMiddleError(QVMDL_ERR_PRF_NAME_HAS_EQUAL);
    return false;
  }
  if (!SettleTemp(true)) return false;

  readStream_.reset(_wfopen(path_.c_str(), L"rb"));
  if (readStream_) writeStream_.reset(_wfopen(tempPath_.c_str(), L"wb"));
  if (!readStream_ || !writeStream_) {
    CloseStream(readStream_);
    CloseStream(writeStream_);
    SetQvMiddleError(QVMDL_ERR_PRF_WRITE_OPEN);
    return false;
  }

  std::u16string out;
  bool built = false;
  try {
    std::u16string units;
    if (ReadUnits(readStream_.get(), &units)) {
      const std::u16string wanted = ToUnits(name);
      LineReader lines(units);
      if (lines.HasBom()) out = BomLine();
      uint32_t key = kInitialKey;
      bool found = false;
      std::u16string_view raw;
      while (lines.Next(&raw)) {
        const std::u16string plain = ConvertValue(raw, key);
        if (IsKeyLine(plain)) {
          key = ParseKey(plain);
        } else if (Assigns(plain, wanted)) {
          // Replace this line and keep every later one exactly as stored.
          out += AssignmentLine(wanted, ToUnits(value), key);
          out += kCrLf;
          out += lines.Rest();
          found = true;
          break;
        }
        out += raw;  // scrambling is its own inverse: the stored text is the rescrambled line
        out += kCrLf;
      }
      // A new name becomes the last line, without a line end.
      if (!found) out += AssignmentLine(wanted, ToUnits(value), key);
      built = true;
    }
  } catch (const std::bad_alloc&) {
    CloseStream(readStream_);
    CloseStream(writeStream_);
    SetQvMiddleError(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
    return false;
  }
  const bool readOk = CloseStream(readStream_) && built;
  const bool written = readOk && WriteUnits(writeStream_.get(), out);
  if (!CloseStream(writeStream_) || !written) {
    SetQvMiddleError(readOk ? QVMDL_ERR_PRF_FILE_WRITE : QVMDL_ERR_PRF_WRITE_OPEN);
    return false;
  }

  if (!CommitTemp(path_, tempPath_)) {
    SetQvMiddleError(QVMDL_ERR_PRF_COMMIT);
    return false;
  }
  return true;
}

bool QvProfileManipulator::WritePrivateProfileInt(const std::wstring& name, const uint32_t* value) {
  return WritePrivateProfileString(name, std::to_wstring(*value));
}

bool QvProfileManipulator::WritePrivateProfileBool(const std::wstring& name, const bool* value) {
  return WritePrivateProfileString(name, *value ? L"1" : L"0");
}

// ---------------------------------------------------------------------------
// Batch passes

bool QvProfileManipulator::OpenPass(int mode) {
  mode_ = mode;
  if (RestoreInterruptedFile(path_, tempPath_) != QVMDL_SUCCESS) {
    SetQvMiddleError(QVMDL_ERR_PRF_BATCH_OPEN);
    return false;
  }
  readStream_.reset(_wfopen(path_.c_str(), L"rb"));
  if (!readStream_) {
    SetQvMiddleError(QVMDL_ERR_PRF_BATCH_OPEN);
    return false;
  }
  if (mode == kModeWrite) {
    writeStream_.reset(_wfopen(tempPath_.c_str(), L"wb"));
    if (!writeStream_) {
      SetQvMiddleError(GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : QVMDL_ERR_PRF_BATCH_OPEN);
      CloseStream(readStream_);
      return false;
    }
  }
  return true;
}

// Closes the pass; a write pass that got this far is committed.
bool QvProfileManipulator::ClosePass(bool commit) {
  CloseStream(readStream_);
  if (mode_ != kModeWrite) return true;
  const bool closed = CloseStream(writeStream_);
  if (!commit) return false;
  if (!closed) {
    SetQvMiddleError(GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : QVMDL_ERR_PRF_BATCH_KEY_WRITE);
    return false;
  }
  const bool replaced = CommitTemp(path_, tempPath_);
  if (!replaced) SetQvMiddleError(QVMDL_ERR_PRF_BATCH_COMMIT);
  return replaced;
}

bool QvProfileManipulator::LoadAllValues() {
  cache_.clear();
  std::u16string units;
  if (!ReadUnits(readStream_.get(), &units)) {
    SetQvMiddleError(QVMDL_ERR_PRF_BATCH_OPEN);
    return false;
  }
  uint32_t key = kInitialKey;
  LineReader lines(units);
  std::u16string_view raw;
  while (lines.Next(&raw)) {
    const std::u16string plain = ConvertValue(raw, key);
    if (IsKeyLine(plain)) {
      key = ParseKey(plain);
      continue;
    }
    const size_t equal = plain.find(u'=');
    if (equal == std::u16string::npos) continue;
    cache_.emplace(plain.substr(0, equal), plain.substr(equal + 1));  // the first assignment wins
  }
  return true;
}

bool QvProfileManipulator::ReadValues(std::deque<ProfileItem>& items) {
  const QvNamedMutex::Hold hold(mutex_);
  if (!OpenPass(kModeRead)) return false;
  bool loaded = false;
  try {
    loaded = LoadAllValues();
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
  }
  ClosePass(false);
  if (!loaded) return false;

  for (ProfileItem& item : items) {
    const auto found = cache_.find(ToUnits(item.name));
    const bool has = found != cache_.end();
    const std::wstring text = has ? FromUnits(found->second) : std::wstring();
    switch (item.kind) {
      case ProfileItem::kText:
        if (has) item.text = text;
        break;
      case ProfileItem::kNumber:
        item.number = ParseNumber(has ? text : std::to_wstring(item.number), item.number);
        break;
      case ProfileItem::kBool:
        if (text == L"1") {
          item.flag = true;
        } else if (text == L"0") {
          item.flag = false;
        }
        break;
      default:
        break;
    }
  }
  return true;
}

bool QvProfileManipulator::WriteValues(std::deque<ProfileItem> items) {
  const QvNamedMutex::Hold hold(mutex_);
  return WriteValuesLocked(items);
}

bool QvProfileManipulator::WriteValuesLocked(std::deque<ProfileItem>& items) {
  if (!FileIsPresent(path_)) {
    SetQvMiddleError(QVMDL_ERR_PRF_BATCH_NO_FILE);
    return false;
  }
  if (!FileHasRoom(QVMDL_ERR_PRF_BATCH_DISK_SPACE)) return false;
  // A name holding "=" would read back as another name: refuse before touching anything.
  for (const ProfileItem& item : items) {
    if (HasEqualSign(item.name)) {
      SetQvMiddleError(QVMDL_ERR_PRF_NAME_HAS_EQUAL);
      return false;
    }
  }
  if (!OpenPass(kModeWrite)) return false;

  bool loaded = false;
  try {
    loaded = LoadAllValues();
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
  }
  if (!loaded) return ClosePass(false);

  for (const ProfileItem& item : items) {
    std::u16string value;
    switch (item.kind) {
      case ProfileItem::kNumber: value = DecimalUnits(item.number); break;
      case ProfileItem::kBool: value = item.flag ? u"1" : u"0"; break;
      default: value = ToUnits(item.text); break;
    }
    cache_[ToUnits(item.name)] = std::move(value);
  }
  items.clear();

  if (!WriteUnits(writeStream_.get(), BomLine())) {
    SetQvMiddleError(QVMDL_ERR_PRF_BATCH_BOM_WRITE);
    return ClosePass(false);
  }
  const uint32_t key = DrawKey();
  std::u16string keyLine;
  std::u16string text;
  try {
    keyLine = KeyLine(key);
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_PRF_ALLOC_LINE);
    return ClosePass(false);
  }
  try {
    for (const auto& [name, value] : cache_) {
      text += AssignmentLine(name, value, key);
      text += kCrLf;
    }
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_PRF_ALLOC_TEXT);
    return ClosePass(false);
  }
  if (!WriteUnits(writeStream_.get(), keyLine) || !WriteUnits(writeStream_.get(), text)) {
    SetQvMiddleError(GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : QVMDL_ERR_PRF_BATCH_KEY_WRITE);
    return ClosePass(false);
  }
  return ClosePass(true);
}

bool QvProfileManipulator::CreateProfileFile() {
  qv::ScopedFile stream(_wfopen(path_.c_str(), L"wb"));
  if (!stream) {
    SetQvMiddleError(QVMDL_ERR_PRF_FILE_WRITE);
    return false;
  }
  const bool written = WriteUnits(stream.get(), BomLine()) && WriteUnits(stream.get(), KeyLine(DrawKey()));
  if (!CloseStream(stream) || !written) {
    SetQvMiddleError(QVMDL_ERR_PRF_FILE_WRITE);
    return false;
  }
  return true;
}
