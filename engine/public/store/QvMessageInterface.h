// The exported face of one stored message. The storage and folder facades
// hand one out per open; it holds one reference on the message set's shared
// QvMessage, forwards every call to it and gives the reference back when the
// caller deletes it. Its mask bits, kinds, attribute record and date
// conversions are QvMessageFields', which the stored message shares. The
// facade takes no lock of its own: the stored message's mutex serialises the
// calls, and two facades of one message share its read position.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvMessageFields.h"
#include "platform/base/WinTypes.h"

struct Email;
class QvMessage;

class QVMIDDLE_API QvMessageInterface : public QvMessageFields {
 public:
  // Takes over the reference on `message` that its opener holds. A facade
  // without a message answers every call with false and leaves the error
  // word alone.
  explicit QvMessageInterface(QvMessage* message);
  ~QvMessageInterface();
  // One reference, given back once.
  QvMessageInterface(const QvMessageInterface&) = delete;
  QvMessageInterface& operator=(const QvMessageInterface&) = delete;

  // Replaces the raw mail (up to its first zero byte); the header is kept.
  bool Write(const std::string& raw);
  // Encodes the mail and stores it with its attributes and list record.
  bool Write(Email* mail);
  // The raw mail from the read position to the end; the position moves there.
  bool Read(std::string* out);
  bool SeekToHead();
  bool SetAttributes(const Attributes& attributes);
  // The state byte and the UID field written in place, even on a volume
  // below the store's reserve: they grow nothing. SetAttributes asks for the
  // reserve as any change does.
  bool MarkInPlace(uint8_t state, const std::string& uidl);
  // A file older than the current version has every asked field filled and
  // still answers false with QVMDL_ERR_STG_EML_OLD_VERSION.
  bool GetAttributes(Attributes* attributes) const;
  // Strips the attachments from the stored mail.
  bool DeleteAttachments();
  // The library-wide error word; success when no message is held.
  uint32_t GetErrorInfo() const;

 private:
  QvMessage* message_;
};
