// A least-recently-used cache from a text key to a value, freeing what it
// drops through a callback: the file browser keeps one for icons (a handle)
// and one for thumbnails (width, height and bitmap), 32 entries each.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

template <typename Value>
class KeyedCache {
 public:
  using FreeCallback = void (*)(const Value& value);

  KeyedCache(size_t capacity, FreeCallback free) : capacity_(capacity), free_(free) {}
  ~KeyedCache() {
    for (auto& [key, entry] : map_) Free(entry.first);
  }
  KeyedCache(const KeyedCache&) = delete;
  KeyedCache& operator=(const KeyedCache&) = delete;

  // A key already there has its old value freed and nothing is evicted;
  // otherwise the least recently used entries go until there is room.
  void Put(const std::wstring& key, const Value& value) {
    auto found = map_.find(key);
    if (found != map_.end()) {
      Free(found->second.first);
      index_.erase(found->second.second);
      map_.erase(found);
    } else {
      while (!map_.empty() && map_.size() >= capacity_) {
        auto oldest = index_.begin();
        auto victim = map_.find(oldest->second);
        Free(victim->second.first);
        map_.erase(victim);
        index_.erase(oldest);
      }
    }
    Insert(key, value);
  }

  // Copies the value out and makes the entry the most recently used.
  bool Get(const std::wstring& key, Value* out) {
    auto found = map_.find(key);
    if (found == map_.end()) return false;
    *out = found->second.first;
    const Value value = found->second.first;
    index_.erase(found->second.second);
    map_.erase(found);
    Insert(key, value);
    return true;
  }

  size_t Size() const { return map_.size(); }

 private:
  void Insert(const std::wstring& key, const Value& value) {
    const uint64_t stamp = counter_++;
    map_.emplace(key, std::make_pair(value, stamp));
    index_.emplace(stamp, key);
  }
  void Free(const Value& value) {
    if (free_ != nullptr) free_(value);
  }

  size_t capacity_;
  FreeCallback free_;
  uint64_t counter_ = 0;
  std::map<std::wstring, std::pair<Value, uint64_t>> map_;
  std::map<uint64_t, std::wstring> index_;  // lowest stamp = least recently used
};
