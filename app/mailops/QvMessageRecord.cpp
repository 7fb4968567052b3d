#include "app/mailops/QvMessageRecord.h"

void QvMessageRecord::Clear() {
  isStored = 0;
  messageId = 0;
  toList.RemoveAll();
  from.Empty();
  ccList.RemoveAll();
  bccList.RemoveAll();
  subject.Empty();
  attachmentPaths.RemoveAll();
  body.Empty();
  replyTo.Empty();
  mailMessageId.Empty();
  inReplyTo.Empty();
  references.Empty();
  mailingList.Empty();
  timeZone.Empty();
  receivedDate.Empty();
  senderName.Empty();
  dateText.Empty();
  htmlText.Empty();
  inlineFiles.Clear();
  extraFiles.Clear();
  partialFlag = 0;
  isPictureMail = 0;
  pictureFiles.RemoveAll();
  isNew = 0;
  inDrafts = 0;
  isReply = 0;
  isBlank = 0;
  quotedBody.Empty();
  pictureFromAttachment = 0;
  htmlNeedsSignature = 0;
  notFromStore = 1;
  folder = 0;
  hasDrawing = 0;
}
