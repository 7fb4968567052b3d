#include "engine/store/QvStorage.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvStoreChange.h"
#include "engine/store/QvStoreNode.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

namespace {

// Listed messages in a row that end the walk past the saved cursor.
constexpr uint32_t kSettledRun = 64;

// Every open counts the table's 65536 slots: over the bare array.
uint32_t UsedSlots(const std::vector<uint32_t>& slots) {
  const uint32_t* slot = slots.data();
  const uint32_t* const end = slot + slots.size();
  uint32_t used = 0;
  for (; slot != end; ++slot) used += *slot != QvMessageSet::kFreeSlot ? 1 : 0;
  return used;
}

}  // namespace

uint32_t QvStorage::Create(const std::wstring& root) {
  QvFolderSet folders;
  uint32_t code = folders.CreateTree(root);
  if (code != QVMDL_SUCCESS) return code;
  QvMessageSet messages;
  code = messages.CreateEntryFile(root);
  if (code != QVMDL_SUCCESS) return code;
  code = folders.OpenTree(root, &messages);
  if (code != QVMDL_SUCCESS) return code;
  uint32_t rootId = 0;
  return folders.AllocateFolder(&rootId) ? QVMDL_SUCCESS : GetQvMiddleError();
}

uint32_t QvStorage::Open(const std::wstring& root) {
  uint32_t code = folders_.OpenTree(root, &messages_);
  if (code == QVMDL_SUCCESS) code = messages_.OpenEntryFile(root, &folders_);
  if (code != QVMDL_SUCCESS) return code;
  if (!QvStoreChange::SettleLeftOver(messages_.DataDirectory(),
                                     [this](const QvStoreChange::Record& record) { return SettleChange(record); })) {
    return GetQvMiddleError();
  }
  std::vector<uint32_t> slots;
  if (!messages_.CopyEntryTable(&slots)) return GetQvMiddleError();
  // The table's page reaches the disk with the write-back: a power cut can
  // tear it. A slot naming no folder of the tree is rebuilt from the
  // message's own file, then every list from the table.
  bool unlisted = false;
  if (!ReslotTorn(slots, &unlisted)) return GetQvMiddleError();
  if (unlisted && !messages_.CopyEntryTable(&slots)) return GetQvMiddleError();
  if (ReclaimOrphans(slots, &unlisted) && !messages_.CopyEntryTable(&slots)) return GetQvMiddleError();
  // An adopted message is in no list yet, wherever its folder is.
  if (unlisted) return Settled(RecoverEntries(kAllFolders));
  // Within one boot a writer cut short left its damage where it wrote last.
  // After a restart anything written since the last sync may be torn, so the
  // first open of a boot looks at everything.
  const bool sameBoot = SameBootAsLastOpen();
  if (sameBoot && LastWriteSettled(slots)) return QVMDL_SUCCESS;
  // Most often only the message made last is concerned: its folder alone is
  // rebuilt, and everything only when that does not settle the storage.
  if (sameBoot && RepairLastWrite(slots) && messages_.CopyEntryTable(&slots) && LastWriteSettled(slots)) {
    return QVMDL_SUCCESS;
  }
  // A file no slot names (a removal that a power cut undid in part) is
  // met only by looking at every message directory.
  bool strays = false;
  if (!sameBoot && !ClaimStrays(slots, &strays)) return GetQvMiddleError();
  if (strays) return Settled(RecoverEntries(kAllFolders));
  std::vector<uint32_t> unfinished;
  if (LooksSettled(slots, &unfinished)) return Settled(true);
  // A message whose text never reached its file is no mail: it goes before
  // the lists are rebuilt, so that no list keeps it.
  for (uint32_t id : unfinished) {
    if (!messages_.DiscardMessage(id)) return GetQvMiddleError();
  }
  return Settled(RecoverEntries(kAllFolders));
}

