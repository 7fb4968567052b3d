#include <gtest/gtest.h>

#include <cstring>

#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using Mapping = qv::test::DeviceRootTest;

TEST_F(Mapping, ViewsShareTheFile) {
  WriteHost("map.bin", "hello world");
  HANDLE f = CreateFileForMappingW(L"\\MAP.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  ASSERT_NE(m, nullptr);
  auto* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::memcmp(view, "hello world", 11), 0);
  // Handles may be closed before the view goes.
  CloseHandle(m);
  CloseHandle(f);
  std::memcpy(view, "HELLO", 5);
  EXPECT_TRUE(FlushViewOfFile(view + 3, 2));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_EQ(ReadHost("map.bin"), "HELLO world");
}

TEST_F(Mapping, SizesAndRights) {
  HANDLE f = CreateFileForMappingW(L"\\grow.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);  // empty file
  HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 8192, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetFileSize(f, nullptr), 8192u);  // grown to the mapping's size
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 100, 10), nullptr);  // unaligned offset
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 8193), nullptr);  // beyond the mapping
  CloseHandle(m);
  CloseHandle(f);

  HANDLE ro = CreateFileForMappingW(L"\\grow.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE rm = CreateFileMappingW(ro, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(rm, nullptr);
  EXPECT_EQ(MapViewOfFile(rm, FILE_MAP_WRITE, 0, 0, 0), nullptr);
  void* v = MapViewOfFile(rm, FILE_MAP_READ, 0, 0, 0);
  EXPECT_NE(v, nullptr);
  UnmapViewOfFile(v);
  CloseHandle(rm);
  CloseHandle(ro);
}

TEST_F(Mapping, MemoryWithoutAFile) {
  HANDLE m = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
  ASSERT_NE(m, nullptr);
  auto* a = static_cast<char*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0));
  auto* b = static_cast<char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  a[100] = 'q';
  EXPECT_EQ(b[100], 'q');
  UnmapViewOfFile(a);
  UnmapViewOfFile(b);
  CloseHandle(m);
}

}  // namespace
