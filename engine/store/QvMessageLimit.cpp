#include "engine/public/store/QvMessageLimit.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"

namespace {

using Folder = std::unique_ptr<QvFolderInterface>;
using Settings = QvAccountInfoInterface::Attributes;

// Walks below a folder go no deeper than any tree the store can hold; a
// looping tree on disk must not recurse for ever.
constexpr int kMaxDepth = 64;

// Order of the dates to the second, as the stored "%04d/%02d/%02d %02d:%02d:%02d" key sorts.
auto Key(const SYSTEMTIME& t) { return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond); }

bool CountBelow(const QvMessageLimitContext& context, QvFolderInterface* folder, unsigned* out, int depth) {
  std::vector<unsigned long> ids;
  if (folder->GetMessageIds(&ids)) *out += static_cast<unsigned>(ids.size());
  if (depth >= kMaxDepth || !folder->GetFolderIds(&ids)) return true;
  for (unsigned long id : ids) {
    // What cannot be opened is not ours to count or remove.
    Folder child(folder->OpenFolder(id));
    if (child) CountBelow(context, child.get(), out, depth + 1);
  }
  return true;
}

void CollectBelow(const QvMessageLimitContext& context, QvFolderInterface* folder,
                  std::vector<QvRemovalCandidate>* candidates, int depth) {
  std::vector<unsigned long> ids;
  if (depth < kMaxDepth && folder->GetFolderIds(&ids)) {
    for (unsigned long id : ids) {
      Folder child(folder->OpenFolder(id));
      if (child) CollectBelow(context, child.get(), candidates, depth + 1);
    }
  }
  if (!folder->GetMessageIds(&ids)) return;
  for (unsigned long id : ids) {
    std::unique_ptr<QvMessageInterface> message(folder->OpenMessage(id));
    if (!message) continue;
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kIsProtected | QvMessageInterface::kDate;
    // What cannot be read, an older file's defaults included, is kept.
    if (message->GetAttributes(&a) && a.unread == 0 && a.isProtected == 0) candidates->push_back({id, a.date});
  }
}

// The removal did not take place, but the walk may go on to the next one.
bool PassedOver(uint32_t code) {
  return code == QVMDL_ERR_STG_MESSAGE_NOT_LISTED || code == QVMDL_ERR_STG_MESSAGE_OPEN ||
         code == QVMDL_ERR_STG_MESSAGE_ID_RANGE;
}

}  // namespace

bool CountFolderMessages(const QvMessageLimitContext& context, QvFolderInterface* folder, unsigned* out) {
  if (folder == nullptr || out == nullptr) return false;
  *out = 0;
  return CountBelow(context, folder, out, 0);
}

bool CountTrayMessages(const QvMessageLimitContext& context, const std::vector<QvFolderInterface*>& folders,
                       unsigned* out) {
  if (out == nullptr) return false;
  *out = 0;
  for (QvFolderInterface* folder : folders) {
    unsigned count = 0;
    if (!CountFolderMessages(context, folder, &count)) return false;
    *out += count;
  }
  return true;
}

bool CollectRemovable(const QvMessageLimitContext& context, QvFolderInterface* folder,
                      std::vector<QvRemovalCandidate>* candidates) {
  if (folder == nullptr || candidates == nullptr) return false;
  CollectBelow(context, folder, candidates, 0);
  return true;
}

namespace {

// `stopped` tells a removal the storage refused from running out of candidates.
bool RemoveOldestOf(const QvMessageLimitContext& context, const std::vector<QvFolderInterface*>& folders,
                    unsigned count, unsigned* outRemoved, bool* stopped) {
  *stopped = false;
  if (outRemoved == nullptr || context.storage == nullptr) return false;
  *outRemoved = 0;
  std::vector<QvRemovalCandidate> candidates;
  for (QvFolderInterface* folder : folders) {
    if (!CollectRemovable(context, folder, &candidates)) return false;
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const QvRemovalCandidate& a, const QvRemovalCandidate& b) { return Key(a.date) < Key(b.date); });
  for (const QvRemovalCandidate& candidate : candidates) {
    if (*outRemoved >= count) break;
    if (context.storage->RemoveMessage(candidate.id)) {
      ++*outRemoved;
      continue;
    }
    if (!PassedOver(context.storage->GetErrorInfo())) {
      *stopped = true;
      break;
    }
  }
  return true;
}

}  // namespace

bool RemoveOldest(const QvMessageLimitContext& context, const std::vector<QvFolderInterface*>& folders,
                  unsigned count, unsigned* outRemoved) {
  bool stopped = false;
  return RemoveOldestOf(context, folders, count, outRemoved, &stopped);
}

bool EnsureMessageLimit(const QvMessageLimitContext& context, unsigned incoming, unsigned* shortfall) {
  if (shortfall == nullptr) {
    SetQvMiddleError(QVMDL_ERR_LIMIT_NULL_ARGUMENT);
    return false;
  }
  *shortfall = 0;
  if (context.storage == nullptr || context.account == nullptr) return false;
  Settings settings;
  settings.Select(Settings::kRemoveOldMessageCnt);
  settings.Select(Settings::kJusinTrayID);
  settings.Select(Settings::kSousinZumiTrayID);
  if (!context.account->GetAccountInfoAttributes(&settings)) return false;
  const unsigned maximum = settings.ulRemoveOldMessageCnt;
  if (maximum == 0) return true;
  Folder root(context.storage->OpenRootFolder());
  if (!root) return false;
  // A missing receive tray is no error: the sent tree is counted alone.
  Folder receive(root->OpenFolder(settings.ulJusinTrayID));
  Folder sent(root->OpenFolder(settings.ulSousinZumiTrayID));
  if (!sent) return false;
  std::vector<QvFolderInterface*> trays;
  if (receive) trays.push_back(receive.get());
  trays.push_back(sent.get());

  unsigned stored = 0;
  if (!CountTrayMessages(context, trays, &stored)) return false;
  if (static_cast<unsigned long long>(stored) + incoming <= maximum) return true;
  const unsigned need = static_cast<unsigned>(static_cast<unsigned long long>(stored) + incoming - maximum);
  unsigned removed = 0;
  bool stopped = false;
  if (!RemoveOldestOf(context, trays, need, &removed, &stopped)) return false;
  if (removed >= need) return true;
  *shortfall = need - removed;
  // A refused removal keeps the storage's code; otherwise nothing more could go.
  if (!stopped) SetQvMiddleError(QVMDL_ERR_RECV_MESSAGE_LIMIT);
  return false;
}