bool QvStorage::ClaimStrays(const std::vector<uint32_t>& slots, bool* changed) {
  const std::wstring data = messages_.DataDirectory();
  std::vector<uint32_t> found;
  for (uint32_t low = 0; low <= QvIdTraits::LowByte(messages_.Ids().MaxId()) && low < 256; ++low) {
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW(qv::FormatW(L"%s\\%02X\\*.eml", data.c_str(), low).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      unsigned second = 0;
      wchar_t tail[8] = {};
      if (swscanf(entry.cFileName, L"%2x%7ls", &second, tail) == 2 && wcscmp(tail, L".eml") == 0) {
        const uint32_t id = QvIdTraits::Compose(low, second);
        if (id < slots.size() && slots[id] == QvMessageSet::kFreeSlot) found.push_back(id);
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  if (found.empty()) return true;
  const std::set<uint32_t> tree = FolderTree();
  for (uint32_t id : found) {
    if (!AdoptOrDiscard(id, tree, changed)) return false;
  }
  *changed = true;
  return true;
}

std::wstring QvStorage::BootPath() const { return messages_.DataDirectory() + L"\\Boot.txt"; }

bool QvStorage::SameBootAsLastOpen() {
  std::string last;
  return SafeReadWholeFile(BootPath(), &last, nullptr) && !last.empty() && last == qv::BootId();
}

// The boot is noted once the whole look found the storage settled; not
// synced: a note lost with the power only brings the whole look back.
uint32_t QvStorage::Settled(bool ok) {
  if (!ok) return GetQvMiddleError();
  if (!SameBootAsLastOpen()) SafeWriteWholeFile(BootPath(), qv::BootId());
  return QVMDL_SUCCESS;
}

// A record may outlive its change (its emptying is not synced) and name a
// folder removed since: only folders of the tree are settled.
bool QvStorage::SettleChange(const QvStoreChange::Record& record) {
  const std::set<uint32_t> tree = FolderTree();
  for (const QvStoreChange::FolderMove& move : record.moves) {
    if (tree.count(move.from) == 0 || tree.count(move.to) == 0) continue;
    QvStoreNode* from = folders_.GetFolder(move.from);
    QvStoreNode* to = folders_.GetFolder(move.to);
    std::vector<uint32_t> inFrom, inTo;
    if (from != nullptr && to != nullptr && from->GetFolderIds(&inFrom) && to->GetFolderIds(&inTo) &&
        std::find(inFrom.begin(), inFrom.end(), move.folder) != inFrom.end() &&
        std::find(inTo.begin(), inTo.end(), move.folder) != inTo.end()) {
      to->RemoveFolderEntry(move.folder);  // the move had not finished: undone
    }
    if (from != nullptr) folders_.CloseFolder(from);
    if (to != nullptr) folders_.CloseFolder(to);
  }
  std::set<uint32_t> done;
  for (uint32_t folder : record.lists) {
    if (done.insert(folder).second && tree.count(folder) != 0 && !RecoverEntries(folder)) return false;
  }
  return true;
}

bool QvStorage::MessageHasText(uint32_t id) {
  const std::wstring path = messages_.MessagePath(id);
  RestoreInterruptedFile(path, path + L"_tmp");
  qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  // Only a file that is not there, or holds no more than its header, has no
  // text: one that cannot be opened now (held, or a passing fault) is kept.
  if (!file) {
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  if (GetFileSize(file.get(), nullptr) <= QvMessage::kHeaderBytes) return false;
  file.reset();
  return !messages_.LeftUnfinished(id);
}

bool QvStorage::ReclaimOrphans(const std::vector<uint32_t>& slots, bool* unlisted) {
  // Ids are taken in turn from the saved cursor, skipping those in use, so
  // whatever a writer cut short left lies in one run from there. A file
  // without a slot whose header records a whole text and its folder is a
  // message whose slot a power cut took (or a kill came before): it goes
  // back into its folder. A slotted one no list names was cut short before
  // its list line. Any other unfinished creation holds no mail. Once the
  // ids taken before wrap round the range, a run of listed messages ends
  // the walk.
  uint32_t id = messages_.Ids().PeekNextId();
  std::set<uint32_t> tree;
  bool treeRead = false;
  bool changed = false;
  std::map<uint32_t, std::set<uint32_t>> lists;
  uint32_t settledRun = 0;
  for (uint32_t step = 0; step <= messages_.Ids().MaxId() && id < slots.size(); ++step) {
    const std::wstring path = messages_.MessagePath(id);
    const bool present = FileIsPresent(path) || FileIsPresent(path + L"_tmp") || FileIsPresent(path + L"_bak");
    if (!present && slots[id] == QvMessageSet::kFreeSlot) break;
    if (slots[id] == QvMessageSet::kFreeSlot) {
      if (!treeRead) tree = FolderTree();
      treeRead = true;
      if (!AdoptOrDiscard(id, tree, unlisted)) return changed;
      changed = true;
      settledRun = 0;
    } else if (!MessageHasText(id)) {
      messages_.DiscardMessage(id);
      changed = true;
      settledRun = 0;
    } else if (!IsListed(slots[id], id, &lists)) {
      *unlisted = true;
      settledRun = 0;
    } else if (++settledRun >= kSettledRun) {
      break;
    }
    id = id + 1 > messages_.Ids().MaxId() ? 0 : id + 1;
  }
  return changed;
}

bool QvStorage::IsListed(uint32_t folder, uint32_t id, std::map<uint32_t, std::set<uint32_t>>* lists) {
  auto found = lists->find(folder);
  if (found == lists->end()) {
    std::set<uint32_t>& listed = (*lists)[folder];
    if (QvStoreNode* node = folders_.GetFolder(folder)) {
      std::vector<uint32_t> ids;
      if (node->GetMessageIds(&ids)) listed.insert(ids.begin(), ids.end());
      folders_.CloseFolder(node);
    }
    found = lists->find(folder);
  }
  return found->second.count(id) != 0;
}

bool QvStorage::ReslotTorn(const std::vector<uint32_t>& slots, bool* changed) {
  std::set<uint32_t> tree;
  std::map<uint32_t, std::set<uint32_t>> lists;
  for (uint32_t id = 0; id < slots.size(); ++id) {
    if (slots[id] == QvMessageSet::kFreeSlot) continue;
    if (tree.empty()) tree = FolderTree();
    if (tree.empty() || tree.count(slots[id]) != 0) continue;
    *changed = true;
    const std::wstring path = messages_.MessagePath(id);
    if (!FileIsPresent(path) && !FileIsPresent(path + L"_tmp")) {
      if (!messages_.DiscardMessage(id)) return false;
      continue;
    }
    // The list that names it (a move changes the lists, not the file), or
    // else the folder its file was made in; a mail no witness places is kept
    // in the root folder rather than lost.
    uint32_t recorded = 0;
    const QvMessage::Stored stored = QvMessage::CheckStored(path, &recorded);
    if (stored == QvMessage::Stored::kTorn) {
      if (!messages_.DiscardMessage(id)) return false;
      continue;
    }
    uint32_t folder = stored == QvMessage::Stored::kWhole && tree.count(recorded) != 0 ? recorded : 0;
    for (uint32_t candidate : tree) {
      if (IsListed(candidate, id, &lists)) {
        folder = candidate;
        break;
      }
    }
    if (!messages_.UpdateEntry(QvMessageSet::kChange, id, folder)) return false;
  }
  return true;
}

bool QvStorage::AdoptOrDiscard(uint32_t id, const std::set<uint32_t>& tree, bool* adopted) {
  const std::wstring path = messages_.MessagePath(id);
  RestoreInterruptedFile(path, path + L"_tmp");
  return messages_.AdoptOrDiscard(id, tree, adopted);
}

std::set<uint32_t> QvStorage::FolderTree() {
  std::vector<uint32_t> folderIds;
  std::set<uint32_t> tree;
  if (folders_.GetAllFolderIds(&folderIds)) tree.insert(folderIds.begin(), folderIds.end());
  return tree;
}

bool QvStorage::MessagesSince(uint32_t firstId, std::vector<uint32_t>* ids) {
  ids->clear();
  std::vector<uint32_t> slots;
  if (!messages_.CopyEntryTable(&slots)) return false;
  if (firstId >= slots.size()) return true;
  const uint32_t maxId = messages_.Ids().MaxId();
  // The run took its ids in turn from `firstId`; any of them may be gone (a
  // message removed since, or one whose name a power cut took, as may be the
  // counter's advance), so only a long gap ends the walk.
  constexpr uint32_t kMaxGap = 64;
  uint32_t gap = 0;
  std::set<uint32_t> tree;
  bool treeRead = false, adopted = false;
  uint32_t id = firstId;
  for (uint32_t step = 0; step <= maxId && id < slots.size(); ++step, id = id + 1 > maxId ? 0 : id + 1) {
    const std::wstring path = messages_.MessagePath(id);
    const bool slotted = slots[id] != QvMessageSet::kFreeSlot;
    const bool present = slotted || FileIsPresent(path) || FileIsPresent(path + L"_tmp");
    if (!present) {
      if (++gap >= kMaxGap) break;
      continue;
    }
    gap = 0;
    if (!slotted) {
      if (!treeRead) tree = FolderTree();
      treeRead = true;
      bool taken = false;
      if (!AdoptOrDiscard(id, tree, &taken)) return false;
      if (!taken) continue;
      adopted = true;
    }
    ids->push_back(id);
  }
  return !adopted || RecoverEntries(kAllFolders);
}

QvMessage::Stored QvStorage::CheckText(uint32_t id) {
  uint32_t folder = 0;
  return QvMessage::CheckStored(messages_.MessagePath(id), &folder);
}

bool QvStorage::LastWriteSettled(const std::vector<uint32_t>& slots) {
  if (UsedSlots(slots) != messages_.Ids().GetCount()) return false;
  // A writer cut short left its damage at the message it created last: the
  // one before the saved cursor, counted when it was made.
  const uint32_t last = LastMessageId();
  if (last >= slots.size() || slots[last] == QvMessageSet::kFreeSlot) return true;
  QvStoreNode* node = folders_.GetFolder(slots[last]);
  if (node == nullptr) return false;
  std::vector<uint32_t> ids;
  QvFolderInterface::FolderMsgHeader record{};
  record.id = last;
  const bool listed = node->GetMessageIds(&ids) && std::find(ids.begin(), ids.end(), last) != ids.end() &&
                      node->ReadHeaderRecord(&record);
  folders_.CloseFolder(node);
  return listed && MessageHasText(last);
}

uint32_t QvStorage::LastMessageId() {
  const uint32_t next = messages_.Ids().PeekNextId();
  return next == 0 ? messages_.Ids().MaxId() : next - 1;
}

bool QvStorage::RepairLastWrite(const std::vector<uint32_t>& slots) {
  const uint32_t last = LastMessageId();
  if (last >= slots.size() || slots[last] == QvMessageSet::kFreeSlot) return RecoverEntries(kAllFolders);
  const uint32_t folder = slots[last];
  if (!MessageHasText(last) && !messages_.DiscardMessage(last)) return false;
  return RecoverEntries(folder);
}

bool QvStorage::LooksSettled(const std::vector<uint32_t>& slots, std::vector<uint32_t>* unfinished) {
  std::vector<uint32_t> folderIds;
  if (!folders_.GetAllFolderIds(&folderIds)) return false;
  bool settled = true;
  std::set<uint32_t> listed;
  for (uint32_t folder : folderIds) {
    QvStoreNode* node = folders_.GetFolder(folder);
    if (node == nullptr) {
      settled = false;
      continue;
    }
    std::vector<uint32_t> ids;
    if (node->GetMessageIds(&ids)) {
      std::vector<QvFolderInterface::FolderMsgHeader> records(ids.size());
      if (!ids.empty() && !node->LoadMessageHeader(records.data(), static_cast<uint32_t>(ids.size()))) {
        settled = false;
      }
      for (uint32_t id : ids) {
        listed.insert(id);
        if (id >= slots.size() || slots[id] != folder) settled = false;
      }
    } else {
      settled = false;
    }
    folders_.CloseFolder(node);
  }
  uint32_t used = 0;
  for (uint32_t id = 0; id < slots.size(); ++id) {
    if (slots[id] == QvMessageSet::kFreeSlot) continue;
    ++used;
    if (listed.count(id) == 0) settled = false;
    if (!MessageHasText(id)) unfinished->push_back(id);
  }
  if (used != messages_.Ids().GetCount()) settled = false;
  return settled && unfinished->empty();
}

bool QvStorage::RecoverEntries(uint32_t folderId) {
  std::map<uint32_t, QvMessageSet::RecoveredEntry> recovered;
  if (!messages_.RecoverEntries(&recovered)) return false;
  std::vector<uint32_t> folderIds;
  if (folderId == kAllFolders) {
    if (!folders_.GetAllFolderIds(&folderIds)) return false;
  } else {
    folderIds.push_back(folderId);
  }
  for (uint32_t folder : folderIds) {
    std::vector<MessageEntryRecord> entries;
    for (const auto& [id, entry] : recovered) {
      if (entry.folderId == folder) entries.push_back(MessageEntryRecord{3, id, entry.unread, entry.state});
    }
    if (!folders_.ReplaceFolderEntries(folder, entries) || !folders_.RebuildFolderHeader(folder)) return false;
  }
  return true;
}
