#include "platform/framework/CWinApp.h"

#include <algorithm>
#include <atomic>
#include <cwchar>

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxStrings.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/Sync.h"
#include "platform/ui/metrics/Metrics.h"

namespace {

std::atomic<CWinApp*> g_app{nullptr};

}  // namespace

CWinThread::CWinThread() : m_nThreadID(GetCurrentThreadId()) {}

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::ExitInstance() { return static_cast<int>(m_msgCur.wParam); }

BOOL CWinThread::PreTranslateMessage(MSG* msg) {
  HWND main = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  if (CWnd::WalkPreTranslateTree(main, msg)) return TRUE;
  // Modeless windows of their own: the main window has the last word.
  if (main && msg->hwnd && GetAncestor(msg->hwnd, GA_ROOT) != main) return m_pMainWnd->PreTranslateMessage(msg);
  return FALSE;
}

BOOL CWinThread::OnIdle(LONG count) {
  if (count <= 0) {
    if (m_pMainWnd && m_pMainWnd->m_hWnd && m_pMainWnd->IsWindowVisible()) {
      m_pMainWnd->SendMessage(WM_IDLEUPDATECMDUI, TRUE);
      m_pMainWnd->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    }
    return TRUE;
  }
  CWnd::DeleteTempMap();
  return FALSE;
}

BOOL CWinThread::PumpMessage() {
  if (!GetMessageW(&m_msgCur, nullptr, 0, 0)) return FALSE;
  if (m_msgCur.message != WM_KICKIDLE && !PreTranslateMessage(&m_msgCur)) {
    TranslateMessage(&m_msgCur);
    DispatchMessageW(&m_msgCur);
  }
  return TRUE;
}

BOOL CWinThread::IsIdleMessage(MSG* msg) { return AfxIsIdleMessage(msg); }

int CWinThread::Run() {
  bool idle = true;
  LONG idleCount = 0;
  for (;;) {
    MSG peek;
    while (idle && !PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idleCount++)) idle = false;
    }
    do {
      if (!PumpMessage()) return ExitInstance();
      if (IsIdleMessage(&m_msgCur)) {
        idle = true;
        idleCount = 0;
      }
    } while (PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE));
  }
}

CWinApp::CWinApp(LPCTSTR appName) : appName_(appName) {
  if (appName) m_pszAppName = appName_;
  g_app = this;
}

CWinApp::~CWinApp() {
  CWinApp* self = this;
  g_app.compare_exchange_strong(self, nullptr);
}

BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return CWinThread::ExitInstance(); }

BOOL CWinApp::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  return CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

int CWinApp::DoMessageBox(LPCTSTR prompt, UINT type, UINT) {
  // As the framework does, a box with no icon of its own gets the warning icon.
  if (!(type & 0xF0u) && ((type & MB_TYPEMASK) == MB_OK || (type & MB_TYPEMASK) == MB_OKCANCEL)) {
    type |= MB_ICONEXCLAMATION;
  }
  HWND owner = GetActiveWindow();
  if (!owner && m_pMainWnd) owner = m_pMainWnd->m_hWnd;
  return MessageBoxW(owner, prompt, m_pszAppName ? m_pszAppName : L"", type);
}

void CWinApp::DoWaitCursor(int code) {
  // The device shows no pointer; the count is what the wait cursor is.
  if (code > 0) ++m_nWaitCursorCount;
  else if (code < 0 && m_nWaitCursorCount > 0) --m_nWaitCursorCount;
}

void CWinApp::SetRegistryKey(LPCTSTR key) {
  registryKey_ = key;
  m_pszRegistryKey = registryKey_;
  m_pszProfileName = m_pszAppName;
}

void CWinApp::SetRegistryKey(UINT keyId) {
  CString key;
  key.LoadString(keyId);
  SetRegistryKey(key);
}

CWinApp* AfxGetApp() { return g_app; }

CWinThread* AfxGetThread() {
  CWinApp* app = g_app;
  return app && app->m_nThreadID == GetCurrentThreadId() ? app : nullptr;
}

