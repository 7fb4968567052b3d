// TrackPopupMenu(Ex): the modal loop of an open menu. The loop reads the
// thread's queue itself: keys and the stylus steer the menu whatever window
// they were meant for; everything else is dispatched as usual, so timers,
// paints and sent messages go on while the menu is up.
#include <cwctype>
#include <optional>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/kernel/Sync.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/menu/MenuWindow.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/queue/ModalLoop.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

// One open popup: the top one, then a cascade per level.
struct Level {
  HMENU menu = nullptr;
  HWND window = nullptr;
  int selected = -1;
  RECT screen{};
  MenuLayout layout;
};

// What an item is, read under the menus' lock.
struct ItemInfo {
  bool exists = false;
  bool separator = false;
  bool disabled = false;
  UINT id = 0;
  HMENU popup = nullptr;
  UINT state = 0;
  std::wstring text;
};

ItemInfo InfoOf(HMENU menu, int position) {
  auto lock = LockMenus();
  ItemAt at = position < 0 ? ItemAt{} : FindItem(menu, static_cast<UINT>(position), true);
  if (!at) return {};
  const MenuItem& i = *at.item;
  return {true, i.IsSeparator(), i.IsDisabled(), i.id, MenuOf(i.popup) ? i.popup : nullptr, i.state | i.type, i.text};
}

int CountOf(HMENU menu) {
  auto lock = LockMenus();
  MenuData* m = MenuOf(menu);
  return m ? static_cast<int>(m->items.size()) : 0;
}

// The character after a single "&" in an item's text, lower-cased.
wchar_t MnemonicOf(const std::wstring& text) {
  for (size_t n = 0; n + 1 < text.size(); ++n) {
    if (text[n] != L'&') continue;
    if (text[n + 1] != L'&') return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(text[n + 1])));
    ++n;
  }
  return 0;
}

class Tracker {
 public:
  Tracker(HWND owner, UINT flags) : owner_(owner), flags_(flags) {}

