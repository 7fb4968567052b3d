// Each test gets its own device root, removed afterwards, and helpers to see
// the bytes of a device file as they lie on disk.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/store/QvMiddleError.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"

class StoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvstore1-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    qv::SetDeviceRoot(root_);
    qv::testing::ResetSeams();
    SetQvMiddleError(0);
  }
  void TearDown() override {
    qv::testing::ResetSeams();
    qv::SetDeviceRoot("");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  static std::string Host(const std::wstring& device) {
    std::string host;
    EXPECT_TRUE(qv::DeviceToHostPath(device, &host));
    return host;
  }
  static bool Exists(const std::wstring& device) { return std::filesystem::exists(Host(device)); }
  static std::string ReadBytes(const std::wstring& device) {
    FILE* f = _wfopen(device.c_str(), L"rb");
    if (f == nullptr) return "<missing>";
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
  }
  static void WriteBytes(const std::wstring& device, const std::string& bytes) {
    FILE* f = _wfopen(device.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);
  }
  static void MakeDir(const std::wstring& device) { ASSERT_TRUE(CreateDirectoryW(device.c_str(), nullptr)); }

  std::string root_;
};
