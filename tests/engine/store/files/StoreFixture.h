// Each test gets its own device root, removed afterwards, and a cleared
// error word.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

class StoreFixture : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    SetQvMiddleError(0);
  }
};
