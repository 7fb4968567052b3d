// Any bytes as a received mail: every decode entry, the header lookups, the
// feed line reader and the preparation for sending must neither crash, read
// out of bounds nor loop.
#include <cstdint>
#include <string>

#include "engine/public/content/EmlCompose.h"
#include "fuzz/FuzzDeviceFile.h"
#include "platform/kernel/DeviceFs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The composer reads the registry for the footer rule; keep it off the user's device.
  UseFuzzDeviceRoot();
  const std::string raw(reinterpret_cast<const char*>(data), size);
  EmlCompose eml;
  Email mail;
  eml.Decode(&mail, &raw);
  Email header;
  eml.DecodeHeader(&header, &raw);
  Email simple;
  eml.DecodeSimple(&simple, &raw, -1);
  std::string save = raw;
  Email saved;
  // Filing leaves the body's text out, nothing else.
  if (eml.DecodeForSave(&saved, &save) &&
      (saved.body.empty() != mail.body.empty() || saved.htmlBody != mail.htmlBody ||
       saved.subject != mail.subject || saved.attachments.size() != mail.attachments.size() ||
       saved.inlineParts.size() != mail.inlineParts.size())) {
    __builtin_trap();
  }
  std::string value;
  eml.GetHeaderField(raw, "Content-Type", &value);
  TInfoData info;
  eml.RssGetLineInfo(&raw, &info);
  std::string stored = raw, text;
  RawEmail_S out;
  out.text = &text;
  eml.EmlToRawEmailS(&stored, &out);
  std::string cut;
  eml.DeleteEnclosureFromRawData(&raw, &cut);
  // What was decoded encodes again (no files are attached: parts from mail
  // have no folder on this side).
  mail.attachments.clear();
  mail.inlineParts.clear();
  std::string encoded;
  eml.Encode(&mail, &encoded);
  return 0;
}
