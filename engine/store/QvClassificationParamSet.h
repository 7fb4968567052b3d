// The process-wide cache of rule objects: one QvClassificationParam per
// classification folder, counted by reference, under the system-wide
// "QvClassificationParamSet Mutex". It also creates and destroys an account's
// rule storage. Built on first use, destroyed when the library unloads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/public/foundation/QvNamedMutex.h"

class QvClassificationParam;

class QvClassificationParamSet {
 public:
  static constexpr wchar_t kMutexName[] = L"QvClassificationParamSet Mutex";

  static QvClassificationParamSet& Instance();

  // The folder's object with one more reference; null with the error word
  // set when it cannot be made.
  QvClassificationParam* Open(const std::wstring& folder);
  // One reference less; the last one destroys the object. False when the
  // object is not one of the cache's.
  bool Close(QvClassificationParam* param);
  // Number of references held on the folder's object (0 when none).
  uint32_t References(const std::wstring& folder);

  // Creates the empty rule file of a new account's folder.
  static bool Create(const std::wstring& folder);
  // Deletes everything below the folder; the folder itself stays.
  static bool Destroy(const std::wstring& folder);

 private:
  struct Entry {
    uint32_t references = 0;
    std::unique_ptr<QvClassificationParam> param;
  };

  QvClassificationParamSet();

  QvNamedMutex mutex_;
  std::map<std::wstring, Entry> entries_;  // by folder, case folded as the device compares names
};
