// The Connection Manager subset the engine uses: bring a data connection up
// synchronously, ask its status, release it, list the destinations and map a
// URL to one. On this host the network is simply there: every establish
// succeeds at once with CONNMGR_STATUS_CONNECTED unless a test sets another
// state (platform/testing/Seams.h). Handles are the manager's own, not kernel
// objects: release them with ConnMgrReleaseConnection.
#pragma once

#include "platform/base/WinTypes.h"

#define CONNMGR_PARAM_GUIDDESTNET 0x1
#define CONNMGR_PARAM_MAXCOST 0x2
#define CONNMGR_PARAM_MINRCVBW 0x4
#define CONNMGR_PARAM_MAXCONNLATENCY 0x8

#define CONNMGR_PRIORITY_VOICE 0x20000
#define CONNMGR_PRIORITY_USERINTERACTIVE 0x08000
#define CONNMGR_PRIORITY_USERBACKGROUND 0x02000
#define CONNMGR_PRIORITY_USERIDLE 0x00800
#define CONNMGR_PRIORITY_HIPRIBKGND 0x00200
#define CONNMGR_PRIORITY_IDLEBKGND 0x00080
#define CONNMGR_PRIORITY_EXTERNALINTERACTIVE 0x00020
#define CONNMGR_PRIORITY_LOWBKGND 0x00008

#define CONNMGR_STATUS_UNKNOWN 0x00
#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_SUSPENDED 0x11
#define CONNMGR_STATUS_DISCONNECTED 0x20
#define CONNMGR_STATUS_CONNECTIONFAILED 0x21
#define CONNMGR_STATUS_CONNECTIONCANCELED 0x22
#define CONNMGR_STATUS_CONNECTIONDISABLED 0x23
#define CONNMGR_STATUS_NOPATHTODESTINATION 0x24
#define CONNMGR_STATUS_WAITINGFORPATH 0x40
#define CONNMGR_STATUS_WAITINGFORPHONE 0x41
#define CONNMGR_STATUS_PHONEOFF 0x42
#define CONNMGR_STATUS_EXCLUSIVECONFLICT 0x43
#define CONNMGR_STATUS_NORESOURCES 0x44
#define CONNMGR_STATUS_CONNECTIONLINKFAILED 0x45
#define CONNMGR_STATUS_AUTHENTICATIONFAILED 0x46
#define CONNMGR_STATUS_WAITINGCONNECTION 0x80
#define CONNMGR_STATUS_WAITINGFORRESOURCE 0x81
#define CONNMGR_STATUS_WAITINGFORNETWORK 0x82
#define CONNMGR_STATUS_WAITINGDISCONNECTION 0xA0
#define CONNMGR_STATUS_WAITINGCONNECTIONABORT 0xA1

#define CONNMGR_MAX_DESC 128

// The request record. On the device it is 64 bytes; here the pointer-sized
// fields make it larger, so cbSize is sizeof(CONNMGR_CONNECTIONINFO).
struct CONNMGR_CONNECTIONINFO {
  DWORD cbSize;
  DWORD dwParams;
  DWORD dwFlags;
  DWORD dwPriority;
  BOOL bExclusive;
  BOOL bDisabled;
  GUID guidDestNet;
  HWND hWnd;
  UINT uMsg;
  LPARAM lParam;
  ULONG ulMaxCost;
  ULONG ulMinRcvBw;
  ULONG ulMaxConnLatency;
};

struct CONNMGR_DESTINATION_INFO {
  GUID guid;
  WCHAR szDescription[CONNMGR_MAX_DESC];
  BOOL fSecure;
};

extern "C" {

// Brings the connection up and waits for it (at most `timeoutMs`). S_OK with
// a handle and CONNMGR_STATUS_CONNECTED; E_FAIL with a null handle and the
// failure status otherwise.
QV_PLATFORM_API HRESULT ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* info, HANDLE* connection,
                                                       DWORD timeoutMs, DWORD* status);
QV_PLATFORM_API HRESULT ConnMgrConnectionStatus(HANDLE connection, DWORD* status);
// `cache`: seconds the manager may keep the link up (0: none).
QV_PLATFORM_API HRESULT ConnMgrReleaseConnection(HANDLE connection, LONG cache);
// E_FAIL past the last destination.
QV_PLATFORM_API HRESULT ConnMgrEnumDestinations(int index, CONNMGR_DESTINATION_INFO* info);
// Every URL goes to the first destination (index 0).
QV_PLATFORM_API HRESULT ConnMgrMapURL(LPCWSTR url, GUID* destination, DWORD* index);

}  // extern "C"
