// Gives each test its own device root in a fresh temp folder, puts every seam
// back afterwards, and lets a test see files as they lie on the host disk:
// by a path relative to the root, or by a device path ("\Folder\File").
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"
#include "tests/support/TempFolder.h"

namespace qv::test {

class DeviceRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeTempFolder("qvdevice");
    ASSERT_FALSE(root_.empty());
    qv::SetDeviceRoot(root_);
    qv::seams::ResetSeams();
  }
  void TearDown() override {
    qv::seams::ResetSeams();
    qv::SetDeviceRoot("");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Host path below the root.
  std::string Host(const std::string& rel) const { return root_ + "/" + rel; }
  void WriteHost(const std::string& rel, const std::string& bytes) const {
    std::ofstream(Host(rel), std::ios::binary) << bytes;
  }
  std::string ReadHost(const std::string& rel) const { return ReadHostFile(Host(rel)); }
  bool HostExists(const std::string& rel) const { return std::filesystem::exists(Host(rel)); }

  // The host path of a device path.
  static std::string HostOf(const std::wstring& device) {
    std::string host;
    EXPECT_TRUE(qv::DeviceToHostPath(device, &host));
    return host;
  }
  static std::string Host(const std::wstring& device) { return HostOf(device); }
  static bool Exists(const std::wstring& device) { return std::filesystem::exists(HostOf(device)); }
  // The bytes of a device file, or "<missing>".
  static std::string ReadBytes(const std::wstring& device) {
    const std::string host = HostOf(device);
    if (!std::filesystem::exists(host)) return "<missing>";
    return ReadHostFile(host);
  }
  static void WriteBytes(const std::wstring& device, const std::string& bytes) {
    std::ofstream out(HostOf(device), std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good());
    out << bytes;
    out.close();
    ASSERT_TRUE(out.good());
  }
  static void MakeDir(const std::wstring& device) { ASSERT_TRUE(CreateDirectoryW(device.c_str(), nullptr)); }
  static std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string root_;
};

}  // namespace qv::test
