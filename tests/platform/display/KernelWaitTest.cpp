// The display stays alive whatever the UI thread waits in. Blocked in a
// kernel wait, it still reads the desktop's input and presents: a worker's
// message box, owned by the UI thread's window, shows on the X server while
// the UI thread waits for the worker, and a tap on its button through the
// display answers it, which ends the wait. Idle in GetMessage, it presents
// what a worker's window paints as soon as it is painted.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/kernel/Sync.h"
#include "platform/gdi/Surface.h"
#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::CurrentHandler;
using qv::test::DisplayTest;
using qv::test::XPicture;

constexpr COLORREF kPaper = RGB(40, 160, 70);
const wchar_t* const kCaption = L"送信の確認";

DWORD Rgb(COLORREF c) { return qv::gdi::PixelOf(c) & 0xFFFFFFu; }

using KernelWait = DisplayTest;

TEST_F(KernelWait, AWorkersMessageBoxIsShownAndAnsweredWhileTheUiThreadWaits) {
  CurrentHandler() = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT client{};
    GetClientRect(h, &client);
    HBRUSH b = CreateSolidBrush(kPaper);
    FillRect(dc, &client, b);
    DeleteObject(b);
    EndPaint(h, &ps);
    return 0;
  };
  qv::testing::SetQuestionAnswer(qv::testing::kShowMessageBox);  // a real box, for the hand to answer
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  ASSERT_EQ(Grab().At(240, 400), Rgb(kPaper));

  HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE gaveUp = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> waiting{false};
  std::atomic<int> answer{0};
  std::thread worker([&] {
    answer = MessageBoxW(top, L"このメールを送信しますか？", kCaption, MB_OKCANCEL);
    SetEvent(answered);
  });

  // The test's hand: it waits for the box on the X server, then taps OK.
  bool seenOnX = false;
  bool seenWhileWaiting = false;
  std::string missing;
  std::thread hand([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    POINT ok{};
    for (; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
      HWND box = FindWindowW(nullptr, kCaption);
      HWND button = box ? GetDlgItem(box, IDOK) : nullptr;
      if (!button || !IsWindowVisible(box)) continue;
      RECT b{}, whole{};
      GetWindowRect(button, &b);
      GetWindowRect(box, &whole);
      ok = {(b.left + b.right) / 2, (b.top + b.bottom) / 2};
      const XPicture shown = Grab();
      if (shown.pixels.empty()) break;
      // The box's body and its button, both drawn over the green window.
      const POINT body{(whole.left + whole.right) / 2, whole.top + (b.top - whole.top) / 2};
      if (shown.At(ok.x, ok.y) == Rgb(kPaper) || shown.At(body.x, body.y) == Rgb(kPaper)) continue;
      seenOnX = true;
      seenWhileWaiting = waiting;
      break;
    }
    if (!seenOnX) {
      missing = "the box never showed on the X server";
      SetEvent(gaveUp);  // ends the wait; the tap below is read once the UI thread pumps again
    }
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, ok.x, ok.y);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, ok.x, ok.y);
  });

  waiting = true;
  HANDLE both[] = {answered, gaveUp};
  const DWORD woke = WaitForMultipleObjects(2, both, FALSE, 120000);
  waiting = false;
  EXPECT_EQ(woke, WAIT_OBJECT_0) << missing;
  hand.join();
  // Whatever happened, the worker's box gets its tap and the worker ends.
  for (int i = 0; i < 6000 && WaitForSingleObject(answered, 0) != WAIT_OBJECT_0; ++i) {
    Pump();
    WaitForSingleObject(answered, 10);
  }
  worker.join();
  EXPECT_TRUE(seenOnX) << missing;
  EXPECT_TRUE(seenWhileWaiting) << "shown only once the UI thread stopped waiting";
  EXPECT_EQ(answer.load(), IDOK);
  EXPECT_TRUE(IsWindowEnabled(top)) << "the box gave its owner back";
  qv::testing::SetQuestionAnswer(IDNO);
  CloseHandle(gaveUp);
  CloseHandle(answered);
}

TEST_F(KernelWait, AWorkersWindowIsPresentedWhenItPaintsWhileTheUiThreadIdles) {
  constexpr COLORREF kNote = RGB(200, 30, 30);
  HWND top = nullptr;
  CurrentHandler() = [&top](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT client{};
    GetClientRect(h, &client);
    HBRUSH b = CreateSolidBrush(h == top ? kPaper : kNote);
    FillRect(dc, &client, b);
    DeleteObject(b);
    EndPaint(h, &ps);
    return 0;
  };
  top = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  ASSERT_EQ(Grab().At(200, 200), Rgb(kPaper));

  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    // A window of the worker's own, unowned (nothing is sent to the UI
    // thread), shown and painted at once.
    HWND note = Make(WS_POPUP, nullptr, {100, 100, 300, 300});
    ShowWindow(note, SW_SHOWNA);
    UpdateWindow(note);
    WaitForSingleObject(stop, INFINITE);
    DestroyWindow(note);
  });
  bool seen = false;
  std::thread hand([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (; !seen && std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
      const XPicture shown = Grab();
      seen = !shown.pixels.empty() && shown.At(200, 200) == Rgb(kNote);
    }
    PostMessageW(top, WM_APP, 0, 0);  // the UI thread's wait ends only now
  });
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) && msg.message != WM_APP) DispatchMessageW(&msg);
  hand.join();
  SetEvent(stop);
  worker.join();
  EXPECT_TRUE(seen) << "the worker's window reached the X server only once the UI thread had more to do";
  CloseHandle(stop);
}

}  // namespace
