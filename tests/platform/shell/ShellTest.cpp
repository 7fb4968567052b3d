// The shell's calls as the program uses them: tap-and-hold on the UI clock,
// the hand-offs' allow-lists, starting device programs, file type names and
// icons, special folders, shortcuts, copying, dialog set-up, metrics, the
// input method's contexts and the system's texts.
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <set>

#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/gdi/ImageList.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/DeviceServices.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/HandOff.h"
#include "platform/shell/ShellFiles.h"
#include "platform/shell/ShellUi.h"
#include "platform/kernel/SystemMessage.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::seams::HandOffKind;
namespace seq = qv::seams::seq;
using Steps = std::deque<std::function<void()>>;

constexpr UINT kStep = WM_APP + 7;

class ShellTest : public qv::test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    qv::seams::RecordHandOffs();
    qv::seams::SetUserInterface(true);
    MakeDir(L"\\My Documents");
    MakeDir(L"\\Windows");
  }

  // Holds the stylus down on a window whose WM_LBUTTONDOWN runs the gesture;
  // each step runs as a message the gesture serves while it waits.
  DWORD Gesture(Steps steps, DWORD flags = SHRG_RETURNCMD) {
    HWND w = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 480, 800});
    DWORD result = 0xFFFF;
    qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
      if (m == WM_LBUTTONDOWN) {
        PostMessageW(h, kStep, 0, 0);
        SHRGINFO info{sizeof(SHRGINFO), h, {static_cast<SHORT>(LOWORD(l)), static_cast<SHORT>(HIWORD(l))}, flags};
        result = SHRecognizeGesture(&info);
        return 0;
      }
      if (m == kStep && !steps.empty()) {
        auto step = std::move(steps.front());
        steps.pop_front();
        step();
        PostMessageW(h, kStep, 0, 0);
        return 0;
      }
      return std::nullopt;
    };
    qv::seams::InjectPointer(WM_LBUTTONDOWN, kDown);
    Pump();
    DestroyWindow(w);
    return result;
  }
  static std::function<void()> Wait(DWORD ms) {
    return [ms] { qv::seams::AdvanceUiClock(ms); };
  }
  static std::function<void()> Move(int dx) {
    return [dx] { qv::seams::InjectPointer(WM_MOUSEMOVE, {kDown.x + dx, kDown.y}); };
  }
  static std::function<void()> Lift() {
    return [] { qv::seams::InjectPointer(WM_LBUTTONUP, kDown); };
  }

  static constexpr POINT kDown{200, 300};
};

TEST_F(ShellTest, TapAndHoldIsRecognisedOnlyAfterTheHoldWithoutMovement) {
  struct Case {
    const char* what;
    Steps steps;
    DWORD flags;
    DWORD expected;
  };
  const std::vector<Case> cases = {
      {"held for the hold time", {Wait(500)}, SHRG_RETURNCMD, GN_CONTEXTMENU},
      {"held in two steps", {Wait(300), Wait(200)}, SHRG_RETURNCMD, GN_CONTEXTMENU},
      {"lifted a moment too soon", {Wait(499), Lift()}, SHRG_RETURNCMD, 0},
      {"lifted at once", {Lift(), Wait(600)}, SHRG_RETURNCMD, 0},
      {"moved off, then held", {Move(10), Wait(600)}, SHRG_RETURNCMD, 0},
      {"trembled within the drag box", {Move(3), Wait(250), Move(-4), Wait(250)}, SHRG_RETURNCMD, GN_CONTEXTMENU},
      {"the long hold, too soon", {Wait(999), Lift()}, SHRG_RETURNCMD | SHRG_LONGDELAY, 0},
      {"the long hold", {Wait(1000)}, SHRG_RETURNCMD | SHRG_LONGDELAY, GN_CONTEXTMENU},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Gesture(c.steps, c.flags), c.expected) << c.what;
    Pump();
  }
}

