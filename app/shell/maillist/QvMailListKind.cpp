#include "app/shell/maillist/QvMailListKind.h"

#include "app/mailops/FolderOperations.h"

const QvMailListKind& QvMailListKind::ForKind(int kind) {
  static const QvReceiveBoxListKind receiveBox;
  static const QvSendBoxListKind sendBox;
  static const QvDraftListKind drafts;
  static const QvOutboxListKind outbox;
  static const QvReceiveFolderListKind receiveFolder;
  static const QvSendFolderListKind sendFolder;
  static const QvMailListKind* const kinds[] = {&receiveBox, &sendBox, &drafts, &outbox, &receiveFolder, &sendFolder};
  return kind >= 0 && kind <= 5 ? *kinds[kind] : receiveBox;
}

const QvMailListKind& QvMailListKind::ForFolder(DWORD folderId) {
  QvFolderItem item;
  return ForKind(GetFolderItem(folderId, &item) ? item.kind : kReceiveBox);
}
