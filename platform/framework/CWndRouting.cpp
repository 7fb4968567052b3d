// CWnd's life with its window: the handle maps, creation under "WCE_"
// classes, subclassing, the procedure, message maps, reflection, command
// routing and the PreTranslateMessage walk.
#include <cwctype>
#include <map>
#include <mutex>
#include <string>

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxState.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/CWnd.h"
#include "platform/framework/MessageMap.h"

namespace qv::afx {

ThreadState& State() {
  thread_local ThreadState state;
  return state;
}

namespace {

void DetachTemp(CWnd& w) { w.m_hWnd = nullptr; }

std::unordered_map<HWND, CWnd*>& Permanent() {
  thread_local std::unordered_map<HWND, CWnd*> map;
  return map;
}

TempMap<CWnd, HWND, DetachTemp>& Temporary() {
  thread_local TempMap<CWnd, HWND, DetachTemp> map;
  return map;
}

// The procedures of the classes the framework copied, by the copy's name.
struct ClassCopies {
  std::mutex lock;
  std::map<std::wstring, WNDPROC> original;
  std::map<std::wstring, std::wstring> names;  // keeps the copies' names alive
};

ClassCopies& Copies() {
  static ClassCopies* c = new ClassCopies;  // outlives threads still running at exit
  return *c;
}

std::wstring Folded(LPCWSTR name) {
  std::wstring s = name;
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return s;
}

WNDPROC OriginalProcOf(HWND hwnd) {
  WCHAR name[256];
  GetClassNameW(hwnd, name, 256);
  std::lock_guard<std::mutex> g(Copies().lock);
  auto it = Copies().original.find(Folded(name));
  return it != Copies().original.end() ? it->second : DefWindowProcW;
}

LRESULT AfxFirstWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = OriginalProcOf(hwnd);
  ThreadState& st = State();
  if (st.creating && !st.creatingDialog && !CWnd::FromHandlePermanent(hwnd)) {
    CWnd* wnd = st.creating;
    st.creating = nullptr;
    wnd->Attach(hwnd);
    wnd->m_pfnSuper = original;
    SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc));
    return AfxWndProc(hwnd, message, wParam, lParam);
  }
  // A window of the class made outside the framework: it is the original class's.
  SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(original));
  return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

bool StartsWithAfx(LPCWSTR name) {
  return name && std::towlower(static_cast<wint_t>(name[0])) == L'a' &&
         std::towlower(static_cast<wint_t>(name[1])) == L'f' && std::towlower(static_cast<wint_t>(name[2])) == L'x';
}

// The class CreateEx makes a window of: "WCE_" and the class's name, a copy
// whose procedure catches the window's first message. Null when the class
// does not exist.
LPCWSTR ClassForCreate(LPCWSTR name, HINSTANCE instance) {
  if (!name || IS_INTRESOURCE(name) || StartsWithAfx(name)) return name;
  WNDCLASSW wc{};
  if (!GetClassInfoW(instance, name, &wc) && !GetClassInfoW(nullptr, name, &wc)) return name;
  const std::wstring copy = std::wstring(L"WCE_") + name;
  const std::wstring key = Folded(copy.c_str());
  std::lock_guard<std::mutex> g(Copies().lock);
  auto it = Copies().names.find(key);
  if (it == Copies().names.end()) {
    it = Copies().names.emplace(key, copy).first;
    Copies().original[key] = wc.lpfnWndProc;
    wc.lpfnWndProc = AfxFirstWndProc;
    wc.lpszClassName = it->second.c_str();
    wc.hInstance = instance;
    RegisterClassW(&wc);
  }
  return it->second.c_str();
}

LRESULT CallWndProc(CWnd* wnd, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ThreadState& st = State();
  const MSG saved = st.lastMessage;
  st.lastMessage = MSG{hwnd, message, wParam, lParam, 0, {}};
  const LRESULT result = wnd->WindowProc(message, wParam, lParam);
  st.lastMessage = saved;
  return result;
}

}  // namespace

bool IsCtlColor(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

namespace {

// A framework-private object that reports whether a command is enabled.
class CTestCmdUI : public CCmdUI {
 public:
  void Enable(BOOL on) override {
    m_bEnabled = on;
    m_bEnableChanged = TRUE;
  }
  void SetCheck(int) override {}
  void SetRadio(BOOL) override {}
  void SetText(LPCTSTR) override {}
  BOOL m_bEnabled = TRUE;
};

}  // namespace

LPCWSTR RegisterFrameworkClass(LPCWSTR name, UINT style, HCURSOR cursor, HBRUSH background, HICON icon) {
  const std::wstring key = Folded(name);
  std::lock_guard<std::mutex> g(Copies().lock);
  auto it = Copies().names.find(key);
  if (it != Copies().names.end()) return it->second.c_str();
  it = Copies().names.emplace(key, name).first;
  Copies().original[key] = DefWindowProcW;
  WNDCLASSW wc{};
  wc.style = style;
  wc.lpfnWndProc = AfxFirstWndProc;
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = it->second.c_str();
  RegisterClassW(&wc);
  return it->second.c_str();
}

CWnd* WndOf(HWND hwnd) { return CWnd::FromHandle(hwnd); }

}  // namespace qv::afx

