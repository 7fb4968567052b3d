// Focus, enabling, capture, taps and keys as they reach windows, the key
// state in step with retrieval, the caret and the clipboard.
#include <thread>

#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
namespace seq = qv::test::seq;

using Input = UiTest;

TEST_F(Input, KillFocusCarriesTheNewWindowBeforeSetFocusCarriesTheOld) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND a = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 10, 10}, 1);
  HWND b = Make(WS_CHILD | WS_VISIBLE, top, {0, 10, 10, 20}, 2);
  EXPECT_EQ(SetFocus(a), top);
  log_.Clear();
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_EQ(log_.Compare(a, {{WM_KILLFOCUS, seq::sent | seq::wparam, W(b)},
                             {WM_SETFOCUS, seq::sent | seq::other | seq::wparam, W(a)}}),
            "");
  EXPECT_EQ(GetFocus(), b);
  log_.Clear();
  EXPECT_EQ(SetFocus(b), b);  // no change, no messages
  EXPECT_EQ(log_.MessagesOf(b), std::vector<UINT>{});
}

TEST_F(Input, FocusInAnotherTopLevelWindowActivatesIt) {
  HWND first = Make(WS_POPUP | WS_VISIBLE);
  HWND second = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, first, {0, 0, 10, 10}, 1);
  SetFocus(child);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_EQ(GetFocus(), child);
  EXPECT_TRUE(qv::seams::ReadWindow(second).exists);
  EXPECT_FALSE(qv::seams::ReadWindow(second).active);
}

TEST_F(Input, DisablingSendsCancelModeAndEnableAndDropsTheFocus) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 10, 10}, 1);
  SetFocus(child);
  log_.Clear();
  EXPECT_FALSE(EnableWindow(child, FALSE));
  EXPECT_EQ(log_.Compare(child, {{WM_CANCELMODE, seq::sent},
                                 {WM_KILLFOCUS, seq::sent | seq::wparam, 0},
                                 {WM_ENABLE, seq::sent | seq::wparam, FALSE}}),
            "");
  EXPECT_EQ(GetFocus(), nullptr);
  log_.Clear();
  EXPECT_TRUE(EnableWindow(child, FALSE));  // already disabled: nothing sent
  EXPECT_TRUE(EnableWindow(child, TRUE));
  EXPECT_EQ(log_.Compare(child, {{WM_ENABLE, seq::sent | seq::wparam, TRUE}}), "");
}

TEST_F(Input, TapsReachTheWindowUnderThePointUnlessDisabled) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 480, 800});
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {100, 100, 200, 200}, 1);
  Pump();
  struct Case {
    bool topEnabled, childEnabled;
    HWND receiver;  // of the tap at (150, 160)
  };
  const Case cases[] = {{true, true, child}, {true, false, top}, {false, true, nullptr}};
  for (const Case& c : cases) {
    EnableWindow(top, c.topEnabled);
    EnableWindow(child, c.childEnabled);
    Pump();
    log_.Clear();
    qv::seams::InjectTap({150, 160});
    Pump();
    std::vector<UINT> childGot = log_.MessagesOf(child);
    std::vector<UINT> topGot = log_.MessagesOf(top);
    const std::vector<UINT> tap{WM_LBUTTONDOWN, WM_LBUTTONUP};
    EXPECT_EQ(childGot, c.receiver == child ? tap : std::vector<UINT>{});
    EXPECT_EQ(topGot, c.receiver == top ? tap : std::vector<UINT>{});
  }
  EnableWindow(top, TRUE);
  EnableWindow(child, TRUE);
  log_.Clear();
  qv::seams::InjectTap({150, 160});
  Pump();
  EXPECT_EQ(log_.Compare(child, {{WM_LBUTTONDOWN, seq::posted | seq::wparam | seq::lparam, MK_LBUTTON, MAKELPARAM(50, 60)},
                                 {WM_LBUTTONUP, seq::posted | seq::wparam | seq::lparam, 0, MAKELPARAM(50, 60)}}),
            "");
}