TEST_F(ShellTest, HandOffsPassOnlyTheAllowLists) {
  WriteBytes(L"\\My Documents\\photo.jpg", "\xFF\xD8\xFF");
  WriteBytes(L"\\My Documents\\note.TXT", "text");
  WriteBytes(L"\\My Documents\\run.exe", "MZ");
  WriteBytes(L"\\My Documents\\tool.sh", "echo");
  WriteBytes(L"\\My Documents\\marked.jpg", "\xFF\xD8\xFF");
  chmod(HostOf(L"\\My Documents\\marked.jpg").c_str(), 0755);
  WriteBytes(L"\\My Documents\\program.png", "\x7F" "ELF");
  WriteBytes(L"\\My Documents\\script.htm", "#!/bin/sh");
  struct Case {
    const wchar_t* file;
    DWORD error;  // 0: handed over
    HandOffKind kind;
  };
  const Case cases[] = {
      {L"http://example.jp/a?b=c", 0, HandOffKind::Link},
      {L"HTTPS://example.jp", 0, HandOffKind::Link},
      {L"\\My Documents\\photo.jpg", 0, HandOffKind::File},
      {L"\\my documents\\NOTE.txt", 0, HandOffKind::File},
      {L"ftp://example.jp/", ERROR_ACCESS_DENIED, {}},
      {L"javascript:alert(1)", ERROR_ACCESS_DENIED, {}},
      {L"file:///etc/passwd", ERROR_ACCESS_DENIED, {}},
      {L"http:///etc/passwd", ERROR_ACCESS_DENIED, {}},
      {L"http://exa mple.jp/", ERROR_ACCESS_DENIED, {}},
      {L"http://example.jp/\r\nX", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents\\run.exe", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents\\tool.sh", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents\\marked.jpg", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents\\program.png", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents\\script.htm", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents", ERROR_ACCESS_DENIED, {}},
      {L"\\My Documents\\missing.jpg", ERROR_FILE_NOT_FOUND, {}},
  };
  for (const Case& c : cases) {
    SHELLEXECUTEINFO info{};
    info.cbSize = kDeviceShellExecuteInfoSize;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = c.file;
    const size_t before = qv::seams::HandOffs().size();
    SetLastError(0);
    EXPECT_EQ(ShellExecuteEx(&info), c.error == 0) << qv::WideToUtf8(c.file);
    const auto after = qv::seams::HandOffs();
    if (c.error != 0) {
      EXPECT_EQ(GetLastError(), c.error) << qv::WideToUtf8(c.file);
      EXPECT_EQ(after.size(), before) << qv::WideToUtf8(c.file);
      continue;
    }
    ASSERT_EQ(after.size(), before + 1) << qv::WideToUtf8(c.file);
    EXPECT_EQ(after.back().kind, c.kind);
    EXPECT_GT(reinterpret_cast<intptr_t>(info.hInstApp), 32);
  }
}

TEST_F(ShellTest, WithoutUserInterfaceAQuietHandOffFails) {
  qv::seams::SetUserInterface(false);
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpFile = L"http://example.jp/";
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
  EXPECT_EQ(reinterpret_cast<intptr_t>(info.hInstApp), SE_ERR_NOASSOC);
  EXPECT_TRUE(qv::seams::HandOffs().empty());
}

