#include "engine/content/EmlHeaderSource.h"

#include "engine/content/EmlCompose.h"
#include "engine/store/QvMiddleError.h"

EmlHeaderSource::EmlHeaderSource(Reader reader) : reader_(std::move(reader)) {}

bool EmlHeaderSource::ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) {
  if (out == nullptr || !reader_) {
    SetQvMiddleError(QVMDL_ERR_EML_NULL_ARGUMENT);
    return false;
  }
  std::string raw;
  if (!reader_(id, &raw)) return false;
  Email mail;
  EmlCompose composer;
  if (!composer.DecodeHeader(&mail, &raw)) return false;
  *out = QvMailHeaderFields{};
  if (!mail.to.empty()) out->toAddress = mail.to.front();
  out->fromAddress = mail.fromAddress;
  out->fromName = mail.fromName;
  out->subject = mail.subject;
  out->date = mail.date;
  return true;
}
