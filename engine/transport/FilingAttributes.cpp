#include "engine/transport/FilingAttributes.h"

#include "engine/public/content/EmlCompose.h"

QvMessageInterface::Attributes FilingAttributes(const Email& mail) {
  QvMessageInterface::Attributes a;
  a.mask = 0x3fff;
  a.hasAttachments = mail.attachments.empty() ? 0 : 1;
  a.isHtml = mail.htmlBody.empty() ? 0 : 1;
  if (!mail.to.empty()) {
    std::wstring field = mail.to.front(), name;
    EmlCompose().ParseAddress(field, &a.listText1, &name);
  }
  a.listText2 = mail.fromAddress;
  a.listShort1 = mail.fromName;
  a.listShort2 = mail.subject;
  return a;
}