using qv::afx::State;

LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
  if (!wnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  return qv::afx::CallWndProc(wnd, hwnd, message, wParam, lParam);
}

LPCTSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  const std::wstring name = qv::FormatW(L"Afx:%x:%x:%p:%p:%p", 0u, classStyle, cursor, background, icon);
  return qv::afx::RegisterFrameworkClass(name.c_str(), classStyle, cursor, background, icon);
}

// --- Handle maps and subclassing ---------------------------------------------

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  auto& map = qv::afx::Permanent();
  auto it = map.find(hwnd);
  return it != map.end() ? it->second : nullptr;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (CWnd* w = FromHandlePermanent(hwnd)) return w;
  return qv::afx::Temporary().Get(hwnd, [](HWND h) {
    auto w = std::make_unique<CWnd>();
    w->m_hWnd = h;
    return w;
  });
}

void CWnd::DeleteTempMap() {
  qv::afx::Temporary().Clear();
  qv::afx::DeleteTempDCs();
  qv::afx::DeleteTempGdiObjects();
  qv::afx::DeleteTempMenus();
}

BOOL CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd || FromHandlePermanent(hwnd)) return FALSE;
  qv::afx::Temporary().Forget(hwnd);
  qv::afx::Permanent()[hwnd] = this;
  m_hWnd = hwnd;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  if (hwnd && FromHandlePermanent(hwnd) == this) qv::afx::Permanent().erase(hwnd);
  m_hWnd = nullptr;
  return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (!IsWindow(hwnd) || !Attach(hwnd)) return FALSE;
  const auto old = reinterpret_cast<WNDPROC>(SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
  m_pfnSuper = old == qv::afx::AfxFirstWndProc ? qv::afx::OriginalProcOf(hwnd) : old;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  HWND control = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
  return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (m_pfnSuper) SetWindowLongW(m_hWnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  m_pfnSuper = nullptr;
  return Detach();
}

// --- Creation -------------------------------------------------------------------

BOOL CWnd::Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  void*) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, LPVOID param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, LPVOID param) {
  CREATESTRUCT cs{param, AfxGetInstanceHandle(), idOrMenu, parent, height, width, y, x,
                  static_cast<LONG>(style), windowName, className, exStyle};
  if (!PreCreateWindow(cs)) {
    PostNcDestroy();
    return FALSE;
  }
  LPCWSTR cls = qv::afx::ClassForCreate(cs.lpszClass, cs.hInstance);
  qv::afx::ThreadState& st = State();
  CWnd* const outer = st.creating;
  const bool outerDialog = st.creatingDialog;
  st.creating = this;
  st.creatingDialog = false;
  HWND hwnd = ::CreateWindowExW(cs.dwExStyle, cls, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y, cs.cx,
                                cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  const bool hooked = st.creating != this;
  st.creating = outer;
  st.creatingDialog = outerDialog;
  if (!hwnd) return FALSE;
  // A class the framework could not copy (an atom): subclassed after the fact.
  if (!hooked) SubclassWindow(hwnd);
  return TRUE;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass) cs.lpszClass = qv::afx::RegisterFrameworkClass(L"AfxWnd", CS_DBLCLKS, nullptr, nullptr, nullptr);
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  HWND hwnd = m_hWnd;
  const BOOL ok = ::DestroyWindow(hwnd);
  // The object may be gone (a frame deletes itself): only the map is asked.
  // Still listed, it never saw WM_NCDESTROY (attached, not subclassed).
  if (ok && FromHandlePermanent(hwnd) == this && !IsWindow(hwnd)) Detach();
  return ok;
}

void CWnd::PostNcDestroy() {}

