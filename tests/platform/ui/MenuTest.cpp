// Menus: the item calls, resources, and popups tracked as the user drives
// them with keys and taps. While a menu waits for input its owner hears
// WM_ENTERIDLE (MSGF_MENU); the tests take their next step there, and close
// the menu when the steps run out, so that a wrong turn fails, never hangs.
// The open menu is kept as ui-menu.png in the build folder.
#include <cstdlib>
#include <deque>

#include "platform/gdi/Surface.h"
#include "platform/ui/menu/MenuStore.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

constexpr UINT ID_OPEN = 101, ID_SAVE = 102, ID_DELETE = 103, ID_LIST = 104, ID_DETAIL = 105, ID_QUIT = 106;
constexpr int kCascadeAt = 4;

class Menus : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    owner_ = Make(WS_POPUP | WS_VISIBLE);
    CurrentHandler() = [this](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
      if (m == WM_COMMAND) commands_.push_back(w);
      if (m != WM_ENTERIDLE || w != MSGF_MENU) return std::nullopt;
      if (steps_.empty()) {
        EndMenu();
      } else {
        auto step = std::move(steps_.front());
        steps_.pop_front();
        step();
        PostMessageW(owner_, WM_NULL, 0, 0);  // back to idle even when the step queued nothing
      }
      return 0;
    };
  }
  void TearDown() override {
    if (menu_) DestroyMenu(menu_);
    UiTest::TearDown();
  }

  // 開く, 保存 (checked, with its key), a separator, 削除 (grayed), the
  // 表示 cascade (一覧, 詳細 with a radio mark), 終了.
  HMENU Build() {
    menu_ = CreatePopupMenu();
    cascade_ = CreatePopupMenu();
    AppendMenuW(cascade_, MF_STRING, ID_LIST, L"一覧");
    AppendMenuW(cascade_, MF_STRING, ID_DETAIL, L"詳細");
    CheckMenuRadioItem(cascade_, ID_LIST, ID_DETAIL, ID_DETAIL, MF_BYCOMMAND);
    AppendMenuW(menu_, MF_STRING, ID_OPEN, L"開く(&O)");
    AppendMenuW(menu_, MF_STRING | MF_CHECKED, ID_SAVE, L"保存\tCtrl+S");
    AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu_, MF_STRING | MF_GRAYED, ID_DELETE, L"削除");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(cascade_), L"表示");
    AppendMenuW(menu_, MF_STRING, ID_QUIT, L"終了");
    return menu_;
  }

  // The menu windows open now, outermost first.
  static std::vector<HWND> MenuWindows() {
    std::vector<HWND> out;
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
      if (qv::seams::ReadWindow(w).className == L"MNU" && IsWindowVisible(w)) out.insert(out.begin(), w);
    }
    return out;
  }

  // The screen centre of item `n` of the popup shown in `window`.
  static POINT ItemCentre(HWND window, const std::vector<bool>& separators, int n) {
    RECT r;
    GetWindowRect(window, &r);
    LONG y = r.top + qv::ui::StylePainter::kFrame;
    for (int i = 0; i < n; ++i) y += separators[i] ? qv::ui::StylePainter::kMenuSeparator : GetSystemMetrics(SM_CYMENU);
    return {(r.left + r.right) / 2, y + GetSystemMetrics(SM_CYMENU) / 2};
  }
  static const std::vector<bool>& TopSeparators() {
    static const std::vector<bool> s{false, false, true, false, false, false};
    return s;
  }

  HWND owner_ = nullptr;
  HMENU menu_ = nullptr;
  HMENU cascade_ = nullptr;
  std::deque<std::function<void()>> steps_;
  std::vector<WPARAM> commands_;  // WM_COMMAND's wParam, as the owner received them
};

