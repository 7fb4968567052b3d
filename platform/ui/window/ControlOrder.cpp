// The order of a dialog's controls, for the keyboard and for radio groups.
// Controls are visited in the dialog's child order (template order); a
// child with WS_EX_CONTROLPARENT lends its own controls to that order in its
// place. A group runs from a control with WS_GROUP to the next one with it.
#include "platform/ui/window/ControlOrder.h"

#include <algorithm>

namespace qv::ui {
namespace {

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
// By the control's own style: a dialog still being made is not shown yet.
bool Usable(HWND hwnd) { return (StyleOf(hwnd) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }

// The control `steps` places on from `at` within [from, to), wrapping
// round, that `ok` accepts; null when none does.
template <class Accept>
HWND Walk(const std::vector<HWND>& items, size_t from, size_t to, size_t at, bool backwards, Accept ok) {
  const size_t n = to - from;
  for (size_t k = 1; k <= n; ++k) {
    const size_t offset = (at - from + (backwards ? n - k % n : k)) % n;
    HWND h = items[from + offset];
    if (ok(h)) return h;
  }
  return nullptr;
}

void Collect(HWND parent, std::vector<HWND>* out) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if ((GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) && Usable(c)) Collect(c, out);
    else out->push_back(c);
  }
}

}  // namespace

std::vector<HWND> ControlsInOrder(HWND dialog) {
  std::vector<HWND> out;
  Collect(dialog, &out);
  return out;
}

}  // namespace qv::ui

using namespace qv::ui;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> items = ControlsInOrder(dialog);
  if (items.empty()) return nullptr;
  auto at = std::find(items.begin(), items.end(), control);
  // Without a control, the first tab stop forward and the last one back.
  const size_t start = at != items.end() ? static_cast<size_t>(at - items.begin()) : previous ? 0 : items.size() - 1;
  HWND next = Walk(items, 0, items.size(), start, previous != FALSE,
                   [](HWND h) { return (StyleOf(h) & WS_TABSTOP) && Usable(h); });
  return next ? next : control;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> items = ControlsInOrder(dialog);
  auto at = std::find(items.begin(), items.end(), control);
  if (at == items.end()) return nullptr;
  const size_t i = static_cast<size_t>(at - items.begin());
  size_t from = i;
  while (from > 0 && !(StyleOf(items[from]) & WS_GROUP)) --from;
  size_t to = i + 1;
  while (to < items.size() && !(StyleOf(items[to]) & WS_GROUP)) ++to;
  HWND next = Walk(items, from, to, i, previous != FALSE, Usable);
  return next ? next : control;
}
