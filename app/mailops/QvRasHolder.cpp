#include "app/mailops/QvRasHolder.h"

#include <new>

#include "app/mailops/NotifySinks.h"
#include "engine/public/transport/QvRASController.h"
#include "platform/kernel/Sync.h"

namespace {

// Engine connection state 3 (released) in each sink's own code.
class RecvAdaptor : public QvRasHolder::Adaptor {
 public:
  explicit RecvAdaptor(QvRecvNotifySink* sink) : sink_(sink) {}
  void Released() override { sink_->notify(QvRecvNotifySink::kConnection, 3, 0); }

 private:
  QvRecvNotifySink* sink_;
};

class SendAdaptor : public QvRasHolder::Adaptor {
 public:
  explicit SendAdaptor(QvSendNotifySink* sink) : sink_(sink) {}
  void Released() override { sink_->notify(QvSendNotifySink::kConnection, 3, 0); }

 private:
  QvSendNotifySink* sink_;
};

}  // namespace

QvRasHolder::QvRasHolder() = default;

QvRasHolder::~QvRasHolder() { Release(); }

QvRASController* QvRasHolder::GetController() {
  if (!controller_) controller_.reset(new (std::nothrow) QvRASController);
  return controller_.get();
}

void QvRasHolder::SetNotifyObject(QvRecvNotifySink* sink) {
  notify_.reset(sink != nullptr ? new RecvAdaptor(sink) : nullptr);
}

void QvRasHolder::SetNotifyObject(QvSendNotifySink* sink) {
  notify_.reset(sink != nullptr ? new SendAdaptor(sink) : nullptr);
}

void QvRasHolder::Finish(bool success) {
  if (keepMode_ == kReleaseAlways || (keepMode_ == kReleaseOnFailure && !success)) Release();
  notify_.reset();
}

void QvRasHolder::Release() {
  if (controller_) {
    if (notify_) notify_->Released();
    // Lets the progress window take the state before the connection goes.
    Sleep(0);
    controller_.reset();
  }
  notify_.reset();
}
