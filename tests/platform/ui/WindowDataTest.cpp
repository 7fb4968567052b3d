// What windows hold and how they are found: classes by name, text, longs,
// subclassing, the tree and z-order, enumeration and look-up.
#include <array>

#include "platform/kernel/Sync.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
namespace seq = qv::test::seq;

using WindowData = UiTest;

std::wstring ClassOf(HWND w) {
  WCHAR name[64];
  GetClassNameW(w, name, 64);
  return name;
}

std::wstring TextOf(HWND w) {
  WCHAR text[64];
  GetWindowTextW(w, text, 64);
  return text;
}

LRESULT DialogProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

TEST_F(WindowData, ClassesAreFoundByNameWithoutRegardToCase) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DialogProc;
  wc.lpszClassName = L"WCE_QvSample";
  const ATOM atom = RegisterClassW(&wc);
  ASSERT_NE(atom, 0);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  HWND byName = CreateWindowExW(0, L"WCE_QVSAMPLE", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND byAtom = CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ClassOf(byName), L"WCE_QvSample");
  EXPECT_EQ(ClassOf(byAtom), L"WCE_QvSample");
  EXPECT_EQ(CreateWindowExW(0, L"WCE_QvNoSuchClass", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_FALSE(UnregisterClassW(L"WCE_QvSample", nullptr));  // it still has windows
  DestroyWindow(byName);
  DestroyWindow(byAtom);
  EXPECT_TRUE(UnregisterClassW(L"wce_qvsample", nullptr));
  WNDCLASSW out{};
  EXPECT_FALSE(GetClassInfoW(nullptr, L"WCE_QvSample", &out));
}

TEST_F(WindowData, TextGoesThroughWmSetTextAndWmGetText) {
  HWND w = Make(WS_POPUP, nullptr, {0, 0, 10, 10}, 0, L"最初");
  EXPECT_EQ(TextOf(w), L"最初");
  log_.Clear();
  EXPECT_TRUE(SetWindowTextW(w, L"受信箱 (3)"));
  EXPECT_EQ(GetWindowTextLengthW(w), 7);
  EXPECT_EQ(TextOf(w), L"受信箱 (3)");
  EXPECT_EQ(log_.Compare(w, {{WM_SETTEXT, seq::sent}, {WM_GETTEXTLENGTH, seq::sent}, {WM_GETTEXT, seq::sent}}), "");
  WCHAR small[4];
  EXPECT_EQ(GetWindowTextW(w, small, 4), 3);
  EXPECT_EQ(std::wstring(small), L"受信箱");
}

LRESULT g_subclassedCalls = 0;
WNDPROC g_previous = nullptr;
LRESULT Subclass(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) return 1000 + CallWindowProcW(g_previous, h, m, w, l);
  ++g_subclassedCalls;
  return CallWindowProcW(g_previous, h, m, w, l);
}

TEST_F(WindowData, SubclassingThroughGwlWndProcChainsToThePreviousProcedure) {
  HWND w = Make();
  qv::test::CurrentHandler() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_USER) return 5;
    return std::nullopt;
  };
  g_previous = reinterpret_cast<WNDPROC>(SetWindowLongW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  EXPECT_EQ(g_previous, qv::test::TestProc);
  EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 1005);
  SetWindowTextW(w, L"x");
  EXPECT_EQ(g_subclassedCalls, 1);
  EXPECT_EQ(SetWindowLongW(w, GWL_USERDATA, 77), 0);
  EXPECT_EQ(GetWindowLongW(w, GWL_USERDATA), 77);
  EXPECT_EQ(SetWindowLongW(w, 8, 0x1234), 0);  // the class's 16 extra bytes
  EXPECT_EQ(GetWindowLongW(w, 8), 0x1234);
  EXPECT_EQ(GetWindowLongW(w, 16), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

TEST_F(WindowData, StyleChangesAreAnnounced) {
  HWND w = Make(WS_POPUP);
  log_.Clear();
  EXPECT_EQ(SetWindowLongW(w, GWL_STYLE, WS_POPUP | WS_BORDER), static_cast<LONG_PTR>(WS_POPUP));
  EXPECT_EQ(log_.Compare(w, {{WM_STYLECHANGING, seq::sent | seq::wparam, static_cast<WPARAM>(GWL_STYLE)},
                             {WM_STYLECHANGED, seq::sent | seq::wparam, static_cast<WPARAM>(GWL_STYLE)}}),
            "");
  RECT client{};
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 478);  // a one-pixel border on each side
}

