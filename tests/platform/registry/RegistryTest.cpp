#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/DeviceFs.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/OwnerOnly.h"
#include "tests/support/SelfProcess.h"

namespace {

// Names no plain text format survives unescaped.
const std::wstring kOddName = L"tab\there\\back%pct\nline =値";

LONG SetText(HKEY key, const std::wstring& name, const std::wstring& text) {
  return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * 2));
}

LONG SetDword(HKEY key, const std::wstring& name, DWORD value) {
  return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The text of a REG_SZ value, or the error in *error.
std::wstring GetText(HKEY key, const std::wstring& name, LONG* error = nullptr) {
  WCHAR buf[300] = {};
  DWORD size = 600;
  DWORD type = 0;
  LONG e = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  if (error) *error = e;
  if (e == ERROR_SUCCESS) {
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  }
  return e == ERROR_SUCCESS ? std::wstring(buf) : std::wstring();
}

HKEY Create(HKEY root, const wchar_t* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition));
  return key;
}

// The second process: runs one step and exits with 0 when it went as expected.
int RunChild(const std::string& mode) {
  qv::SetDeviceRoot(getenv("QV_REGISTRY_ROOT"));
  if (mode == "read") {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\PARENT", 0, KEY_READ, &key) != ERROR_SUCCESS) return 2;
    if (GetText(key, L"NAME") != L"値 from the parent") return 3;
    if (GetText(key, kOddName) != L"odd") return 4;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, L"count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != 0 ||
        value != 42)
      return 5;
    RegCloseKey(key);
    return 0;
  }
  if (mode == "write") {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Child");
    return SetText(key, L"Written", L"by the child") == ERROR_SUCCESS ? 0 : 2;
  }
  if (mode == "race") {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Race");
    for (DWORD i = 0; i < 40; ++i) {
      if (SetDword(key, L"child" + std::to_wstring(i), i) != ERROR_SUCCESS) return 2;
    }
    return 0;
  }
  return 9;
}

// Helper branch: the test program started again as the second process.
const int kChild = [] {
  const char* mode = getenv("QV_REGISTRY_CHILD");
  if (mode != nullptr) _exit(RunChild(mode));
  return 0;
}();

class Registry : public qv::test::DeviceRootTest {
 protected:
  pid_t StartChild(const std::string& mode) {
    return qv::test::SpawnSelf({"QV_REGISTRY_CHILD=" + mode, "QV_REGISTRY_ROOT=" + root_});
  }

  int RunChildProcess(const std::string& mode) { return qv::test::WaitExit(StartChild(mode)); }
};

TEST_F(Registry, PersistsBetweenProcesses) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Parent");
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, L"Name", L"値 from the parent"));
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, kOddName, L"odd"));
  ASSERT_EQ(ERROR_SUCCESS, SetDword(key, L"Count", 42));
  RegCloseKey(key);
  EXPECT_EQ(0, RunChildProcess("read"));

  // A handle opened before the other process wrote sees what it wrote.
  HKEY software = Create(HKEY_CURRENT_USER, L"Software");
  ASSERT_EQ(0, RunChildProcess("write"));
  HKEY child = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(software, L"child", 0, KEY_READ, &child));
  EXPECT_EQ(L"by the child", GetText(child, L"written"));
  RegCloseKey(child);
  RegCloseKey(software);
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Race");
  pid_t pid = StartChild("race");
  for (DWORD i = 0; i < 40; ++i) ASSERT_EQ(ERROR_SUCCESS, SetDword(key, L"parent" + std::to_wstring(i), i));
  ASSERT_EQ(0, qv::test::WaitExit(pid));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([key, t] {
      for (DWORD i = 0; i < 10; ++i) SetDword(key, L"thread" + std::to_wstring(t) + L"-" + std::to_wstring(i), i);
    });
  }
  for (std::thread& t : threads) t.join();
  DWORD count = 0;
  WCHAR name[64];
  for (;; ++count) {
    DWORD chars = 64;
    LONG e = RegEnumValueW(key, count, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, e);
  }
  EXPECT_EQ(40u + 40u + 40u, count);
  RegCloseKey(key);
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirSpelling) {
  DWORD disposition = 0;
  HKEY a = Create(HKEY_CURRENT_USER, L"Software\\NORVALE\\QvMail", &disposition);
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  HKEY b = Create(HKEY_CURRENT_USER, L"software\\Norvale\\qvmail\\", &disposition);
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  ASSERT_EQ(ERROR_SUCCESS, SetText(a, L"Value", L"first"));
  ASSERT_EQ(ERROR_SUCCESS, SetText(b, L"VALUE", L"second"));
  EXPECT_EQ(L"second", GetText(a, L"value"));

  WCHAR name[32];
  DWORD chars = 32;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(a, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::wstring(L"Value"), name);
  chars = 32;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(a, 1, name, &chars, nullptr, nullptr, nullptr, nullptr));

  HKEY software = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE", 0, KEY_READ, &software));
  chars = 32;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(software, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::wstring(L"NORVALE"), name);
  EXPECT_EQ(7u, chars);

  // The other hive is another tree.
  HKEY missing = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Norvale", 0, KEY_READ, &missing));
  for (HKEY k : {a, b, software}) EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(k));
}