TEST_F(Menus, KeysMoveOpenChooseAndClose) {
  struct Case {
    const char* name;
    std::vector<BYTE> keys;
    UINT flags;
    BOOL result;
    UINT posted;     // WM_COMMAND's id, 0 for none
    int initPopups;  // WM_INITMENUPOPUP the owner heard
  };
  const Case cases[] = {
      {"first item, returned", {VK_DOWN, VK_RETURN}, TPM_RETURNCMD, ID_OPEN, 0, 1},
      {"first item, posted", {VK_DOWN, VK_RETURN}, 0, TRUE, ID_OPEN, 1},
      {"up wraps to the last", {VK_UP, VK_RETURN}, TPM_RETURNCMD, ID_QUIT, 0, 1},
      {"down skips the separator to a grayed item that does nothing",
       {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN},
       TPM_RETURNCMD,
       0,
       0,
       1},
      {"right opens the cascade on its first item",
       {VK_UP, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN},
       TPM_RETURNCMD,
       ID_DETAIL,
       0,
       2},
      {"left closes the cascade", {VK_UP, VK_UP, VK_RETURN, VK_LEFT, VK_DOWN, VK_RETURN}, 0, TRUE, ID_QUIT, 2},
      {"back closes the cascade, then the menu", {VK_UP, VK_UP, VK_RETURN, VK_ESCAPE, VK_ESCAPE}, 0, TRUE, 0, 2},
      {"a mnemonic chooses its item", {'O'}, TPM_RETURNCMD, ID_OPEN, 0, 1},
      {"no notification", {VK_DOWN, VK_RETURN}, TPM_RETURNCMD | TPM_NONOTIFY, ID_OPEN, 0, 0},
  };
  for (const Case& c : cases) {
    Build();
    for (BYTE k : c.keys) PressKey(k);
    log_.Clear();
    EXPECT_EQ(TrackPopupMenu(menu_, c.flags, 100, 100, 0, owner_, nullptr), c.result) << c.name;
    EXPECT_TRUE(MenuWindows().empty()) << c.name;
    std::vector<UINT> seen = log_.MessagesOf(owner_);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_INITMENUPOPUP), c.initPopups) << c.name;
    commands_.clear();
    Pump();
    EXPECT_EQ(commands_, c.posted ? std::vector<WPARAM>{MAKEWPARAM(c.posted, 0)} : std::vector<WPARAM>{}) << c.name;
    DestroyMenu(menu_);
    menu_ = nullptr;
  }
}

TEST_F(Menus, TheOwnerSetsEachPopupUpBeforeItShowsAndHearsACommandOnlyWithoutReturnCmd) {
  using seq::lparam;
  using seq::other;
  using seq::posted;
  using seq::sent;
  using seq::wparam;
  log_.Ignore({WM_SIZE, WM_MOVE, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_PAINT, WM_ERASEBKGND, WM_KEYUP});
  for (const UINT flags : {TPM_RETURNCMD, 0u}) {
    Build();
    const auto m = reinterpret_cast<WPARAM>(menu_);
    const auto c = reinterpret_cast<WPARAM>(cascade_);
    const auto ml = static_cast<LPARAM>(m);
    const auto cl = static_cast<LPARAM>(c);
    for (BYTE k : {VK_UP, VK_UP, VK_RIGHT, VK_RETURN}) PressKey(k);
    log_.Clear();
    const BOOL result = TrackPopupMenu(menu_, flags, 100, 100, 0, owner_, nullptr);
    Pump();
    std::vector<MsgEntry> want{
        {WM_ENTERMENULOOP, sent | wparam, TRUE},
        {WM_INITMENU, sent | wparam, m},
        {WM_INITMENUPOPUP, sent | wparam | lparam, m, MAKELPARAM(0, FALSE)},
        {WM_CREATE, sent | other},  // the popup's window, set up by now
        {WM_MENUSELECT, sent | wparam | lparam, MAKEWPARAM(ID_QUIT, MF_HILITE), ml},
        {WM_MENUSELECT, sent | wparam | lparam, MAKEWPARAM(kCascadeAt, MF_HILITE | MF_POPUP), ml},
        {WM_INITMENUPOPUP, sent | wparam | lparam, c, MAKELPARAM(kCascadeAt, FALSE)},
        {WM_CREATE, sent | other},  // the cascade's
        {WM_MENUSELECT, sent | wparam | lparam, MAKEWPARAM(ID_LIST, MF_HILITE), cl},
        {WM_CAPTURECHANGED, sent | other},
        {WM_DESTROY, sent | other},
        {WM_NCDESTROY, sent | other},
        {WM_DESTROY, sent | other},
        {WM_NCDESTROY, sent | other},
        {WM_MENUSELECT, sent | wparam | lparam, MAKEWPARAM(0, 0xFFFF), 0},
        {WM_EXITMENULOOP, sent | wparam, TRUE},
    };
    if (!(flags & TPM_RETURNCMD)) want.push_back({WM_COMMAND, posted | wparam | lparam, MAKEWPARAM(ID_LIST, 0), 0});
    EXPECT_EQ(result, flags & TPM_RETURNCMD ? static_cast<BOOL>(ID_LIST) : TRUE);
    EXPECT_EQ(log_.Compare(owner_, want), "") << "flags " << flags;
    DestroyMenu(menu_);
    menu_ = nullptr;
  }
}

