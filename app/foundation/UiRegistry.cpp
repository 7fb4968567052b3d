#include "app/foundation/UiRegistry.h"

#include <cwchar>

#include "platform/base/WideText.h"
#include "platform/registry/Registry.h"

namespace {

// Text readers use the buffer the device's string helpers take.
constexpr DWORD kStringBufferBytes = 4096;

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool Open(HKEY root, const CString& subKey) {
    return RegOpenKeyExW(root, subKey, 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  // Writers make the key when it is missing.
  bool Create(HKEY root, const CString& subKey) {
    DWORD disposition = 0;
    return RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                           &disposition) == ERROR_SUCCESS;
  }
  bool SetDword(LPCWSTR name, DWORD value) {
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
  }
  // REG_SZ counted without its terminating character, as the device's writers do.
  bool SetString(LPCWSTR name, LPCWSTR text) {
    const auto bytes = static_cast<DWORD>(2 * qv::Utf16Length(text ? text : L""));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text ? text : L""), bytes) ==
           ERROR_SUCCESS;
  }
  bool GetDword(LPCWSTR name, DWORD* out) const {
    DWORD type = REG_NONE, size = 0;
    // The type first: a text value would not fit a number's four bytes.
    if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof(DWORD)) {
      return false;
    }
    return RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<LPBYTE>(out), &size) == ERROR_SUCCESS;
  }
  bool GetString(LPCWSTR name, CString& out) const {
    // Values are stored without a terminator: the spare unit stays zero.
    WCHAR buffer[kStringBufferBytes / 2 + 1] = {};
    DWORD type = REG_NONE, size = kStringBufferBytes;
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return false;
    }
    out = buffer;
    return true;
  }

 private:
  HKEY key_ = nullptr;
};

bool WriteDword(LPCWSTR subKey, LPCWSTR name, DWORD value) {
  Key key;
  return key.Create(HKEY_CURRENT_USER, subKey) && key.SetDword(name, value);
}

bool ReadDword(LPCWSTR subKey, LPCWSTR name, DWORD* out) {
  Key key;
  return key.Open(HKEY_CURRENT_USER, subKey) && key.GetDword(name, out);
}

bool WriteProgramString(LPCWSTR name, LPCWSTR text) {
  Key key;
  return key.Create(HKEY_CURRENT_USER, kProgramKey) && key.SetString(name, text);
}

// An account's name becomes one key name: empty or holding a separator, it
// would reach another key (the whole list, or one below another account).
bool IsKeyName(LPCWSTR name) { return name && *name && !std::wcschr(name, L'\\'); }

CString AccountKey(LPCWSTR account) {
  CString key;
  key.Format(L"%s\\accounts\\%s", kProgramKey, account);
  return key;
}

CString InboxKey(LPCWSTR name, bool handwriting) {
  CString key = kExternalAccountsKey;
  key += name;
  if (handwriting) key += kHandwritingKeySuffix;
  return key;
}

bool RegisterInboxKey(LPCWSTR name, LPCWSTR address, bool handwriting) {
  CString display = handwriting ? L"手書きメールを" : L"T-VELA4メールで";
  display += L"送信 (";
  display += name;
  display += L")";
  Key key;
  if (!key.Create(HKEY_LOCAL_MACHINE, InboxKey(name, handwriting))) return false;
  bool ok = key.SetString(L"DisplayName", display);
  ok = key.SetString(L"Address", address) && ok;
  ok = key.SetString(L"Handler", kInboxHandler) && ok;
  ok = key.SetString(L"AccountName", name) && ok;
  if (handwriting) ok = key.SetDword(L"SendMode", 1) && ok;
  return ok;
}

