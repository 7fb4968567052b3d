// The registry calls over the hive files. Every handle names a hive and a key
// path (as spelt in the tree when opened); each call finds the key afresh, so
// a key deleted meanwhile, here or by another process, answers
// ERROR_KEY_DELETED. One lock serialises all callers of the process.
#include "platform/registry/Registry.h"

#include <cstring>
#include <map>
#include <mutex>
#include <unordered_set>

#include "platform/base/WideText.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/Time.h"
#include "platform/registry/HiveFile.h"

namespace {

using qv::registry::HiveFile;
using qv::registry::RegistryKey;
using qv::registry::RegistryValue;
using Path = std::vector<std::wstring>;

enum HiveId { kClassesRoot, kCurrentUser, kLocalMachine };
constexpr const char* kHiveFiles[] = {"HKCR.dat", "HKCU.dat", "HKLM.dat"};

constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

// What a handle stands for; an open handle points to one of these.
struct KeyRef {
  HiveId hive = kCurrentUser;
  Path path;
};

struct State {
  std::mutex lock;
  std::map<std::string, std::unique_ptr<HiveFile>> hives;  // by host path: a test may move the root
  std::unordered_set<KeyRef*> open;
};

State& S() {
  static State* s = new State;  // never destroyed: handles may be closed late in exit
  return *s;
}

HiveFile& Hive(State& s, HiveId id) {
  std::string path = qv::kernel::KernelDir("registry") + "/" + kHiveFiles[id];
  std::unique_ptr<HiveFile>& slot = s.hives[path];
  if (!slot) slot = std::make_unique<HiveFile>(path);
  return *slot;
}

bool Resolve(State& s, HKEY key, KeyRef* t) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
    t->hive = key == HKEY_CLASSES_ROOT ? kClassesRoot : key == HKEY_CURRENT_USER ? kCurrentUser : kLocalMachine;
    t->path.clear();
    return true;
  }
  auto* k = reinterpret_cast<KeyRef*>(key);
  if (k == nullptr || s.open.count(k) == 0) return false;
  t->hive = k->hive;
  t->path = k->path;
  return true;
}