TEST_F(ShellTest, DeviceProgramsAreFoundInWindowsAndStartedWithTheirCommandLine) {
  WriteBytes(L"\\Windows\\peghelp.exe", "");
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(L"peghelp.exe", L"file:a.htm", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  const auto recorded = qv::seams::HandOffs();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].kind, HandOffKind::Program);
  EXPECT_EQ(recorded[0].target, L"\\Windows\\peghelp.exe");
  EXPECT_EQ(recorded[0].parameters, L"file:a.htm");
  EXPECT_FALSE(CreateProcessW(L"\\Windows\\none.exe", L"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellTest, AStartedDeviceProgramRunsInThisDeviceAndItsHandleSignalsItsEnd) {
  qv::seams::ResetSeams();  // not recorded: really started
  const std::filesystem::path built = std::string(::getenv("QV_BINARY_DIR")) + "/outside/DevicePrograms/peghelp";
  std::filesystem::copy_file(built, Host(L"\\Windows") + "/peghelp.exe");
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(L"\\Windows\\peghelp.exe", L"file:QvMail.htm#Main_Contents", nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, nullptr, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(pi.hThread));
  EXPECT_TRUE(CloseHandle(pi.hProcess));
  EXPECT_EQ(ReadBytes(L"\\Windows\\peghelp.log"), "start file:QvMail.htm#Main_Contents\n");
}

TEST_F(ShellTest, FileInfoGivesJapaneseTypeNamesAndTheIconSet) {
  MakeDir(L"\\My Documents\\写真");
  WriteBytes(L"\\My Documents\\写真\\旅行.JPG", "x");
  struct Case {
    const wchar_t* path;
    DWORD attributes;  // with SHGFI_USEFILEATTRIBUTES; 0: the file on disk
    const wchar_t* typeName;
    const wchar_t* displayName;
  };
  const Case cases[] = {
      {L"\\My Documents\\写真\\旅行.JPG", 0, L"JPEG イメージ", L"旅行.JPG"},
      {L"\\My Documents\\写真", 0, L"ファイル フォルダ", L"写真"},
      {L"a.txt", FILE_ATTRIBUTE_NORMAL, L"テキスト ドキュメント", L"a.txt"},
      {L"mail.eml", FILE_ATTRIBUTE_NORMAL, L"電子メール メッセージ", L"mail.eml"},
      {L"song.Mp3", FILE_ATTRIBUTE_NORMAL, L"MP3 オーディオ", L"song.Mp3"},
      {L"data.xyz", FILE_ATTRIBUTE_NORMAL, L"XYZ ファイル", L"data.xyz"},
      {L"README", FILE_ATTRIBUTE_NORMAL, L"ファイル", L"README"},
      {L"dir.d\\README", FILE_ATTRIBUTE_NORMAL, L"ファイル", L"README"},
  };
  std::set<int> icons;
  for (const Case& c : cases) {
    SHFILEINFO info{};
    const UINT flags = SHGFI_TYPENAME | SHGFI_DISPLAYNAME | (c.attributes ? SHGFI_USEFILEATTRIBUTES : 0);
    EXPECT_NE(SHGetFileInfo(c.path, c.attributes, &info, sizeof info, flags), 0u) << qv::WideToUtf8(c.path);
    EXPECT_EQ(std::wstring(info.szTypeName), c.typeName) << qv::WideToUtf8(c.path);
    EXPECT_EQ(std::wstring(info.szDisplayName), c.displayName);
    icons.insert(info.iIcon);
  }
  EXPECT_EQ(icons.size(), 6u);  // picture, folder, text, mail, sound, any other file
  SHFILEINFO info{};
  EXPECT_EQ(SHGetFileInfo(L"\\missing.txt", 0, &info, sizeof info, SHGFI_TYPENAME), 0u);
  for (const auto& [flag, size] : {std::pair{SHGFI_SMALLICON, 32}, {SHGFI_LARGEICON, 64}}) {
    auto list = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfo(L"a.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | flag));
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, size);
    EXPECT_GT(ImageList_GetImageCount(list), info.iIcon);
  }
}

TEST_F(ShellTest, SpecialFoldersShortcutsAndCopies) {
  WCHAR path[MAX_PATH] = {};
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_FAVORITES, FALSE));
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_FAVORITES, TRUE));
  EXPECT_EQ(std::wstring(path), L"\\Windows\\お気に入り");
  EXPECT_TRUE(Exists(path));

  WCHAR link[] = L"\\Windows\\メール.lnk";
  WCHAR target[] = L"\"\\Windows\\QvMail.exe\" -n";
  ASSERT_TRUE(SHCreateShortcut(link, target));
  EXPECT_EQ(ReadBytes(link), "24#" + qv::WideToCp932(target));
  EXPECT_FALSE(SHCreateShortcut(link, target));  // never over another
  WCHAR read[MAX_PATH] = {};
  ASSERT_TRUE(SHGetShortcutTarget(link, read, MAX_PATH));
  EXPECT_EQ(std::wstring(read), target);
  EXPECT_FALSE(SHGetShortcutTarget(link, read, 5));

  MakeDir(L"\\My Documents\\元");
  WriteBytes(L"\\My Documents\\元\\a.txt", "A");
  WriteBytes(L"\\My Documents\\b.txt", "old");
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_COPY;
  op.pFrom = L"\\My Documents\\元\0";
  op.pTo = L"\\My Documents\\先\0";
  EXPECT_EQ(SHFileOperationW(&op), 0);
  EXPECT_EQ(ReadBytes(L"\\My Documents\\先\\a.txt"), "A");
  for (LPCWSTR inside : {L"\\My Documents\\元\\中\0", L"\\My Documents\\先\\..\\.\\元\\中\0"}) {
    op.pTo = inside;
    EXPECT_EQ(SHFileOperationW(&op), ERROR_INVALID_PARAMETER);  // never into itself
  }
  op.pFrom = L"\\My Documents\\元\\a.txt\0";
  op.pTo = L"\\My Documents\\b.txt\0";
  qv::seams::SetQuestionAnswer(IDNO);
  EXPECT_EQ(SHFileOperationW(&op), 0);
  EXPECT_TRUE(op.fAnyOperationsAborted);
  EXPECT_EQ(ReadBytes(L"\\My Documents\\b.txt"), "old");
  op.fFlags = FOF_NOCONFIRMATION;
  EXPECT_EQ(SHFileOperationW(&op), 0);
  EXPECT_EQ(ReadBytes(L"\\My Documents\\b.txt"), "A");
}

