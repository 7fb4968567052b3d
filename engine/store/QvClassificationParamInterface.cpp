#include "engine/public/store/QvClassificationParamInterface.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvClassificationParam.h"
#include "engine/store/QvClassificationParamSet.h"

QvClassificationParamInterface::QvClassificationParamInterface(QvClassificationParam* param) : param_(param) {}

QvClassificationParamInterface::~QvClassificationParamInterface() {
  if (param_ != nullptr) QvClassificationParamSet::Instance().Close(param_);
}

bool QvClassificationParamInterface::GetAttributes(std::vector<Attributes>* rules) {
  return param_ != nullptr && param_->Read(rules);
}

bool QvClassificationParamInterface::SetAttributes(const std::vector<Attributes>& rules) {
  return param_ != nullptr && param_->Write(rules);
}

uint32_t QvClassificationParamInterface::GetErrorInfo() {
  return param_ == nullptr ? QVMDL_SUCCESS : GetQvMiddleError();
}
