// The program's copy of one account's settings, as the settings windows edit
// it: every field of the engine's settings record (the same names), the
// account's name and its two signature texts. The record's own mask is not
// used by the copy; the operations that read and write it set their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/store/QvAccountInfoInterface.h"

struct QvAccountSettings : QvAccountInfoInterface::Attributes {
  std::wstring name;
  // The first and second signature; a read always gives both.
  std::vector<std::wstring> signatures;
};

// One classification rule as the program keeps and edits it.
struct QvClassificationRuleRow {
  std::wstring name;     // at most 10 characters
  std::wstring field;    // "From", "To", "Cc", "件名" or "X-ML-name"
  std::wstring keyword;  // at most 128 characters
  uint32_t folderId = 0;
  // 1 received, 2 sent, 3 both.
  int32_t target = 0;
};

constexpr size_t kMaxClassificationRules = 256;
