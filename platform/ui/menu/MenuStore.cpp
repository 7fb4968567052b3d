#include "platform/ui/menu/MenuStore.h"

#include <map>
#include <memory>

namespace qv::ui {
namespace {

struct Table {
  std::recursive_mutex lock;
  std::map<uintptr_t, std::unique_ptr<MenuData>> menus;
  uintptr_t next = 0x10000;  // apart from small numbers that callers confuse with ids
};

Table& T() {
  static Table* t = new Table;  // outlives threads still running at exit
  return *t;
}

uintptr_t Key(HMENU menu) { return reinterpret_cast<uintptr_t>(menu); }

}  // namespace

std::unique_lock<std::recursive_mutex> LockMenus() { return std::unique_lock<std::recursive_mutex>(T().lock); }

HMENU NewMenu() {
  const uintptr_t key = T().next;
  T().next += 0x10;
  T().menus.emplace(key, std::make_unique<MenuData>());
  return reinterpret_cast<HMENU>(key);
}

MenuData* MenuOf(HMENU menu) {
  auto it = T().menus.find(Key(menu));
  return it == T().menus.end() ? nullptr : it->second.get();
}

void FreeMenu(HMENU menu) {
  auto it = T().menus.find(Key(menu));
  if (it == T().menus.end()) return;
  std::unique_ptr<MenuData> data = std::move(it->second);
  T().menus.erase(it);
  for (const MenuItem& i : data->items) {
    if (i.popup) FreeMenu(i.popup);
  }
}

bool Contains(HMENU outer, HMENU inner) {
  if (outer == inner) return true;
  MenuData* m = MenuOf(outer);
  if (!m) return false;
  for (const MenuItem& i : m->items) {
    if (i.popup && Contains(i.popup, inner)) return true;
  }
  return false;
}

ItemAt FindItem(HMENU menu, UINT item, bool byPosition) {
  MenuData* m = MenuOf(menu);
  if (!m) return {};
  if (byPosition) return item < m->items.size() ? ItemAt{menu, item, &m->items[item]} : ItemAt{};
  for (size_t n = 0; n < m->items.size(); ++n) {
    MenuItem& i = m->items[n];
    if (i.popup) {
      if (ItemAt inner = FindItem(i.popup, item, false)) return inner;
      if (i.id != 0 && i.id == item) return {menu, n, &i};
    } else if (!i.IsSeparator() && i.id == item) {
      return {menu, n, &i};
    }
  }
  return {};
}

}  // namespace qv::ui
