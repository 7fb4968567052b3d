// Menus from resources: the RT_MENU layout (platform/kernel/Resource.h). A
// template is read within its size: a level cut short, a text without its
// end or nesting past any real menu's depth makes the load fail.
#include "platform/kernel/Resource.h"
#include "platform/ui/menu/MenuStore.h"

namespace qv::ui {
namespace {

constexpr int kMaxDepth = 16;

struct Reader {
  const wchar_t* p;
  const wchar_t* end;

  bool Unit(UINT* out) {
    if (p >= end) return false;
    *out = static_cast<UINT>(*p++) & 0xFFFFu;
    return true;
  }
  bool Text(std::wstring* out) {
    const wchar_t* start = p;
    while (p < end && *p) ++p;
    if (p >= end) return false;
    out->assign(start, p);
    ++p;
    return true;
  }
};

// Reads one level into `menu`, up to the item that carries MF_END.
bool ReadLevel(HMENU menu, Reader& r, int depth) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    UINT flags = 0;
    UINT id = 0;
    std::wstring text;
    if (!r.Unit(&flags)) return false;
    if (!(flags & MF_POPUP) && !r.Unit(&id)) return false;
    if (!r.Text(&text)) return false;
    MenuItem item;
    item.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    item.type = flags & (MF_MENUBREAK | MF_MENUBARBREAK | MF_SEPARATOR);
    item.id = id;
    item.text = std::move(text);
    // The compiler writes a separator as an item with no id and no text.
    if (!(flags & MF_POPUP) && id == 0 && item.text.empty()) item.type |= MF_SEPARATOR;
    if (flags & MF_POPUP) item.popup = NewMenu();
    const HMENU popup = item.popup;
    MenuOf(menu)->items.push_back(std::move(item));  // owned from here, so a failure below frees it
    if (popup && !ReadLevel(popup, r, depth + 1)) return false;
    if (flags & MF_END) return true;
  }
}

}  // namespace

HMENU ParseMenuTemplate(const wchar_t* units, size_t count) {
  if (!units || count < 2) return nullptr;
  const size_t start = 2 + (static_cast<size_t>(units[1]) & 0xFFFFu);
  if (start >= count) return nullptr;
  auto lock = LockMenus();
  HMENU menu = NewMenu();
  Reader r{units + start, units + count};
  if (!ReadLevel(menu, r, 0)) {
    FreeMenu(menu);
    return nullptr;
  }
  return menu;
}

}  // namespace qv::ui

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = FindResourceW(instance, name, RT_MENU);
  if (!found) return nullptr;
  const auto* units = static_cast<const wchar_t*>(LockResource(LoadResource(instance, found)));
  HMENU menu = qv::ui::ParseMenuTemplate(units, SizeofResource(instance, found) / sizeof(wchar_t));
  if (!menu) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return menu;
}
