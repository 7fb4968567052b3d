// Hand-offs to other programs: the short-mail program found by its window
// or started with the number, links added to the default browser's
// bookmarks inside the device, the help, and what is refused before
// anything is handed over.
#include <filesystem>

#include "app/foundation/HandOffs.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Sync.h"
#include "platform/registry/Registry.h"
#include "platform/shell/HandOff.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::seams::HandOffKind;

constexpr const wchar_t* kFavorites = L"\\Windows\\お気に入り";

class HandOffsTest : public qv::test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    qv::seams::RecordHandOffs();
    qv::seams::SetUserInterface(true);
    MakeDir(L"\\Windows");
    owner_ = Make();
  }

  void Install(const std::string& program) {
    std::filesystem::copy_file(std::string(::getenv("QV_BINARY_DIR")) + "/outside/DevicePrograms/" + program,
                               Host(L"\\Windows") + "/" + program + ".exe");
  }
  // Starts an installed stand-in for real and waits until its window is up.
  PROCESS_INFORMATION Run(const std::string& program) {
    Install(program);
    qv::seams::ResetSeams();  // started for real; this also ends the test's windows
    PROCESS_INFORMATION pi{};
    const std::wstring image = L"\\Windows\\" + qv::Utf8ToWide(program) + L".exe";
    EXPECT_TRUE(CreateProcessW(image.c_str(), L"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_TRUE(WaitNamed(qv::Utf8ToWide(program) + L".Ready"));
    EXPECT_TRUE(WaitNamed(qv::Utf8ToWide(program) + L".Logged"));  // its start
    qv::seams::FixUiClock(1000);
    qv::seams::RecordHandOffs();
    qv::seams::SetUserInterface(true);
    owner_ = Make();
    return pi;
  }
  static bool WaitNamed(const std::wstring& name) {
    HANDLE e = CreateEventW(nullptr, name.ends_with(L".Ready"), FALSE, name.c_str());
    const bool signalled = WaitForSingleObject(e, 30000) == WAIT_OBJECT_0;
    CloseHandle(e);
    return signalled;
  }
  static void Close(PROCESS_INFORMATION pi, const wchar_t* cls) {
    PostMessageW(FindWindowW(cls, nullptr), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  static void SetBrowser(const wchar_t* kind) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".htm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kind), static_cast<DWORD>(2 * (wcslen(kind) + 1)));
    RegCloseKey(key);
  }
  static std::wstring NumberLeft() {
    WCHAR number[64] = {};
    DWORD size = 2 * 63;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSwiftnoteKey, 0, KEY_READ, &key) != 0) return L"<none>";
    RegQueryValueExW(key, kSwiftnoteValue, nullptr, nullptr, reinterpret_cast<LPBYTE>(number), &size);
    RegCloseKey(key);
    return number;
  }
  // The files of the favourites folder, by name.
  std::vector<std::string> Favorites() {
    std::vector<std::string> names;
    if (!Exists(kFavorites)) return names;
    for (const auto& e : std::filesystem::directory_iterator(HostOf(kFavorites))) names.push_back(e.path().filename());
    return names;
  }
  int BoxesShown() {
    int n = 0;
    for (UINT m : log_.MessagesOf(owner_)) n += m == WM_APP + 1;
    return n / 2;
  }

  HWND owner_ = nullptr;
};

TEST_F(HandOffsTest, TheRunningShortMailProgramIsFoundByItsTitleAndReadsTheNumber) {
  PROCESS_INFORMATION pi = Run("swiftnote");
  ASSERT_NE(FindWindowW(nullptr, kSwiftnoteTitle), nullptr);
  EXPECT_TRUE(LaunchSwiftnote(L"090-1234-5678"));
  EXPECT_TRUE(WaitNamed(L"swiftnote.Logged"));
  EXPECT_EQ(ReadBytes(L"\\Windows\\swiftnote.log"), "start \nmessage 090-1234-5678\n");
  EXPECT_EQ(NumberLeft(), L"090-1234-5678");
  EXPECT_TRUE(qv::seams::HandOffs().empty());  // nothing started
  Close(pi, L"Swiftnote");
}

TEST_F(HandOffsTest, WithoutTheShortMailProgramItIsStartedWithTheNumberAsOneArgument) {
  EXPECT_FALSE(LaunchSwiftnote(L"+81312345678"));  // not installed: the start fails
  Install("swiftnote");
  EXPECT_TRUE(LaunchSwiftnote(L"+81312345678"));
  const auto started = qv::seams::HandOffs();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].kind, HandOffKind::Program);
  EXPECT_EQ(started[0].target, kSwiftnoteProgram);
  EXPECT_EQ(started[0].parameters, L"-n +81312345678");
  EXPECT_EQ(NumberLeft(), L"<none>");
}

TEST_F(HandOffsTest, HostileNumbersAndLinksAreRefusedBeforeAnythingIsHandedOver) {
  Install("swiftnote");
  SetBrowser(L"htmlfile");
  struct Case {
    const wchar_t* number;  // or null
    const wchar_t* url;     // or null
  };
  const Case cases[] = {
      {L"090 1234", nullptr},
      {L"110;reboot", nullptr},
      {L"12\n34", nullptr},
      {L"-n 1 -x", nullptr},
      {L"abc", nullptr},
      {L"１２３", nullptr},
      {L"", nullptr},
      {L"0123456789012345678901234567890123456789012345678901234567890123456789", nullptr},
      {nullptr, L"http://example.jp/\r\nURL=http://evil.example/"},
      {nullptr, L"http://example.jp/\x01"},
      {nullptr, L"http://ev\nil/"},
      {nullptr, L"http://../"},
      {nullptr, L"http://:::/"},
  };
  for (const Case& c : cases) {
    const int before = BoxesShown();
    if (c.number) {
      EXPECT_FALSE(LaunchSwiftnote(c.number)) << qv::WideToUtf8(c.number);
    } else {
      AddUrlToFavorites(owner_, c.url);
      EXPECT_EQ(BoxesShown(), before + 1) << qv::WideToUtf8(c.url);
    }
  }
  EXPECT_TRUE(qv::seams::HandOffs().empty());
  EXPECT_EQ(NumberLeft(), L"<none>");
  EXPECT_TRUE(Favorites().empty());
  EXPECT_TRUE(LaunchSwiftnote(L"*#06#"));
}