TEST_F(Registry, TextSizesCountUtf16Units) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Sizes");
  const std::wstring fits(129, L'あ');
  const std::wstring tooLong(130, L'あ');
  // 128 characters and one outside the BMP: 130 UTF-16 units before the zero.
  const std::wstring pair = std::wstring(128, L'a') + L"\U0001F600";
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, L"fits", fits));
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, L"long", tooLong));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key, L"pair", 0, REG_SZ, reinterpret_cast<const BYTE*>(pair.c_str()), 131 * 2));

  WCHAR buf[140];
  std::fill(std::begin(buf), std::end(buf), L'#');
  DWORD size = 260;
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fits", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size));
  EXPECT_EQ(260u, size);
  EXPECT_EQ(fits, std::wstring(buf));
  EXPECT_EQ(L'#', buf[130]);

  std::fill(std::begin(buf), std::end(buf), L'#');
  size = 260;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"long", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size));
  EXPECT_EQ(262u, size);
  EXPECT_EQ(L'#', buf[0]);
  size = 260;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"pair", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size));
  EXPECT_EQ(262u, size);

  // Asking the size alone; then a buffer of exactly that size.
  size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"pair", nullptr, &type, nullptr, &size));
  EXPECT_EQ(262u, size);
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"pair", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size));
  EXPECT_EQ(pair, std::wstring(buf));
  RegCloseKey(key);
}

TEST_F(Registry, DwordAndBinaryValues) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, L"Ident");
  ASSERT_EQ(ERROR_SUCCESS, SetDword(key, L"Number", 0xDEADBEEF));
  const BYTE blob[] = {0, 1, 2, 0xFF, 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, sizeof blob));

  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"number", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(0xDEADBEEFu, value);

  BYTE out[8] = {};
  size = 4;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"blob", nullptr, &type, out, &size));
  EXPECT_EQ(5u, size);
  size = sizeof out;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"blob", nullptr, &type, out, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(0, memcmp(blob, out, sizeof blob));

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, L"NUMBER"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, L"Number", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key, L"Number"));
  RegCloseKey(key);
}

TEST_F(Registry, Enumeration) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Enum");
  for (const wchar_t* sub : {L"beta", L"Alpha", L"gamma"}) RegCloseKey(Create(key, sub));
  for (const wchar_t* name : {L"z", L"a", L"m"}) SetText(key, name, name);

  std::vector<std::wstring> keys;
  WCHAR name[16];
  for (DWORD i = 0;; ++i) {
    DWORD chars = 16;
    FILETIME written{};
    LONG e = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, &written);
    if (e == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, e);
    EXPECT_NE(0u, written.dwHighDateTime);
    keys.push_back(name);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}), keys);

  // Values come in the order they were made.
  std::vector<std::wstring> values;
  for (DWORD i = 0;; ++i) {
    DWORD chars = 16;
    WCHAR data[4];
    DWORD size = sizeof data / 2;
    DWORD type = 0;
    LONG e = RegEnumValueW(key, i, name, &chars, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (e == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, e);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(std::wstring(name), std::wstring(data));
    values.push_back(name);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"z", L"a", L"m"}), values);

  // Too small: a name needs room for its zero; data reports its size.
  DWORD chars = 5;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  chars = 1;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  chars = 16;
  WCHAR data[1];
  DWORD size = 2;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size));
  EXPECT_EQ(4u, size);
  RegCloseKey(key);
}

