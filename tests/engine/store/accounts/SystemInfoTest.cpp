// "SystemInfo.ini" in both of its forms, read after a save cut at any length,
// and the device values the system information keeps in the registry.
#include "AccountFixture.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "platform/base/WideText.h"
#include "platform/testing/Seams.h"

namespace {

class SystemInfoTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW(kSystem, nullptr));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"SystemInfoPath",
                                 std::wstring(kSystem) + L"\\"));
  }
  static std::wstring Carrier() {
    std::wstring name = L"<none>";
    return QvSystemInfoInterface::GetTAccount(name) ? name : L"<none>";
  }
  static bool Change(const std::wstring& name) {
    std::unique_ptr<QvSystemInfoInterface> info(QvSystemInfoInterface::GetSystemInfo());
    return info && info->ChangeSystemIni(name);
  }
  static std::string Utf16(const std::wstring& text) { return qv::WideToUtf16LE(text); }

  static constexpr const wchar_t* kSystem = L"\\Application Data\\QuvoMail\\System";
  static constexpr const char* kIni = "Application Data/QuvoMail/System/SystemInfo.ini";
};

TEST_F(SystemInfoTest, BothFormsOfTheFileRead) {
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring name;
  };
  const std::wstring hundred(100, L'名');
  const Case cases[] = {
      {"bare name", Utf16(L"09012345678"), L"09012345678"},
      {"bare name and a line end", Utf16(L"携帯\r\nrest"), L"携帯"},
      {"an odd last byte", Utf16(L"携帯") + "\x41", L"携帯"},
      {"longer than 99", Utf16(hundred), hundred.substr(0, 99)},
      {"empty", "", L"<none>"},
  };
  for (const Case& c : cases) {
    WriteHost(kIni, c.bytes);
    EXPECT_EQ(Carrier(), c.name) << c.what;
  }
  // The key form, as the default folder's writer makes it, over a bare name.
  ASSERT_TRUE(QvSystemInfoInterface::SetSystemInfo(L"仕事"));
  EXPECT_EQ(ReadHost(kIni).substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(Carrier(), L"仕事");
  ASSERT_TRUE(Change(L"私用"));
  EXPECT_EQ(ReadHost(kIni), Utf16(L"私用"));
  EXPECT_EQ(Carrier(), L"私用");
  // No folder named, or no file: no carrier account.
  std::filesystem::remove(Host(kIni));
  EXPECT_EQ(Carrier(), L"<none>");
  std::wstring name;
  EXPECT_FALSE(QvSystemInfoInterface::GetTAccount(name, L"Software\\Norvale\\Nothing"));
}

TEST_F(SystemInfoTest, ASaveCutAtAnyLengthReadsAsTheLastCommittedName) {
  ASSERT_TRUE(QvSystemInfoInterface::SetSystemInfo(L"next"));
  const std::string keyForm = ReadHost(kIni);
  const std::string bareForm = Utf16(L"次の携帯アカウント");
  for (const std::string& next : {bareForm, keyForm}) {
    for (size_t cut = 0; cut <= next.size(); ++cut) {
      ASSERT_TRUE(Change(L"committed"));
      WriteHost(std::string(kIni) + "_tmp", next.substr(0, cut));
      EXPECT_EQ(Carrier(), L"committed") << cut;
      EXPECT_FALSE(HostExists(std::string(kIni) + "_tmp")) << cut;
    }
  }
  // Cut after the old file was moved aside: the whole copy is the file.
  std::rename(Host(kIni).c_str(), Host(std::string(kIni) + "_bak").c_str());
  WriteHost(std::string(kIni) + "_tmp", bareForm);
  EXPECT_EQ(Carrier(), L"次の携帯アカウント");
}

TEST_F(SystemInfoTest, ChangeFailsWhenTheFileCannotBeWritten) {
  ASSERT_TRUE(Change(L"old"));
  struct Case {
    const char* what;
    std::function<void()> arrange;
  };
  const std::wstring temp = std::wstring(kSystem) + L"\\SystemInfo.ini_tmp";
  const Case cases[] = {
      {"disk full", [&] { qv::seams::InjectFileFault(temp, ERROR_DISK_FULL); }},
      {"copy held elsewhere", [&] { qv::seams::InjectFileFault(temp, ERROR_SHARING_VIOLATION); }},
      {"folder gone", [&] { std::filesystem::rename(Host(kIni), Host("kept.ini")), RemoveDirectoryW(kSystem); }},
  };
  for (const Case& c : cases) {
    c.arrange();
    SetQvMiddleError(0);
    EXPECT_FALSE(Change(L"new")) << c.what;
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SYS_INI_CREATE) << c.what;
    qv::seams::ClearFileFaults();
    EXPECT_EQ(Carrier(), HostExists(kIni) ? L"old" : L"<none>") << c.what;
  }
  // Without "SystemInfoPath" nothing is written and the answer is false.
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail"), ERROR_SUCCESS);
  EXPECT_FALSE(Change(L"new"));
}

TEST_F(SystemInfoTest, PhoneNumberFitsTheBufferGiven) {
  std::unique_ptr<QvSystemInfoInterface> info(QvSystemInfoInterface::GetSystemInfo());
  wchar_t buffer[140];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  EXPECT_FALSE(info->GetPhonenum(buffer, 12));
  EXPECT_EQ(buffer[0], L'\0');  // not set: empty
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\NORVALE\\KxPhoneLib", L"MyPhonenum", L"09087654321"));
  struct Case {
    size_t size;
    bool fits;
  };
  for (Case c : {Case{11, false}, Case{12, true}, Case{130, true}}) {
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(info->GetPhonenum(buffer, c.size), c.fits) << c.size;
    EXPECT_EQ(std::wstring(buffer), c.fits ? L"09087654321" : L"") << c.size;
    EXPECT_EQ(buffer[c.size], L'#') << c.size;
  }
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  EXPECT_TRUE(info->GetPhonenum(buffer));
  EXPECT_EQ(std::wstring(buffer), L"09087654321");
}

TEST_F(SystemInfoTest, DefaultMailerFlag) {
  EXPECT_EQ(QvSystemInfoInterface::IsDefMail(), 0);
  std::unique_ptr<QvSystemInfoInterface> info(QvSystemInfoInterface::GetSystemInfo());
  for (auto [value, answer] : {std::pair{1, 1}, {0, 0}, {5, 2}}) {
    ASSERT_TRUE(info->ChangeDefMail(value));
    EXPECT_EQ(ReadRegistry(HKEY_CURRENT_USER, L"Software\\Norvale\\Launcher", L"defaultLaunchMailer"),
              Dword(static_cast<DWORD>(value)));
    EXPECT_EQ(QvSystemInfoInterface::IsDefMail(), answer) << value;
  }
}

}  // namespace