void CWnd::OnNcDestroy() {
  if (CWinThread* thread = AfxGetThread(); thread && thread->m_pMainWnd == this) {
    thread->m_pMainWnd = nullptr;
    PostQuitMessage(0);
  }
  // The previous procedure sees the message, then the object lets go.
  const auto proc = reinterpret_cast<WNDPROC>(GetWindowLongW(m_hWnd, GWL_WNDPROC));
  Default();
  if (m_pfnSuper && reinterpret_cast<WNDPROC>(GetWindowLongW(m_hWnd, GWL_WNDPROC)) == proc) {
    SetWindowLongW(m_hWnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  }
  Detach();
  PostNcDestroy();
}

// --- Messages ---------------------------------------------------------------------

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  using ThisClass = CWnd;
  static constexpr AFX_MSGMAP_ENTRY entries[] = {ON_WM_NCDESTROY(){0, 0, 0, 0, AfxSig_end, nullptr}};
  static constexpr AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const MSG& m = State().lastMessage;
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

const MSG* CWnd::GetCurrentMessage() { return &State().lastMessage; }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT r = 0;
  AFX_CALL call;
  call.message = message;
  call.wParam = wParam;
  call.lParam = lParam;
  const AFX_MSGMAP_ENTRY* entry = nullptr;
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    r = 1;
  } else if (message == WM_NOTIFY) {
    const auto* head = reinterpret_cast<const NMHDR*>(lParam);
    if (!head || !OnNotify(wParam, lParam, &r)) return FALSE;
  } else if (qv::afx::IsCtlColor(message)) {
    // The control's colours first, then the parent's ON_WM_CTLCOLOR.
    if (!ReflectLastMsg(reinterpret_cast<HWND>(lParam), &r)) {
      AFX_CTLCOLOR ctl{reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), message - WM_CTLCOLORMSGBOX};
      entry = FindEntry(WM_CTLCOLOR, 0, 0);
      call.lParam = reinterpret_cast<LPARAM>(&ctl);
      if (!entry || !entry->pfn(this, call)) return FALSE;
      r = call.result;
    }
  } else {
    HWND control = nullptr;
    if (message == WM_DRAWITEM) {
      const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (dis && dis->CtlType != ODT_MENU) control = dis->hwndItem;
    } else if (message == WM_MEASUREITEM) {
      // No handle in the record: the control is the child of that id.
      const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      if (mis && mis->CtlType != ODT_MENU) control = ::GetDlgItem(m_hWnd, static_cast<int>(mis->CtlID));
    } else if (message == WM_HSCROLL || message == WM_VSCROLL) {
      control = reinterpret_cast<HWND>(lParam);
    }
    if (!control || !ReflectLastMsg(control, &r)) {
      entry = FindEntry(message, 0, 0);
      if (!entry || !entry->pfn(this, call)) return FALSE;
      r = call.result;
    }
  }
  if (result) *result = r;
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  int code = HIWORD(wParam);
  if (!control) {
    // A menu item or an accelerator: a command that became disabled is not run.
    if (id == 0) return FALSE;
    qv::afx::CTestCmdUI state;
    state.m_nID = id;
    OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &state, nullptr);
    if (!state.m_bEnabled) return TRUE;
    code = CN_COMMAND;
  } else {
    if (State().lockoutNotify == m_hWnd) return TRUE;
    if (ReflectLastMsg(control)) return TRUE;
    if (id == 0) return FALSE;
  }
  return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
  auto* head = reinterpret_cast<NMHDR*>(lParam);
  if (State().lockoutNotify == m_hWnd) return TRUE;
  if (ReflectLastMsg(head->hwndFrom, result)) return TRUE;
  AFX_NOTIFY notify{result, head};
  return OnCmdMsg(static_cast<UINT>(head->idFrom), static_cast<int>(MAKELONG(head->code, WM_NOTIFY)), &notify,
                  nullptr);
}

BOOL CWnd::ReflectLastMsg(HWND child, LRESULT* result) {
  CWnd* wnd = FromHandlePermanent(child);
  if (!wnd) return FALSE;
  const MSG& m = State().lastMessage;
  return wnd->OnChildNotify(m.message, m.wParam, m.lParam, result);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return ReflectChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT scratch = 0;
  if (!result) result = &scratch;
  switch (message) {
    case WM_COMMAND:
      if (!OnCmdMsg(0, static_cast<int>(MAKELONG(HIWORD(wParam), WM_REFLECT_BASE + WM_COMMAND)), nullptr, nullptr)) {
        return FALSE;
      }
      *result = 1;
      return TRUE;
    case WM_NOTIFY: {
      auto* head = reinterpret_cast<NMHDR*>(lParam);
      AFX_NOTIFY notify{result, head};
      return OnCmdMsg(0, static_cast<int>(MAKELONG(head->code, WM_REFLECT_BASE + WM_NOTIFY)), &notify, nullptr);
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
      return CWnd::OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, result);
    default:
      break;
  }
  if (qv::afx::IsCtlColor(message)) {
    AFX_CTLCOLOR ctl{reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), message - WM_CTLCOLORMSGBOX};
    return CWnd::OnWndMsg(WM_REFLECT_BASE + WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&ctl), result);
  }
  return FALSE;
}