  // Runs the menu; the chosen command, or 0.
  UINT Run(HMENU menu, POINT at, const RECT* exclude) {
    if (Notify()) {
      SendMessageW(owner_, WM_ENTERMENULOOP, TRUE, 0);
      SendMessageW(owner_, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    }
    if (!ended_ && Open(menu, 0, [&](SIZE s) { return PlacePopup(s, at, flags_, exclude); })) {
      SetCapture(levels_.front().window);
      Loop();
    }
    if (!levels_.empty() && GetCapture() == levels_.front().window) ReleaseCapture();
    CloseFrom(0);
    if (Notify() && IsWindow(owner_)) {
      SendMessageW(owner_, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
      SendMessageW(owner_, WM_EXITMENULOOP, TRUE, 0);
    }
    return chosen_;
  }

  void End() {
    ended_ = true;
    PostMessageW(owner_, WM_NULL, 0, 0);  // wakes the loop's wait
  }
  HWND owner() const { return owner_; }

  const Level* LevelOf(HWND window) const {
    for (const Level& l : levels_) {
      if (l.window == window) return &l;
    }
    return nullptr;
  }

 private:
  bool Notify() const { return !(flags_ & TPM_NONOTIFY); }

  // Shows `menu` as the next level, placed by `place`; the owner sets it up first.
  template <typename Place>
  bool Open(HMENU menu, int position, Place place) {
    if (Notify()) SendMessageW(owner_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(position, FALSE));
    if (ended_ || !IsMenu(menu) || !IsWindow(owner_)) return false;
    Level l;
    l.menu = menu;
    l.layout = LayOutMenu(menu);
    l.screen = place(l.layout.size);
    l.window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kMenuClass, L"", WS_POPUP, l.screen.left, l.screen.top,
                               l.screen.right - l.screen.left, l.screen.bottom - l.screen.top,
                               GetAncestor(owner_, GA_ROOT), nullptr, nullptr, nullptr);
    if (!l.window) return false;
    levels_.push_back(l);
    SetWindowPos(l.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    UpdateWindow(l.window);
    return true;
  }

  // Opens the cascade of the selected item of the innermost level.
  bool OpenCascade(bool selectFirst) {
    Level& parent = levels_.back();
    const ItemInfo item = InfoOf(parent.menu, parent.selected);
    // The owner may have changed the menu since it was laid out.
    if (!item.popup || item.disabled || static_cast<size_t>(parent.selected) >= parent.layout.items.size()) {
      return false;
    }
    RECT itemScreen = parent.layout.items[static_cast<size_t>(parent.selected)];
    OffsetRect(&itemScreen, parent.screen.left, parent.screen.top);
    const RECT parentScreen = parent.screen;
    if (!Open(item.popup, parent.selected, [&](SIZE s) { return PlaceCascade(s, parentScreen, itemScreen); })) {
      return false;
    }
    if (selectFirst) Move(levels_.size() - 1, +1);
    return true;
  }

  // Closes the levels from `first` on, innermost first.
  void CloseFrom(size_t first) {
    while (levels_.size() > first) {
      HWND w = levels_.back().window;
      levels_.pop_back();
      if (IsWindow(w)) DestroyWindow(w);
    }
  }

  void Select(size_t level, int position) {
    CloseFrom(level + 1);
    Level& l = levels_[level];
    if (l.selected == position) return;
    l.selected = position;
    InvalidateRect(l.window, nullptr, FALSE);
    if (!Notify() || position < 0) return;
    const ItemInfo item = InfoOf(l.menu, position);
    const UINT flags = (item.state & 0xFFFFu & ~MF_POPUP) | MF_HILITE | (item.popup ? MF_POPUP : 0u);
    SendMessageW(owner_, WM_MENUSELECT, MAKEWPARAM(item.popup ? static_cast<UINT>(position) : item.id, flags),
                 reinterpret_cast<LPARAM>(l.menu));
  }

  // Moves the selection of `level` by one (wrapping), over separators.
  void Move(size_t level, int step) {
    const Level& l = levels_[level];
    const int count = CountOf(l.menu);
    int at = l.selected;
    for (int tries = 0; tries < count; ++tries) {
      at = at < 0 ? (step > 0 ? 0 : count - 1) : (at + step + count) % count;
      if (!InfoOf(l.menu, at).separator) {
        Select(level, at);
        return;
      }
    }
  }

  // Enter, or a tap's release on the selected item.
  void Activate(bool selectFirstInCascade) {
    const Level& l = levels_.back();
    const ItemInfo item = InfoOf(l.menu, l.selected);
    if (!item.exists || item.separator || item.disabled) return;  // a disabled item chooses nothing
    if (item.popup) {
      OpenCascade(selectFirstInCascade);
      return;
    }
    chosen_ = item.id;
    ended_ = true;
  }

  void Key(const MSG& msg) {
    const size_t inner = levels_.size() - 1;
    switch (msg.wParam) {
      case VK_DOWN:
        Move(inner, +1);
        break;
      case VK_UP:
        Move(inner, -1);
        break;
      case VK_HOME:
        Select(inner, -1), Move(inner, +1);
        break;
      case VK_END:
        Select(inner, -1), Move(inner, -1);
        break;
      case VK_RIGHT: {
        const ItemInfo item = InfoOf(levels_.back().menu, levels_.back().selected);
        if (item.popup) Activate(true);
        break;
      }
      case VK_LEFT:
        if (inner > 0) CloseFrom(inner);
        break;
      case VK_ESCAPE:
        if (inner > 0)
          CloseFrom(inner);
        else
          ended_ = true;
        break;
      case VK_RETURN:
      case VK_SPACE:
        Activate(true);
        break;
      default:
        // Characters choose by mnemonic: let the key make its WM_CHAR.
        TranslateMessage(&msg);
        break;
    }
  }

  // A character: the item whose mnemonic it is. One such item is activated;
  // with several, the selection steps through them.
  void Char(WCHAR c) {
    const wchar_t want = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    const size_t inner = levels_.size() - 1;
    const Level& l = levels_[inner];
    const int count = CountOf(l.menu);
    std::vector<int> matches;
    for (int n = 0; n < count; ++n) {
      const ItemInfo item = InfoOf(l.menu, n);
      if (!item.separator && MnemonicOf(item.text) == want) matches.push_back(n);
    }
    if (matches.empty()) return;
    int next = matches.front();
    for (int m : matches) {
      if (m > l.selected) {
        next = m;
        break;
      }
    }
    Select(inner, next);
    if (matches.size() == 1) Activate(true);
  }

  // The level and item under a screen point.
  std::optional<std::pair<size_t, int>> HitTest(POINT pt) const {
    for (size_t k = levels_.size(); k-- > 0;) {
      const Level& l = levels_[k];
      if (!PtInRect(&l.screen, pt)) continue;
      const POINT local{pt.x - l.screen.left, pt.y - l.screen.top};
      for (size_t n = 0; n < l.layout.items.size(); ++n) {
        if (PtInRect(&l.layout.items[n], local)) return std::make_pair(k, static_cast<int>(n));
      }
      return std::make_pair(k, -1);
    }
    return std::nullopt;
  }

  void Pointer(const MSG& msg) {
    const auto hit = HitTest(msg.pt);
    switch (msg.message) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONDBLCLK:
        if (!hit) {
          ended_ = true;  // a tap outside closes the menu
          return;
        }
        if (hit->second < 0 || InfoOf(levels_[hit->first].menu, hit->second).separator) return;
        Select(hit->first, hit->second);
        if (InfoOf(levels_[hit->first].menu, hit->second).popup) OpenCascade(false);
        return;
      case WM_MOUSEMOVE:
        if (!(msg.wParam & (MK_LBUTTON | MK_RBUTTON)) || !hit || hit->second < 0) return;
        if (hit->first + 1 < levels_.size() && levels_[hit->first].selected == hit->second) return;
        if (!InfoOf(levels_[hit->first].menu, hit->second).separator) Select(hit->first, hit->second);
        return;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP: {
        if (msg.message == WM_RBUTTONUP && !(flags_ & TPM_RIGHTBUTTON)) return;
        // A release away from the selected item (or outside) leaves the menu open.
        if (!hit || hit->first != levels_.size() - 1 || hit->second != levels_[hit->first].selected) return;
        if (!InfoOf(levels_[hit->first].menu, hit->second).popup) Activate(false);
        return;
      }
      default:
        return;
    }
  }

  void Loop() {
    const bool ended = RunModalLoop(
        {.ended = [this] { return ended_ || !IsWindow(owner_) || levels_.empty() || !IsWindow(levels_.front().window); },
         .idle =
             [this] {
               if (Notify()) SendMessageW(owner_, WM_ENTERIDLE, MSGF_MENU, reinterpret_cast<LPARAM>(levels_.back().window));
               return ended_;
             },
         .handle = [this](MSG& msg) { Take(msg); }});
    if (!ended) ended_ = true;  // WM_QUIT
  }

  void Take(MSG& msg) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      Key(msg);
    } else if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
      if (msg.wParam >= L' ') Char(static_cast<WCHAR>(msg.wParam));
    } else if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
               (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) || msg.message == WM_CONTEXTMENU) {
      if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) Pointer(msg);
      // Key releases and the rest of the input belong to the menu too.
    } else {
      DispatchMessageW(&msg);
    }
  }

  HWND owner_;
  UINT flags_;
  std::vector<Level> levels_;
  bool ended_ = false;
  UINT chosen_ = 0;
};

