#include "engine/public/store/QvMessageInterface.h"

#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Time.h"

namespace {

int64_t Ticks(const FILETIME& f) {
  return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

// Local time minus UTC, both taken from one reading of the clock: two
// readings could straddle a millisecond and put that millisecond into every
// date converted.
int64_t LocalOffsetNow() {
  FILETIME utc{}, local{};
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  return Ticks(local) - Ticks(utc);
}

// `t` moved by `ticks`; a date the file-time form cannot hold is kept.
SYSTEMTIME Shift(SYSTEMTIME t, int64_t ticks) {
  FILETIME f{};
  if (!SystemTimeToFileTime(&t, &f)) return t;
  int64_t moved = Ticks(f) + ticks;
  if (moved < 0) return t;
  const auto bits = static_cast<uint64_t>(moved);
  FILETIME g{static_cast<DWORD>(bits & 0xFFFFFFFF), static_cast<DWORD>(bits >> 32)};
  SYSTEMTIME out{};
  return FileTimeToSystemTime(&g, &out) ? out : t;
}

}  // namespace

QvMessageInterface::QvMessageInterface(QvMessage* message) : message_(message) {}

QvMessageInterface::~QvMessageInterface() {
  if (message_ != nullptr && message_->MessageSet() != nullptr) message_->MessageSet()->CloseMessage(message_);
}

bool QvMessageInterface::Write(const std::string& raw) { return message_ != nullptr && message_->WriteRaw(raw); }

bool QvMessageInterface::Write(Email* mail) { return message_ != nullptr && message_->WriteEmail(mail); }

bool QvMessageInterface::Read(std::string* out) { return message_ != nullptr && message_->Read(out); }

bool QvMessageInterface::SeekToHead() { return message_ != nullptr && message_->SeekToHead(); }

bool QvMessageInterface::SetAttributes(const Attributes& attributes) {
  return message_ != nullptr && message_->SetAttributes(attributes);
}

bool QvMessageInterface::MarkInPlace(uint8_t state, const std::string& uidl) {
  return message_ != nullptr && message_->MarkInPlace(state, uidl);
}

bool QvMessageInterface::GetAttributes(Attributes* attributes) const {
  return message_ != nullptr && message_->GetAttributes(attributes);
}

bool QvMessageInterface::DeleteAttachments() { return message_ != nullptr && message_->DeleteAttachments(); }

uint32_t QvMessageInterface::GetErrorInfo() const {
  return message_ == nullptr ? static_cast<uint32_t>(QVMDL_SUCCESS) : GetQvMiddleError();
}

SYSTEMTIME QvMessageInterface::LocalTimeToSystemTime(SYSTEMTIME local) { return Shift(local, -LocalOffsetNow()); }

SYSTEMTIME QvMessageInterface::SystemTimeToLocalTime(SYSTEMTIME utc) { return Shift(utc, LocalOffsetNow()); }
