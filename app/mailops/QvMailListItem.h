// One row of a mail list.
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"
#include "platform/framework/CString.h"

struct QvMailListItem {
  // Status bits.
  static constexpr uint32_t kUnread = 0x1;
  static constexpr uint32_t kProtected = 0x4;
  static constexpr uint32_t kDecodeWhole = 0x20;
  // Kinds.
  static constexpr uint32_t kSent = 0;
  static constexpr uint32_t kReceived = 1;
  static constexpr uint32_t kUnsent = 3;
  static constexpr uint32_t kImported = 4;

  DWORD messageId = 0;
  CString correspondent;  // the contact's name or the address
  CString subject;
  SYSTEMTIME date{};
  bool marked = false;
  uint32_t status = 0;
  uint32_t kind = 0;
  uint32_t spare = 0;
};
