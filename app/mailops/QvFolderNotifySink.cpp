#include "app/mailops/QvFolderNotifySink.h"

#include "app/mailops/HeaderRowCache.h"

// A change in the list of child folders needs nothing here: the windows are
// told by the operation that made it.
void QvFolderNotifySink::FolderChanged(uint32_t) {}

void QvFolderNotifySink::MessageChanged(uint32_t messageId) { DropCachedHeader(messageId); }
