// Each test gets its own device root (removed afterwards), reset seams and a
// cleared error word, plus helpers to see device files as they lie on disk.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/store/QvMiddleError.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"

class FoundationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvfound-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    qv::SetDeviceRoot(root_);
    qv::testing::ResetSeams();
    SetQvMiddleError(0);
  }
  void TearDown() override {
    unsetenv("QVMAIL_DEBUG");
    qv::testing::ResetSeams();
    qv::SetDeviceRoot("");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::remove(root_ + "-debug.txt", ignored);
  }

  static std::string Host(const std::wstring& device) {
    std::string host;
    EXPECT_TRUE(qv::DeviceToHostPath(device, &host));
    return host;
  }
  static bool Exists(const std::wstring& device) { return std::filesystem::exists(Host(device)); }
  static std::string ReadBytes(const std::wstring& device) {
    std::ifstream in(Host(device), std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  static void WriteBytes(const std::wstring& device, const std::string& bytes) {
    std::ofstream out(Host(device), std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good());
    out << bytes;
  }

  // Sends the debug print to a file of this test and returns its path.
  std::string CaptureDebug() {
    const std::string path = root_ + "-debug.txt";
    std::filesystem::remove(path);
    setenv("QVMAIL_DEBUG", path.c_str(), 1);
    return path;
  }
  static std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  std::string root_;
};