TEST_F(ShellTest, DialogsFillTheScreenAndTheTitleOkButtonSendsOk) {
  qv::seams::SetInputPanelHeight(200);
  log_.Ignore({WM_PAINT, WM_ERASEBKGND});
  // Above the soft-key bar's strip, above the input panel that lies over it,
  // or the whole screen.
  for (const auto& [flags, height] : {std::pair{SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_DONEBUTTON, 800 - qv::shell::kMenuBarHeight},
                                      {SHIDIF_SIZEDLG | SHIDIF_DONEBUTTON, 600},
                                      {SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_DONEBUTTON, 800}}) {
    HWND dlg = Make(WS_POPUP | WS_VISIBLE, nullptr, {10, 10, 100, 100});
    SHINITDLGINFO info{SHIDIM_FLAGS, dlg, flags};
    ASSERT_TRUE(SHInitDialog(&info));
    const auto state = qv::seams::ReadWindow(dlg);
    EXPECT_EQ(state.window.bottom - state.window.top, height);
    EXPECT_EQ(state.window.right - state.window.left, 480);
    log_.Clear();
    EXPECT_TRUE(qv::shell::PressOkButton(dlg));
    Pump();
    EXPECT_EQ(log_.Compare(dlg, {{WM_COMMAND, seq::posted | seq::wparam | seq::lparam, MAKEWPARAM(IDOK, 0x1000), 0}}), "");
    SHDoneButton(dlg, SHDB_HIDE);
    EXPECT_FALSE(qv::shell::PressOkButton(dlg));
    DestroyWindow(dlg);
  }
}