// --- Updates and the PreTranslateMessage walk -----------------------------------

void CWnd::UpdateDialogControls(CCmdTarget* target, BOOL disableIfNoHandler) {
  CCmdUI state;
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    state.m_nID = static_cast<UINT>(::GetDlgCtrlID(child)) & 0xFFFFu;
    state.m_pOther = FromHandle(child);
    if (state.DoUpdate(target, FALSE)) continue;
    // A push button with no update handler is usable when something takes its command.
    const DWORD type = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)) & BS_TYPEMASK;
    const bool pushButton = (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) &&
                            (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW);
    if (disableIfNoHandler && pushButton) {
      AFX_CMDHANDLERINFO info{nullptr, nullptr};
      state.Enable(target->OnCmdMsg(state.m_nID, CN_COMMAND, &state, &info));
    }
  }
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL deep, BOOL onlyPermanent) {
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!onlyPermanent) {
      ::SendMessageW(child, message, wParam, lParam);
    } else if (CWnd* wnd = FromHandlePermanent(child)) {
      qv::afx::CallWndProc(wnd, child, message, wParam, lParam);
    }
    if (deep && ::GetWindow(child, GW_CHILD)) FromHandle(child)->SendMessageToDescendants(message, wParam, lParam, deep, onlyPermanent);
  }
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg) {
  for (HWND hwnd = msg->hwnd; hwnd;) {
    if (CWnd* wnd = FromHandlePermanent(hwnd); wnd && wnd->PreTranslateMessage(msg)) return TRUE;
    if (hwnd == stop || !(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & WS_CHILD)) break;
    hwnd = ::GetParent(hwnd);
  }
  return FALSE;
}

BOOL CWnd::PreTranslateInput(MSG* msg) {
  const bool key = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
  const bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
  if (!key && !mouse) return FALSE;
  return IsDialogMessageW(m_hWnd, msg);
}

BOOL AfxPreTranslateMessage(MSG* msg) {
  if (CWinThread* thread = AfxGetThread()) return thread->PreTranslateMessage(msg);
  return CWnd::WalkPreTranslateTree(nullptr, msg);
}

BOOL AfxPumpMessage() {
  MSG& m = State().current;
  if (!GetMessageW(&m, nullptr, 0, 0)) return FALSE;
  if (m.message != WM_KICKIDLE && !AfxPreTranslateMessage(&m)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return TRUE;
}

BOOL AfxIsIdleMessage(const MSG* msg) {
  static thread_local POINT last{-1, -1};
  if (msg->message == WM_MOUSEMOVE) {
    const bool moved = msg->pt.x != last.x || msg->pt.y != last.y;
    last = msg->pt;
    return moved;
  }
  return msg->message != WM_PAINT;
}

int CWnd::RunModalLoop(DWORD flags) {
  bool idle = true;
  LONG idleCount = 0;
  bool showOnIdle = (flags & MLF_SHOWONIDLE) && !(GetStyle() & WS_VISIBLE);
  HWND parent = ::GetParent(m_hWnd);
  m_nFlags |= WF_MODALLOOP | WF_CONTINUEMODAL;
  MSG& m = State().current;
  for (;;) {
    // Idle turns: the owner hears WM_ENTERIDLE once, the window WM_KICKIDLE until it is done.
    while (idle && !PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) {
      if (showOnIdle) {
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
        showOnIdle = false;
      }
      if (!(flags & MLF_NOIDLEMSG) && parent && idleCount == 0) {
        ::SendMessageW(parent, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(m_hWnd));
      }
      if (!ContinueModal()) break;
      if ((flags & MLF_NOKICKIDLE) || !SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, idleCount++)) idle = false;
    }
    while (ContinueModal()) {
      if (!AfxPumpMessage()) {
        PostQuitMessage(static_cast<int>(m.wParam));
        m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
        return -1;
      }
      if (AfxIsIdleMessage(&m)) {
        idle = true;
        idleCount = 0;
      }
      if (!PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) break;
    }
    if (!ContinueModal()) break;
  }
  m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
  return m_nModalResult;
}

BOOL CWnd::ContinueModal() { return (m_nFlags & WF_CONTINUEMODAL) != 0; }

void CWnd::EndModalLoop(int result) {
  m_nModalResult = result;
  if (m_nFlags & WF_CONTINUEMODAL) {
    m_nFlags &= ~WF_CONTINUEMODAL;
    PostMessage(WM_NULL);
  }
}
