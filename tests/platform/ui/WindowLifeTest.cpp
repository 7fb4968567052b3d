// Making, showing, activating and destroying windows, as message sequences.
#include <thread>

#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::MsgEntry;
using qv::test::UiTest;
namespace seq = qv::test::seq;

using WindowLife = UiTest;

TEST_F(WindowLife, CreateSendsCreateSizeMoveBeforeReturning) {
  bool sawCreate = false;
  qv::test::CurrentHandler() = [&](HWND hwnd, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m == WM_CREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
      sawCreate = IsWindow(hwnd) && cs->cx == 200 && cs->cy == 100 && std::wstring(cs->lpszName) == L"題名";
    }
    return std::nullopt;
  };
  HWND w = Make(WS_POPUP, nullptr, {10, 20, 210, 120}, 0, L"題名");
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(sawCreate);
  EXPECT_EQ(log_.Compare(w, {{WM_CREATE, seq::sent},
                             {WM_SIZE, seq::sent | seq::lparam, 0, MAKELPARAM(200, 100)},
                             {WM_MOVE, seq::sent | seq::lparam, 0, MAKELPARAM(10, 20)}}),
            "");
}

TEST_F(WindowLife, CreateRefusedByMinusOneLeavesNoWindow) {
  qv::test::CurrentHandler() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_CREATE) return -1;
    return std::nullopt;
  };
  EXPECT_EQ(Make(), nullptr);
  EXPECT_EQ(FindWindowW(qv::test::kTestClass, nullptr), nullptr);
}

TEST_F(WindowLife, ShowActivatesAndFocusesATopLevelWindow) {
  HWND w = Make();
  log_.Clear();
  EXPECT_FALSE(ShowWindow(w, SW_SHOW));
  EXPECT_EQ(log_.Compare(w, {{WM_SHOWWINDOW, seq::sent | seq::wparam, TRUE},
                             {WM_WINDOWPOSCHANGING, seq::sent},
                             {WM_ACTIVATE, seq::sent | seq::wparam | seq::lparam, WA_ACTIVE, 0},
                             {WM_SETFOCUS, seq::sent | seq::defwinproc | seq::wparam, 0},
                             {WM_WINDOWPOSCHANGED, seq::sent}}),
            "");
  EXPECT_EQ(GetActiveWindow(), w);
  EXPECT_EQ(GetForegroundWindow(), w);
  EXPECT_EQ(GetFocus(), w);
}

TEST_F(WindowLife, ShowNoActivateAndChildrenLeaveActivationAlone) {
  HWND top = Make();
  for (int command : {SW_SHOWNA, SW_SHOWNOACTIVATE}) {
    log_.Clear();
    ShowWindow(top, command);
    EXPECT_EQ(log_.Compare(top, {{WM_SHOWWINDOW, seq::sent}, {WM_WINDOWPOSCHANGING, seq::sent},
                                 {WM_WINDOWPOSCHANGED, seq::sent}}),
              "");
    ShowWindow(top, SW_HIDE);
  }
  EXPECT_EQ(GetActiveWindow(), nullptr);
  ShowWindow(top, SW_SHOW);
  log_.Clear();
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 50, 50}, 7);
  EXPECT_EQ(log_.Compare(child, {{WM_CREATE, seq::sent}, {WM_SIZE, seq::sent}, {WM_MOVE, seq::sent},
                                 {WM_SHOWWINDOW, seq::sent}, {WM_WINDOWPOSCHANGING, seq::sent},
                                 {WM_WINDOWPOSCHANGED, seq::sent}}),
            "");
  EXPECT_EQ(GetFocus(), top);
}

