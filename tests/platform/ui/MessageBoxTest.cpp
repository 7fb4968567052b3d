// Message boxes: headless answers by default; shown, a real modal dialog on
// the calling thread — here a worker's, over a window of the UI thread —
// answered by injected taps and keys. The shown box is kept as
// ui-msgbox.png in the build folder for people to look at.
#include <cstdlib>
#include <thread>

#include "platform/gdi/Surface.h"
#include "platform/kernel/Sync.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

using MessageBoxes = DialogTest;

std::string OutputPath() {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/ui-msgbox.png";
}

COLORREF ScreenAt(int x, int y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); }

// What the shown-handler saw of the box, on the box's thread.
struct Seen {
  HWND box = nullptr;
  std::wstring className;
  HWND owner = nullptr;
  bool ownerEnabled = true;
  DWORD thread = 0;
  RECT window{};
  RECT yes{};
  RECT no{};
  bool focusOnYes = false;
};

// Runs MessageBoxW on a worker while this thread serves what the worker
// sends to its windows; `act` answers the box from the box's thread.
int OnWorker(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type, Seen* seen,
             std::function<void(const Seen&)> act) {
  qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
  qv::seams::SetMessageBoxShownHandler([&](HWND box) {
    WCHAR name[32];
    GetClassNameW(box, name, 32);
    seen->box = box;
    seen->className = name;
    seen->owner = GetWindow(box, GW_OWNER);
    seen->ownerEnabled = IsWindowEnabled(owner);
    seen->thread = GetCurrentThreadId();
    seen->focusOnYes = GetFocus() == GetDlgItem(box, IDYES);
    GetWindowRect(box, &seen->window);
    GetWindowRect(GetDlgItem(box, IDYES), &seen->yes);
    GetWindowRect(GetDlgItem(box, IDNO), &seen->no);
    act(*seen);
  });
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  int answer = 0;
  std::thread worker([&] {
    answer = MessageBoxW(owner, text, caption, type);
    SetEvent(done);
  });
  // A platform wait: the worker's sends to the owner (disabling it) are served.
  EXPECT_EQ(WaitForSingleObject(done, 60000), WAIT_OBJECT_0);
  worker.join();
  CloseHandle(done);
  return answer;
}

TEST_F(MessageBoxes, HeadlessByDefault) {
  HWND owner = Make(WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(MessageBoxW(owner, L"削除しますか？", L"確認", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(owner, L"削除しますか？", L"確認", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(owner, L"送信しました。", L"情報", MB_OK), IDOK);
  EXPECT_EQ(qv::seams::QuestionCount(), 2);
  EXPECT_EQ(FindWindowW(WC_DIALOG, nullptr), nullptr);
}

TEST_F(MessageBoxes, AWorkersBoxRunsModalOverTheUiWindowAndATapAnswersIt) {
  HWND owner = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  const DWORD uiThread = GetCurrentThreadId();
  Seen seen;
  bool saved = false;
  const int answer = OnWorker(owner, L"受信したメールを削除しますか？\nこの操作は元に戻せません。", L"確認",
                              MB_YESNO | MB_ICONQUESTION, &seen, [&](const Seen& s) {
                                saved = qv::seams::SaveScreenPng(OutputPath());
                                // Pixels while the box is up: its caption, its frame, the default button's frame.
                                EXPECT_EQ(ScreenAt((s.window.left + s.window.right) / 2, s.window.top + 10),
                                          GetSysColor(COLOR_ACTIVECAPTION));
                                EXPECT_EQ(ScreenAt(s.window.left, (s.window.top + s.window.bottom) / 2),
                                          GetSysColor(COLOR_WINDOWFRAME));
                                EXPECT_EQ(ScreenAt(s.yes.left, s.yes.top + 10), GetSysColor(COLOR_WINDOWFRAME));
                                EXPECT_EQ(ScreenAt(s.no.left, s.no.top + 10), GetSysColor(COLOR_BTNSHADOW));
                                qv::seams::InjectTap(CentreOf(GetDlgItem(s.box, IDNO)));
                              });
  EXPECT_EQ(answer, IDNO);
  EXPECT_TRUE(saved) << OutputPath();
  EXPECT_EQ(seen.className, L"Dialog");
  EXPECT_EQ(seen.owner, owner);
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_NE(seen.thread, uiThread);
  EXPECT_TRUE(seen.focusOnYes);
  // Centred on the screen, 16 pixels from its sides; buttons a fingertip high.
  EXPECT_EQ(seen.window.left, 16);
  EXPECT_EQ(seen.window.right, 480 - 16);
  EXPECT_EQ(seen.window.top + seen.window.bottom, 800);
  EXPECT_EQ(seen.yes.bottom - seen.yes.top, 56);
  EXPECT_EQ(seen.yes.top, seen.no.top);
  EXPECT_LT(seen.yes.right, seen.no.left);
  EXPECT_FALSE(IsWindow(seen.box));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetForegroundWindow(), owner);
}

TEST_F(MessageBoxes, KeysAnswerAShownBox) {
  HWND owner = Make(WS_POPUP | WS_VISIBLE);
  struct Case {
    UINT type;
    BYTE key;
    int answer;
  };
  const Case cases[] = {{MB_YESNO, VK_RETURN, IDYES},
                        {MB_YESNO | MB_DEFBUTTON2, VK_RETURN, IDNO},
                        {MB_YESNOCANCEL, VK_ESCAPE, IDCANCEL},
                        {MB_OK, VK_ESCAPE, IDOK},
                        {MB_OKCANCEL, VK_RIGHT, 0},  // arrows only move: then Enter on Cancel
                        {MB_YESNO, VK_ESCAPE, 0}};   // no Cancel: Escape does nothing, then Enter
  for (const Case& c : cases) {
    Seen seen;
    const int answer = OnWorker(owner, L"保存しますか？", nullptr, c.type, &seen, [&](const Seen&) {
      PressKey(c.key);
      if (c.answer == 0) PressKey(VK_RETURN);
    });
    const int want = c.answer ? c.answer : (c.type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDYES;
    EXPECT_EQ(answer, want) << "type " << c.type << " key " << int{c.key};
  }
}

}  // namespace
}  // namespace qv::test