TEST_F(Input, CaptureTakesThePointerAndTellsTheWindowThatLosesIt) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND a = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 100, 100}, 1);
  HWND b = Make(WS_CHILD | WS_VISIBLE, top, {200, 200, 300, 300}, 2);
  Pump();
  EXPECT_EQ(SetCapture(a), nullptr);
  log_.Clear();
  EXPECT_EQ(SetCapture(b), a);
  EXPECT_EQ(log_.Compare(a, {{WM_CAPTURECHANGED, seq::sent | seq::lparam, 0, L(b)}}), "");
  log_.Clear();
  qv::seams::InjectPointer(WM_LBUTTONDOWN, {10, 20});  // over a, yet b has the pointer
  Pump();
  EXPECT_EQ(log_.Compare(b, {{WM_LBUTTONDOWN, seq::posted | seq::lparam, 0, MAKELPARAM(-190, -180)}}), "");
  log_.Clear();
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(log_.Compare(b, {{WM_CAPTURECHANGED, seq::sent | seq::lparam, 0, 0}}), "");
  EXPECT_EQ(GetCapture(), nullptr);
  qv::seams::InjectPointer(WM_LBUTTONUP, {10, 20});
  log_.Clear();
  Pump();
  EXPECT_EQ(log_.MessagesOf(a), std::vector<UINT>{WM_LBUTTONUP});
  SetCapture(a);
  log_.Clear();
  DestroyWindow(a);  // a window that goes takes its capture with it
  EXPECT_EQ(log_.Compare(a, {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
                             {WM_CAPTURECHANGED, seq::sent}, {WM_DESTROY, seq::sent}, {WM_NCDESTROY, seq::sent}}),
            "");
}

TEST_F(Input, GetKeyStateFollowsRetrievalDuringAReplayedShift) {
  ASSERT_NE(Make(WS_POPUP | WS_VISIBLE), nullptr);
  Pump();
  struct Seen {
    UINT message;
    WPARAM key;
    bool shiftNow;
    bool shiftAsync;
  };
  std::vector<Seen> seen;
  qv::test::CurrentHandler() = [&](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_KEYDOWN || m == WM_KEYUP || m == WM_CHAR) {
      seen.push_back({m, wp, GetKeyState(VK_SHIFT) < 0, (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0});
    }
    return std::nullopt;
  };
  // All four keys are in before the first is taken.
  qv::seams::InjectKey(VK_SHIFT, true);
  qv::seams::InjectKey('A', true);
  qv::seams::InjectKey('A', false);
  qv::seams::InjectKey(VK_SHIFT, false);
  qv::seams::InjectKey('B', true);
  Pump();
  const std::vector<Seen> want = {
      {WM_KEYDOWN, VK_SHIFT, true, false}, {WM_KEYDOWN, 'A', true, false}, {WM_CHAR, L'A', true, false},
      {WM_KEYUP, 'A', true, false},        {WM_KEYUP, VK_SHIFT, false, false}, {WM_KEYDOWN, 'B', false, false},
      {WM_CHAR, L'b', false, false},
  };
  ASSERT_EQ(seen.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(seen[i].message, want[i].message) << i;
    EXPECT_EQ(seen[i].key, want[i].key) << i;
    EXPECT_EQ(seen[i].shiftNow, want[i].shiftNow) << i;
    EXPECT_EQ(seen[i].shiftAsync, want[i].shiftAsync) << i;
  }
  EXPECT_LT(GetKeyState('B'), 0);
  qv::seams::InjectKey('B', false);
}

TEST_F(Input, KeysGoToTheFocusAsItStandsWhenTheyAreTaken) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND a = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 10, 10}, 1);
  HWND b = Make(WS_CHILD | WS_VISIBLE, top, {0, 10, 10, 20}, 2);
  SetFocus(a);
  Pump();
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_KEYDOWN && h == a) SetFocus(b);  // the first key moves the focus on
    return std::nullopt;
  };
  log_.Clear();
  qv::seams::InjectKey(VK_DOWN, true);
  qv::seams::InjectKey(VK_DOWN, false);
  Pump();
  EXPECT_EQ(log_.MessagesOf(a), (std::vector<UINT>{WM_KEYDOWN, WM_KILLFOCUS}));
  EXPECT_EQ(log_.MessagesOf(b), (std::vector<UINT>{WM_SETFOCUS, WM_KEYUP}));
}

