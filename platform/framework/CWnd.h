// A window as the framework sees it: an object attached to a window handle.
//
// Windows the framework creates get their object before the first message:
// CreateEx makes the window under a copy of its class named "WCE_" and the
// class's name (classes whose names start with "Afx" are the framework's
// own and need none), whose procedure attaches the object being created on
// the first message and then hands every message to it. Existing windows
// join through Attach (no messages) or SubclassWindow / SubclassDlgItem.
//
// Messages go through the class's message map (MessageMap.h); what it does
// not handle goes to the window's previous procedure. WM_COMMAND, WM_NOTIFY,
// WM_CTLCOLORxxx, WM_DRAWITEM, WM_MEASUREITEM and the scroll messages of a control are
// first reflected to the control's own object; only when that leaves them
// does the parent's map see them.
#pragma once

#include "platform/framework/CCmdTarget.h"
#include "platform/framework/CString.h"
#include "platform/framework/Geometry.h"
#include "platform/framework/MessageMap.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/window/Paint.h"

class CDataExchange;
class CBitmap;
class CDC;
class CFont;
class CMenu;

// The framework's window state bits (m_nFlags).
#define WF_CONTINUEMODAL 0x0002u
#define WF_MODALLOOP 0x0004u
// RunModalLoop's flags.
#define MLF_NOIDLEMSG 0x0001u
#define MLF_NOKICKIDLE 0x0002u
#define MLF_SHOWONIDLE 0x0004u

typedef CREATESTRUCTW CREATESTRUCT;
typedef LPCREATESTRUCTW LPCREATESTRUCT;

class QV_PLATFORM_API CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }  // NOLINT
  HWND GetSafeHwnd() const { return m_hWnd; }

  // The object of a window: its own, or a temporary one kept until the
  // thread is next idle. Null for a null handle.
  static CWnd* FromHandle(HWND hwnd);
  // Only an attached object, never a temporary.
  static CWnd* FromHandlePermanent(HWND hwnd);
  // Frees the calling thread's temporary objects (windows, DCs, GDI objects, menus).
  static void DeleteTempMap();

  BOOL Attach(HWND hwnd);
  HWND Detach();
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  virtual BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                      void* context = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id, LPVOID param = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int width,
                        int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();

  // Routing and messages.
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  virtual void PostNcDestroy();
  virtual BOOL PreTranslateMessage(MSG* msg);
  // PreTranslateMessage of each window from the message's own up to its
  // top-level window (or `stop`); TRUE as soon as one takes the message.
  static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);
  BOOL PreTranslateInput(MSG* msg);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The message being handled, passed on to DefWindowProc.
  LRESULT Default();
  static const MSG* GetCurrentMessage();
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A notification the parent reflected back; TRUE when this object took it.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Reflects the message being handled to the object of `child`.
  static BOOL ReflectLastMsg(HWND child, LRESULT* result = nullptr);
  // ON_UPDATE_COMMAND_UI over the child controls, routed to `target`.
  void UpdateDialogControls(CCmdTarget* target, BOOL disableIfNoHandler);
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE,
                                BOOL onlyPermanent = FALSE);

  // Data exchange: FALSE when validation failed (the user was told).
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx);

  // Modal loops over this window.
  int RunModalLoop(DWORD flags = 0);
  virtual BOOL ContinueModal();
  virtual void EndModalLoop(int result);

  // The window calls.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  void SetWindowText(LPCTSTR text);
  int GetWindowText(LPTSTR out, int max) const;
  void GetWindowText(CString& out) const;
  int GetWindowTextLength() const;
  CWnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  void SetDlgItemText(int id, LPCTSTR text);
  int GetDlgItemText(int id, CString& out) const;
  void CheckDlgButton(int id, UINT check);
  UINT IsDlgButtonChecked(int id) const;
  // Checks `check` and clears the other buttons of first..last.
  void CheckRadioButton(int first, int last, int check);
  // The first checked button of first..last, 0 when none is.
  int GetCheckedRadioButton(int first, int last) const;
  CWnd* GetParent() const;
  CWnd* GetOwner() const;
  void SetOwner(CWnd* owner) { m_hWndOwner = owner ? owner->m_hWnd : nullptr; }
  CWnd* GetTopLevelParent() const;
  CWnd* GetWindow(UINT relation) const;
  CWnd* GetNextDlgTabItem(CWnd* control, BOOL previous = FALSE) const;
  BOOL IsChild(const CWnd* wnd) const;
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  CWnd* SetFocus();
  static CWnd* GetFocus();
  // The mouse goes to this window, wherever the pointer is, until released.
  CWnd* SetCapture();
  static CWnd* GetCapture();
  static BOOL ReleaseCapture();
  static CWnd* GetActiveWindow();
  CWnd* SetActiveWindow();
  BOOL SetForegroundWindow();
  void GetClientRect(LPRECT rect) const;
  void GetWindowRect(LPRECT rect) const;
  void ClientToScreen(LPPOINT point) const;
  void ClientToScreen(LPRECT rect) const;
  void ScreenToClient(LPPOINT point) const;
  void ScreenToClient(LPRECT rect) const;
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags);
  void CenterWindow(CWnd* alternate = nullptr);
  void Invalidate(BOOL erase = TRUE);
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
  void ValidateRect(LPCRECT rect);
  void UpdateWindow();
  // WM_SETREDRAW: while off, the window collects no painting; turned on, it
  // paints again only once invalidated.
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, static_cast<WPARAM>(redraw)); }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr);
  BOOL KillTimer(UINT_PTR id);
  CDC* GetDC();
  int ReleaseDC(CDC* dc);
  // The thread's one caret, owned by this window while it has the focus.
  // A null bitmap makes a solid caret of the given size.
  void CreateCaret(CBitmap* bitmap);
  void CreateSolidCaret(int width, int height);
  void CreateGrayCaret(int width, int height);
  void ShowCaret();
  void HideCaret();
  // In the client coordinates of the caret's own window.
  static void SetCaretPos(POINT point);
  static CPoint GetCaretPos();
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT type = MB_OK);
  static CWnd* FindWindow(LPCTSTR className, LPCTSTR windowName);

  // The window's own scroll bars (SB_HORZ, SB_VERT) or, for a bar control,
  // SB_CTL. GetScrollInfo fills only what `mask` asks (info->fMask is set).
  BOOL SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw = TRUE);
  BOOL GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask = SIF_ALL) const;
  int GetScrollPos(int bar) const;
  int SetScrollPos(int bar, int pos, BOOL redraw = TRUE);
  void GetScrollRange(int bar, int* min, int* max) const;
  void SetScrollRange(int bar, int min, int max, BOOL redraw = TRUE);
  // The highest position a thumb can reach: the range's top less the page.
  int GetScrollLimit(int bar) const;
  void ShowScrollBar(UINT bar, BOOL show = TRUE);
  BOOL EnableScrollBarCtrl(int bar, BOOL enable = TRUE);
  void ScrollWindow(int dx, int dy, LPCRECT scroll = nullptr, LPCRECT clip = nullptr);
  int ScrollWindowEx(int dx, int dy, LPCRECT scroll, LPCRECT clip, LPRECT update, UINT flags);
  static CWnd* GetDesktopWindow();

  // The default handlers of the ON_WM_ entries: each passes the message on.
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnDestroy();
  afx_msg void OnNcDestroy();
  afx_msg void OnClose();
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnMove(int x, int y);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnKeyDown(UINT ch, UINT repeat, UINT flags);
  afx_msg void OnKeyUp(UINT ch, UINT repeat, UINT flags);
  afx_msg void OnChar(UINT ch, UINT repeat, UINT flags);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnSetFocus(CWnd* old);
  afx_msg void OnKillFocus(CWnd* next);
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  afx_msg void OnDrawItem(int id, LPDRAWITEMSTRUCT dis);
  afx_msg void OnMeasureItem(int id, LPMEASUREITEMSTRUCT mis);
  afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg void OnEnterIdle(UINT why, CWnd* who);
  afx_msg UINT OnGetDlgCode();
  afx_msg void OnContextMenu(CWnd* wnd, CPoint point);
  afx_msg void OnSettingChange(UINT flags, LPCTSTR section);
  afx_msg void OnEnable(BOOL enable);
  afx_msg void OnWindowPosChanged(WINDOWPOS* pos);
  // `bar` is the scroll bar control that sent it, null for the window's own.
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);

  UINT m_nFlags = 0;
  WNDPROC m_pfnSuper = nullptr;  // the procedure messages go on to
  int m_nModalResult = 0;
  HWND m_hWndOwner = nullptr;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  const AFX_MSGMAP* GetMessageMap() const override;
};

