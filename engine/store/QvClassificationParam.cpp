#include "engine/store/QvClassificationParam.h"

#include <cstdio>
#include <deque>
#include <new>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvRuleLine.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Files.h"

namespace {

// Rules converted from the older file had no direction; they classified
// received mail, which is what they keep doing.
constexpr int32_t kConvertedDirection = 1;

// A file larger than this holds more rules, or longer lines, than any file
// the writer makes.
constexpr size_t kMaxFileBytes = (QvClassificationParam::kMaxRules + 1) * QvRuleLine::kMaxLineUnits * 2;

bool Finish(uint32_t code) {
  if (code == QVMDL_SUCCESS) return true;
  SetQvMiddleError(code);
  return false;
}

uint32_t EncodeRules(const std::vector<QvClassificationParam::Rule>& rules, std::string* bytes) {
  try {
    for (const auto& rule : rules) *bytes += QvRuleLine::Encode(rule);
  } catch (const std::bad_alloc&) {
    return QVMDL_ERR_CLS_NOT_ENOUGH_MEMORY;
  }
  return QVMDL_SUCCESS;
}

// Writes `bytes` as a new file at `path`; a failed write deletes it.
uint32_t WriteNewFile(const std::wstring& path, const std::string& bytes, uint32_t openFailure) {
  qv::ScopedFile stream(_wfopen(path.c_str(), L"wb"));
  if (!stream) return openFailure;
  bool written = QvStoreFile::WriteAll(stream.get(), bytes.data(), bytes.size());
  if (!qv::CloseWritten(stream)) written = false;
  if (written) return QVMDL_SUCCESS;
  DeleteFileW(path.c_str());
  return QVMDL_ERR_CLS_WRITE;
}

}  // namespace

const QvStoreFileCodes QvClassificationParam::kCodes = {
    QVMDL_ERR_CLS_OPEN,
    QVMDL_ERR_CLS_WRITE,
    QVMDL_ERR_CLS_READ,
    QVMDL_ERR_CLS_FORMAT,
    {QVMDL_ERR_CLS_SAFESAVE_BACKUP, QVMDL_ERR_CLS_SAFESAVE_DELBAK, QVMDL_ERR_CLS_SAFESAVE_RESTOREBAK,
     QVMDL_ERR_CLS_SAFESAVE_DELTMP, QVMDL_ERR_CLS_SAFESAVE_MOVETMP, QVMDL_ERR_CLS_SAFESAVE_NOFILE},
};

QvClassificationParam::QvClassificationParam(const std::wstring& folder) : folder_(folder), mutex_(kMutexName) {}

bool QvClassificationParam::Read(std::vector<Rule>* rules) {
  if (rules == nullptr) return Finish(QVMDL_ERR_CLS_NULL_ARGUMENT);
  QvNamedMutex::Hold hold(mutex_);
  return Finish(ReadLocked(rules));
}

bool QvClassificationParam::Write(const std::vector<Rule>& rules) {
  if (rules.size() > kMaxRules) return Finish(QVMDL_ERR_CLS_TOO_MANY);
  QvNamedMutex::Hold hold(mutex_);
  return Finish(WriteLocked(rules));
}

uint32_t QvClassificationParam::ReadLocked(std::vector<Rule>* rules) {
  const std::wstring file = RuleFileOf(folder_);
  uint32_t code = RestoreInterruptedFile(file, QvStoreFile::TempOf(file));
  if (code == QVMDL_ERR_SAFESAVE_NOFILE) {
    if (ConvertOldFile() != QVMDL_SUCCESS) return QVMDL_ERR_CLS_CONVERT;
  } else if (code != QVMDL_SUCCESS) {
    return QvStoreFile::MapSafeSave(code, kCodes);
  }
  std::string bytes;
  code = QvStoreFile::ReadAll(file, kCodes, kMaxFileBytes, &bytes);
  if (code != QVMDL_SUCCESS) return code;
  rules->clear();
  const std::wstring text = qv::Utf16LEToWide(bytes);
  bool withoutDirection = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(L'\n', start);
    end = end == std::wstring::npos ? text.size() : end + 1;
    if (end - start > QvRuleLine::kMaxLineUnits) return QVMDL_ERR_CLS_FORMAT;
    Rule rule;
    switch (QvRuleLine::Parse(std::wstring_view(text).substr(start, end - start), &rule)) {
      case QvRuleLine::Parsed::kBadFormat:
        return QVMDL_ERR_CLS_FORMAT;
      case QvRuleLine::Parsed::kNoLineEnd:
        return QVMDL_ERR_CLS_NO_LINE_END;
      case QvRuleLine::Parsed::kRuleWithoutDirection:
        withoutDirection = true;
        break;
      case QvRuleLine::Parsed::kRule:
        break;
    }
    rules->push_back(std::move(rule));
    if (rules->size() > kMaxRules) return QVMDL_ERR_CLS_TOO_MANY;
    start = end;
  }
  // Half a UTF-16 unit at the end: the file was cut short.
  if (bytes.size() % 2 != 0) return QVMDL_ERR_CLS_FORMAT;
  return withoutDirection ? QVMDL_ERR_CLS_NO_DIRECTION : QVMDL_SUCCESS;
}

