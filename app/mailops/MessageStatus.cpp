#include "app/mailops/MessageStatus.h"

#include <memory>

#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/WindowRegistry.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"

namespace {

constexpr uint32_t kStatusMask = QvMessageInterface::kUnread | QvMessageInterface::kHasAttachments |
                                 QvMessageInterface::kState | QvMessageInterface::kIsProtected |
                                 QvMessageInterface::kKind | QvMessageInterface::kAttachmentsDeleted |
                                 QvMessageInterface::kIsHtml;
constexpr uint32_t kEntryNeedsRepair = 0x2000047;

constexpr uint32_t kOlderFile = 0x2004721;

// The kind an older file never stored, from the folder it lies in: received
// in the receive box and its folders, sent in the send box and its folders,
// composed in the drafts and the outbox.
uint32_t KindOfFolder(DWORD folderId) {
  int folderKind = -1;
  GetFolderRootKind(folderId, &folderKind);
  switch (folderKind) {
    case kReceiveBox:
    case kReceiveUserFolder:
      return 1;
    case kSendBox:
    case kSendUserFolder:
      return 0;
    case kDrafts:
    case kOutbox:
      return 3;
    default:
      return 2;
  }
}

// Reads the status fields. An older file has every field filled but the
// kind: that is written into it first, which also brings the file up to the
// current version.
bool Read(QvStorageInterface* storage, DWORD messageId, DWORD folderId, QvMessageInterface::Attributes* attributes) {
  std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(messageId));
  attributes->mask = kStatusMask;
  if (!message) return false;
  if (message->GetAttributes(attributes)) return true;
  if (GetQvMiddleError() != kOlderFile) return false;
  attributes->kind = KindOfFolder(folderId);
  QvMessageInterface::Attributes upgrade;
  upgrade.mask = QvMessageInterface::kKind | QvMessageInterface::kAttachmentsDeleted;
  upgrade.kind = attributes->kind;
  upgrade.attachmentsDeleted = attributes->attachmentsDeleted;
  return message->SetAttributes(upgrade);
}

uint32_t StatusWord(const QvMessageInterface::Attributes& attributes) {
  uint32_t word = 0;
  if (attributes.unread) word |= kStatusUnread;
  if (attributes.hasAttachments) word |= kStatusHasAttachments;
  if (attributes.isProtected) word |= kStatusProtected;
  if (attributes.attachmentsDeleted) word |= kStatusAttachmentsDeleted;
  if (attributes.state) word |= kStatusPartial;
  if (attributes.isHtml) word |= kStatusHtml;
  return word;
}

}  // namespace

bool GetMessageStatus(DWORD messageId, DWORD folderId, uint32_t* status, uint32_t* kind) {
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return false;
  QvMessageInterface::Attributes attributes;
  bool read = Read(storage, messageId, folderId, &attributes);
  if (!read) {
    const uint32_t code = GetQvMiddleError();
    if (code == kEntryNeedsRepair && GetMailTaskState() != kMailTaskAutoReceive && RecoverEntry(folderId, code)) {
      BroadcastFolderAndRootRefresh(folderId);
      read = Read(storage, messageId, folderId, &attributes);
    }
    if (!read) {
      ShowMailOpsError(GetQvMiddleError());
      return false;
    }
  }
  *status = StatusWord(attributes);
  *kind = attributes.kind;
  return true;
}

bool GetMessageStatuses(DWORD folderId, const std::vector<unsigned long>& ids, std::vector<uint32_t>* statuses,
                        std::vector<uint32_t>* kinds) {
  statuses->assign(ids.size(), 0);
  kinds->assign(ids.size(), 0);
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return false;
  std::vector<QvMessageInterface::Attributes> read;
  std::vector<unsigned long> codes;
  if (!storage->GetMessageHeaderFields(ids, kStatusMask, &read, &codes)) read.clear();
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i < read.size() && codes[i] == QVMDL_SUCCESS) {
      (*statuses)[i] = StatusWord(read[i]);
      (*kinds)[i] = read[i].kind;
    } else if (!GetMessageStatus(static_cast<DWORD>(ids[i]), folderId, &(*statuses)[i], &(*kinds)[i])) {
      return false;
    }
  }
  return true;
}
