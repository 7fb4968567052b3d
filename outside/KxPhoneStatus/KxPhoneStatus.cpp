// Stand-in for the maker's phone-status library. The indicator items live in
// HKCU "Software\Norvale\PhoneStatus", where the program's windows read them
// too: item n as the DWORD "Status<n>" and its text as "Text<n>".
#include <string>

#include "platform/base/WinFormat.h"
#include "platform/registry/Registry.h"

#define KXPHONESTATUS_API __attribute__((visibility("default")))

namespace {

constexpr wchar_t kKey[] = L"Software\\Norvale\\PhoneStatus";
// Callers hand text buffers of MAX_PATH units.
constexpr DWORD kTextUnits = 260;

class Key {
 public:
  explicit Key(bool write) {
    DWORD disposition = 0;
    const LONG rc = write ? RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                            nullptr, &key_, &disposition)
                          : RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key_);
    if (rc != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring Name(const wchar_t* kind, unsigned int item) { return qv::FormatW(L"%s%u", kind, item); }

}  // namespace

extern "C" {

KXPHONESTATUS_API int SetPhoneStatus(unsigned int item, unsigned int value) {
  Key key(true);
  const DWORD data = value;
  return key.get() != nullptr && RegSetValueExW(key.get(), Name(L"Status", item).c_str(), 0, REG_DWORD,
                                                reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

KXPHONESTATUS_API unsigned int GetPhoneStatus(unsigned int item) {
  Key key(false);
  DWORD data = 0;
  DWORD type = REG_NONE;
  DWORD size = 0;
  // The type first: a text value would not fit a DWORD.
  if (key.get() == nullptr ||
      RegQueryValueExW(key.get(), Name(L"Status", item).c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data) {
    return 0;
  }
  RegQueryValueExW(key.get(), Name(L"Status", item).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  return data;
}

KXPHONESTATUS_API int SetPhoneStatusStr(unsigned int item, const wchar_t* text) {
  if (text == nullptr) return 0;
  Key key(true);
  const std::wstring value(text);
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * 2);
  return key.get() != nullptr && RegSetValueExW(key.get(), Name(L"Text", item).c_str(), 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

// The text's length in units, 0 when there is none.
KXPHONESTATUS_API unsigned int GetPhoneStatusStr(unsigned int item, wchar_t* buffer) {
  if (buffer == nullptr) return 0;
  buffer[0] = 0;
  Key key(false);
  DWORD type = REG_NONE;
  DWORD size = kTextUnits * 2;
  if (key.get() == nullptr || RegQueryValueExW(key.get(), Name(L"Text", item).c_str(), nullptr, &type,
                                               reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    buffer[0] = 0;
    return 0;
  }
  buffer[kTextUnits - 1] = 0;
  return static_cast<unsigned int>(std::wstring(buffer).size());
}

}  // extern "C"
