#include "engine/public/store/QvSignatureInterface.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvSignature.h"

QvSignatureInterface::QvSignatureInterface(QvSignature* signature) : signature_(signature) {}

QvSignatureInterface::~QvSignatureInterface() {
  if (signature_ != nullptr) ReleaseSignature(signature_);
}

bool QvSignatureInterface::ReadAttributes(Attributes* attributes) {
  return signature_ != nullptr && signature_->ReadAttributes(attributes);
}

bool QvSignatureInterface::WriteAttributes(const Attributes& attributes) {
  return signature_ != nullptr && signature_->WriteAttributes(attributes);
}

uint32_t QvSignatureInterface::GetErrorInfo() { return signature_ == nullptr ? QVMDL_SUCCESS : GetQvMiddleError(); }