TEST_F(Menus, TapsChooseEnabledItemsAndATapOutsideCloses) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> taps;  // (level, item); level -1: outside
    UINT result;
    bool liftFirst = false;  // a release over the first item, nothing selected (a tap-and-hold's end)
  };
  const Case cases[] = {
      {"an item", {{0, 0}}, ID_OPEN},
      {"outside", {{-1, 0}}, 0},
      {"a grayed item keeps the menu open", {{0, 3}, {0, 5}}, ID_QUIT},
      {"a separator does nothing", {{0, 2}, {0, 1}}, ID_SAVE},
      {"into the cascade", {{0, kCascadeAt}, {1, 1}}, ID_DETAIL},
      {"a release alone chooses nothing", {{0, 5}}, ID_QUIT, true},
  };
  for (const Case& c : cases) {
    Build();
    if (c.liftFirst) {
      steps_.push_back(
          [] { qv::seams::InjectPointer(WM_LBUTTONUP, ItemCentre(MenuWindows().at(0), TopSeparators(), 0)); });
    }
    for (auto [level, item] : c.taps) {
      steps_.push_back([level = level, item = item] {
        const std::vector<HWND> open = MenuWindows();
        const POINT at = level < 0 ? POINT{470, 790}
                                   : ItemCentre(open.at(static_cast<size_t>(level)),
                                                level == 0 ? TopSeparators() : std::vector<bool>{false, false}, item);
        qv::seams::InjectTap(at);
      });
    }
    EXPECT_EQ(static_cast<UINT>(TrackPopupMenu(menu_, TPM_RETURNCMD, 20, 20, 0, owner_, nullptr)), c.result) << c.name;
    EXPECT_TRUE(steps_.empty()) << c.name;
    steps_.clear();
    DestroyMenu(menu_);
    menu_ = nullptr;
  }
}

