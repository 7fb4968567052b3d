// Brings up, checks and releases the device's data connection for the mail
// engine through the Connection Manager. The program keeps one controller and
// hands it to each receive and send run; the controller remembers the network
// of the connection it holds, so a run for an account on another network
// switches the connection. While it holds a connection it made for a mail
// account, the phone's second ring is off (through "QvMailDynCall.dll").
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

class QvAccountInfoInterface;

class QVMIDDLE_API QvRASController {
 public:
  // Hears message 0 with w = 2 (the held connection goes, to switch
  // networks), 1 (connecting to the new one), 3 (switch done); l = 0.
  class NotifyRas {
   public:
    virtual void notify(unsigned int message, long w, long l) = 0;

   protected:
    ~NotifyRas() = default;
  };

  // Registers an observer for as long as it lives and removes it again when
  // it ends, unless another has taken the slot since; a run holds one, so
  // the controller never calls an observer that is gone.
  class ScopedNotifyRas {
   public:
    ScopedNotifyRas(QvRASController* controller, NotifyRas* observer);
    ~ScopedNotifyRas();
    ScopedNotifyRas(const ScopedNotifyRas&) = delete;
    ScopedNotifyRas& operator=(const ScopedNotifyRas&) = delete;

   private:
    QvRASController* controller_;
    NotifyRas* observer_;
  };

  // Status words: 0 no failure; the Connection Manager's status 0 gives -1,
  // 0x21 -2, 0x23 -3, 0x24 -4, any other -5; -7 the status query after an
  // establish failed.
  enum : long {
    kStatusOk = 0,
    kStatusUnknown = -1,
    kStatusFailed = -2,
    kStatusDisabled = -3,
    kStatusNoPath = -4,
    kStatusOther = -5,
    kStatusQueryFailed = -7,
  };

  QvRASController();
  explicit QvRASController(QvAccountInfoInterface* account);
  ~QvRASController();
  QvRASController(const QvRASController&) = delete;
  QvRASController& operator=(const QvRASController&) = delete;

  // Replaces the observer; null clears it. Always true.
  bool RegisterNotifyRas(NotifyRas* observer);
  // Clears the slot only while it still holds `observer`; false otherwise.
  bool UnregisterNotifyRas(NotifyRas* observer);
  // The connection for the account's network (made, reused or switched), or
  // null with the reason in `status`.
  void* EstablishConnection(long* status, QvAccountInfoInterface* account);
  // The same for the constructor's account, without the Wi-Fi wait.
  bool EstablishConnection(long* status);
  bool ReleaseConnection(long* status);

  // The Wi-Fi state of "System\State\Hardware" "Wifi": 0 unknown, 1 off,
  // 2 not powered, 3 connecting, 4 connected, 5 otherwise.
  static int WifiState();

 private:
  void NotifyRasContoller(int w);
  bool Connect(long* status, GUID network);
  bool Establish(long* status, const GUID& network, DWORD timeoutMs, bool waitForWifi);
  // The ring goes off once per connection and comes back on exactly when
  // this controller switched it off.
  void RingOff();
  void RingOn();

  std::atomic<NotifyRas*> observer_{nullptr};
  QvAccountInfoInterface* account_ = nullptr;
  HANDLE connection_ = nullptr;
  GUID network_{};
  int32_t feedAccount_ = 0;
  bool ringOff_ = false;
};
