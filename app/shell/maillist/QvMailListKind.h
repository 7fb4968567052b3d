// What differs between the six kinds of mail list (receive box, send box,
// drafts, outbox, and user folders under the receive and send boxes): menu,
// command, string and image ids. The list control and the mail-list screen
// ask the kind object and never test the folder kind themselves. Each kind
// has one shared constant instance and no data.
#pragma once

#include "platform/base/WinTypes.h"

class QvMailListKind {
 public:
  // The kind numbers, the same as the folder item kinds that choose them.
  enum : int {
    kReceiveBox = 0,
    kSendBox = 1,
    kDrafts = 2,
    kOutbox = 3,
    kReceiveFolder = 4,
    kSendFolder = 5,
  };
  static constexpr int kNoImage = -1;

  virtual ~QvMailListKind() = default;

  virtual int GetKind() const = 0;
  // The icon of an unsent row (kind 3) whose status bit 1 is clear or set.
  virtual int GetUnsentImage() const = 0;
  virtual int GetUnsentImageFlagged() const = 0;
  // The menu bar shown while no row is selected.
  virtual UINT GetMenuBarId() const = 0;
  // Submenu 0 of this menu replaces a popup whose first item is 40095.
  virtual UINT GetPopupMenuId() const = 0;
  // The label of the sort-by-correspondent command (40132).
  virtual UINT GetCorrespondentLabelId() const = 0;
  virtual bool CanMove() const = 0;
  virtual bool CanMarkUnread() const = 0;
  virtual bool CanMarkRead() const = 0;
  // What a tap or Enter on a row sends to the screen.
  virtual UINT GetOpenCommand() const = 0;
  // Whether messages can be protected (the three-button delete questions).
  virtual bool CanProtect() const = 0;

  // The shared instance for a folder item kind 0-5; any other gives kind 0.
  static const QvMailListKind& ForKind(int kind);
  // The kind of the folder's item; an unknown folder or a failure gives kind 0.
  static const QvMailListKind& ForFolder(DWORD folderId);
};

// Received mail and the folders under the receive box.
class QvReceiveBoxListKind : public QvMailListKind {
 public:
  int GetKind() const override { return kReceiveBox; }
  int GetUnsentImage() const override { return kNoImage; }
  int GetUnsentImageFlagged() const override { return kNoImage; }
  UINT GetMenuBarId() const override { return 163; }
  UINT GetPopupMenuId() const override { return 189; }
  UINT GetCorrespondentLabelId() const override { return 20004; }
  bool CanMove() const override { return true; }
  bool CanMarkUnread() const override { return true; }
  bool CanMarkRead() const override { return true; }
  UINT GetOpenCommand() const override { return 40130; }
  bool CanProtect() const override { return true; }
};

class QvReceiveFolderListKind : public QvReceiveBoxListKind {
 public:
  int GetKind() const override { return kReceiveFolder; }
};

// Sent mail and the folders under the send box.
class QvSendBoxListKind : public QvReceiveBoxListKind {
 public:
  int GetKind() const override { return kSendBox; }
  UINT GetMenuBarId() const override { return 164; }
  UINT GetCorrespondentLabelId() const override { return 20006; }
};

class QvSendFolderListKind : public QvSendBoxListKind {
 public:
  int GetKind() const override { return kSendFolder; }
};

// Unsent mail: opened for editing, never moved, marked or protected.
class QvDraftListKind : public QvMailListKind {
 public:
  int GetKind() const override { return kDrafts; }
  int GetUnsentImage() const override { return 28; }
  int GetUnsentImageFlagged() const override { return 29; }
  UINT GetMenuBarId() const override { return 164; }
  UINT GetPopupMenuId() const override { return 191; }
  UINT GetCorrespondentLabelId() const override { return 20006; }
  bool CanMove() const override { return false; }
  bool CanMarkUnread() const override { return false; }
  bool CanMarkRead() const override { return false; }
  UINT GetOpenCommand() const override { return 40189; }
  bool CanProtect() const override { return false; }
};

class QvOutboxListKind : public QvDraftListKind {
 public:
  int GetKind() const override { return kOutbox; }
  int GetUnsentImage() const override { return 26; }
  int GetUnsentImageFlagged() const override { return 27; }
};
