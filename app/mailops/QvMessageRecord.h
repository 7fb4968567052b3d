// The program's copy of one message, as the message window, the mail list's
// preview and the HTML preview work on it; filled from and written back to
// the engine by the message operations (MessageOperations.h). Owned by the
// window that shows it.
#pragma once

#include <cstdint>

#include "outside/Markwright/QvHtmlFileList.h"
#include "platform/framework/Containers.h"
#include "platform/framework/CString.h"

struct QvMessageRecord {
  QvMessageRecord() { Clear(); }
  QvMessageRecord(const QvMessageRecord&) = delete;
  QvMessageRecord& operator=(const QvMessageRecord&) = delete;

  // Everything empty and 0, the record not from the store (notFromStore 1).
  void Clear();

  int isStored = 0;         // stands for a message in the store
  uint32_t messageId = 0;   // 0 for a new message until its first save
  CStringArray toList;
  CString from;             // as shown: "name<address>" when the mail names its sender
  CStringArray ccList;
  CStringArray bccList;
  CString subject;
  CStringArray attachmentPaths;  // full device paths of the attached files
  CString body;
  // The further header texts, one to one with the engine's mail record.
  CString replyTo;
  CString mailMessageId;    // the mail's Message-ID (or the answered one's, in a reply)
  CString inReplyTo;
  CString references;
  CString mailingList;      // "x-ml-name"
  CString timeZone;
  CString receivedDate;     // the Date value as received
  CString senderName;       // the sender's display name
  CString dateText;         // "%04d/%02d/%02d %02d:%02d"
  CString htmlText;         // empty for plain mail
  QvHtmlFileList inlineFiles;  // the HTML text's images
  QvHtmlFileList extraFiles;   // the attachments as files
  uint32_t partialFlag = 0;    // 0x10 of the status word: only part of the mail was received
  uint8_t isPictureMail = 0;
  CStringArray pictureFiles;   // a picture mail's first entry is its image
  int isNew = 0;
  int inDrafts = 0;
  int isReply = 0;
  int isBlank = 0;
  CString quotedBody;
  int pictureFromAttachment = 0;
  int htmlNeedsSignature = 0;
  int notFromStore = 1;     // the edited flag: cleared by the loaders of stored messages
  uint32_t folder = 0;      // the folder the message was loaded from
  int hasDrawing = 0;
};