TEST_F(Registry, DeleteKeyTakesEverythingBelow) {
  HKEY deep = Create(HKEY_CURRENT_USER, L"Top\\Mid\\Deep");
  ASSERT_EQ(ERROR_SUCCESS, SetText(deep, L"v", L"x"));
  HKEY mid = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"top\\mid", 0, KEY_READ, &mid));

  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, L"TOP"));
  HKEY gone = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, L"Top\\Mid\\Deep", 0, KEY_READ, &gone));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, L"Top", 0, KEY_READ, &gone));
  // Handles left open on the deleted keys answer, and do not bring them back.
  EXPECT_EQ(ERROR_KEY_DELETED, SetText(deep, L"v", L"y"));
  LONG e = 0;
  GetText(mid, L"v", &e);
  EXPECT_EQ(ERROR_KEY_DELETED, e);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, L"Top", 0, KEY_READ, &gone));

  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_CURRENT_USER, L"Top"));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, L""));
  RegCloseKey(deep);
  RegCloseKey(mid);
}

TEST_F(Registry, MissingKeysAndBadArguments) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nothing", 0, KEY_READ, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_BAD_PATHNAME,
            RegCreateKeyExW(HKEY_CURRENT_USER, L"a\\\\b", 0, nullptr, 0, 0, nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegCreateKeyExW(HKEY_CURRENT_USER, std::wstring(256, L'k').c_str(), 0, nullptr, 0, 0, nullptr, &key,
                            nullptr));

  HKEY open = Create(HKEY_CURRENT_USER, L"Here");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(open, L"absent", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(open));
  // A closed handle is refused, not followed.
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(open));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(open, L"absent", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
}

TEST_F(Registry, DamagedHiveFileLosesOnlyTheDamagedLines) {
  std::filesystem::create_directories(root_ + "/.qvkernel/registry");
  std::ofstream(root_ + "/.qvkernel/registry/HKLM.dat", std::ios::binary)
      << "QvRegistry 1\n"
         "V\torphan\t1\t6100\n"                 // a value before any key
         "K\t0\tGood\n"
         "V\tText\t1\t6f006b000000\n"
         "V\tOddHex\t3\t6f0\n"                  // odd number of digits
         "V\tBadHex\t3\tzz\n"
         "V\tBad%FFFFFFFFFFFF;\t4\t01000000\n"  // escape too long
         "V\tNoType\tx\t00\n"
         "K\tnotime\tLost\n"
         "K\t0\tGood\\\\Empty\n"              // empty name inside the path
         "\x01\xff\xfe garbage without tabs\n"
         "K\t0\tGood\\%3042;\n"
         "V\t%;\t4\t02000000\n";                // empty escape: dropped
  HKEY good = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"good", 0, KEY_READ, &good));
  EXPECT_EQ(L"ok", GetText(good, L"text"));
  WCHAR name[8];
  DWORD chars = 8;
  EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(good, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  chars = 8;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(good, 1, name, &chars, nullptr, nullptr, nullptr, nullptr));
  chars = 8;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(good, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::wstring(L"あ"), name);
  chars = 8;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(good, 1, name, &chars, nullptr, nullptr, nullptr, nullptr));
  HKEY lost = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Lost", 0, KEY_READ, &lost));
  RegCloseKey(good);
}

TEST_F(Registry, KeptInTheHiddenKernelFolder) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software");
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, L"x", L"y"));
  RegCloseKey(key);
  EXPECT_TRUE(std::filesystem::exists(root_ + "/.qvkernel/registry/HKCU.dat"));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/.qvkernel/registry/HKLM.dat"));
}

}  // namespace

namespace {

// The hives, their lock files and their folder are the owner's alone, from
// the first write on and after one left open to others by an older version.
TEST_F(Registry, HivesAndTheirLocksAreTheOwnersAlone) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Own");
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, L"Name", L"mine"));
  RegCloseKey(key);
  HKEY machine = Create(HKEY_LOCAL_MACHINE, L"Software\\Own");
  ASSERT_EQ(ERROR_SUCCESS, SetDword(machine, L"Count", 1));
  RegCloseKey(machine);
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_ + "/.qvkernel/registry")) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_GE(files, 4u);  // two hives, two locks
  EXPECT_EQ(qv::test::OpenToOthers(root_), std::vector<std::string>{});

  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_ + "/.qvkernel/registry")) {
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
  }
  ::chmod((root_ + "/.qvkernel/registry").c_str(), 0755);
  key = Create(HKEY_CURRENT_USER, L"Software\\Own");
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, L"Name", L"still mine"));
  RegCloseKey(key);
  machine = Create(HKEY_LOCAL_MACHINE, L"Software\\Own");
  ASSERT_EQ(ERROR_SUCCESS, SetDword(machine, L"Count", 2));
  RegCloseKey(machine);
  EXPECT_EQ(qv::test::OpenToOthers(root_), std::vector<std::string>{});
}

}  // namespace
