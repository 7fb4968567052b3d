// The holder of the dial-up controller handed to every receive and send: it
// makes the controller on first use and decides, when an operation ends,
// whether the data connection goes (keep mode). When it lets the connection
// go it tells the sink of the last operation, so the progress window shows
// the connection as released.
#pragma once

#include <memory>

class QvRASController;
class QvRecvNotifySink;
class QvSendNotifySink;

class QvRasHolder {
 public:
  enum KeepMode : int {
    kReleaseAlways = 0,     // after each operation
    kReleaseOnFailure = 1,  // only after a failed one (send, then receive)
    kKeep = 2,              // until the holder goes (batch and periodic passes)
  };

  QvRasHolder();
  virtual ~QvRasHolder();
  QvRasHolder(const QvRasHolder&) = delete;
  QvRasHolder& operator=(const QvRasHolder&) = delete;

  // Null only when the controller could not be made.
  QvRASController* GetController();
  bool HasController() const { return controller_ != nullptr; }
  void SetKeepMode(int mode) { keepMode_ = mode; }
  int KeepMode() const { return keepMode_; }
  // The sink of the operation now running; it must stay alive until that
  // operation's Finish, which forgets it.
  void SetNotifyObject(QvRecvNotifySink* sink);
  void SetNotifyObject(QvSendNotifySink* sink);
  // The operation ended: release as the keep mode says, then forget its sink.
  void Finish(bool success);
  // Lets the connection go now (telling the sink, if any).
  void Release();

  class Adaptor {
   public:
    virtual ~Adaptor() = default;
    virtual void Released() = 0;
  };

 private:
  int keepMode_ = kReleaseAlways;
  std::unique_ptr<QvRASController> controller_;
  std::unique_ptr<Adaptor> notify_;
};
