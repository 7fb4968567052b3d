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

bool Read(QvStorageInterface* storage, DWORD messageId, QvMessageInterface::Attributes* attributes) {
  std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(messageId));
  attributes->mask = kStatusMask;
  return message && message->GetAttributes(attributes);
}

}  // namespace

bool GetMessageStatus(DWORD messageId, DWORD folderId, uint32_t* status, uint32_t* kind) {
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return false;
  QvMessageInterface::Attributes attributes;
  bool read = Read(storage, messageId, &attributes);
  if (!read) {
    const uint32_t code = GetQvMiddleError();
    if (code == kEntryNeedsRepair && GetMailTaskState() != kMailTaskAutoReceive && RecoverEntry(folderId, code)) {
      BroadcastFolderAndRootRefresh(folderId);
      read = Read(storage, messageId, &attributes);
    }
    if (!read) {
      ShowMailOpsError(GetQvMiddleError());
      return false;
    }
  }
  uint32_t word = 0;
  if (attributes.unread) word |= kStatusUnread;
  if (attributes.hasAttachments) word |= kStatusHasAttachments;
  if (attributes.isProtected) word |= kStatusProtected;
  if (attributes.attachmentsDeleted) word |= kStatusAttachmentsDeleted;
  if (attributes.state) word |= kStatusPartial;
  if (attributes.isHtml) word |= kStatusHtml;
  *status = word;
  *kind = attributes.kind;
  return true;
}
