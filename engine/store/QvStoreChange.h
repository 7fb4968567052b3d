// A change of a storage's lists that spans several files (a message moved or
// removed, a folder moved) is recorded before it starts and the record goes
// once it is done. A process that dies in between leaves the record, and the
// next open of the storage settles what it names: the message lists and
// header records of those folders are rebuilt from the entry table and the
// message files (a slot always says where a message is), and a moved folder
// that is in neither list goes back where it was, or leaves the second list
// it is in. Changes of one storage take turns, across processes; one made
// inside another (a folder removed with its messages) joins it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/public/foundation/QvNamedMutex.h"

class QvStoreChange {
 public:
  struct FolderMove {
    uint32_t folder, from, to;
  };
  struct Record {
    std::vector<uint32_t> lists;  // folders whose message lists to rebuild
    std::vector<FolderMove> moves;
  };

  // Records a change of the message lists of `folders`, and a folder's move.
  QvStoreChange(const std::wstring& dataDir, std::vector<uint32_t> folders, const FolderMove* move = nullptr);
  ~QvStoreChange();
  QvStoreChange(const QvStoreChange&) = delete;
  QvStoreChange& operator=(const QvStoreChange&) = delete;

  // False when the record could not be written: the change must not start.
  bool Recorded() const { return recorded_; }

  // Under the storage's change lock: the record a dead writer left, if any.
  // `settle` repairs what it names; the record goes when it succeeded.
  template <typename Settle>
  static bool SettleLeftOver(const std::wstring& dataDir, Settle settle) {
    QvNamedMutex lock(LockName(dataDir).c_str());
    QvNamedMutex::Hold hold(lock);
    Record record;
    if (!Read(dataDir, &record)) return true;
    if (!settle(record)) return false;
    Remove(dataDir);
    return true;
  }

 private:
  static std::wstring LockName(const std::wstring& dataDir);
  static std::wstring PathOf(const std::wstring& dataDir) { return dataDir + L"\\Change.txt"; }
  static bool Read(const std::wstring& dataDir, Record* record);
  static void Remove(const std::wstring& dataDir);
  bool Append(const std::string& lines);

  std::wstring dataDir_;
  QvNamedMutex lock_;
  std::optional<QvNamedMutex::Hold> hold_;
  bool outermost_ = false;
  bool recorded_ = false;
};