thread_local Tracker* t_tracker = nullptr;

BOOL Track(HMENU menu, UINT flags, int x, int y, HWND owner, const RECT* exclude) {
  if (!IsMenu(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
    SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
    return FALSE;
  }
  if (t_tracker) {
    SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
    return FALSE;
  }
  Tracker tracker(owner, flags);
  t_tracker = &tracker;
  const UINT chosen = tracker.Run(menu, POINT{x, y}, exclude);
  t_tracker = nullptr;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen && IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}

}  // namespace

int SelectedItemOf(HWND hwnd, HMENU* menu) {
  const Level* l = t_tracker ? t_tracker->LevelOf(hwnd) : nullptr;
  *menu = l ? l->menu : nullptr;
  return l ? l->selected : -1;
}

void CancelMenuFor(HWND hwnd) {
  if (t_tracker && (t_tracker->owner() == hwnd || t_tracker->LevelOf(hwnd))) t_tracker->End();
}

}  // namespace qv::ui

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return qv::ui::Track(menu, flags, x, y, owner, nullptr);
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
  return qv::ui::Track(menu, flags, x, y, owner, params ? &params->rcExclude : nullptr);
}

BOOL EndMenu() {
  if (!qv::ui::t_tracker) return FALSE;
  qv::ui::t_tracker->End();
  return TRUE;
}
