// Plug-in discovery over a folder holding the project's test plug-ins, and
// the phone-status items through the maker's library stand-in.
#include <stdlib.h>

#include <thread>

#include "AccountFixture.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "engine/public/store/QvPluginInfoInterface.h"
#include "platform/kernel/Library.h"
#include "tests/support/SelfProcess.h"

namespace {

// The second process of the phone-status test: without the library
// installed every call answers 0. It exits with the number of wrong answers.
const bool g_phoneChild = [] {
  if (::getenv("QV_PHONE_CHILD") == nullptr) return false;
  wchar_t text[260] = L"x";
  const int wrong = (SetPhoneStatus(1, 5u) != 0) + (GetPhoneStatus(1) != 0) + (SetPhoneStatus(2, L"t") != 0) +
                    (GetPhoneStatus(2, text) != 0);
  std::exit(wrong);
}();

class PluginTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"PluginPath", L"\\Plugins\\"));
    MakeDir(L"\\Plugins");
  }
  static bool Scan(std::map<std::wstring, std::wstring>* plugins) {
    QvPluginInfoInterface info;
    return info.GetPluginDlls(plugins, L"");
  }
};

TEST_F(PluginTest, OnlyTheValidPluginIsMappedWithItsTextsCopied) {
  Install("tests/libQvTestPlugin_VALID.so", "Plugins/Valid.dll");
  Install("tests/libQvTestPlugin_OTHER_ID.so", "Plugins/OtherId.dll");
  Install("tests/libQvTestPlugin_NO_ENTRY.so", "Plugins/NoEntry.dll");
  WriteHost("Plugins/.dll", "not a library\r\n");
  WriteHost("Plugins/notes.txt", "not looked at");
  MakeDir(L"\\Plugins\\Folder.dll");
  std::map<std::wstring, std::wstring> plugins;
  ASSERT_TRUE(Scan(&plugins));
  // Every library was freed before this: the name is the scan's own copy.
  EXPECT_EQ(plugins, (std::map<std::wstring, std::wstring>{{L"\\Plugins\\Valid.dll", L"地図で開く"}}));

  // Two plug-ins of one name end the scan.
  Install("tests/libQvTestPlugin_VALID.so", "Plugins/Again.dll");
  plugins.clear();
  EXPECT_FALSE(Scan(&plugins));
  EXPECT_EQ(plugins.size(), 1u);
}

TEST_F(PluginTest, FolderNotNamedOrEmpty) {
  std::map<std::wstring, std::wstring> plugins;
  EXPECT_TRUE(Scan(&plugins));
  EXPECT_TRUE(plugins.empty());
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail"), ERROR_SUCCESS);
  EXPECT_FALSE(Scan(&plugins));
}

TEST_F(AccountTest, PhoneStatusItemsGoThroughTheLibrary) {
  EXPECT_EQ(qv::test::WaitExit(qv::test::SpawnSelf({"QV_PHONE_CHILD=1", "QVMAIL_DEVICE_ROOT=" + root_})), 0);
  // Asked for before the device has the library, here too: the copy
  // installed afterwards is still found.
  EXPECT_EQ(GetPhoneStatus(22), 0u);
  EXPECT_EQ(SetPhoneStatus(22, 6u), 0);
  Install("outside/KxPhoneStatus/libKxPhoneStatus.so", "Windows/KxPhoneStatus.so");
  // The receive threads set items while the windows read them.
  std::vector<std::thread> threads;
  for (unsigned int item = 10; item < 14; ++item) {
    threads.emplace_back([item] {
      for (unsigned int value = 0; value < 20; ++value) {
        if (SetPhoneStatus(item, value) != 1 || GetPhoneStatus(item) != value) return;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const wchar_t* const kPhoneStatus = L"Software\\Norvale\\PhoneStatus";
  for (unsigned int item = 10; item < 14; ++item) {
    EXPECT_EQ(ReadRegistry(HKEY_CURRENT_USER, kPhoneStatus, L"Status" + std::to_wstring(item)), Dword(19)) << item;
  }
  EXPECT_EQ(SetPhoneStatus(22, (GetPhoneStatus(22) & ~0xFu) | 6), 1);
  EXPECT_EQ(GetPhoneStatus(22), 6u);
  EXPECT_EQ(SetPhoneStatus(3, L"新着メール"), 1);
  EXPECT_EQ(ReadRegistry(HKEY_CURRENT_USER, kPhoneStatus, L"Text3"), Text(L"新着メール"));
  wchar_t text[260] = {};
  EXPECT_EQ(GetPhoneStatus(3, text), 5u);
  EXPECT_EQ(std::wstring(text), L"新着メール");
  // Freeing keeps the library for the other threads.
  FreePhoneStatusDLL();
  EXPECT_EQ(GetPhoneStatus(22), 6u);
}

// The phone application's bridge, as the connection controller calls it:
// loaded by name, one integer argument, freed again.
TEST_F(AccountTest, RingSettingCallsAreRecorded) {
  Install("outside/QvMailDynCall/libQvMailDynCall.so", "Windows/QvMailDynCall.so");
  for (int on : {0, 1, 0}) {
    HMODULE bridge = LoadLibraryW(L"QvMailDynCall.dll");
    ASSERT_NE(bridge, nullptr);
    auto ring = reinterpret_cast<int (*)(int)>(
        reinterpret_cast<void (*)()>(GetProcAddressW(bridge, L"PhonelibSet2ndRingFrEmailApp")));
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring(on), 1);
    FreeLibrary(bridge);
  }
  const wchar_t* const kKey = L"Software\\Norvale\\QvMailDynCall";
  EXPECT_EQ(ReadRegistry(HKEY_CURRENT_USER, kKey, L"Last2ndRing"), Dword(0));
  EXPECT_EQ(ReadRegistry(HKEY_CURRENT_USER, kKey, L"Calls2ndRing"), Dword(3));
}

}  // namespace
