// A fresh device root whose registry names the data folder
// "\Application Data\QuvoMail\", with helpers that list the whole root so a
// test can see exactly what an operation made or removed.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "engine/foundation/QvAccountInfoInterface.h"
#include "engine/foundation/QvMiddleError.h"
#include "engine/foundation/QvRegistryValue.h"
#include "tests/support/DeviceRootFixture.h"

class AccountTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    SetQvMiddleError(0);
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

  static constexpr const wchar_t* kData = L"\\Application Data\\QuvoMail\\";
  static constexpr const char* kDataHost = "Application Data/QuvoMail/";
};
