// The items a feed run replaces: the messages in the folders below the
// receive box of the run's own account, noted when the run has its new
// document and removed once the run's item walk has ended without a transfer
// error, so that a failed run never leaves the account empty. Messages stored
// after the note are never touched.
#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include "engine/public/QvMiddleExport.h"

class QvAccountInfoInterface;
class QvFolderInterface;
class QvStorageInterface;

class QVMIDDLE_API RssOldItems {
 public:
  // Replaces what was noted before; false when the account's store or its
  // receive box cannot be read (nothing is noted then).
  bool Note(QvAccountInfoInterface* account);
  // Removes the noted messages from the same account and forgets them; a
  // message already gone is no failure.
  bool Remove(QvAccountInfoInterface* account);
  void Clear() { noted_.clear(); }
  size_t Count() const;

 private:
  std::map<unsigned long, std::vector<unsigned long>> noted_;  // folder id -> message ids
};
