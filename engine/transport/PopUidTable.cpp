#include "engine/public/transport/PopUidTable.h"

#include <algorithm>
#include <functional>

void PopUidTable::clear() {
  entries_ = {};
  blocks_ = {};
  uidBytes_ = 0;
  repeated_ = {};
  ascending_ = true;
  byNumber_ = {};
}

bool PopUidTable::add(uint32_t number, std::string_view uid) {
  if (uid.empty() || uid.size() > 255 || entries_.size() >= kMaxLines || uidBytes_ + uid.size() > kMaxUidBytes) {
    return false;
  }
  if (blocks_.empty() || blocks_.back().size() + 1 + uid.size() > kBlock) {
    blocks_.emplace_back();
    blocks_.back().reserve(kBlock);
  }
  std::string& block = blocks_.back();
  const uint32_t at = static_cast<uint32_t>((blocks_.size() - 1) << 16 | block.size());
  block.push_back(static_cast<char>(uid.size()));
  block.append(uid);
  uidBytes_ += uid.size();
  entries_.push_back({number, at});
  return true;
}

std::string_view PopUidTable::uid(size_t i) const {
  const uint32_t at = entries_[i].at;
  const std::string& block = blocks_[at >> 16];
  const size_t offset = at & 0xffff;
  return std::string_view(block).substr(offset + 1, static_cast<unsigned char>(block[offset]));
}

void PopUidTable::seal() {
  const size_t n = entries_.size();
  repeated_.assign(n, false);
  // UIDs seen, in an open-addressed table of line indices twice the lines'
  // size: every line after the first of a UID repeats it.
  size_t capacity = 1;
  while (capacity < 2 * n) capacity <<= 1;
  constexpr uint32_t kEmpty = ~uint32_t{0};
  std::vector<uint32_t> slots(capacity, kEmpty);
  const std::hash<std::string_view> hash;
  for (size_t i = 0; i < n; ++i) {
    const std::string_view text = uid(i);
    size_t slot = hash(text) & (capacity - 1);
    while (slots[slot] != kEmpty && uid(slots[slot]) != text) slot = (slot + 1) & (capacity - 1);
    if (slots[slot] != kEmpty) {
      repeated_[i] = true;
    } else {
      slots[slot] = static_cast<uint32_t>(i);
    }
  }
  slots = {};
  // Numbers: listed in rising order as a rule, then found where they stand;
  // else sorted by number, then listing order (a number listed again repeats).
  ascending_ = true;
  for (size_t i = 1; i < n && ascending_; ++i) ascending_ = entries_[i - 1].number < entries_[i].number;
  byNumber_ = {};
  if (ascending_) return;
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
  std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
    return entries_[a].number != entries_[b].number ? entries_[a].number < entries_[b].number : a < b;
  });
  for (size_t k = 1; k < n; ++k) {
    if (entries_[order[k]].number == entries_[order[k - 1]].number) repeated_[order[k]] = true;
  }
  std::erase_if(order, [this](uint32_t i) { return repeated_[i]; });
  byNumber_ = std::move(order);
}

std::optional<std::string_view> PopUidTable::find(uint32_t number) const {
  if (ascending_) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), number,
                                     [](const Entry& e, uint32_t n) { return e.number < n; });
    if (it == entries_.end() || it->number != number) return std::nullopt;
    const size_t i = static_cast<size_t>(it - entries_.begin());
    if (repeated(i)) return std::nullopt;
    return uid(i);
  }
  const auto it = std::lower_bound(byNumber_.begin(), byNumber_.end(), number,
                                   [this](uint32_t i, uint32_t n) { return entries_[i].number < n; });
  if (it == byNumber_.end() || entries_[*it].number != number) return std::nullopt;
  return uid(*it);
}
