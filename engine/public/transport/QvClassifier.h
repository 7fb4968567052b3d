// Files mail by an account's classification rules. Received mail is decoded,
// stored in the folder of the first rule that matches (the receive box when
// none does, or when the rule's folder is gone) and recorded in the receive
// history (written once a run, when the classifier goes); stored mail is
// moved again by the rules. One classifier keeps the
// rules of the first account it loaded them for.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/MailHistory.h"
#include "engine/public/store/QvClassificationParamInterface.h"

struct Email;
class QvAccountInfoInterface;
class QvFolderInterface;
class QvStorageInterface;

class QVMIDDLE_API QvClassifier {
 public:
  // Directions a rule applies to.
  enum : unsigned long { kReceived = 1, kSent = 2, kBoth = 3 };

  QvClassifier();
  ~QvClassifier();
  QvClassifier(const QvClassifier&) = delete;
  QvClassifier& operator=(const QvClassifier&) = delete;

  // Stores one received message. A mail that cannot be decoded is stored all
  // the same, in the receive box with its raw text, so that one message
  // never stops every later receive. `raw` gets a Date line when it had none.
  bool SaveToFolder(std::string& raw, const std::string& uidl, bool state, QvAccountInfoInterface* account);
  // The id of the message the last successful SaveToFolder made.
  unsigned long LastSavedId() const { return lastSavedId_; }
  // Moves a stored message to the folder its rules choose; a rule whose
  // folder is gone leaves it where it is.
  bool MoveToFolder(unsigned long messageId, QvAccountInfoInterface* account);

 private:
  bool loadClassificationParamAttributes(QvAccountInfoInterface* account);
  bool toLowerString(const std::wstring& in, std::wstring* out);
  bool getClassifiedFolderId(Email* mail, unsigned long direction, unsigned long* folderId, bool* matched);
  // The account's storage and its folders stay open from one received
  // message to the next, so that a run does not read every list again for
  // each message. Null with the error word set when they cannot be opened.
  QvStorageInterface* Storage(QvAccountInfoInterface* account);
  QvFolderInterface* Folder(unsigned long id);
  QvFolderInterface* ReceiveBox(QvAccountInfoInterface* account);
  // The receive history is written once for a run of messages rather than
  // once for each: entries wait here, one per correspondent, newest last,
  // and go to the file when the account changes or the classifier goes.
  void RecordHistory(const st_MAILHISTORYDATA& entry, QvAccountInfoInterface* account);
  void FlushHistory();

  uint32_t loaded_ = 0;
  std::vector<QvClassificationParamInterface::Attributes> rules_;
  std::wstring storageOf_;
  unsigned long receiveBox_ = 0;  // its id, read once with the storage
  std::unique_ptr<QvStorageInterface> storage_;
  unsigned long lastSavedId_ = 0;
  std::unique_ptr<MailHistory> history_;
  std::list<st_MAILHISTORYDATA> pendingHistory_;
  QvAccountInfoInterface* historyOf_ = nullptr;
  // Declared after the storage: the folders are closed first.
  std::map<unsigned long, std::unique_ptr<QvFolderInterface>> folders_;
};
