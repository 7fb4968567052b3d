// User notifications (timed starts of programs). Records persist under the
// device root so that they outlive the process, as on the device.
#pragma once

#include "platform/base/WinTypes.h"

#define CNT_EVENT 1
#define CNT_TIME 2
#define CNT_PERIOD 3
#define CNT_CLASSICTIME 4

struct CE_NOTIFICATION_TRIGGER {
  DWORD dwSize;
  DWORD dwType;
  DWORD dwEvent;
  LPWSTR lpszApplication;
  LPWSTR lpszArguments;
  SYSTEMTIME stStartTime;
  SYSTEMTIME stEndTime;
};
typedef CE_NOTIFICATION_TRIGGER* PCE_NOTIFICATION_TRIGGER;

struct CE_USER_NOTIFICATION {
  DWORD ActionFlags;
  LPWSTR pwszDialogTitle;
  LPWSTR pwszDialogText;
  LPWSTR pwszSound;
  DWORD nMaxSound;
  DWORD dwReserved;
};
typedef CE_USER_NOTIFICATION* PCE_USER_NOTIFICATION;

// The record CeGetUserNotification fills: the header, then the trigger and
// its strings in the same buffer.
struct CE_NOTIFICATION_INFO_HEADER {
  HANDLE hNotification;
  DWORD dwStatus;
  CE_NOTIFICATION_TRIGGER* pcent;
  CE_USER_NOTIFICATION* pceun;
};

extern "C" {

QV_PLATFORM_API HANDLE CeSetUserNotificationEx(HANDLE replace, CE_NOTIFICATION_TRIGGER* trigger,
                                               CE_USER_NOTIFICATION* notification);
QV_PLATFORM_API BOOL CeClearUserNotification(HANDLE notification);
QV_PLATFORM_API BOOL CeGetUserNotificationHandles(HANDLE* handles, DWORD capacity, LPDWORD needed);
QV_PLATFORM_API BOOL CeGetUserNotification(HANDLE notification, DWORD bufferSize, LPDWORD needed, LPBYTE buffer);

}  // extern "C"
