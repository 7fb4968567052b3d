// The shared device-root fixture, plus a cleared error word and a way to
// capture the debug print.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

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

  // Sends the debug print to a file of this test and returns its path.
  std::string CaptureDebug() {
    const std::string path = root_ + "-debug.txt";
    std::filesystem::remove(path);
    setenv("QVMAIL_DEBUG", path.c_str(), 1);
    return path;
  }
};