TEST_F(WindowData, TheTreeKeepsParentsOwnersAndZOrder) {
  HWND top = Make(WS_POPUP);
  HWND c1 = Make(WS_CHILD, top, {0, 0, 10, 10}, 11);
  HWND c2 = Make(WS_CHILD, top, {0, 0, 10, 10}, 12);
  HWND popup = Make(WS_POPUP, top);
  EXPECT_EQ(GetParent(c1), top);
  EXPECT_EQ(GetParent(popup), top);  // a popup's owner
  EXPECT_EQ(GetParent(top), nullptr);
  EXPECT_EQ(GetWindow(top, GW_CHILD), c1);  // children keep the order they were made in
  EXPECT_EQ(GetWindow(c1, GW_HWNDNEXT), c2);
  EXPECT_EQ(GetWindow(c2, GW_HWNDPREV), c1);
  EXPECT_EQ(GetDlgItem(top, 12), c2);
  EXPECT_EQ(GetDlgCtrlID(c1), 11);
  EXPECT_TRUE(IsChild(top, c2));
  EXPECT_FALSE(IsChild(top, popup));
  EXPECT_EQ(GetAncestor(c2, GA_ROOT), top);
  EXPECT_EQ(GetAncestor(popup, GA_ROOTOWNER), top);
  SetWindowPos(c2, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(top, GW_CHILD), c2);
  std::vector<HWND> enumerated;
  EnumWindows([](HWND h, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&enumerated));
  EXPECT_EQ(enumerated, (std::vector<HWND>{popup, top}));  // the latest in front
  enumerated.clear();
  EnumChildWindows(top, [](HWND h, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return FALSE;  // stops at the first
  }, reinterpret_cast<LPARAM>(&enumerated));
  EXPECT_EQ(enumerated, std::vector<HWND>{c2});
  HWND other = Make(WS_POPUP);
  EXPECT_EQ(SetParent(c1, other), top);
  EXPECT_EQ(GetParent(c1), other);
}

TEST_F(WindowData, CoordinatesMapBetweenWindowsAndTheScreen) {
  HWND top = Make(WS_POPUP | WS_BORDER, nullptr, {10, 20, 210, 220});
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {5, 6, 55, 56}, 1);
  POINT p{1, 2};
  ClientToScreen(child, &p);
  EXPECT_EQ(p.x, 10 + 1 + 5 + 1);
  EXPECT_EQ(p.y, 20 + 1 + 6 + 2);
  ScreenToClient(top, &p);
  EXPECT_EQ(p.x, 6);
  EXPECT_EQ(p.y, 8);
  RECT r{};
  GetWindowRect(child, &r);
  EXPECT_TRUE(EqualRect(&r, std::array<RECT, 1>{RECT{16, 27, 66, 77}}.data()));
  RECT adjusted{0, 0, 100, 100};
  AdjustWindowRectEx(&adjusted, WS_POPUP | WS_BORDER, FALSE, WS_EX_CLIENTEDGE);
  EXPECT_EQ(adjusted.left, -3);
  EXPECT_EQ(adjusted.right, 103);
  ShowWindow(top, SW_SHOW);
  EXPECT_EQ(WindowFromPoint({20, 30}), child);
  EXPECT_EQ(WindowFromPoint({12, 22}), top);
  EXPECT_EQ(ChildWindowFromPoint(top, {6, 8}), child);
}

TEST_F(WindowData, FindWindowMatchesClassAndTitle) {
  HWND a = Make(WS_POPUP, nullptr, {0, 0, 10, 10}, 0, L"受信箱");
  HWND b = Make(WS_POPUP, nullptr, {0, 0, 10, 10}, 0, L"送信箱");
  EXPECT_EQ(FindWindowW(L"wce_qvtestwindow", L"受信箱"), a);
  EXPECT_EQ(FindWindowW(nullptr, L"送信箱"), b);
  EXPECT_EQ(FindWindowW(qv::test::kTestClass, nullptr), b);  // the frontmost
  EXPECT_EQ(FindWindowW(L"Edit", nullptr), nullptr);
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(a, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, GetCurrentProcessId());
}

}  // namespace
