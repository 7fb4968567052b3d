#include "platform/kernel/Debug.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/DeviceRootFixture.h"

namespace {

using Debug = qv::test::DeviceRootTest;

TEST_F(Debug, PrintsAppendUtf8ToTheNamedFile) {
  const std::string log = Host("debug.log");
  NKDbgPrintfW(L"dropped %d\r\n", 1);  // no file named: nowhere
  ::setenv("QVMAIL_DEBUG", log.c_str(), 1);
  NKDbgPrintfW(L"%s=%d %S\r\n", L"\u53D7\u4FE1", 5, "ok");
  OutputDebugStringW(L"tail");
  ::unsetenv("QVMAIL_DEBUG");
  NKDbgPrintfW(L"after\r\n");
  EXPECT_EQ(ReadHost("debug.log"), "\xE5\x8F\x97\xE4\xBF\xA1=5 ok\r\ntail");
}

}  // namespace
