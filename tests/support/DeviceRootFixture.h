// Gives each test its own device root in a fresh temp folder, and puts every
// seam back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/kernel/DeviceFs.h"
#include "platform/testing/Seams.h"

namespace qv::test {

class DeviceRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/qvdevice-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    root_ = templ;
    qv::SetDeviceRoot(root_);
    qv::testing::ResetSeams();
  }
  void TearDown() override {
    qv::testing::ResetSeams();
    qv::SetDeviceRoot("");
    std::filesystem::remove_all(root_);
  }
  // Host path below the root.
  std::string Host(const std::string& rel) const { return root_ + "/" + rel; }
  void WriteHost(const std::string& rel, const std::string& bytes) const {
    std::ofstream(Host(rel), std::ios::binary) << bytes;
  }
  std::string ReadHost(const std::string& rel) const {
    std::ifstream in(Host(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool HostExists(const std::string& rel) const { return std::filesystem::exists(Host(rel)); }

  std::string root_;
};

}  // namespace qv::test
