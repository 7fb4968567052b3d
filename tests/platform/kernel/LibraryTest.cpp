#include "platform/kernel/Library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <fstream>

#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
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

TEST_F(Library, AFullPathLoadsThatVeryFile) {
  // Two files of one base name in two folders: each path loads its own file,
  // and a folder's file never stands in for a missing one of another.
  void* libm = ::dlopen("libm.so.6", RTLD_NOW);
  ASSERT_NE(libm, nullptr);
  link_map* map = nullptr;
  ASSERT_EQ(::dlinfo(libm, RTLD_DI_LINKMAP, &map), 0);
  for (const char* folder : {"Windows", "Plugins"}) {
    std::filesystem::create_directories(Host(folder));
    std::filesystem::copy_file(map->l_name, Host(std::string(folder) + "/Same.dll"));
  }
  ::dlclose(libm);
  for (const wchar_t* path : {L"\\Plugins\\Same.dll", L"\\plugins\\SAME.DLL", L"\\Windows\\Same.dll"}) {
    HMODULE h = LoadLibraryW(path);
    ASSERT_NE(h, nullptr) << GetLastError();
    WCHAR name[MAX_PATH];
    const DWORD n = GetModuleFileNameW(h, name, MAX_PATH);
    EXPECT_TRUE(qv::EqualsNoCase(std::wstring(name, n), path)) << std::wstring(name, n).size();
    EXPECT_TRUE(FreeLibrary(h));
  }
  // A file that is no library is refused, not replaced by a search.
  std::ofstream(Host("Plugins/Text.dll")) << "not a library";
  EXPECT_EQ(LoadLibraryW(L"\\Plugins\\Text.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(Library, WhatThePlatformCreatesIsPrivate) {
  ASSERT_TRUE(CreateDirectoryW(L"\\Private", nullptr));
  HANDLE file = CreateFileW(L"\\Private\\a.ini", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  FILE* stream = _wfopen(L"\\Private\\b.txt", L"wb");
  ASSERT_NE(stream, nullptr);
  fclose(stream);
  namespace fs = std::filesystem;
  const auto others = fs::perms::group_all | fs::perms::others_all;
  for (const char* rel : {"Private", "Private/a.ini", "Private/b.txt"}) {
    EXPECT_EQ(fs::status(Host(rel)).permissions() & others, fs::perms::none) << rel;
  }
}

}  // namespace

namespace {

// A program's data files are read from beside its own file on the host,
// whatever the device root; a name must be a bare one.
TEST_F(Library, ProgramFilesAreReadFromBesideTheProgram) {
  const std::string own = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  const std::string name = "QvProgramFile" + std::to_string(::getpid()) + ".bin";
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i);  // every byte value, a zero among them
  std::ofstream(own + "/" + name, std::ios::binary) << bytes;
  // The same name in the device root, to be passed by.
  std::ofstream(Host(name), std::ios::binary) << "the device's";
  const std::wstring wide = qv::Utf8ToWide(name);
  struct Case {
    std::wstring name;
    size_t limit;
    bool read;
    std::string want;
    DWORD error;
  };
  const Case cases[] = {
      {wide, 4096, true, bytes, 0},
      {wide, 300, true, bytes, 0},
      {wide, 7, true, bytes.substr(0, 7), 0},
      {wide, 0, true, "", 0},
      {L"QvNoSuchProgramFile.bin", 4096, false, "", ERROR_FILE_NOT_FOUND},
      {L"", 4096, false, "", ERROR_INVALID_NAME},
      {L"..", 4096, false, "", ERROR_INVALID_NAME},
      {L"..\\" + wide, 4096, false, "", ERROR_INVALID_NAME},
      {L"sub/" + wide, 4096, false, "", ERROR_INVALID_NAME},
      {L"\\" + wide, 4096, false, "", ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    std::string got = "old";
    SetLastError(12345);
    EXPECT_EQ(qv::ReadProgramFile(c.name.c_str(), &got, c.limit), c.read) << qv::WideToUtf8(c.name) << c.limit;
    EXPECT_EQ(got, c.want) << qv::WideToUtf8(c.name) << c.limit;
    EXPECT_EQ(GetLastError(), c.error) << qv::WideToUtf8(c.name) << c.limit;
  }
  // A folder of that name is no file.
  std::filesystem::create_directory(own + "/" + name + ".d");
  std::string got;
  EXPECT_FALSE(qv::ReadProgramFile((wide + L".d").c_str(), &got, 16));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  std::filesystem::remove(own + "/" + name + ".d");
  std::filesystem::remove(own + "/" + name);
}

}  // namespace
