// One account's mail: the folder side and the message set of one storage
// root, opened together. Opening settles what an interrupted writer left, so
// that a process killed while storing never leaves a list unreadable, a
// message listed without its text, or a file nothing lists.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/store/QvStoreChange.h"

class QvStorage {
 public:
  QvStorage() = default;
  QvStorage(const QvStorage&) = delete;
  QvStorage& operator=(const QvStorage&) = delete;

  // Makes an empty storage below an existing root folder: the tree with its
  // root folder (id 0) and the message set. Code.
  static uint32_t Create(const std::wstring& root);
  // Opens both sides and settles them. Code.
  uint32_t Open(const std::wstring& root);

  QvFolderSet& Folders() { return folders_; }
  QvMessageSet& Messages() { return messages_; }

  // Rebuilds the entry lists and header records of the folders from the
  // entry table and the message files: every folder when `folderId` is
  // kAllFolders. False with the error word set.
  static constexpr uint32_t kAllFolders = 0xFFFFFFFF;
  bool RecoverEntries(uint32_t folderId);

  // The messages made from `firstId` on, in the order their ids were taken.
  // A file there without a slot whose header records a whole text goes back
  // into its folder first (a power cut or a kill took its slot). False with
  // the error word set.
  bool MessagesSince(uint32_t firstId, std::vector<uint32_t>* ids);
  // Whether a message's file holds the whole text its header recorded.
  QvMessage::Stored CheckText(uint32_t id);

 private:
  // The quick look: the count agrees with the table, and the message made
  // last is listed, has its header record and its text.
  bool LastWriteSettled(const std::vector<uint32_t>& slots);
  uint32_t LastMessageId();
  // Takes away the message made last when it has no text, and rebuilds its
  // folder's list and header records.
  bool RepairLastWrite(const std::vector<uint32_t>& slots);
  // The whole look: the lists, header records, entry table, count and files
  // agree; messages without text are put in `unfinished`.
  bool LooksSettled(const std::vector<uint32_t>& slots, std::vector<uint32_t>* unfinished);
  // True when it adopted or discarded a message, so that the table changed;
  // `unlisted` is set when a message may be in no list.
  bool ReclaimOrphans(const std::vector<uint32_t>& slots, bool* unlisted);
  // Rebuilds slots that name no folder of the tree (a torn page of the
  // table); `changed` is set when one was found.
  bool ReslotTorn(const std::vector<uint32_t>& slots, bool* changed);
  bool IsListed(uint32_t folder, uint32_t id, std::map<uint32_t, std::set<uint32_t>>* lists);
  // A file of a free id: back into its folder when whole, else gone.
  bool AdoptOrDiscard(uint32_t id, const std::set<uint32_t>& tree, bool* adopted);
  std::set<uint32_t> FolderTree();
  bool MessageHasText(uint32_t id);
  // Whether the storage was last found settled in this boot of the host.
  bool SameBootAsLastOpen();
  // Adopts or discards the message files whose ids have no slot.
  bool ClaimStrays(const std::vector<uint32_t>& slots, bool* changed);
  std::wstring BootPath() const;
  // The open's result after the whole look; notes the boot when it is good.
  uint32_t Settled(bool ok);
  // Settles a change of lists that a dead writer left (see QvStoreChange).
  bool SettleChange(const QvStoreChange::Record& record);

  QvFolderSet folders_;
  QvMessageSet messages_;
};
