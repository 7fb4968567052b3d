// The exported face of one account's storage: it opens folders and messages,
// removes and moves messages, and repairs entry lists. It holds one user of
// the storage set's shared storage, given back when it is deleted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvMessageFields.h"

class QvFolderInterface;
class QvMessageInterface;
class QvStorage;

class QVMIDDLE_API QvStorageInterface {
 public:
  explicit QvStorageInterface(QvStorage* storage);
  ~QvStorageInterface();
  QvStorageInterface(const QvStorageInterface&) = delete;
  QvStorageInterface& operator=(const QvStorageInterface&) = delete;

  // Kept for callers of the original face; a storage is made with its account.
  static bool CreateStorage(const std::wstring& root);
  static bool DestroyStorage(const std::wstring& root);

  QvFolderInterface* OpenRootFolder();
  QvFolderInterface* OpenFolder(unsigned long id);
  QvMessageInterface* OpenMessage(unsigned long id);
  // The header fields of `mask` of many messages at once, under one hold
  // of the message lock (what OpenMessage and GetAttributes give for each).
  // `codes[i]` is QVMDL_SUCCESS when `attributes[i]` was read, else the code a message's
  // own read would set: the older-file code comes with the fields filled.
  bool GetMessageHeaderFields(const std::vector<unsigned long>& ids, uint32_t mask,
                              std::vector<QvMessageFields::Attributes>* attributes,
                              std::vector<unsigned long>* codes);
  bool RemoveMessage(unsigned long id);
  bool MoveMessage(unsigned long id, unsigned long target);
  unsigned long GetUserFolderCnt();
  bool RestoreFolderMessageHeader(unsigned long folderId);
  bool RecoverMessageEntry(unsigned long folderId);
  bool RecoverMessageEntryAll();
  static bool CheckWantRecoverEntry(unsigned long code);
  unsigned long GetErrorInfo();
  // The storage behind this face, for the engine's own receive bookkeeping.
  QvStorage* Storage() const { return storage_; }

 private:
  QvStorage* storage_;
};
