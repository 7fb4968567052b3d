// The application: one object per program (a global), whose thread runs the
// message loop. AfxWinMain starts it: InitApplication, InitInstance, then
// Run (the loop, with OnIdle when the queue is empty and PreTranslateMessage
// before each message is dispatched) and ExitInstance, whose answer is the
// program's exit code. When InitInstance fails the main window is destroyed
// and ExitInstance runs at once.
#pragma once

#include <string>

#include "platform/framework/CWnd.h"

class QV_PLATFORM_API CWinThread : public CCmdTarget {
 public:
  CWinThread();

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();
  // The loop's filter: the window walk (the message's window up to its top
  // level), then the main window for messages of other top-level windows.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Idle work while the queue is empty; TRUE asks for another turn.
  virtual BOOL OnIdle(LONG count);
  virtual BOOL PumpMessage();
  virtual BOOL IsIdleMessage(MSG* msg);
  virtual CWnd* GetMainWnd() { return m_pMainWnd; }

  CWnd* m_pMainWnd = nullptr;
  DWORD m_nThreadID = 0;
  MSG m_msgCur{};
};

class QV_PLATFORM_API CWinApp : public CWinThread {
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitApplication();
  BOOL InitInstance() override;
  int ExitInstance() override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  // Every AfxMessageBox comes here; the caption is the application's name.
  virtual int DoMessageBox(LPCTSTR prompt, UINT type, UINT promptId);
  // 1 begins a wait, -1 ends one, 0 shows the wait cursor again if one is on.
  virtual void DoWaitCursor(int code);
  // Where the settings live: HKEY_CURRENT_USER\Software\<key>\<application>.
  void SetRegistryKey(LPCTSTR key);
  void SetRegistryKey(UINT keyId);

  LPCTSTR m_pszAppName = nullptr;
  LPCTSTR m_pszRegistryKey = nullptr;
  LPCTSTR m_pszProfileName = nullptr;
  HINSTANCE m_hInstance = nullptr;
  LPTSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
  int m_nWaitCursorCount = 0;

 private:
  CString appName_, registryKey_;
};

// The kinds of device the framework tells apart, from the platform type the
// system reports: a Windows Mobile device is a Pocket PC or a Smartphone.
enum AfxDeviceType { AfxDeviceUnknown = 0, AfxDeviceCe = 1, AfxDevicePocketPC = 2, AfxDeviceSmartphone = 3 };
QV_PLATFORM_API AfxDeviceType AfxGetDeviceType();
// Lets dialogs host ActiveX controls; the device has none to host, so it
// only records that the program asked.
QV_PLATFORM_API void AfxEnableControlContainer();
QV_PLATFORM_API bool AfxControlContainerEnabled();

namespace qv::afx {
// On a Windows Mobile device one copy of a program runs. The name a copy
// marks itself by: its program file's path with "\" turned into "/".
QV_PLATFORM_API std::wstring SingleInstanceName();
// A top-level window of another running copy of this program (its process
// runs the same program file, compared without regard to case): looked for
// up to `tries` times, `stepMs` apart, the thread dropped to idle priority
// while it waits. Null when none showed.
QV_PLATFORM_API HWND FindRunningCopy(int tries, DWORD stepMs);
// The framework's own look: 40 tries, 250 ms apart.
constexpr int kRunningCopyTries = 40;
constexpr DWORD kRunningCopyStepMs = 250;
}  // namespace qv::afx

QV_PLATFORM_API CWinApp* AfxGetApp();
// The application when called on its thread, else null.
QV_PLATFORM_API CWinThread* AfxGetThread();
QV_PLATFORM_API CWnd* AfxGetMainWnd();
QV_PLATFORM_API LPCTSTR AfxGetAppName();
QV_PLATFORM_API int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPTSTR cmdLine, int cmdShow);
QV_PLATFORM_API int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
QV_PLATFORM_API int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));
