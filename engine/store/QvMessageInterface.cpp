#include "engine/public/store/QvMessageInterface.h"

#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageOwner.h"
#include "engine/public/foundation/QvMiddleError.h"

QvMessageInterface::QvMessageInterface(QvMessage* message) : message_(message) {}

QvMessageInterface::~QvMessageInterface() {
  if (message_ != nullptr && message_->Owner() != nullptr) message_->Owner()->CloseMessage(message_);
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
