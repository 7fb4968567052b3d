// The message-count limit of an account: before new mail is fetched or sent
// mail is kept, the messages of the receive tree and the sent tree are
// counted and, when the incoming ones would pass the account's maximum, the
// oldest read and unprotected messages are removed to make room.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

class QvAccountInfoInterface;
class QvFolderInterface;
class QvStorageInterface;

// Both borrowed from the caller.
struct QvMessageLimitContext {
  QvStorageInterface* storage = nullptr;
  QvAccountInfoInterface* account = nullptr;
};

// A message that may go, with the date it is ordered by (UTC).
struct QvRemovalCandidate {
  unsigned long id = 0;
  SYSTEMTIME date{};
};

// True when the stored messages and `incoming` fit within the maximum, after
// removals if needed; `*shortfall` is 0 then. False when the room could not
// be made: `*shortfall` is the number of messages that could not be removed
// (the error word 0x200201d, or the storage's code when a removal failed),
// or 0 when the check itself failed. A maximum of 0 means no limit.
QVMIDDLE_API bool EnsureMessageLimit(const QvMessageLimitContext& context, unsigned incoming, unsigned* shortfall);
// The messages of the folder and all its sub-folders; a sub-folder that
// cannot be opened counts nothing.
QVMIDDLE_API bool CountFolderMessages(const QvMessageLimitContext& context, QvFolderInterface* folder,
                                      unsigned* out);
QVMIDDLE_API bool CountTrayMessages(const QvMessageLimitContext& context,
                                    const std::vector<QvFolderInterface*>& folders, unsigned* out);
// Appends the folder's candidates: sub-folders first (depth first, in the
// order of their ids), then its own messages in id order. Unread, protected
// and unreadable messages are no candidates.
QVMIDDLE_API bool CollectRemovable(const QvMessageLimitContext& context, QvFolderInterface* folder,
                                   std::vector<QvRemovalCandidate>* candidates);
// Removes up to `count` of the folders' candidates, oldest first (ties in
// the order collected). A message found gone or open is passed over.
QVMIDDLE_API bool RemoveOldest(const QvMessageLimitContext& context, const std::vector<QvFolderInterface*>& folders,
                               unsigned count, unsigned* outRemoved);
