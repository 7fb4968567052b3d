// Shared pieces of the MIME tests: a fresh device root per test, the corpus
// and golden files, a fixed clock, and text helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/public/content/EmlCompose.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"

namespace mimetest {

inline std::filesystem::path SourceDir() {
  const char* top = std::getenv("QV_SOURCE_DIR");
  std::filesystem::path root = top != nullptr ? std::filesystem::path(top)
                                              : std::filesystem::path(__FILE__).parent_path().parent_path()
                                                    .parent_path().parent_path().parent_path();
  return root / "tests" / "engine" / "content" / "mime";
}

inline std::string ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string Corpus(const std::string& name) {
  std::string text = ReadHostFile(SourceDir() / "corpus" / name);
  EXPECT_FALSE(text.empty()) << "missing corpus file " << name;
  return text;
}

inline std::wstring W(std::string_view sjis) { return qv::Cp932ToWide(sjis); }
inline std::string S(std::wstring_view wide) { return qv::WideToCp932(wide); }

// Each test gets its own device root and a clock fixed on 2026-12-08
// 10:11:12.345 UTC (19:11:12 on the device, JST).
class MimeTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    SYSTEMTIME utc{};
    utc.wYear = 2026;
    utc.wMonth = 12;
    utc.wDayOfWeek = 2;
    utc.wDay = 8;
    utc.wHour = 10;
    utc.wMinute = 11;
    utc.wSecond = 12;
    utc.wMilliseconds = 345;
    qv::seams::SetClock(utc);
  }
  // Makes a device folder ("\Files") and returns its device path with the
  // final backslash.
  std::wstring DeviceFolder(const std::wstring& name) {
    std::filesystem::create_directories(Host(S(name)));
    return L"\\" + name + L"\\";
  }
  void WriteDeviceFile(const std::wstring& path, const std::string& bytes) {
    std::string host;
    ASSERT_TRUE(qv::DeviceToHostPath(path, &host));
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
  }
  std::string ReadDeviceFile(const std::wstring& path) {
    std::string host;
    if (!qv::DeviceToHostPath(path, &host)) return {};
    return ReadHostFile(host);
  }
  bool DeviceFileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  EmlCompose eml_;
};

}  // namespace mimetest
