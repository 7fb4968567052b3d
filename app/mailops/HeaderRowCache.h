// Mail-list rows by message id, so a list does not read again the header
// records it has already turned into rows. At most kHeaderCacheRows rows,
// the oldest going first. Locked: a folder's change notification drops rows
// on whichever thread changes the store.
#pragma once

#include <cstddef>
#include <vector>

#include "app/mailops/QvMailListItem.h"

constexpr size_t kHeaderCacheRows = 2000;

// One row per listed id, in list order (cached rows reused, the folder's
// header records read once on the first miss). False with the error box when
// a row cannot be made; quietly false while the automatic receive waits.
bool LoadMessageHeaders(DWORD folderId, const std::vector<unsigned long>& ids, std::vector<QvMailListItem>* rows);
void DropCachedHeader(DWORD messageId);
void DropCachedHeadersOf(const std::vector<unsigned long>& ids);
void ClearHeaderCache();
size_t CachedHeaderCount();
bool IsHeaderCached(DWORD messageId);