// The "ScrollBar" control.
class QV_PLATFORM_API CScrollBar : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetScrollPos() const { return CWnd::GetScrollPos(SB_CTL); }
  int SetScrollPos(int pos, BOOL redraw = TRUE) { return CWnd::SetScrollPos(SB_CTL, pos, redraw); }
  void GetScrollRange(int* min, int* max) const { CWnd::GetScrollRange(SB_CTL, min, max); }
  void SetScrollRange(int min, int max, BOOL redraw = TRUE) { CWnd::SetScrollRange(SB_CTL, min, max, redraw); }
  BOOL SetScrollInfo(LPSCROLLINFO info, BOOL redraw = TRUE) { return CWnd::SetScrollInfo(SB_CTL, info, redraw); }
  BOOL GetScrollInfo(LPSCROLLINFO info, UINT mask = SIF_ALL) const { return CWnd::GetScrollInfo(SB_CTL, info, mask); }
  int GetScrollLimit() const { return CWnd::GetScrollLimit(SB_CTL); }
};

// The one procedure of every window with a framework object.
QV_PLATFORM_API LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Registers a window class of the framework's own ("Afx" and a number);
// its windows get their object before the first message.
QV_PLATFORM_API LPCTSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                            HICON icon = nullptr);
// Gets one message and passes it through PreTranslateMessage to its window;
// FALSE on WM_QUIT.
QV_PLATFORM_API BOOL AfxPumpMessage();
QV_PLATFORM_API BOOL AfxPreTranslateMessage(MSG* msg);
// Messages the idle work need not follow (paint, a move that did not move).
QV_PLATFORM_API BOOL AfxIsIdleMessage(const MSG* msg);
