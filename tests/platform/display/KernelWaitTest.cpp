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

// How the UI thread waits for the worker that shows the box.
enum class Wait { KernelEvent, SentMessage };

struct BoxCase {
  const char* name;
  Wait wait;
};

TEST_F(KernelWait, AWorkersMessageBoxIsShownAndAnsweredWhileTheUiThreadWaits) {
  HWND top = nullptr;
  std::atomic<HWND> host{nullptr};  // the worker's window; WM_APP shows the box
  HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> answer{0};
  CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == host && m == WM_APP) {
      answer = MessageBoxW(top, L"このメールを送信しますか？", kCaption, MB_OKCANCEL);
      SetEvent(answered);
      return 0;
    }
    if (h == host && m == WM_APP + 1) {
      PostQuitMessage(0);
      return 0;
    }
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
  qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);  // a real box, for the hand to answer
  top = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  ASSERT_EQ(Grab().At(240, 400), Rgb(kPaper));

  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    host = Make(WS_POPUP, nullptr, {0, 0, 10, 10});
    SetEvent(ready);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
    DestroyWindow(host);
  });
  ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);

  const BoxCase cases[] = {
      {"waiting on an event", Wait::KernelEvent},
      {"waiting for a sent message's answer", Wait::SentMessage},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetEvent(answered);
    answer = 0;
    std::atomic<bool> waiting{false};
    // The test's hand: it waits for the box on the X server, then taps OK;
    // a box never seen there it closes itself, so that the wait ends.
    bool seenOnX = false;
    bool seenWhileWaiting = false;
    std::thread hand([&] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      HWND box = nullptr;
      POINT ok{};
      for (; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        box = FindWindowW(nullptr, kCaption);
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
      if (seenOnX) {
        Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, ok.x, ok.y);
        Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, ok.x, ok.y);
      } else if (box) {
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
      }
    });

    waiting = true;
    if (c.wait == Wait::KernelEvent) {
      PostMessageW(host, WM_APP, 0, 0);
      EXPECT_EQ(WaitForSingleObject(answered, 120000), WAIT_OBJECT_0);
    } else {
      SendMessageW(host, WM_APP, 0, 0);
    }
    waiting = false;
    hand.join();
    EXPECT_TRUE(seenOnX) << "the box never showed on the X server";
    EXPECT_TRUE(seenWhileWaiting) << "shown only once the UI thread stopped waiting";
    EXPECT_EQ(answer.load(), IDOK) << "answered by the tap through the display";
    Pump();
    EXPECT_TRUE(IsWindowEnabled(top)) << "the box gave its owner back";
  }
  PostMessageW(host, WM_APP + 1, 0, 0);
  worker.join();
  qv::seams::SetQuestionAnswer(IDNO);
  CloseHandle(ready);
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
