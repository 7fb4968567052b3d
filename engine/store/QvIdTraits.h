// Hands out 16-bit ids within one directory of a storage, keeps the number of
// items that exist, and maps an id to the place of its files. Both numbers
// persist in "\Status.txt" of that directory as "%04X\t%X" (next id, count).
// The low byte of an id names its directory, the second byte the file in it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/foundation/QvNamedMutex.h"

class QvIdTraits {
 public:
  QvIdTraits();
  ~QvIdTraits() = default;
  QvIdTraits(const QvIdTraits&) = delete;
  QvIdTraits& operator=(const QvIdTraits&) = delete;

  // Creates the directory and a status file holding 0 and 0.
  uint32_t InitStatus(const std::wstring& root);
  // Reads the status file; on success keeps root and max id.
  uint32_t ReadStatus(const std::wstring& root, uint32_t maxId);
  // Saves next id and count through the "_tmp" copy and the commit.
  uint32_t WriteStatus();
  // Takes these values as read, for a counter rebuilt from what it counts.
  void Assume(const std::wstring& root, uint32_t maxId, uint32_t nextId, uint32_t count);

  // The id the next allocation tries; the cursor wraps to 0 above max id.
  uint32_t NextId();
  // The id NextId() would give, without moving the cursor.
  uint32_t PeekNextId();
  uint32_t GetCount();
  uint32_t IncrementCount();
  uint32_t DecrementCount();
  uint32_t AddCount(int32_t delta);

  // "<root>\XX\YY" and "<root>\XX" (XX the low byte, YY the second byte).
  std::wstring PathOf(uint32_t id) const;
  std::wstring DirOf(uint32_t id) const;

  static uint32_t LowByte(uint32_t id) { return id & 0xFF; }
  static uint32_t SecondByte(uint32_t id) { return (id >> 8) & 0xFF; }
  static uint32_t Compose(uint32_t low, uint32_t high) { return low | (high << 8); }
  uint32_t MaxId() const { return maxId_; }
  uint32_t MaxLow() const { return maxId_ & 0xFF; }
  // Increments a byte counter while it is below MaxLow(); false at the end.
  bool StepByte(uint32_t* counter) const;

  const std::wstring& Root() const { return root_; }

  // The status file's text of (next id, count), and its strict reading.
  static std::string FormatStatus(uint32_t nextId, uint32_t count);
  static bool ParseStatus(const char* text, size_t size, uint32_t* nextId, uint32_t* count);

 private:
  std::wstring StatusPath(const std::wstring& root) const { return root + L"\\Status.txt"; }
  uint32_t ReadStatusFile(const std::wstring& root, uint32_t* nextId, uint32_t* count);
  uint32_t ChangeCount(int64_t delta);
  bool ChangeCountInPlace(int64_t delta, uint32_t* code);

  uint32_t nextId_ = 0;
  uint32_t count_ = 0;
  std::wstring root_;
  uint32_t maxId_ = 0;
  QvNamedMutex mutex_;
  // The message directory's count, which the storage's open checks against
  // the entry table and repairs, is rewritten in place (see ChangeCount).
  bool countInPlace_ = false;
  // The store batch under which the file is known to hold the text of
  // `statusLength_` bytes this process last wrote there.
  uint64_t trusted_ = 0;
  size_t statusLength_ = 0;
  friend class QvMessageSet;
};
