// A stored message's status bits and kind, as the mail lists and the message
// window read them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/base/WinTypes.h"

// The six flags of a message, packed into the status word.
constexpr uint32_t kStatusUnread = 0x1;
constexpr uint32_t kStatusHasAttachments = 0x2;
constexpr uint32_t kStatusProtected = 0x4;
constexpr uint32_t kStatusAttachmentsDeleted = 0x8;
constexpr uint32_t kStatusPartial = 0x10;
constexpr uint32_t kStatusHtml = 0x20;

// The message's flags and its kind on the current storage. A list whose
// entry needs repair is repaired (unless the automatic receive waits) and
// the folder refreshed; other failures show the engine error.
bool GetMessageStatus(DWORD messageId, DWORD folderId, uint32_t* status, uint32_t* kind);

// The same for many messages of one folder, read in one call of the store
// (one lock, not an open of each message): a list's rows need every status
// of a folder. A message that call cannot read (an older file, a list entry
// to repair) goes through GetMessageStatus; false at the first that fails.
bool GetMessageStatuses(DWORD folderId, const std::vector<unsigned long>& ids, std::vector<uint32_t>* statuses,
                        std::vector<uint32_t>* kinds);