bool DeleteKey(HKEY root, const CString& subKey) {
  const LONG rc = RegDeleteKeyW(root, subKey);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool ReadRegistryString(LPCWSTR subKey, LPCWSTR name, CString& out) {
  Key key;
  return key.Open(HKEY_CURRENT_USER, subKey) && key.GetString(name, out);
}

bool GetMainSplitPos(int* x, int* y) {
  DWORD vx = 400, vy = 299;
  const bool gotX = ReadDword(kProgramKey, L"MainSplitX", &vx);
  const bool gotY = ReadDword(kProgramKey, L"MainSplitY", &vy);
  *x = static_cast<int>(vx);
  *y = static_cast<int>(vy);
  return gotX && gotY;
}

bool SetMainSplitPos(int x, int y) {
  Key key;
  return key.Create(HKEY_CURRENT_USER, kProgramKey) && key.SetDword(L"MainSplitX", static_cast<DWORD>(x)) &&
         key.SetDword(L"MainSplitY", static_cast<DWORD>(y));
}

bool GetSortColumn(int* column) {
  DWORD value = 0;
  if (!ReadDword(kProgramKey, L"SortColm", &value)) return false;
  *column = static_cast<int>(value);
  return true;
}

bool SetSortColumn(int column) { return WriteDword(kProgramKey, L"SortColm", static_cast<DWORD>(column)); }

bool GetSortOption(DWORD* option) {
  *option = 0;
  return ReadDword(kProgramKey, L"SortOpt", option);
}

bool SetSortOption(DWORD option) { return WriteDword(kProgramKey, L"SortOpt", option); }
bool WriteErrorDetailCode(DWORD code) { return WriteDword(kProgramKey, L"DetailCode", code); }

bool SetAccountNoRead(LPCWSTR account, DWORD value) {
  return IsKeyName(account) && WriteDword(AccountKey(account), L"NoRead", value);
}

bool DeleteAccountRegKey(LPCWSTR account) {
  return IsKeyName(account) && RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(account)) == ERROR_SUCCESS;
}

bool SetPictureCharCursor(DWORD value) { return WriteDword(kKeyglideKey, L"PictureChar", value); }

bool SetLastSelectAccount(LPCWSTR name) { return WriteProgramString(L"LastSelectAccount", name); }
bool GetLastSelectAccount(CString& name) {
  CString value;
  if (!ReadRegistryString(kProgramKey, L"LastSelectAccount", value) || value.IsEmpty()) return false;
  name = value;
  return true;
}
bool SetLastImportDir(LPCWSTR folder) { return WriteProgramString(L"LastImportDir", folder); }
bool GetLastImportDir(CString& folder) { return ReadRegistryString(kProgramKey, L"LastImportDir", folder); }
bool SetLastExportDir(LPCWSTR folder) { return WriteProgramString(L"LastExportDir", folder); }
bool GetLastExportDir(CString& folder) { return ReadRegistryString(kProgramKey, L"LastExportDir", folder); }
bool SetCmdArgs(LPCWSTR args) { return WriteProgramString(L"CmdArgs", args); }
bool GetCmdArgs(CString& args) { return ReadRegistryString(kProgramKey, L"CmdArgs", args); }
bool GetDataPathSetting(CString& path) { return ReadRegistryString(kProgramKey, L"DataPath", path); }

bool GetRegistryVersion(CString& version) {
  if (ReadRegistryString(kProgramKey, L"Version", version) && !version.IsEmpty()) return true;
  version = kDefaultRegistryVersion;
  return WriteProgramString(L"Version", kDefaultRegistryVersion);
}

bool RegisterInboxAccount(LPCWSTR name, LPCWSTR address) {
  if (!IsKeyName(name)) return false;
  const bool first = RegisterInboxKey(name, address, false);
  return RegisterInboxKey(name, address, true) && first;
}

bool UnregisterInboxAccount(LPCWSTR name) {
  if (!IsKeyName(name)) return false;
  const bool first = DeleteKey(HKEY_LOCAL_MACHINE, InboxKey(name, false));
  return DeleteKey(HKEY_LOCAL_MACHINE, InboxKey(name, true)) && first;
}

bool IsInboxAccountRegistered(LPCWSTR name) {
  CString value;
  Key key;
  return IsKeyName(name) && key.Open(HKEY_LOCAL_MACHINE, InboxKey(name, false)) && key.GetString(L"AccountName", value);
}