// Splits "A\B\C" into names. A leading "\" or an empty name inside is a bad
// path; one trailing "\" is allowed.
LONG SplitSubKey(LPCWSTR subKey, Path* names) {
  names->clear();
  if (subKey == nullptr || *subKey == 0) return ERROR_SUCCESS;
  std::wstring_view rest(subKey);
  if (rest.front() == L'\\') return ERROR_BAD_PATHNAME;
  if (rest.back() == L'\\') rest.remove_suffix(1);
  for (;;) {
    size_t sep = rest.find(L'\\');
    std::wstring_view name = rest.substr(0, sep);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    if (name.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
    names->emplace_back(name);
    if (sep == std::wstring_view::npos) return ERROR_SUCCESS;
    rest.remove_prefix(sep + 1);
  }
}

HKEY NewHandle(State& s, HiveId hive, Path path) {
  auto* k = new KeyRef{hive, std::move(path)};
  s.open.insert(k);
  return reinterpret_cast<HKEY>(k);
}

FILETIME Now() {
  FILETIME t{};
  GetSystemTimeAsFileTime(&t);
  return t;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The UTF-16LE bytes of a WCHAR buffer whose size counts 2 bytes per UTF-16
// unit; never reads more WCHARs than that many units.
std::string TextFromBuffer(const BYTE* data, DWORD size) {
  const size_t units = size / 2;
  std::string out;
  out.reserve(units * 2);
  auto put = [&out](uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  };
  for (const BYTE* p = data; out.size() / 2 < units; p += sizeof(wchar_t)) {
    wchar_t c;
    std::memcpy(&c, p, sizeof c);
    auto u = static_cast<uint32_t>(c);
    if (u >= 0x10000 && u <= 0x10FFFF) {
      u -= 0x10000;
      put(0xD800 | u >> 10);
      if (out.size() / 2 < units) put(0xDC00 | (u & 0x3FF));
    } else {
      put(u <= 0xFFFF ? u : 0xFFFD);
    }
  }
  return out;
}

// Type, data and size as RegQueryValueExW and RegEnumValueW give them.
LONG CopyData(const RegistryValue& v, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (type) *type = v.type;
  const auto needed = static_cast<DWORD>(v.data.size());
  if (data == nullptr) {
    if (size) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (IsText(v.type)) {
    std::wstring text = qv::Utf16LEToWide(v.data);
    std::memcpy(data, text.data(), text.size() * sizeof(wchar_t));
  } else {
    std::memcpy(data, v.data.data(), v.data.size());
  }
  *size = needed;
  return ERROR_SUCCESS;
}

LONG CopyName(const std::wstring& name, LPWSTR out, LPDWORD chars) {
  if (*chars < name.size() + 1) return ERROR_MORE_DATA;
  std::wmemcpy(out, name.data(), name.size());
  out[name.size()] = 0;
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// One call on a handle: holds the registry lock for its lifetime and knows
// the hive and key path the handle stands for.
class Call {
 public:
  explicit Call(HKEY key) : state_(S()), lock_(state_.lock) {
    if (!Resolve(state_, key, &target_)) error_ = ERROR_INVALID_HANDLE;
  }
  // A call that also takes a sub-key path below the handle's key.
  Call(HKEY key, LPCWSTR subKey) : Call(key) {
    if (error_ == ERROR_SUCCESS) error_ = SplitSubKey(subKey, &names_);
  }
  LONG Error() const { return error_; }
  const Path& Names() const { return names_; }
  HiveFile& File() { return Hive(state_, target_.hive); }
  Path& KeyPath() { return target_.path; }
  HKEY NewHandle(Path path) { return ::NewHandle(state_, target_.hive, std::move(path)); }

 private:
  State& state_;
  std::lock_guard<std::mutex> lock_;
  KeyRef target_;
  Path names_;
  LONG error_ = ERROR_SUCCESS;
};

// Runs `read` on the key a handle stands for, as the file holds it now.
template <typename F>
LONG ReadKey(HKEY key, F read) {
  Call call(key);
  if (call.Error() != ERROR_SUCCESS) return call.Error();
  RegistryKey* k = call.File().Current().Find(call.KeyPath());
  if (k == nullptr) return ERROR_KEY_DELETED;
  return read(*k);
}

// Runs `change` on the key a handle stands for, with the hive locked; a change
// it reports is written out.
template <typename F>
LONG ChangeKey(HKEY key, F change) {
  Call call(key);
  if (call.Error() != ERROR_SUCCESS) return call.Error();
  return call.File().Mutate([&](RegistryKey& root, bool* changed) -> LONG {
    RegistryKey* k = root.Find(call.KeyPath());
    if (k == nullptr) return ERROR_KEY_DELETED;
    return change(*k, changed);
  });
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Call call(key, subKey);
  if (call.Error() != ERROR_SUCCESS) return call.Error();
  Path path = call.KeyPath();
  RegistryKey* at = call.File().Current().Find(path);
  if (at == nullptr) return ERROR_KEY_DELETED;
  for (const std::wstring& name : call.Names()) {
    at = at->Child(name);
    if (at == nullptr) return ERROR_FILE_NOT_FOUND;
    path.push_back(at->Name());
  }
  *result = call.NewHandle(std::move(path));
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Call call(key, subKey);
  if (call.Error() != ERROR_SUCCESS) return call.Error();
  Path path = call.KeyPath();
  bool created = false;
  LONG e = call.File().Mutate([&](RegistryKey& root, bool* changed) -> LONG {
    RegistryKey* at = root.Find(path);
    if (at == nullptr) return ERROR_KEY_DELETED;
    for (const std::wstring& name : call.Names()) {
      RegistryKey* next = at->Child(name);
      if (next == nullptr) {
        at->SetLastWrite(Now());
        next = at->AddChild(name);
        next->SetLastWrite(Now());
        created = true;
      }
      path.push_back(next->Name());
      at = next;
    }
    *changed = created;
    return ERROR_SUCCESS;
  });
  if (e != ERROR_SUCCESS) return e;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = call.NewHandle(std::move(path));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  auto* k = reinterpret_cast<KeyRef*>(key);
  if (s.open.erase(k) == 0) return ERROR_INVALID_HANDLE;
  delete k;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, [&](RegistryKey& k) -> LONG {
    const RegistryValue* v = k.Value(name ? name : L"");
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    return CopyData(*v, type, data, size);
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  std::wstring_view valueName = name ? name : L"";
  if (valueName.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
  std::string bytes;
  if (IsText(type))
    bytes = TextFromBuffer(data, size);
  else if (size != 0)
    bytes.assign(reinterpret_cast<const char*>(data), size);
  return ChangeKey(key, [&](RegistryKey& k, bool* changed) -> LONG {
    k.SetValue(valueName, type, std::move(bytes));
    k.SetLastWrite(Now());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name) {
  return ChangeKey(key, [&](RegistryKey& k, bool* changed) -> LONG {
    if (!k.RemoveValue(name ? name : L"")) return ERROR_FILE_NOT_FOUND;
    k.SetLastWrite(Now());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  Call call(key, subKey);
  if (call.Error() != ERROR_SUCCESS) return call.Error();
  Path path = call.KeyPath();
  path.insert(path.end(), call.Names().begin(), call.Names().end());
  if (path.empty()) return ERROR_ACCESS_DENIED;  // a hive's root stays
  return call.File().Mutate([&](RegistryKey& root, bool* changed) -> LONG {
    if (root.Find(call.KeyPath()) == nullptr) return ERROR_KEY_DELETED;
    std::wstring last = path.back();
    path.pop_back();
    RegistryKey* parent = root.Find(path);
    if (parent == nullptr || !parent->RemoveChild(last)) return ERROR_FILE_NOT_FOUND;
    parent->SetLastWrite(Now());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPWSTR className,
                   LPDWORD classChars, LPFILETIME lastWrite) {
  if (name == nullptr || nameChars == nullptr) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, [&](RegistryKey& k) -> LONG {
    const RegistryKey* child = k.ChildAt(index);
    if (child == nullptr) return ERROR_NO_MORE_ITEMS;
    if (LONG e = CopyName(child->Name(), name, nameChars); e != ERROR_SUCCESS) return e;
    if (className != nullptr && classChars != nullptr && *classChars > 0) className[0] = 0;
    if (classChars != nullptr) *classChars = 0;
    if (lastWrite != nullptr) *lastWrite = child->LastWrite();
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPDWORD type, LPBYTE data,
                   LPDWORD size) {
  if (name == nullptr || nameChars == nullptr || (data != nullptr && size == nullptr))
    return ERROR_INVALID_PARAMETER;
  return ReadKey(key, [&](RegistryKey& k) -> LONG {
    if (index >= k.Values().size()) return ERROR_NO_MORE_ITEMS;
    const RegistryValue& v = k.Values()[index];
    if (LONG e = CopyName(v.name, name, nameChars); e != ERROR_SUCCESS) return e;
    return CopyData(v, type, data, size);
  });
}