TEST_F(Menus, AlignmentKeepsThePopupOnScreen) {
  struct Case {
    POINT at;
    UINT flags;
    bool exclude;
    const char* where;  // which corner or edge lies on the point
  };
  const Case cases[] = {
      {{100, 100}, TPM_LEFTALIGN | TPM_TOPALIGN, false, "top-left"},
      {{300, 500}, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, false, "bottom-right"},
      {{240, 400}, TPM_CENTERALIGN | TPM_VCENTERALIGN, false, "centre"},
      {{470, 790}, TPM_LEFTALIGN | TPM_TOPALIGN, false, "bottom-right"},  // flipped back onto the screen
      {{5, 5}, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, false, "top-left"},
      {{100, 100}, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL, true, "below"},
  };
  Build();
  for (const Case& c : cases) {
    RECT shown{};
    steps_.push_back([&] { GetWindowRect(MenuWindows().at(0), &shown); });
    TPMPARAMS params{sizeof(TPMPARAMS), {0, 90, 480, 200}};
    TrackPopupMenuEx(menu_, c.flags | TPM_RETURNCMD, c.at.x, c.at.y, owner_, c.exclude ? &params : nullptr);
    const std::string where = c.where;
    EXPECT_GE(shown.left, 0) << where;
    EXPECT_GE(shown.top, 0) << where;
    EXPECT_LE(shown.right, 480) << where;
    EXPECT_LE(shown.bottom, 800) << where;
    POINT on{};
    if (where == "top-left") on = {shown.left, shown.top};
    if (where == "bottom-right") on = {shown.right, shown.bottom};
    if (where == "centre") on = {(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};
    if (where == "below") on = {c.at.x, shown.top - 100};  // under the rectangle's bottom, 200
    EXPECT_EQ(on.x, c.at.x) << where;
    EXPECT_EQ(on.y, c.at.y) << where;
  }
}

TEST_F(Menus, CancelModeEndMenuAndASecondMenuClose) {
  struct Case {
    const char* name;
    std::function<void(HWND owner)> act;
  };
  const Case cases[] = {
      {"WM_CANCELMODE to the menu", [](HWND) { SendMessageW(FindWindowW(L"MNU", nullptr), WM_CANCELMODE, 0, 0); }},
      {"WM_CANCELMODE to the owner", [](HWND owner) { SendMessageW(owner, WM_CANCELMODE, 0, 0); }},
      {"EndMenu", [](HWND) { EXPECT_TRUE(EndMenu()); }},
      {"a disabled owner", [](HWND owner) { EnableWindow(owner, FALSE); }},
  };
  Build();
  for (const Case& c : cases) {
    BOOL second = TRUE;
    DWORD error = 0;
    PressKey(VK_DOWN);  // the first item is selected when the step runs
    steps_.push_back([&] {
      second = TrackPopupMenu(cascade_, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr);
      error = GetLastError();
      steps_.push_back([&] { c.act(owner_); });
    });
    EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr), 0) << c.name;
    EXPECT_FALSE(second) << c.name;
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_POPUP_ALREADY_ACTIVE)) << c.name;
    EXPECT_EQ(FindWindowW(L"MNU", nullptr), nullptr) << c.name;
    EXPECT_EQ(steps_.size(), 0u) << c.name;
    EnableWindow(owner_, TRUE);
  }
  EXPECT_FALSE(EndMenu());  // none open
}

// The open menu, kept as a picture: the items in Japanese, 保存 ticked,
// 削除 grayed, the 表示 cascade open with 詳細 dotted and 一覧 selected.
TEST_F(Menus, AnOpenMenuIsPaintedThroughTheStylePainter) {
  const char* dir = std::getenv("QV_BINARY_DIR");
  const std::string png = std::string(dir && *dir ? dir : ".") + "/ui-menu.png";
  std::remove(png.c_str());
  Build();
  for (BYTE k : {VK_UP, VK_UP, VK_RIGHT}) PressKey(k);
  bool saved = false;
  steps_.push_back([&] {
    Pump();  // paints still waiting
    saved = qv::seams::SaveScreenPng(png);
    const std::vector<HWND> open = MenuWindows();
    ASSERT_EQ(open.size(), 2u);
    RECT top;
    RECT cascade;
    GetWindowRect(open[0], &top);
    GetWindowRect(open[1], &cascade);
    EXPECT_EQ(cascade.left, top.right - qv::ui::StylePainter::kFrame);  // beside its item
    EXPECT_EQ(cascade.top, ItemCentre(open[0], TopSeparators(), kCascadeAt).y - GetSystemMetrics(SM_CYMENU) / 2 -
                               qv::ui::StylePainter::kFrame);
    auto colourAt = [](POINT p) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(p.y)[p.x]); };
    const POINT selected = ItemCentre(open[1], {false, false}, 0);
    const POINT plain = ItemCentre(open[1], {false, false}, 1);
    EXPECT_EQ(colourAt({cascade.right - 6, selected.y}), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(colourAt({cascade.right - 6, plain.y}), GetSysColor(COLOR_MENU));
    EXPECT_EQ(colourAt({top.left, top.top}), GetSysColor(COLOR_WINDOWFRAME));
  });
  TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 120, 0, owner_, nullptr);
  EXPECT_TRUE(saved);
}