TEST_F(Input, TheCaretHidesWhilePaintingAndCountsShowsAndHides) {
  HWND w = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  ASSERT_TRUE(CreateCaret(w, nullptr, 2, 20));
  EXPECT_FALSE(qv::seams::ReadWindow(w).caretShown);
  ShowCaret(w);
  SetCaretPos(5, 6);
  EXPECT_TRUE(qv::seams::ReadWindow(w).caretShown);
  EXPECT_EQ(qv::seams::ReadWindow(w).caret.x, 5);
  PAINTSTRUCT ps;
  BeginPaint(w, &ps);
  EXPECT_FALSE(qv::seams::ReadWindow(w).caretShown);
  EndPaint(w, &ps);
  EXPECT_TRUE(qv::seams::ReadWindow(w).caretShown);
  HideCaret(w);
  HideCaret(w);
  ShowCaret(w);
  EXPECT_FALSE(qv::seams::ReadWindow(w).caretShown);
  ShowCaret(w);
  EXPECT_TRUE(qv::seams::ReadWindow(w).caretShown);
  DestroyWindow(w);
  POINT p;
  EXPECT_FALSE(GetCaretPos(&p));  // gone with its window
}

TEST_F(Input, TheClipboardHoldsACopyOfUnicodeText) {
  HWND w = Make();
  EXPECT_FALSE(EmptyClipboard());  // not open
  ASSERT_TRUE(OpenClipboard(w));
  EXPECT_TRUE(EmptyClipboard());
  std::wstring text = L"件名：お知らせ";
  EXPECT_NE(SetClipboardData(CF_UNICODETEXT, text.data()), nullptr);
  text[0] = L'X';  // the clipboard kept its own copy
  EXPECT_EQ(SetClipboardData(CF_TEXT, text.data()), nullptr);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(GetClipboardOwner(), w);
  BOOL openedElsewhere = TRUE;
  std::thread([&] { openedElsewhere = OpenClipboard(nullptr) && CloseClipboard(); }).join();
  EXPECT_TRUE(openedElsewhere);
  ASSERT_TRUE(OpenClipboard(nullptr));
  std::thread([&] { openedElsewhere = OpenClipboard(nullptr); }).join();
  EXPECT_FALSE(openedElsewhere);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GetClipboardData(CF_UNICODETEXT))), L"件名：お知らせ");
  CloseClipboard();
}

// The help key asks the top-level window for help (posted, so that the
// program's message filter sees it), once a press however long it is held.
TEST_F(Input, TheHelpKeyPostsHelpToTheTopLevelWindowOncePerPress) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 10, 10}, 1);
  SetFocus(child);
  Pump();
  log_.Keep({WM_KEYDOWN, WM_KEYUP, WM_HELP, WM_CHAR});
  log_.Clear();
  qv::seams::InjectKey(VK_HELP, true);
  qv::seams::InjectKey(VK_HELP, true);  // held: an auto-repeat
  qv::seams::InjectKey(VK_HELP, false);
  qv::seams::InjectKey(VK_F1, true);     // another key asks for nothing
  qv::seams::InjectKey(VK_F1, false);
  Pump();
  EXPECT_EQ(log_.MessagesOf(child), (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYUP}));
  EXPECT_EQ(log_.Compare(top, {{WM_KEYDOWN, seq::posted | seq::other},
                               {WM_HELP, seq::posted | seq::wparam | seq::lparam, 0, 0},
                               {WM_KEYDOWN, seq::posted | seq::other},
                               {WM_KEYUP, seq::posted | seq::other},
                               {WM_KEYDOWN, seq::posted | seq::other},
                               {WM_KEYUP, seq::posted | seq::other}}),
            "");
}

}  // namespace