uint32_t QvClassificationParam::WriteLocked(const std::vector<Rule>& rules) {
  const std::wstring file = RuleFileOf(folder_);
  const std::wstring temp = QvStoreFile::TempOf(file);
  uint32_t code = RestoreInterruptedFile(file, temp);
  if (code != QVMDL_SUCCESS) return QvStoreFile::MapSafeSave(code, kCodes);
  std::string bytes;
  code = EncodeRules(rules, &bytes);
  if (code != QVMDL_SUCCESS) return code;
  SetLastError(0);
  code = WriteNewFile(temp, bytes, QVMDL_ERR_CLS_OPEN);
  if (code == QVMDL_ERR_CLS_OPEN && GetLastError() == ERROR_DISK_FULL) return QVMDL_ERR_CLS_DISK_FULL;
  if (code != QVMDL_SUCCESS) return code;
  return QvStoreFile::MapSafeSave(ReplaceFileWithTemp(file, temp), kCodes);
}

uint32_t QvClassificationParam::ReadOldRules(QvProfileManipulator& profile, std::vector<Rule>* rules) {
  std::wstring countText;
  if (!profile.GetPrivateProfileString(L"count", L"", &countText) || countText.empty()) return QVMDL_ERR_CLS_FORMAT;
  const uint32_t count = QvProfileManipulator::ParseNumber(countText, 0);
  // More than the list may hold: the file is damaged, and is kept.
  if (count > kMaxRules) return QVMDL_ERR_CLS_FORMAT;
  static constexpr const wchar_t* kKeys[] = {L"%dname", L"%dfield", L"%dkeyword", L"%dfolderid"};
  std::deque<ProfileItem> items;
  for (uint32_t i = 0; i < count; ++i) {
    for (const wchar_t* key : kKeys) {
      ProfileItem item;
      item.name = qv::FormatW(key, i);
      items.push_back(std::move(item));
    }
  }
  if (count > 0 && !profile.ReadValues(items)) return QVMDL_ERR_CLS_FORMAT;
  for (size_t i = 0; i < items.size(); i += 4) {
    for (size_t k = 0; k < 4; ++k) {
      if (items[i + k].text.empty()) return QVMDL_ERR_CLS_FORMAT;
    }
    Rule rule;
    rule.name = items[i].text;
    rule.field = items[i + 1].text;
    rule.keyword = items[i + 2].text;
    rule.folderId = QvProfileManipulator::ParseNumber(items[i + 3].text, 0);
    rule.direction = kConvertedDirection;
    rules->push_back(std::move(rule));
  }
  return QVMDL_SUCCESS;
}

uint32_t QvClassificationParam::ConvertOldFile() {
  const std::wstring old = OldRuleFileOf(folder_);
  const uint32_t settled = RestoreInterruptedFile(old, old + L"_tmp");
  // Left-over copies that could not be deleted do not stop the reading.
  if (settled != QVMDL_SUCCESS && settled != QVMDL_ERR_SAFESAVE_DELBAK && settled != QVMDL_ERR_SAFESAVE_DELTMP) {
    return QVMDL_ERR_CLS_SAFESAVE_NOFILE;
  }
  QvProfileManipulator profile(old);
  std::vector<Rule> rules;
  uint32_t code = ReadOldRules(profile, &rules);
  std::string bytes;
  if (code == QVMDL_SUCCESS) code = EncodeRules(rules, &bytes);
  const std::wstring converted = ConversionFileOf(folder_);
  if (code == QVMDL_SUCCESS) code = WriteNewFile(converted, bytes, QVMDL_ERR_CLS_OPEN);
  if (code == QVMDL_SUCCESS && !MoveFileW(converted.c_str(), RuleFileOf(folder_).c_str())) {
    DeleteFileW(converted.c_str());
    code = QVMDL_ERR_CLS_SAFESAVE_MOVETMP;
  }
  if (code != QVMDL_SUCCESS) return code;
  DeleteFileW(old.c_str());
  return QVMDL_SUCCESS;
}