CWnd* AfxGetMainWnd() {
  CWinThread* thread = AfxGetThread();
  return thread ? thread->GetMainWnd() : nullptr;
}

LPCTSTR AfxGetAppName() {
  CWinApp* app = g_app;
  return app ? app->m_pszAppName : nullptr;
}

AfxDeviceType AfxGetDeviceType() {
  WCHAR type[64] = {};
  if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof type, type, 0)) return AfxDeviceUnknown;
  if (std::wcscmp(type, PLATFORM_TYPE_POCKETPC) == 0) return AfxDevicePocketPC;
  if (std::wcscmp(type, PLATFORM_TYPE_SMARTPHONE) == 0) return AfxDeviceSmartphone;
  return AfxDeviceCe;
}

namespace {
std::atomic<bool> g_controlContainer{false};
}  // namespace

void AfxEnableControlContainer() { g_controlContainer = true; }
bool AfxControlContainerEnabled() { return g_controlContainer; }

namespace qv::afx {

std::wstring SingleInstanceName() {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = path;
  std::replace(name.begin(), name.end(), L'\\', L'/');
  return name;
}

namespace {

struct CopySearch {
  std::wstring module;
  DWORD self;
  HWND found = nullptr;
};

BOOL MatchCopy(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<CopySearch*>(param);
  DWORD process = 0;
  if (!GetWindowThreadProcessId(hwnd, &process) || process == search->self) return TRUE;
  WCHAR module[MAX_PATH] = {};
  if (!GetWindowModuleFileNameW(hwnd, module, MAX_PATH)) return TRUE;
  if (FoldCase(std::wstring_view(module)) != FoldCase(search->module)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

HWND FindRunningCopy(int tries, DWORD stepMs) {
  WCHAR own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  CopySearch search{own, GetCurrentProcessId()};
  for (int i = 0; i < tries; ++i) {
    EnumWindows(MatchCopy, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (i + 1 == tries) break;
    // The running copy may still be making its window: give it the processor.
    HANDLE self = GetCurrentThread();
    const int old = GetThreadPriority(self);
    SetThreadPriority(self, THREAD_PRIORITY_IDLE);
    Sleep(stepMs);
    SetThreadPriority(self, old);
  }
  return nullptr;
}

}  // namespace qv::afx

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPTSTR cmdLine, int cmdShow) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = cmdLine;
  app->m_nCmdShow = cmdShow;
  app->m_nThreadID = GetCurrentThreadId();
  AfxSetInstanceHandle(instance);
  if (!AfxGetResourceHandle()) AfxSetResourceHandle(instance);
  if (!app->m_pszAppName) {
    static CString title;
    title.LoadString(AFX_IDS_APP_TITLE);
    app->m_pszAppName = title;
  }
  if (!app->InitApplication()) {
    if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  const AfxDeviceType device = AfxGetDeviceType();
  if (device == AfxDevicePocketPC || device == AfxDeviceSmartphone) {
    // Held for the life of the process: the mark later starts find.
    static HANDLE mark = nullptr;
    mark = CreateMutexW(nullptr, FALSE, qv::afx::SingleInstanceName().c_str());
    if (mark && GetLastError() == ERROR_ALREADY_EXISTS) {
      if (HWND running = qv::afx::FindRunningCopy(qv::afx::kRunningCopyTries, qv::afx::kRunningCopyStepMs)) {
        SetForegroundWindow(running);
        CloseHandle(mark);
        mark = nullptr;
        return 0;
      }
    }
  }
  if (!app->InitInstance()) {
    if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}

int AfxMessageBox(LPCTSTR text, UINT type, UINT helpId) {
  if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(text, type, helpId);
  return MessageBoxW(GetActiveWindow(), text, L"", type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
  const CString text = AfxLoadFrameworkString(promptId);
  return AfxMessageBox(text, type, helpId == static_cast<UINT>(-1) ? promptId : helpId);
}
