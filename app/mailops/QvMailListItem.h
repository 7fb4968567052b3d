// One row of a mail list.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/WideText.h"
#include "platform/base/WinTypes.h"

// A row's text kept as UTF-16, as the store's records hold it: half the
// room of a wide string, and a list keeps two for each of up to 1,000 rows.
class QvRowText {
 public:
  QvRowText() = default;
  QvRowText(std::wstring_view text) : units_(qv::WideToUtf16(text)) {}  // NOLINT: as a string converts
  QvRowText(const wchar_t* text) : QvRowText(std::wstring_view(text ? text : L"")) {}  // NOLINT
  std::wstring str() const { return qv::Utf16ToWide(units_); }
  explicit operator std::wstring() const { return str(); }
  bool empty() const { return units_.empty(); }
  // In the order of the code points, as wide strings compare: a pair sorts
  // above the units from U+E000 up.
  int Compare(const QvRowText& other) const {
    const size_t n = std::min(units_.size(), other.units_.size());
    for (size_t i = 0; i < n; ++i) {
      if (units_[i] != other.units_[i]) return Order(units_[i]) < Order(other.units_[i]) ? -1 : 1;
    }
    return units_.size() == other.units_.size() ? 0 : (units_.size() < other.units_.size() ? -1 : 1);
  }

 private:
  static uint32_t Order(char16_t u) { return u >= 0xD800 ? (u >= 0xE000 ? u - 0x800u : u + 0x2000u) : u; }
  std::u16string units_;
};

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
  QvRowText correspondent;  // the contact's name or the address
  QvRowText subject;
  SYSTEMTIME date{};
  bool marked = false;
  uint32_t status = 0;
  uint32_t kind = 0;
  uint32_t spare = 0;
};
