// A stored message's status bits and kind, as the mail lists and the message
// window read them.
#pragma once

#include <cstdint>

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
