// Shared pieces of the mail protocol client tests: a notification as the
// observers record it, and a fixture with its own device root, a data
// connection and the protocol log switched on.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/kernel/Files.h"
#include "platform/net/ConnMgr.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {

struct NotifyEvent {
  int message;
  long w, l;
  bool operator==(const NotifyEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const NotifyEvent& e) {
  return out << "{" << e.message << ", 0x" << std::hex << e.w << std::dec << ", " << e.l << "}";
}

class TransportTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    // The protocol log writes only into a file that is already there.
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail", nullptr));
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = sizeof info;
    DWORD status = 0;
    ASSERT_EQ(ConnMgrEstablishConnectionSync(&info, &connection_, 1000, &status), S_OK);
  }
  void TearDown() override {
    if (connection_) ConnMgrReleaseConnection(connection_, 0);
    DeviceRootTest::TearDown();
  }

  std::string Log() const { return ReadBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt"); }

  HANDLE connection_ = nullptr;
};

}  // namespace qv::test
