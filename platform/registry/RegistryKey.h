// One hive in memory: a tree of keys, each with its values, and its text form.
// Internal to the registry.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/WinTypes.h"

namespace qv::registry {

struct RegistryValue {
  std::wstring name;  // spelling of creation
  DWORD type = 0;
  std::string data;  // raw bytes; text types hold UTF-16LE
};

class RegistryKey {
 public:
  explicit RegistryKey(std::wstring name = {}) : name_(std::move(name)) {}

  const std::wstring& Name() const { return name_; }
  FILETIME LastWrite() const { return lastWrite_; }
  void SetLastWrite(FILETIME t) { lastWrite_ = t; }

  // Sub-keys in the order of their names without regard to case.
  RegistryKey* Child(std::wstring_view name) const;
  // Adds a sub-key (the caller checked that it is missing).
  RegistryKey* AddChild(std::wstring_view name);
  bool RemoveChild(std::wstring_view name);
  size_t ChildCount() const { return children_.size(); }
  const RegistryKey* ChildAt(size_t index) const;

  // Values in the order of creation.
  const RegistryValue* Value(std::wstring_view name) const;
  // Replaces or appends; a replaced value keeps its place and spelling.
  void SetValue(std::wstring_view name, DWORD type, std::string data);
  bool RemoveValue(std::wstring_view name);
  const std::vector<RegistryValue>& Values() const { return values_; }

  // The key at `path` below this one (nullptr when a name is missing).
  RegistryKey* Find(const std::vector<std::wstring>& path);

  // The whole tree as text, and back. Parsing skips lines it cannot read, so
  // a damaged line loses that entry alone.
  std::string Serialize() const;
  static std::unique_ptr<RegistryKey> Parse(std::string_view text);

 private:
  void SerializeInto(const std::string& escapedPath, std::string* out) const;

  std::wstring name_;
  FILETIME lastWrite_{};
  std::map<std::wstring, std::unique_ptr<RegistryKey>> children_;  // by folded name
  std::vector<RegistryValue> values_;
};

}  // namespace qv::registry
