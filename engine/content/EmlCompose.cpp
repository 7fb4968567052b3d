#include "engine/public/content/EmlCompose.h"

#include "engine/public/foundation/QvMiddleError.h"

EmlCompose::EmlCompose() = default;
EmlCompose::~EmlCompose() = default;

void EmlCompose::clearEmail(Email* mail) {
  if (mail == nullptr) return;
  // mailingList, inlineParts and the reserved strings are left as they are:
  // the decode entries expect a fresh record for those.
  mail->fromAddress.clear();
  mail->to.clear();
  mail->cc.clear();
  mail->bcc.clear();
  mail->replyTo.clear();
  mail->date = SYSTEMTIME{};
  mail->timeZone.clear();
  mail->messageId.clear();
  mail->inReplyTo.clear();
  mail->references.clear();
  mail->subject.clear();
  mail->body.clear();
  mail->htmlBody.clear();
  mail->attachments.clear();
  mail->fromName.clear();
  mail->dateText.clear();
  mail->isPictureMail = 0;
  mail->isFeed = 0;
  mail->hasFeedDownload = 0;
  mail->isSimple = 0;
  mail->feedDownload.clear();
  mail->generatedDateLine.clear();
  mail->textPartsAsEnclosures = 0;
  mail->parentKind.clear();
}

uint32_t EmlCompose::GetErrorInfo() { return GetQvMiddleError(); }

bool EmlCompose::setQvMiddleEmlError(uint32_t code) {
  if (code == 0 || code == QVMDL_SUCCESS) {
    SetQvMiddleError(QVMDL_SUCCESS);
    return true;
  }
  SetQvMiddleError(code);
  return false;
}