TEST_F(Menus, ItemCallsByCommandAndByPosition) {
  Build();
  // States as the calls change them, with what each returns.
  EXPECT_EQ(EnableMenuItem(menu_, ID_DELETE, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(EnableMenuItem(menu_, 0, MF_BYPOSITION | MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(EnableMenuItem(menu_, 999, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(CheckMenuItem(menu_, ID_SAVE, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(menu_, ID_LIST, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);  // found in the cascade
  EXPECT_TRUE(CheckMenuRadioItem(menu_, ID_LIST, ID_DETAIL, ID_LIST, MF_BYCOMMAND));
  EXPECT_FALSE(CheckMenuRadioItem(menu_, ID_OPEN, ID_LIST, ID_OPEN, MF_BYCOMMAND));  // two menus
  struct State {
    HMENU menu;
    UINT item;
    UINT flags;
    UINT state;
  };
  const State states[] = {
      {menu_, 0, MF_BYPOSITION, MF_GRAYED},
      {menu_, ID_SAVE, MF_BYCOMMAND, MF_UNCHECKED},
      {menu_, 2, MF_BYPOSITION, MF_SEPARATOR},
      {menu_, ID_DELETE, MF_BYCOMMAND, MF_ENABLED},
      {menu_, kCascadeAt, MF_BYPOSITION, MF_POPUP | (2u << 8)},
      {cascade_, ID_LIST, MF_BYCOMMAND, MF_CHECKED | MFT_RADIOCHECK},
      {cascade_, 1, MF_BYPOSITION, MF_UNCHECKED},
      {menu_, 6, MF_BYPOSITION, static_cast<UINT>(-1)},
  };
  for (const State& s : states) EXPECT_EQ(GetMenuState(s.menu, s.item, s.flags), s.state) << s.item;
  EXPECT_EQ(GetMenuItemCount(menu_), 6);
  EXPECT_TRUE(InsertMenuW(menu_, ID_QUIT, MF_BYCOMMAND | MF_STRING, 107, L"前へ"));  // before 終了
  MENUITEMINFOW added{};
  added.cbSize = sizeof added;
  added.fMask = MIIM_ID | MIIM_STRING;
  added.wID = 108;
  added.dwTypeData = const_cast<LPWSTR>(L"末尾");
  EXPECT_TRUE(InsertMenuItemW(menu_, 99, TRUE, &added));  // past the end: appended
  EXPECT_EQ(GetMenuItemID(menu_, 5), 107u);
  EXPECT_EQ(GetMenuItemID(menu_, 7), 108u);
  DeleteMenu(menu_, 107, MF_BYCOMMAND);
  DeleteMenu(menu_, 108, MF_BYCOMMAND);
  EXPECT_EQ(GetMenuItemID(menu_, 0), ID_OPEN);
  EXPECT_EQ(GetMenuItemID(menu_, 2), 0u);
  EXPECT_EQ(GetMenuItemID(menu_, kCascadeAt), static_cast<UINT>(-1));
  EXPECT_EQ(GetSubMenu(menu_, kCascadeAt), cascade_);
  WCHAR text[4];
  EXPECT_EQ(GetMenuStringW(menu_, ID_SAVE, nullptr, 0, MF_BYCOMMAND), 9);
  EXPECT_EQ(GetMenuStringW(menu_, ID_SAVE, text, 4, MF_BYCOMMAND), 3);
  EXPECT_EQ(std::wstring(text), L"保存\t");

  // Item information, read and written.
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE;
  info.wID = 200;
  info.fState = MFS_CHECKED;
  info.dwTypeData = const_cast<LPWSTR>(L"名前を変更");
  EXPECT_TRUE(SetMenuItemInfoW(menu_, 0, TRUE, &info));
  WCHAR read[16] = {};
  MENUITEMINFOW back{};
  back.cbSize = sizeof back;
  back.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_SUBMENU;
  back.dwTypeData = read;
  back.cch = 16;
  EXPECT_TRUE(GetMenuItemInfoW(menu_, 200, FALSE, &back));
  EXPECT_EQ(std::wstring(read), L"名前を変更");
  EXPECT_EQ(back.cch, 5u);
  EXPECT_EQ(back.fState, static_cast<UINT>(MFS_CHECKED));
  EXPECT_EQ(back.hSubMenu, nullptr);
  MENUITEMINFOW loop{};
  loop.cbSize = sizeof loop;
  loop.fMask = MIIM_SUBMENU;
  loop.hSubMenu = menu_;  // a menu below itself
  EXPECT_FALSE(SetMenuItemInfoW(cascade_, 0, TRUE, &loop));
  EXPECT_FALSE(AppendMenuW(cascade_, MF_POPUP, reinterpret_cast<UINT_PTR>(menu_), L"輪"));
}

TEST_F(Menus, DeleteMenuDestroysAPopupAndRemoveMenuHandsItBack) {
  struct Case {
    BOOL (*call)(HMENU, UINT, UINT);
    UINT item;
    UINT flags;
    bool cascadeLives;
    int countAfter;
  };
  const Case cases[] = {
      {RemoveMenu, kCascadeAt, MF_BYPOSITION, true, 5},
      {DeleteMenu, kCascadeAt, MF_BYPOSITION, false, 5},
      {RemoveMenu, ID_LIST, MF_BYCOMMAND, true, 6},  // from inside the cascade
      {DeleteMenu, ID_QUIT, MF_BYCOMMAND, true, 5},
  };
  for (const Case& c : cases) {
    Build();
    EXPECT_TRUE(c.call(menu_, c.item, c.flags));
    EXPECT_EQ(IsMenu(cascade_) != FALSE, c.cascadeLives);
    EXPECT_EQ(GetMenuItemCount(menu_), c.countAfter);
    EXPECT_FALSE(c.call(menu_, 77, MF_BYCOMMAND));
    if (c.cascadeLives && GetMenuItemCount(menu_) == 5 && c.call == RemoveMenu) DestroyMenu(cascade_);
    DestroyMenu(menu_);
    menu_ = nullptr;
    EXPECT_FALSE(IsMenu(cascade_));  // destroyed with its menu, or by hand
  }
  // Replacing a popup item destroys its popup.
  Build();
  EXPECT_TRUE(ModifyMenuW(menu_, kCascadeAt, MF_BYPOSITION | MF_STRING, 300, L"表示なし"));
  EXPECT_FALSE(IsMenu(cascade_));
}

TEST_F(Menus, LoadedFromResourcesAndRefusedWhenCutShort) {
  HMODULE res = LoadSampleResources();
  ASSERT_NE(res, nullptr);
  menu_ = LoadMenuW(res, MAKEINTRESOURCEW(140));
  ASSERT_NE(menu_, nullptr);
  HMENU file = GetSubMenu(menu_, 0);
  WCHAR text[16];
  GetMenuStringW(menu_, 0, text, 16, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), L"ファイル");
  EXPECT_EQ(GetMenuItemCount(file), 3);
  EXPECT_EQ(GetMenuItemID(file, 0), 40001u);
  EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION), MF_SEPARATOR);
  EXPECT_EQ(GetMenuState(menu_, 40002, MF_BYCOMMAND), MF_GRAYED);
  EXPECT_EQ(GetMenuState(menu_, 40003, MF_BYCOMMAND), MF_CHECKED);
  EXPECT_EQ(LoadMenuW(res, MAKEINTRESOURCEW(141)), nullptr);
  // Templates cut short, or nesting without end, load nothing.
  const std::vector<std::vector<wchar_t>> bad = {
      {},
      {0, 0},
      {0, 9, 0, 1, L'a', 0},                 // the offset points past the end
      {0, 0, MF_END, 1, L'a'},               // a text without its end
      {0, 0, MF_POPUP | MF_END, L'a', 0},    // a popup without items
      {0, 0, 0, 1, L'a', 0},                 // no last item
      std::vector<wchar_t>(4096, MF_POPUP),  // nesting without end
  };
  for (const auto& units : bad) EXPECT_EQ(qv::ui::ParseMenuTemplate(units.data(), units.size()), nullptr);
  FreeLibrary(res);
}

}  // namespace
}  // namespace qv::test
