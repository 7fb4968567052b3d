#include "engine/public/transport/QvRASController.h"

#include <cstring>
#include <new>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/Sync.h"
#include "platform/net/ConnMgr.h"
#include "platform/net/NetworkWait.h"

namespace {

constexpr DWORD kEstablishTimeout = 30000;
constexpr DWORD kConstructorAccountTimeout = 29952;
constexpr int kWifiWaitSteps = 300;
constexpr int kWifiConnecting = 3;
constexpr int kWifiConnected = 4;

long MapStatus(DWORD status) {
  switch (status) {
    case CONNMGR_STATUS_UNKNOWN: return QvRASController::kStatusUnknown;
    case CONNMGR_STATUS_CONNECTIONFAILED: return QvRASController::kStatusFailed;
    case CONNMGR_STATUS_CONNECTIONDISABLED: return QvRASController::kStatusDisabled;
    case CONNMGR_STATUS_NOPATHTODESTINATION: return QvRASController::kStatusNoPath;
    default: return QvRASController::kStatusOther;
  }
}

bool SameNetwork(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The phone program's bridge; a device without it keeps its ring as it is.
void SetSecondRing(int on) {
  HMODULE library = LoadLibraryW(L"QvMailDynCall.dll");
  if (library == nullptr) return;
  using Setter = int (*)(int);
  if (auto set = reinterpret_cast<Setter>(
          reinterpret_cast<void (*)()>(GetProcAddressA(library, "PhonelibSet2ndRingFrEmailApp")))) {
    set(on);
  }
  FreeLibrary(library);
}

HRESULT EstablishOnce(const GUID& network, DWORD timeoutMs, HANDLE* connection, DWORD* status) {
  CONNMGR_CONNECTIONINFO info{};
  info.cbSize = sizeof info;
  info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
  info.dwFlags = 0;
  info.dwPriority = CONNMGR_PRIORITY_HIPRIBKGND;
  info.bExclusive = FALSE;
  info.guidDestNet = network;
  return ConnMgrEstablishConnectionSync(&info, connection, timeoutMs, status);
}

}  // namespace

QvRASController::ScopedNotifyRas::ScopedNotifyRas(QvRASController* controller, NotifyRas* observer)
    : controller_(controller), observer_(observer) {
  if (controller_ != nullptr) controller_->RegisterNotifyRas(observer_);
}

QvRASController::ScopedNotifyRas::~ScopedNotifyRas() {
  if (controller_ != nullptr) controller_->UnregisterNotifyRas(observer_);
}

QvRASController::QvRASController() { NKDbgPrintfW(L"QvRASController::Create!!\r\n"); }

QvRASController::QvRASController(QvAccountInfoInterface* account) : account_(account) {}

QvRASController::~QvRASController() {
  long status = 0;
  ReleaseConnection(&status);
}

bool QvRASController::RegisterNotifyRas(NotifyRas* observer) {
  NKDbgPrintfW(L"QvRASController::RegisterNotifyRas()\r\n");
  observer_ = observer;
  return true;
}

bool QvRASController::UnregisterNotifyRas(NotifyRas* observer) {
  NotifyRas* mine = observer;
  return observer != nullptr && observer_.compare_exchange_strong(mine, nullptr);
}

void QvRASController::NotifyRasContoller(int w) {
  if (NotifyRas* observer = observer_.load()) observer->notify(0, w, 0);
}

int QvRASController::WifiState() {
  DWORD value = 0;
  if (!GetRegistryDword(HKEY_LOCAL_MACHINE, L"System\\State\\Hardware", L"Wifi", &value)) return 0;
  NKDbgPrintfW(L"[WIFI]wifi status :[0x%08x]\r\n", value);
  if ((value & 0x1) == 0) return 1;
  if ((value & 0x2) == 0) return 2;
  if (value & 0x8) return kWifiConnecting;
  if (value & 0x10) return kWifiConnected;
  return 5;
}

void QvRASController::RingOff() {
  if (ringOff_) return;
  SetSecondRing(0);
  ringOff_ = true;
}

void QvRASController::RingOn() {
  if (!ringOff_) return;
  SetSecondRing(1);
  ringOff_ = false;
}

void* QvRASController::EstablishConnection(long* status, QvAccountInfoInterface* account) {
  long unused = 0;
  if (status == nullptr) status = &unused;
  *status = kStatusOk;
  NKDbgPrintfW(L"QvRASController::EstablishConnection\r\n");
  QvAccountInfoInterface::Attributes attributes;
  attributes.Select(QvAccountInfoInterface::Attributes::kSenderAddress);
  attributes.Select(QvAccountInfoInterface::Attributes::kNetworkSetting);
  if (account == nullptr || !account->GetAccountInfoAttributes(&attributes)) {
    NKDbgPrintfW(L"NULL Pointer access block#8!!\r\n");
    return nullptr;
  }
  feedAccount_ = attributes.strSenderAddress == QvSystemInfoInterface::kFeedSenderAddress ? 1 : 0;
  const GUID network = attributes.guidNetworkSetting;
  if (connection_ == nullptr) {
    Connect(status, network);
  } else if (!SameNetwork(network, network_)) {
    NotifyRasContoller(2);
    long released = 0;
    if (ReleaseConnection(&released)) {
      NotifyRasContoller(1);
      Connect(status, network);
      NotifyRasContoller(3);
    } else {
      connection_ = nullptr;
    }
  } else if (feedAccount_ == 0) {
    // A mail run on a connection a feed run made: the ring goes off now.
    RingOff();
  }
  return connection_;
}

bool QvRASController::Connect(long* status, GUID network) {
  if (feedAccount_ == 0) RingOff();
  return Establish(status, network, kEstablishTimeout, true);
}

bool QvRASController::Establish(long* status, const GUID& network, DWORD timeoutMs, bool waitForWifi) {
  HANDLE connection = nullptr;
  DWORD connStatus = 0;
  HRESULT result = EstablishOnce(network, timeoutMs, &connection, &connStatus);
  if (FAILED(result) && waitForWifi && WifiState() == kWifiConnecting) {
    // The link is still associating: wait for it, then try once more.
    for (int step = 0; step < kWifiWaitSteps; ++step) {
      Sleep(qv::NetworkWaitStep());
      const int wifi = WifiState();
      if (wifi == kWifiConnecting) continue;
      if (wifi == kWifiConnected) result = EstablishOnce(network, timeoutMs, &connection, &connStatus);
      break;
    }
  }
  if (FAILED(result)) {
    NKDbgPrintfW(L"ConnMgrEstablishConnectionSync failed(ret=%08x, dwStatus=%08x)\r\n", static_cast<unsigned>(result),
                 connStatus);
    *status = MapStatus(connStatus);
    connection_ = nullptr;
    RingOn();
    return false;
  }
  NKDbgPrintfW(L"ConnMgrEstablishConnectionSync succeeded(dwStatus=%08x)\r\n", connStatus);
  DWORD now = 0;
  if (FAILED(ConnMgrConnectionStatus(connection, &now))) {
    *status = kStatusQueryFailed;
  } else if (now == CONNMGR_STATUS_CONNECTED) {
    connection_ = connection;
    network_ = network;
    return true;
  } else {
    *status = MapStatus(now);
  }
  ConnMgrReleaseConnection(connection, 0);
  connection_ = nullptr;
  RingOn();
  return false;
}

bool QvRASController::EstablishConnection(long* status) {
  long unused = 0;
  if (status == nullptr) status = &unused;
  *status = kStatusOk;
  if (connection_ != nullptr) return true;
  RingOff();
  QvAccountInfoInterface::Attributes attributes;
  attributes.Select(QvAccountInfoInterface::Attributes::kNetworkSetting);
  if (account_ == nullptr || !account_->GetAccountInfoAttributes(&attributes)) {
    *status = kStatusOther;
    RingOn();
    return false;
  }
  return Establish(status, attributes.guidNetworkSetting, kConstructorAccountTimeout, false);
}

bool QvRASController::ReleaseConnection(long* status) {
  NKDbgPrintfW(L"QvRASController::ReleaseConnection()\r\n");
  if (status != nullptr) *status = kStatusOk;
  if (connection_ == nullptr) {
    RingOn();
    return true;
  }
  DWORD now = 0;
  ConnMgrConnectionStatus(connection_, &now);
  const bool released = SUCCEEDED(ConnMgrReleaseConnection(connection_, 0));
  connection_ = nullptr;
  RingOn();
  return released;
}
