#include "engine/public/store/QvMailFileRun.h"

#include "engine/public/foundation/QvMiddleError.h"

QvMailFileRun::QvMailFileRun(uint32_t nullNotificationCode, uint32_t cancelledCode)
    : nullNotificationCode_(nullNotificationCode), cancelledCode_(cancelledCode) {}

bool QvMailFileRun::RegisterNotification(Notification* notification) {
  if (notification == nullptr) {
    SetQvMiddleError(nullNotificationCode_);
    return false;
  }
  notification_ = notification;
  return true;
}

bool QvMailFileRun::Cancel() {
  cancel_ = 1;
  return true;
}

uint32_t QvMailFileRun::GetErrorInfo() { return GetQvMiddleError(); }

bool QvMailFileRun::RunItems(size_t count, const std::function<uint32_t(size_t)>& step) {
  // A cancel stops the run it came in; the program keeps one worker, and the
  // next run starts afresh.
  cancel_ = 0;
  if (notification_ != nullptr) notification_->Start(static_cast<uint32_t>(count));
  uint32_t code = QVMDL_SUCCESS;
  for (size_t i = 0; i < count && code == QVMDL_SUCCESS; ++i) {
    if (cancel_ != 0) {
      code = cancelledCode_;
    } else if ((code = step(i)) == QVMDL_SUCCESS && notification_ != nullptr) {
      notification_->Progress(static_cast<uint32_t>(i + 1));
    }
  }
  if (notification_ != nullptr) notification_->End(code == cancelledCode_ ? 1 : 0);
  SetQvMiddleError(code);
  return code == QVMDL_SUCCESS;
}
