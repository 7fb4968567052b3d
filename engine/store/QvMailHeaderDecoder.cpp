#include "engine/store/QvMailHeaderDecoder.h"

#include "engine/content/EmlCompose.h"

bool QvMailHeaderDecoder::ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) {
  std::string raw;
  return reader_(id, &raw) && DecodeFields(raw, out);
}

bool QvMailHeaderDecoder::DecodeFields(const std::string& raw, QvMailHeaderFields* out) {
  EmlCompose composer;
  Email mail;
  if (!composer.Decode(&mail, &raw)) return false;
  out->toAddress.clear();
  if (!mail.to.empty()) {
    std::wstring field = mail.to.front();
    std::wstring address, name;
    if (composer.ParseAddress(field, &address, &name)) out->toAddress = address;
  }
  out->fromAddress = mail.fromAddress;
  out->fromName = mail.fromName;
  out->subject = mail.subject;
  out->date = mail.date;
  return true;
}
