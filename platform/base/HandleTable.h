// The table behind each kind of handle the platform hands out (kernel
// objects, GDI objects, internet handles, menus, accelerator tables): a
// handle is a number that maps to what it stands for. Each table chooses
// how its numbers run; the lock stays with the table's owner, which knows
// what else it must guard along with the table.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>

namespace qv {

// How a table numbers its handles: from `first` in steps of `step`. With a
// `limit`, numbers wrap round to `first` on reaching it and skip those still
// in use; without one (0) a number is never given out twice, so a stale
// handle cannot name a newer object.
struct HandleNumbering {
  uintptr_t first;
  uintptr_t step;
  uintptr_t limit = 0;
};

template <typename Value, HandleNumbering kNumbering>
class HandleTable {
 public:
  // Takes `value` under the next number and returns that number.
  uintptr_t Add(Value value) {
    uintptr_t handle;
    do {
      handle = next_;
      next_ += kNumbering.step;
      if (kNumbering.limit != 0 && next_ >= kNumbering.limit) next_ = kNumbering.first;
    } while (kNumbering.limit != 0 && values_.count(handle) != 0);
    values_.emplace(handle, std::move(value));
    return handle;
  }

  // What `handle` stands for; null when it stands for nothing.
  Value* Find(uintptr_t handle) {
    const auto it = values_.find(handle);
    return it == values_.end() ? nullptr : &it->second;
  }

  // Takes what `handle` stands for out of the table; empty when nothing.
  std::optional<Value> Take(uintptr_t handle) {
    const auto it = values_.find(handle);
    if (it == values_.end()) return std::nullopt;
    std::optional<Value> taken(std::move(it->second));
    values_.erase(it);
    return taken;
  }

 private:
  std::unordered_map<uintptr_t, Value> values_;
  uintptr_t next_ = kNumbering.first;
};

}  // namespace qv