TEST_F(HandOffsTest, FavouritesAreShortcutFilesNamedAfterTheHostInsideTheDevice) {
  SetBrowser(L"htmlfile");
  struct Case {
    const wchar_t* url;
    const char* file;
  };
  const Case cases[] = {
      {L"http://www.example.jp/path/x.html", "www.example.jp.url"},
      {L"mailto:someone@example.jp", "mailtosomeone@example.jp.url"},
      {L"http://..\\..\\..\\evil/", "evil.url"},
      {L"http://host:8080/", "host8080.url"},
      {L"https://a*b?c\"d<e>f|g", "abcdefg.url"},
      {L"http://例え.jp/", "例え.jp.url"},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    AddUrlToFavorites(owner_, c.url);
    expected.push_back(c.file);
    const std::wstring file = std::wstring(kFavorites) + L"\\" + qv::Utf8ToWide(c.file);
    EXPECT_EQ(ReadBytes(file), qv::WideToCp932(std::wstring(L"[InternetShortcut]\r\nURL=") + c.url + L"\r\n")) << c.file;
  }
  std::vector<std::string> found = Favorites();
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
  std::wstring host;
  EXPECT_TRUE(GetUrlHost(L"https://example.jp", &host));
  EXPECT_EQ(host, L"example.jp");
  EXPECT_FALSE(GetUrlHost(L"example.jp/a", &host));
}

TEST_F(HandOffsTest, AnExistingShortcutIsOverwrittenWholeOnlyAfterYesAndAFailedWriteIsReported) {
  const std::wstring path = std::wstring(kFavorites) + L"\\site";
  MakeDir(kFavorites);
  const std::string longer = "[InternetShortcut]\r\nURL=http://example.jp/a/very/long/address/indeed\r\n";
  WriteBytes(path + L".url", longer);
  qv::seams::SetQuestionAnswer(IDNO);
  EXPECT_EQ(WriteInternetShortcut(owner_, path, L"http://b.jp/"), 0);
  EXPECT_EQ(ReadBytes(path + L".url"), longer);
  qv::seams::SetQuestionAnswer(IDYES);
  EXPECT_EQ(WriteInternetShortcut(owner_, path, L"http://b.jp/"), 1);
  EXPECT_EQ(ReadBytes(path + L".url"), "[InternetShortcut]\r\nURL=http://b.jp/\r\n");
  qv::seams::InjectFileFault(path + L".url", ERROR_DISK_FULL);
  const int before = BoxesShown();
  EXPECT_EQ(WriteInternetShortcut(owner_, path, L"http://c.jp/"), -1);
  EXPECT_EQ(BoxesShown(), before + 2);  // the question, then the failure
}

TEST_F(HandOffsTest, OperaBookmarksAreAppendedUnlessOperaIsRunning) {
  SetBrowser(L"_htmlfile_Opera");
  AddUrlToFavorites(owner_, L"http://www.example.jp/");
  EXPECT_FALSE(Exists(kOperaBookmarks));  // no folder: warned, nothing made
  MakeDir(L"\\Application Data");
  MakeDir(L"\\Application Data\\Opera9");
  AddUrlToFavorites(owner_, L"http://www.example.jp/");
  AddUrlToFavorites(owner_, L"http://例え.jp/");
  const std::string record = "\n#URL\n\tID=\n\tNAME==www.example.jp\n\tURL==http://www.example.jp/\n";
  EXPECT_EQ(ReadBytes(kOperaBookmarks), record + qv::WideToCp932(L"\n#URL\n\tID=\n\tNAME==例え.jp\n\tURL==http://例え.jp/\n"));
  PROCESS_INFORMATION pi = Run("opera");
  AddUrlToFavorites(owner_, L"http://other.example.jp/");
  EXPECT_EQ(ReadBytes(kOperaBookmarks).find("other"), std::string::npos);
  Close(pi, kOperaWindowClass);
  SetBrowser(L"textfile");
  AddUrlToFavorites(owner_, L"http://other.example.jp/");
  EXPECT_TRUE(Favorites().empty());
}

TEST_F(HandOffsTest, HelpAndFilesGoThroughTheShell) {
  Install("peghelp");
  OpenHelp();
  WriteBytes(L"\\photo.jpg", "\xFF\xD8");
  EXPECT_TRUE(ShellOpenFile(owner_, L"\\photo.jpg"));
  WriteBytes(L"\\setup.exe", "MZ");
  EXPECT_FALSE(ShellOpenFile(owner_, L"\\setup.exe"));
  const auto handed = qv::seams::HandOffs();
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[0].target, L"\\Windows\\peghelp.exe");
  EXPECT_EQ(handed[0].parameters, L"file:QvMail.htm#Main_Contents");
  EXPECT_EQ(handed[1].kind, HandOffKind::File);
  EXPECT_EQ(handed[1].target, L"\\photo.jpg");
}

}  // namespace
