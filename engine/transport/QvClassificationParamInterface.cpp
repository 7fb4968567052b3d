#include "engine/transport/QvClassificationParamInterface.h"

#include "engine/store/QvMiddleError.h"
#include "engine/transport/QvClassificationParam.h"
#include "engine/transport/QvClassificationParamSet.h"

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
