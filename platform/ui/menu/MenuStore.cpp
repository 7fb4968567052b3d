#include "platform/ui/menu/MenuStore.h"

#include <memory>

#include "platform/base/HandleTable.h"

namespace qv::ui {
namespace {

struct Table {
  std::recursive_mutex lock;
  // Apart from small numbers that callers confuse with ids; never reused.
  qv::HandleTable<std::unique_ptr<MenuData>, qv::HandleNumbering{0x10000, 0x10}> menus;
};

Table& T() {
  static Table* t = new Table;  // outlives threads still running at exit
  return *t;
}

uintptr_t Key(HMENU menu) { return reinterpret_cast<uintptr_t>(menu); }

}  // namespace

std::unique_lock<std::recursive_mutex> LockMenus() { return std::unique_lock<std::recursive_mutex>(T().lock); }

HMENU NewMenu() {
  return reinterpret_cast<HMENU>(T().menus.Add(std::make_unique<MenuData>()));
}

MenuData* MenuOf(HMENU menu) {
  std::unique_ptr<MenuData>* data = T().menus.Find(Key(menu));
  return data ? data->get() : nullptr;
}

void FreeMenu(HMENU menu) {
  std::optional<std::unique_ptr<MenuData>> data = T().menus.Take(Key(menu));
  if (!data) return;
  for (const MenuItem& i : (*data)->items) {
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
