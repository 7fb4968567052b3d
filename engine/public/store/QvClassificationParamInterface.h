// The exported face of an account's classification rules: the whole list is
// read and replaced at once. Mail whose header field contains the keyword
// goes to the rule's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"

class QvClassificationParam;

class QVMIDDLE_API QvClassificationParamInterface {
 public:
  // One rule.
  struct Attributes {
    std::wstring name;     // display name, at most 10 characters stored
    std::wstring field;    // "From", "To", "Cc", "件名" or "X-ML-name"; any other never matches
    std::wstring keyword;  // searched for in that header, at most 128 characters stored
    uint32_t folderId = 0;
    int32_t direction = 0;   // 1 received mail, 2 sent mail, 3 both; other values never match
    int32_t readStatus = 0;  // 16 when read from a line without the direction column; not stored
  };

  // The rule status of a line written before rules had a direction.
  static constexpr int32_t kStatusNoDirection = 16;

  // Takes over one reference of `param` (null allowed); the destructor hands
  // it back to the rule cache.
  explicit QvClassificationParamInterface(QvClassificationParam* param);
  ~QvClassificationParamInterface();
  QvClassificationParamInterface(const QvClassificationParamInterface&) = delete;
  QvClassificationParamInterface& operator=(const QvClassificationParamInterface&) = delete;

  bool GetAttributes(std::vector<Attributes>* rules);
  bool SetAttributes(const std::vector<Attributes>& rules);
  uint32_t GetErrorInfo();

 private:
  QvClassificationParam* param_;
};
