// One account's classification rules: the file "\Rule.cls" in the account's
// classification folder, read and replaced whole under the system-wide
// "QvClassificationParam Mutex". Replacing goes through a "_tmp" copy and the
// safe-replace commit; a folder that still has only the older "\Data.ini"
// has it converted on the first read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/store/QvStoreFile.h"
#include "engine/public/store/QvClassificationParamInterface.h"

class QvProfileManipulator;

class QvClassificationParam {
 public:
  using Rule = QvClassificationParamInterface::Attributes;

  static constexpr size_t kMaxRules = 256;
  static constexpr wchar_t kMutexName[] = L"QvClassificationParam Mutex";

  explicit QvClassificationParam(const std::wstring& folder);
  QvClassificationParam(const QvClassificationParam&) = delete;
  QvClassificationParam& operator=(const QvClassificationParam&) = delete;

  // Fills `rules` from the file. On a damaged line the rules before it are
  // left in `rules`; the result is false with the reason in the error word.
  bool Read(std::vector<Rule>* rules);
  // Replaces the file with `rules`; on failure the file keeps its rules.
  bool Write(const std::vector<Rule>& rules);

  const std::wstring& Folder() const { return folder_; }
  static std::wstring RuleFileOf(const std::wstring& folder) { return folder + L"\\Rule.cls"; }
  static std::wstring OldRuleFileOf(const std::wstring& folder) { return folder + L"\\Data.ini"; }
  // Where the conversion writes before the result takes the rule file's
  // name: a name the interrupted-save recovery does not know, so that a
  // conversion cut short is never taken for a finished one.
  static std::wstring ConversionFileOf(const std::wstring& folder) { return folder + L"\\Rule.cls_cnv"; }

  // The codes of the rule file, in the store's file-kind shape.
  static const QvStoreFileCodes kCodes;

 private:
  uint32_t ReadLocked(std::vector<Rule>* rules);
  uint32_t WriteLocked(const std::vector<Rule>& rules);
  uint32_t ConvertOldFile();
  uint32_t ReadOldRules(QvProfileManipulator& profile, std::vector<Rule>* rules);

  std::wstring folder_;
  QvNamedMutex mutex_;
};