TEST_F(WindowLife, ASecondWindowTakesActivationAndGivesItBackWhenDestroyed) {
  HWND a = Make(WS_POPUP | WS_VISIBLE);
  log_.Clear();
  HWND b = Make(WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(log_.Compare(b, {{WM_CREATE, seq::sent}, {WM_SIZE, seq::sent}, {WM_MOVE, seq::sent},
                             {WM_SHOWWINDOW, seq::sent}, {WM_WINDOWPOSCHANGING, seq::sent},
                             {WM_ACTIVATE, seq::sent | seq::other | seq::wparam | seq::lparam, WA_INACTIVE, L(b)},
                             {WM_ACTIVATE, seq::sent | seq::wparam | seq::lparam, WA_ACTIVE, L(a)},
                             {WM_KILLFOCUS, seq::sent | seq::other | seq::defwinproc | seq::wparam, W(b)},
                             {WM_SETFOCUS, seq::sent | seq::defwinproc | seq::wparam, W(a)},
                             {WM_WINDOWPOSCHANGED, seq::sent}}),
            "");
  log_.Clear();
  ASSERT_TRUE(DestroyWindow(b));
  EXPECT_EQ(log_.Compare(b, {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
                             {WM_ACTIVATE, seq::sent | seq::wparam | seq::lparam, WA_INACTIVE, L(a)},
                             {WM_ACTIVATE, seq::sent | seq::other | seq::wparam | seq::lparam, WA_ACTIVE, L(b)},
                             {WM_KILLFOCUS, seq::sent | seq::defwinproc | seq::wparam, W(a)},
                             {WM_SETFOCUS, seq::sent | seq::other | seq::defwinproc | seq::wparam, W(b)},
                             {WM_DESTROY, seq::sent},
                             {WM_NCDESTROY, seq::sent}}),
            "");
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_EQ(GetFocus(), a);
}

TEST_F(WindowLife, DestroyGoesToTheParentBeforeItsChildren) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND c1 = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 10, 10}, 1);
  HWND c2 = Make(WS_CHILD | WS_VISIBLE, top, {0, 10, 10, 20}, 2);
  HWND grandchild = Make(WS_CHILD, c1, {0, 0, 5, 5}, 3);
  std::vector<std::pair<HWND, UINT>> order;
  bool parentAliveForChildren = true;
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_DESTROY || m == WM_NCDESTROY) order.emplace_back(h, m);
    if (m == WM_NCDESTROY && h != top) parentAliveForChildren = parentAliveForChildren && IsWindow(top);
    return std::nullopt;
  };
  log_.Clear();
  ASSERT_TRUE(DestroyWindow(top));
  const std::vector<std::pair<HWND, UINT>> want = {
      {top, WM_DESTROY},          {c1, WM_DESTROY},   {grandchild, WM_DESTROY}, {c2, WM_DESTROY},
      {grandchild, WM_NCDESTROY}, {c1, WM_NCDESTROY}, {c2, WM_NCDESTROY},       {top, WM_NCDESTROY}};
  EXPECT_EQ(order, want);
  EXPECT_TRUE(parentAliveForChildren);
  EXPECT_EQ(log_.Compare(top, {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
                               {WM_ACTIVATE, seq::sent | seq::wparam, WA_INACTIVE},
                               {WM_KILLFOCUS, seq::sent | seq::wparam, 0},
                               {WM_DESTROY, seq::sent}, {WM_DESTROY, seq::sent | seq::other},
                               {WM_DESTROY, seq::sent | seq::other}, {WM_DESTROY, seq::sent | seq::other},
                               {WM_NCDESTROY, seq::sent | seq::other}, {WM_NCDESTROY, seq::sent | seq::other},
                               {WM_NCDESTROY, seq::sent | seq::other}, {WM_NCDESTROY, seq::sent}}),
            "");
  for (HWND h : {top, c1, c2, grandchild}) EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowLife, DestroyingAFocusedChildHandsFocusToItsParentAndOwnedWindowsGoFirst) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 10, 10}, 1);
  HWND owned = Make(WS_POPUP, top);
  SetFocus(child);
  log_.Clear();
  DestroyWindow(child);
  EXPECT_EQ(GetFocus(), top);
  EXPECT_EQ(log_.Compare(child, {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
                                 {WM_KILLFOCUS, seq::sent | seq::wparam, W(top)},
                                 {WM_SETFOCUS, seq::sent | seq::parent | seq::wparam, W(child)},
                                 {WM_DESTROY, seq::sent}, {WM_NCDESTROY, seq::sent}}),
            "");
  EXPECT_EQ(GetWindow(owned, GW_OWNER), top);
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowLife, DestroyIsRefusedFromAnotherThreadAndForUnknownHandles) {
  HWND w = Make();
  BOOL fromOther = TRUE;
  DWORD error = 0;
  std::thread([&] {
    fromOther = DestroyWindow(w);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(fromOther);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(w));
  DestroyWindow(w);
  EXPECT_FALSE(DestroyWindow(w));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowLife, MovingAndSizingReportsThroughDefWindowProc) {
  HWND w = Make(WS_POPUP, nullptr, {0, 0, 100, 100});
  struct Case {
    RECT to;
    std::vector<MsgEntry> want;
  };
  const Case cases[] = {
      {{5, 6, 105, 106},
       {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
        {WM_MOVE, seq::sent | seq::defwinproc | seq::lparam, 0, MAKELPARAM(5, 6)}}},
      {{5, 6, 55, 76},
       {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
        {WM_SIZE, seq::sent | seq::defwinproc | seq::lparam, 0, MAKELPARAM(50, 70)}}},
      {{0, 0, 10, 10},
       {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent},
        {WM_MOVE, seq::sent | seq::defwinproc}, {WM_SIZE, seq::sent | seq::defwinproc}}},
      {{0, 0, 10, 10}, {{WM_WINDOWPOSCHANGING, seq::sent}, {WM_WINDOWPOSCHANGED, seq::sent}}},
  };
  for (const Case& c : cases) {
    log_.Clear();
    MoveWindow(w, c.to.left, c.to.top, c.to.right - c.to.left, c.to.bottom - c.to.top, TRUE);
    EXPECT_EQ(log_.Compare(w, c.want), "") << c.to.left << "," << c.to.top;
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_TRUE(EqualRect(&r, &c.to));
  }
}

TEST_F(WindowLife, AWindowMayAmendItsPlacementWhileItChanges) {
  HWND w = Make(WS_POPUP, nullptr, {0, 0, 100, 100});
  qv::test::CurrentHandler() = [](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(l)->cx = 40;  // never wider than 40
    return std::nullopt;
  };
  MoveWindow(w, 0, 0, 300, 300, TRUE);
  RECT r{};
  GetClientRect(w, &r);
  EXPECT_EQ(r.right, 40);
  EXPECT_EQ(r.bottom, 300);
}

}  // namespace
