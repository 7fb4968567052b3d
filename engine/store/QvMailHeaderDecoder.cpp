#include "engine/store/QvMailHeaderDecoder.h"

#include "engine/public/content/EmlCompose.h"
#include "engine/public/foundation/QvMiddleError.h"

bool QvMailHeaderDecoder::ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) {
  if (out == nullptr || !reader_) {
    SetQvMiddleError(QVMDL_ERR_EML_NULL_ARGUMENT);
    return false;
  }
  std::string raw;
  return reader_(id, &raw) && DecodeFields(raw, out);
}

bool QvMailHeaderDecoder::DecodeFields(const std::string& raw, QvMailHeaderFields* out) {
  // Only the header is needed for a list row.
  EmlCompose composer;
  Email mail;
  if (!composer.DecodeHeader(&mail, &raw)) return false;
  *out = QvMailHeaderFields{};
  if (!mail.to.empty()) {
    std::wstring address, name;
    out->toAddress = composer.ParseAddress(mail.to.front(), &address, &name) ? address : mail.to.front();
  }
  out->fromAddress = mail.fromAddress;
  out->fromName = mail.fromName;
  out->subject = mail.subject;
  out->date = mail.date;
  return true;
}
