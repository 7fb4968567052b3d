// A fresh device root whose registry names the data folder
// "\Application Data\QuvoMail\", with helpers that list the whole root so a
// test can see exactly what an operation made or removed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "platform/base/WideText.h"
#include "tests/support/DeviceRootFixture.h"

class AccountTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    SetQvMiddleError(0);
    MakeDataFolder();
  }
  void MakeDataFolder() {
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kData, nullptr));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", kData));
  }

  using Account = std::unique_ptr<QvAccountInfoInterface>;
  static Account Create(const std::wstring& name) { return Account(QvAccountInfoInterface::Create(name, L"")); }
  static Account Open(const std::wstring& name) { return Account(QvAccountInfoInterface::OpenAccountInfo(name, L"")); }

  // Every entry below the root (the kernel's own folder aside), relative.
  std::set<std::string> Listing() const {
    std::set<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
      const std::string rel = std::filesystem::relative(entry.path(), root_).string();
      if (rel.rfind(".qvkernel", 0) != 0) out.insert(rel);
    }
    return out;
  }
  static std::set<std::string> Minus(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::set<std::string> out;
    for (const auto& s : a) {
      if (b.count(s) == 0) out.insert(s);
    }
    return out;
  }

  static bool HostExistsAbsolute(const std::string& path) { return std::filesystem::exists(path); }

  // A value as the registry keeps it: its type and its bytes ("" when
  // absent). Text is exchanged in WCHARs with sizes in UTF-16 bytes, as on
  // the device; its bytes here are the UTF-16LE units with the final NUL.
  struct RegistryBytes {
    DWORD type = REG_NONE;
    std::string bytes;
    bool operator==(const RegistryBytes&) const = default;
  };
  static RegistryBytes ReadRegistry(HKEY root, const std::wstring& key, const std::wstring& value) {
    RegistryBytes out;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return out;
    DWORD size = 0;
    if (RegQueryValueExW(handle, value.c_str(), nullptr, &out.type, nullptr, &size) == ERROR_SUCCESS) {
      if (out.type == REG_SZ) {
        std::vector<wchar_t> units(size / 2);
        RegQueryValueExW(handle, value.c_str(), nullptr, &out.type, reinterpret_cast<BYTE*>(units.data()), &size);
        out.bytes = qv::WideToUtf16LE(std::wstring_view(units.data(), units.size()));
        if (out.bytes.size() != size) out.bytes += "<size " + std::to_string(size) + ">";
      } else {
        out.bytes.resize(size);
        RegQueryValueExW(handle, value.c_str(), nullptr, &out.type, reinterpret_cast<BYTE*>(out.bytes.data()), &size);
      }
    }
    RegCloseKey(handle);
    return out;
  }
  static RegistryBytes Text(const std::wstring& text) { return {REG_SZ, qv::WideToUtf16LE(text + L'\0')}; }
  static RegistryBytes Dword(DWORD value) { return {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4)}; }
  // The names of the keys below a key.
  static std::set<std::wstring> SubKeys(HKEY root, const std::wstring& key) {
    std::set<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
      WCHAR name[256];
      DWORD chars = 256;
      if (RegEnumKeyExW(handle, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.insert(name);
    }
    RegCloseKey(handle);
    return names;
  }

  // A library the project builds, copied to a path below the device root.
  void Install(const std::string& built, const std::string& rel) const {
    const char* named = std::getenv("QV_BINARY_DIR");
    const std::filesystem::path build =
        named != nullptr ? std::filesystem::path(named)
                         : std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    std::filesystem::create_directories(std::filesystem::path(Host(rel)).parent_path());
    std::filesystem::copy_file(build / built, Host(rel), std::filesystem::copy_options::overwrite_existing);
  }

  static constexpr const wchar_t* kData = L"\\Application Data\\QuvoMail\\";
  static constexpr const char* kDataHost = "Application Data/QuvoMail/";
};
