// The lines of one POP3 listing ("UIDL", or UIDs made from headers): message
// number and UID, in listing order. Kept compact, since a mailbox may hold a
// million messages: about ten bytes and the UID's own per line, in blocks that
// never move (no string and map node per line, no copy of a grown array).
//
// A line that repeats an earlier line's number or UID stands for no message
// of its own: seal() marks it, and find() never answers with it, so a mail
// listed twice is fetched (and deleted) once.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PopUidTable {
 public:
  void clear();
  // Adds a line (a UID of 1 to 255 bytes); false when the table is full.
  bool add(uint32_t number, std::string_view uid);
  size_t size() const { return entries_.size(); }
  uint32_t number(size_t i) const { return entries_[i].number; }
  std::string_view uid(size_t i) const;
  // Once the listing is whole: marks repeated lines and makes find() ready.
  void seal();
  bool repeated(size_t i) const { return i < repeated_.size() && repeated_[i]; }
  // The UID of message `number` (after seal()).
  std::optional<std::string_view> find(uint32_t number) const;

  // At most this many lines, and this many bytes of UIDs.
  static constexpr size_t kMaxLines = 4000000;
  static constexpr size_t kMaxUidBytes = 192u << 20;

 private:
  static constexpr size_t kBlock = 1u << 16;
  struct Entry {
    uint32_t number;
    uint32_t at;  // block << 16 | offset of the UID's length byte
  };
  std::deque<Entry> entries_;
  std::vector<std::string> blocks_;
  size_t uidBytes_ = 0;
  std::vector<bool> repeated_;
  bool ascending_ = true;           // numbers rise in listing order
  std::vector<uint32_t> byNumber_;  // else: the lines not repeated, by number
};
