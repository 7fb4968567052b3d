// The shared device-root fixture, plus a cleared error word and helpers to
// see device files as they lie on disk and to capture the debug print.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/store/QvMiddleError.h"
#include "platform/kernel/Files.h"
#include "tests/platform/kernel/DeviceRootFixture.h"

class FoundationTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    SetQvMiddleError(0);
  }
  void TearDown() override {
    unsetenv("QVMAIL_DEBUG");
    DeviceRootTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove(root_ + "-debug.txt", ignored);
  }

  static std::string HostOf(const std::wstring& device) {
    std::string host;
    EXPECT_TRUE(qv::DeviceToHostPath(device, &host));
    return host;
  }
  static bool Exists(const std::wstring& device) { return std::filesystem::exists(HostOf(device)); }
  static std::string ReadBytes(const std::wstring& device) {
    std::ifstream in(HostOf(device), std::ios::binary);
    if (!in) return "<missing>";
    return ReadStream(in);
  }
  static void WriteBytes(const std::wstring& device, const std::string& bytes) {
    std::ofstream out(HostOf(device), std::ios::binary | std::ios::trunc);
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
    return ReadStream(in);
  }

 private:
  static std::string ReadStream(std::ifstream& in) {
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
};
