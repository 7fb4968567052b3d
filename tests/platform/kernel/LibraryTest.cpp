#include "platform/kernel/Library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include "tests/support/DeviceRootFixture.h"

namespace {

using Library = qv::test::DeviceRootTest;

TEST_F(Library, AliasResolvesInTheProcess) {
  // Aliases last for the process: a fresh name for each run.
  static int run = 0;
  const std::wstring name = L"QvSelfTest" + std::to_wstring(++run);
  EXPECT_EQ(LoadLibraryW((name + L".dll").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  qv::RegisterLibraryAlias((name + L".dll").c_str(), nullptr);
  HMODULE h = LoadLibraryW((L"\\Windows\\" + name + L".DLL").c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_NE(GetProcAddressW(h, L"CreateFileW"), nullptr);
  EXPECT_EQ(GetProcAddressA(h, "NoSuchExport_QV"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddressW(h, reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(9999))), nullptr);
  EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(Library, DeviceWindowsFolderComesFirst) {
  // Any real shared object will do: place libm under the device's Windows folder.
  void* libm = ::dlopen("libm.so.6", RTLD_NOW);
  ASSERT_NE(libm, nullptr);
  link_map* map = nullptr;
  ASSERT_EQ(::dlinfo(libm, RTLD_DI_LINKMAP, &map), 0);
  std::filesystem::create_directories(Host("Windows"));
  std::filesystem::copy_file(map->l_name, Host("Windows/KxSample.so"));
  ::dlclose(libm);

  HMODULE h = LoadLibraryW(L"\\Windows\\kxsample.dll");
  ASSERT_NE(h, nullptr);
  EXPECT_NE(GetProcAddressA(h, "cos"), nullptr);
  WCHAR name[MAX_PATH];
  const DWORD n = GetModuleFileNameW(h, name, MAX_PATH);
  EXPECT_EQ(std::wstring(name, n), L"\\Windows\\KxSample.so");
  WCHAR tiny[4];
  EXPECT_EQ(GetModuleFileNameW(h, tiny, 4), 4u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(tiny[3], L'\0');
  EXPECT_TRUE(FreeLibrary(h));
}

}  // namespace