TEST_F(ShellTest, MetricsPanelSoundsAndPower) {
  DWORD value = 0, required = 0;
  EXPECT_EQ(SHGetUIMetrics(SHUIM_FONTSIZE_PIXEL, &value, sizeof value, &required), S_OK);
  EXPECT_EQ(value, 24u);
  EXPECT_EQ(SHGetUIMetrics(SHUIM_FONTSIZE_POINT, &value, sizeof value, &required), S_OK);
  EXPECT_EQ(value, 9u);
  EXPECT_NE(SHGetUIMetrics(SHUIM_FONTSIZE_POINT, &value, 2, &required), S_OK);
  EXPECT_EQ(required, sizeof(DWORD));

  SIPINFO sip{};
  sip.cbSize = sizeof sip;
  ASSERT_TRUE(SipGetInfo(&sip));
  EXPECT_EQ(sip.fdwFlags & SIPF_ON, 0u);
  EXPECT_EQ(sip.rcVisibleDesktop.bottom, 800);
  qv::seams::SetInputPanelHeight(260);
  ASSERT_TRUE(SipGetInfo(&sip));
  EXPECT_EQ(sip.rcSipRect.top, 540);
  SipShowIM(SIPF_OFF);
  ASSERT_TRUE(SipGetInfo(&sip));
  EXPECT_EQ(sip.rcVisibleDesktop.bottom, 800);

  EXPECT_FALSE(PlaySoundW(L"\\Windows\\msgbox.wav", nullptr, SND_ASYNC));  // no such file here
  EXPECT_TRUE(PlaySoundW(nullptr, nullptr, SND_PURGE));
  EXPECT_EQ(qv::seams::SoundsPlayed(), std::vector<std::wstring>{L"\\Windows\\msgbox.wav"});
  SystemIdleTimerReset();
  HANDLE req = SetPowerRequirement(L"BKL1:", D0, POWER_NAME, nullptr, 0);
  EXPECT_EQ(ReleasePowerRequirement(req), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(qv::seams::PowerCalls(), 3);
}

TEST_F(ShellTest, TheSystemPowerStateIsKeptAndReported) {
  struct Step {
    LPCWSTR name;
    DWORD flags;
    DWORD answer;
    DWORD now;        // the state's flag afterwards
    LPCWSTR nowName;
  };
  const Step steps[] = {
      {nullptr, 0, ERROR_SUCCESS, POWER_STATE_ON, L"on"},  // no change: the state at start
      {nullptr, POWER_STATE_UNATTENDED, ERROR_SUCCESS, POWER_STATE_UNATTENDED, L"unattended"},
      {nullptr, POWER_STATE_SUSPEND, ERROR_SUCCESS, POWER_STATE_UNATTENDED, L"unattended"},  // nothing to suspend
      {L"ON", 0, ERROR_SUCCESS, POWER_STATE_ON, L"on"},
      {L"useridle", 0, ERROR_SUCCESS, POWER_STATE_USERIDLE, L"useridle"},
      {L"no such state", 0, ERROR_INVALID_PARAMETER, POWER_STATE_USERIDLE, L"useridle"},
      {nullptr, 0x12345u, ERROR_INVALID_PARAMETER, POWER_STATE_USERIDLE, L"useridle"},
      {nullptr, POWER_STATE_ON, ERROR_SUCCESS, POWER_STATE_ON, L"on"},
  };
  for (const Step& s : steps) {
    if (s.name || s.flags) {
      EXPECT_EQ(SetSystemPowerState(s.name, s.flags, POWER_FORCE), s.answer);
    }
    WCHAR name[32] = {};
    DWORD flags = 0;
    ASSERT_EQ(GetSystemPowerState(name, 32, &flags), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(flags, s.now);
    EXPECT_STREQ(name, s.nowName);
  }
  WCHAR small[2] = {};
  DWORD flags = 0;
  EXPECT_EQ(GetSystemPowerState(small, 2, &flags), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetSystemPowerState(nullptr, 0, &flags), static_cast<DWORD>(ERROR_SUCCESS));
  qv::seams::SetPowerState(POWER_STATE_UNATTENDED);  // as a test holds the device for a receive
  EXPECT_EQ(GetSystemPowerState(nullptr, 0, &flags), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(flags, static_cast<DWORD>(POWER_STATE_UNATTENDED));
}

TEST_F(ShellTest, ADetachedOrAlphanumericContextTurnsCompositionOff) {
  HWND edit = Make();
  EXPECT_TRUE(qv::shell::CompositionEnabled(edit));
  HIMC own = ImmGetContext(edit);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(ImmAssociateContext(edit, nullptr), own);
  EXPECT_FALSE(qv::shell::CompositionEnabled(edit));
  EXPECT_EQ(ImmAssociateContext(edit, own), nullptr);
  EXPECT_TRUE(qv::shell::CompositionEnabled(edit));
  EXPECT_TRUE(ImmSetConversionStatus(own, IME_CMODE_ALPHANUMERIC, IME_SMODE_NONE));
  EXPECT_FALSE(qv::shell::CompositionEnabled(edit));
  EXPECT_TRUE(ImmReleaseContext(edit, own));
  DestroyWindow(edit);
}

TEST_F(ShellTest, SystemTextsWithInserts) {
  WCHAR* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND,
                                 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  ASSERT_GT(n, 2u);
  EXPECT_EQ(std::wstring(text, n), L"指定されたファイルが見つかりません。\r\n");
  LocalFree(text);
  WCHAR out[64] = {};
  const wchar_t* args[] = {L"甲", L"乙"};
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, L"%2と%1!s!%%%n%0無視", 0, 0, out,
                           64, reinterpret_cast<va_list*>(args)),
            6u);
  EXPECT_EQ(std::wstring(out), L"乙と甲%\r\n");
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0xDEAD, 0, out, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

}  // namespace
