#include "platform/registry/RegistryKey.h"

#include <algorithm>
#include <charconv>

#include "platform/base/HexBytes.h"
#include "platform/base/WideText.h"

// The hive file, one line per record, fields separated by tabs:
//   QvRegistry 1
//   K <last write, 100 ns since 1601> <key path, names joined by "\">
//   V <value name> <type> <data in hex>
// A value line belongs to the key line above it; the root key has an empty
// path. Names are written as printable ASCII, every other character (tab,
// "\", "%", non-ASCII) as "%<hex code>;", so any name survives.

namespace qv::registry {
namespace {

constexpr std::string_view kHeader = "QvRegistry 1";

void AppendEscaped(std::wstring_view name, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (wchar_t c : name) {
    auto u = static_cast<uint32_t>(c);
    if (u > 0x20 && u < 0x7F && u != '%' && u != '\\') {
      out->push_back(static_cast<char>(u));
      continue;
    }
    out->push_back('%');
    char digits[8];
    int n = 0;
    do {
      digits[n++] = kHex[u & 0xF];
      u >>= 4;
    } while (u != 0);
    while (n > 0) out->push_back(digits[--n]);
    out->push_back(';');
  }
}

bool Unescape(std::string_view text, std::wstring* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(static_cast<wchar_t>(static_cast<unsigned char>(text[i])));
      continue;
    }
    size_t end = text.find(';', i);
    if (end == std::string_view::npos || end == i + 1 || end - i > 9) return false;
    uint32_t u = 0;
    auto [p, ec] = std::from_chars(text.data() + i + 1, text.data() + end, u, 16);
    if (ec != std::errc() || p != text.data() + end) return false;
    out->push_back(static_cast<wchar_t>(u));
    i = end;
  }
  return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

template <typename T>
bool ParseNumber(std::string_view text, T* out) {
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && p == text.data() + text.size() && !text.empty();
}

// Creates the keys of an escaped path as needed; nullptr for a bad path.
RegistryKey* MakePath(RegistryKey* root, std::string_view path) {
  RegistryKey* key = root;
  if (path.empty()) return key;
  size_t start = 0;
  for (;;) {
    size_t sep = path.find('\\', start);
    std::wstring name;
    if (!Unescape(path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start), &name) ||
        name.empty())
      return nullptr;
    RegistryKey* child = key->Child(name);
    key = child ? child : key->AddChild(name);
    if (sep == std::string_view::npos) return key;
    start = sep + 1;
  }
}

}  // namespace

RegistryKey* RegistryKey::Child(std::wstring_view name) const {
  auto it = children_.find(FoldCase(name));
  return it == children_.end() ? nullptr : it->second.get();
}

RegistryKey* RegistryKey::AddChild(std::wstring_view name) {
  auto& slot = children_[FoldCase(name)];
  if (!slot) slot = std::make_unique<RegistryKey>(std::wstring(name));
  return slot.get();
}

bool RegistryKey::RemoveChild(std::wstring_view name) { return children_.erase(FoldCase(name)) != 0; }

const RegistryKey* RegistryKey::ChildAt(size_t index) const {
  if (index >= children_.size()) return nullptr;
  return std::next(children_.begin(), static_cast<std::ptrdiff_t>(index))->second.get();
}

const RegistryValue* RegistryKey::Value(std::wstring_view name) const {
  for (const RegistryValue& v : values_) {
    if (EqualsNoCase(v.name, name)) return &v;
  }
  return nullptr;
}

void RegistryKey::SetValue(std::wstring_view name, DWORD type, std::string data) {
  for (RegistryValue& v : values_) {
    if (EqualsNoCase(v.name, name)) {
      v.type = type;
      v.data = std::move(data);
      return;
    }
  }
  values_.push_back(RegistryValue{std::wstring(name), type, std::move(data)});
}

bool RegistryKey::RemoveValue(std::wstring_view name) {
  auto it = std::find_if(values_.begin(), values_.end(),
                         [&](const RegistryValue& v) { return EqualsNoCase(v.name, name); });
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

RegistryKey* RegistryKey::Find(const std::vector<std::wstring>& path) {
  RegistryKey* key = this;
  for (const std::wstring& name : path) {
    key = key->Child(name);
    if (!key) return nullptr;
  }
  return key;
}

std::string RegistryKey::Serialize() const {
  std::string out(kHeader);
  out.push_back('\n');
  SerializeInto({}, &out);
  return out;
}

void RegistryKey::SerializeInto(const std::string& path, std::string* out) const {
  uint64_t t = static_cast<uint64_t>(lastWrite_.dwHighDateTime) << 32 | lastWrite_.dwLowDateTime;
  out->append("K\t").append(std::to_string(t)).append("\t").append(path).append("\n");
  for (const RegistryValue& v : values_) {
    out->append("V\t");
    AppendEscaped(v.name, out);
    out->append("\t").append(std::to_string(v.type)).append("\t");
    AppendHex(v.data, out);
    out->push_back('\n');
  }
  for (const auto& [folded, child] : children_) {
    std::string childPath = path;
    if (!childPath.empty()) childPath.push_back('\\');
    AppendEscaped(child->name_, &childPath);
    child->SerializeInto(childPath, out);
  }
}

std::unique_ptr<RegistryKey> RegistryKey::Parse(std::string_view text) {
  auto root = std::make_unique<RegistryKey>();
  RegistryKey* current = nullptr;
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    if (first) {
      first = false;
      if (line == kHeader) continue;
    }
    std::vector<std::string_view> f = SplitTabs(line);
    if (f.size() == 3 && f[0] == "K") {
      uint64_t t = 0;
      current = ParseNumber(f[1], &t) ? MakePath(root.get(), f[2]) : nullptr;
      if (current) current->SetLastWrite(FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)});
    } else if (f.size() == 4 && f[0] == "V" && current) {
      std::wstring name;
      DWORD type = 0;
      std::string data;
      if (Unescape(f[1], &name) && ParseNumber(f[2], &type) && UnHex(f[3], &data))
        current->SetValue(name, type, std::move(data));
    }
  }
  return root;
}

}  // namespace qv::registry
