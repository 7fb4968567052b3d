// Message maps. DECLARE_MESSAGE_MAP in a class and BEGIN_MESSAGE_MAP ...
// END_MESSAGE_MAP in its source make one constant table per class, chained
// to the base class's. An entry holds a small function made for that very
// member (a template instantiated at compile time) that unpacks the message
// into the member's parameters, as the framework's handler signatures have
// them. Handlers are named as member pointers: ON_COMMAND(ID_X, &CMine::OnX).
#pragma once

#include <utility>

#include "platform/framework/CCmdTarget.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/Geometry.h"
#include "platform/ui/controls/ComboBox.h"  // CBN_ codes of the ON_CBN_ entries
#include "platform/ui/controls/Edit.h"      // EN_ codes of the ON_EN_ entries
#include "platform/ui/controls/ListBox.h"   // LBN_ codes of the ON_LBN_ entries

class CDC;
class CMenu;
class CScrollBar;
class CWnd;

// The kinds of handler; AfxSig_end closes a table.
enum AfxSig : UINT_PTR { AfxSig_end = 0, AfxSig_cmd, AfxSig_cmdui, AfxSig_notify, AfxSig_msg, AfxSig_wm, AfxSig_reflect };

namespace qv::afx {

// Temporary or permanent framework objects for handles (CWnd.h, CDC.h, CMenu.h).
QV_PLATFORM_API CWnd* WndOf(HWND hwnd);
QV_PLATFORM_API CDC* DcOf(HDC dc);
QV_PLATFORM_API CMenu* MenuOf(HMENU menu);

template <class T, auto F, class... A>
inline decltype(auto) Invoke(CCmdTarget* target, A&&... args) {
  return (static_cast<T*>(target)->*F)(std::forward<A>(args)...);
}

inline AFX_NOTIFY& NotifyOf(AFX_CALL& c) { return *static_cast<AFX_NOTIFY*>(c.pExtra); }
inline AFX_CTLCOLOR& CtlColorOf(AFX_CALL& c) { return *reinterpret_cast<AFX_CTLCOLOR*>(c.lParam); }

// Commands, updates, notifications.
template <class T, auto F>
BOOL Cmd(CCmdTarget* t, AFX_CALL&) { Invoke<T, F>(t); return TRUE; }
template <class T, auto F>
BOOL CmdEx(CCmdTarget* t, AFX_CALL& c) { return Invoke<T, F>(t, c.nID); }
template <class T, auto F>
BOOL CmdRange(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, c.nID); return TRUE; }
template <class T, auto F>
BOOL CmdUI(CCmdTarget* t, AFX_CALL& c) {
  CCmdUI* ui = static_cast<CCmdUI*>(c.pExtra);
  ui->m_bContinueRouting = FALSE;
  Invoke<T, F>(t, ui);
  return !ui->m_bContinueRouting;
}
template <class T, auto F>
BOOL Notify(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, NotifyOf(c).pNMHDR, NotifyOf(c).pResult); return TRUE; }
template <class T, auto F>
BOOL NotifyRange(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, c.nID, NotifyOf(c).pNMHDR, NotifyOf(c).pResult); return TRUE; }
template <class T, auto F>
BOOL NotifyEx(CCmdTarget* t, AFX_CALL& c) { return Invoke<T, F>(t, c.nID, NotifyOf(c).pNMHDR, NotifyOf(c).pResult); }
template <class T, auto F>
BOOL NotifyReflectEx(CCmdTarget* t, AFX_CALL& c) { return Invoke<T, F>(t, NotifyOf(c).pNMHDR, NotifyOf(c).pResult); }
template <class T, auto F>
BOOL CmdReflectEx(CCmdTarget* t, AFX_CALL&) { return Invoke<T, F>(t); }

// Window messages.
template <class T, auto F>
BOOL Message(CCmdTarget* t, AFX_CALL& c) { c.result = Invoke<T, F>(t, c.wParam, c.lParam); return TRUE; }
template <class T, auto F>
BOOL Void(CCmdTarget* t, AFX_CALL&) { Invoke<T, F>(t); return TRUE; }
template <class T, auto F>
BOOL Create(CCmdTarget* t, AFX_CALL& c) { c.result = Invoke<T, F>(t, reinterpret_cast<LPCREATESTRUCTW>(c.lParam)); return TRUE; }
template <class T, auto F>
BOOL Size(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<UINT>(c.wParam), static_cast<int>(static_cast<short>(LOWORD(c.lParam))),
               static_cast<int>(static_cast<short>(HIWORD(c.lParam))));
  return TRUE;
}
template <class T, auto F>
BOOL Move(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, GET_X_LPARAM(c.lParam), GET_Y_LPARAM(c.lParam)); return TRUE; }
template <class T, auto F>
BOOL Timer(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, static_cast<UINT_PTR>(c.wParam)); return TRUE; }
template <class T, auto F>
BOOL Key(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<UINT>(c.wParam), static_cast<UINT>(LOWORD(c.lParam)), static_cast<UINT>(HIWORD(c.lParam)));
  return TRUE;
}
template <class T, auto F>
BOOL Mouse(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, static_cast<UINT>(c.wParam), CPoint(c.lParam)); return TRUE; }
template <class T, auto F>
BOOL Focus(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, WndOf(reinterpret_cast<HWND>(c.wParam))); return TRUE; }
template <class T, auto F>
BOOL EraseBkgnd(CCmdTarget* t, AFX_CALL& c) { c.result = Invoke<T, F>(t, DcOf(reinterpret_cast<HDC>(c.wParam))); return TRUE; }
template <class T, auto F>
BOOL CtlColor(CCmdTarget* t, AFX_CALL& c) {
  AFX_CTLCOLOR& cc = CtlColorOf(c);
  c.result = reinterpret_cast<LRESULT>(Invoke<T, F>(t, DcOf(cc.hDC), WndOf(cc.hWnd), cc.nCtlType));
  return TRUE;
}
// A control's own colours: taken only when it gives a brush.
template <class T, auto F>
BOOL CtlColorReflect(CCmdTarget* t, AFX_CALL& c) {
  AFX_CTLCOLOR& cc = CtlColorOf(c);
  c.result = reinterpret_cast<LRESULT>(Invoke<T, F>(t, DcOf(cc.hDC), cc.nCtlType));
  return c.result != 0;
}
template <class T, auto F>
BOOL DrawItem(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<int>(c.wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(c.lParam));
  c.result = TRUE;
  return TRUE;
}
template <class T, auto F>
BOOL DrawItemReflect(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, reinterpret_cast<LPDRAWITEMSTRUCT>(c.lParam));
  c.result = TRUE;
  return TRUE;
}
template <class T, auto F>
BOOL MeasureItem(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<int>(c.wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(c.lParam));
  c.result = TRUE;
  return TRUE;
}
template <class T, auto F>
BOOL MeasureItemReflect(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, reinterpret_cast<LPMEASUREITEMSTRUCT>(c.lParam));
  c.result = TRUE;
  return TRUE;
}
template <class T, auto F>
BOOL Activate(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<UINT>(LOWORD(c.wParam)), WndOf(reinterpret_cast<HWND>(c.lParam)),
               static_cast<BOOL>(HIWORD(c.wParam)));
  return TRUE;
}
template <class T, auto F>
BOOL ShowWindow(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, static_cast<BOOL>(c.wParam), static_cast<UINT>(c.lParam)); return TRUE; }
template <class T, auto F>
BOOL InitMenuPopup(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, MenuOf(reinterpret_cast<HMENU>(c.wParam)), static_cast<UINT>(LOWORD(c.lParam)),
               static_cast<BOOL>(HIWORD(c.lParam)));
  return TRUE;
}
template <class T, auto F>
BOOL EnterIdle(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, static_cast<UINT>(c.wParam), WndOf(reinterpret_cast<HWND>(c.lParam))); return TRUE; }
template <class T, auto F>
BOOL GetDlgCode(CCmdTarget* t, AFX_CALL& c) { c.result = static_cast<LRESULT>(Invoke<T, F>(t)); return TRUE; }
template <class T, auto F>
BOOL ContextMenu(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, WndOf(reinterpret_cast<HWND>(c.wParam)), CPoint(c.lParam)); return TRUE; }
template <class T, auto F>
BOOL SettingChange(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, static_cast<UINT>(c.wParam), reinterpret_cast<LPCTSTR>(c.lParam)); return TRUE; }
template <class T, auto F>
BOOL Enable(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, static_cast<BOOL>(c.wParam)); return TRUE; }
// The scroll messages: a bar control's object (CScrollBar, CWnd.h) or null
// for the window's own bars. The bar's type is looked up only when a map
// uses the entry, where CWnd.h is complete.
template <class T, class Bar = CScrollBar>
Bar* ScrollBarOf(LPARAM lParam) { return static_cast<Bar*>(WndOf(reinterpret_cast<HWND>(lParam))); }
template <class T, auto F>
BOOL Scroll(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<UINT>(LOWORD(c.wParam)), static_cast<UINT>(static_cast<short>(HIWORD(c.wParam))),
               ScrollBarOf<T>(c.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL ScrollReflect(CCmdTarget* t, AFX_CALL& c) {
  Invoke<T, F>(t, static_cast<UINT>(LOWORD(c.wParam)), static_cast<UINT>(static_cast<short>(HIWORD(c.wParam))));
  return TRUE;
}
template <class T, auto F>
BOOL WindowPosChanged(CCmdTarget* t, AFX_CALL& c) { Invoke<T, F>(t, reinterpret_cast<WINDOWPOS*>(c.lParam)); return TRUE; }

}  // namespace qv::afx

#define DECLARE_MESSAGE_MAP()                        \
 protected:                                          \
  static const AFX_MSGMAP* GetThisMessageMap();      \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                              \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }         \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                         \
    using ThisClass [[maybe_unused]] = theClass;                                            \
    using TheBaseClass = baseClass;                                                         \
    static constexpr AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                   \
  {0, 0, 0, 0, AfxSig_end, nullptr}};                                                       \
  static constexpr AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                       \
  }

// One entry; `thunk` is one of qv::afx's unpacking functions.
#define QV_AFX_ENTRY(msg, code, id, lastId, sig, thunk, fn)                                  \
  {static_cast<UINT>(msg), static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(lastId), sig, \
   &qv::afx::thunk<ThisClass, fn>},
#define QV_AFX_WM(msg, thunk, fn) QV_AFX_ENTRY(msg, 0, 0, 0, AfxSig_wm, thunk, &ThisClass::fn)

// Commands and their updates.
#define ON_COMMAND(id, memberFxn) QV_AFX_ENTRY(WM_COMMAND, CN_COMMAND, static_cast<WORD>(id), static_cast<WORD>(id), AfxSig_cmd, Cmd, memberFxn)
#define ON_COMMAND_EX(id, memberFxn) QV_AFX_ENTRY(WM_COMMAND, CN_COMMAND, static_cast<WORD>(id), static_cast<WORD>(id), AfxSig_cmd, CmdEx, memberFxn)
#define ON_COMMAND_RANGE(id, idLast, memberFxn) QV_AFX_ENTRY(WM_COMMAND, CN_COMMAND, static_cast<WORD>(id), static_cast<WORD>(idLast), AfxSig_cmd, CmdRange, memberFxn)
#define ON_COMMAND_EX_RANGE(id, idLast, memberFxn) QV_AFX_ENTRY(WM_COMMAND, CN_COMMAND, static_cast<WORD>(id), static_cast<WORD>(idLast), AfxSig_cmd, CmdEx, memberFxn)
#define ON_UPDATE_COMMAND_UI(id, memberFxn) QV_AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, static_cast<WORD>(id), static_cast<WORD>(id), AfxSig_cmdui, CmdUI, memberFxn)
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, memberFxn) QV_AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, static_cast<WORD>(id), static_cast<WORD>(idLast), AfxSig_cmdui, CmdUI, memberFxn)

// Control notifications by WM_COMMAND.
#define ON_CONTROL(code, id, memberFxn) QV_AFX_ENTRY(WM_COMMAND, static_cast<WORD>(code), static_cast<WORD>(id), static_cast<WORD>(id), AfxSig_cmd, Cmd, memberFxn)
#define ON_CONTROL_RANGE(code, id, idLast, memberFxn) QV_AFX_ENTRY(WM_COMMAND, static_cast<WORD>(code), static_cast<WORD>(id), static_cast<WORD>(idLast), AfxSig_cmd, CmdRange, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_BN_SETFOCUS(id, memberFxn) ON_CONTROL(BN_SETFOCUS, id, memberFxn)
#define ON_BN_KILLFOCUS(id, memberFxn) ON_CONTROL(BN_KILLFOCUS, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)
#define ON_STN_DBLCLK(id, memberFxn) ON_CONTROL(STN_DBLCLK, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_EN_MAXTEXT(id, memberFxn) ON_CONTROL(EN_MAXTEXT, id, memberFxn)
#define ON_CBN_ERRSPACE(id, memberFxn) ON_CONTROL(CBN_ERRSPACE, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_DBLCLK(id, memberFxn) ON_CONTROL(CBN_DBLCLK, id, memberFxn)
#define ON_CBN_SETFOCUS(id, memberFxn) ON_CONTROL(CBN_SETFOCUS, id, memberFxn)
#define ON_CBN_KILLFOCUS(id, memberFxn) ON_CONTROL(CBN_KILLFOCUS, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_EDITUPDATE(id, memberFxn) ON_CONTROL(CBN_EDITUPDATE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)
#define ON_CBN_CLOSEUP(id, memberFxn) ON_CONTROL(CBN_CLOSEUP, id, memberFxn)
#define ON_CBN_SELENDOK(id, memberFxn) ON_CONTROL(CBN_SELENDOK, id, memberFxn)
#define ON_CBN_SELENDCANCEL(id, memberFxn) ON_CONTROL(CBN_SELENDCANCEL, id, memberFxn)
#define ON_LBN_ERRSPACE(id, memberFxn) ON_CONTROL(LBN_ERRSPACE, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_LBN_SELCANCEL(id, memberFxn) ON_CONTROL(LBN_SELCANCEL, id, memberFxn)
#define ON_LBN_SETFOCUS(id, memberFxn) ON_CONTROL(LBN_SETFOCUS, id, memberFxn)
#define ON_LBN_KILLFOCUS(id, memberFxn) ON_CONTROL(LBN_KILLFOCUS, id, memberFxn)

// Notifications by WM_NOTIFY.
#define ON_NOTIFY(code, id, memberFxn) QV_AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), static_cast<WORD>(id), static_cast<WORD>(id), AfxSig_notify, Notify, memberFxn)
#define ON_NOTIFY_RANGE(code, id, idLast, memberFxn) QV_AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), static_cast<WORD>(id), static_cast<WORD>(idLast), AfxSig_notify, NotifyRange, memberFxn)
#define ON_NOTIFY_EX(code, id, memberFxn) QV_AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), static_cast<WORD>(id), static_cast<WORD>(id), AfxSig_notify, NotifyEx, memberFxn)

// Notifications reflected back to the control that sent them.
#define ON_CONTROL_REFLECT(code, memberFxn) QV_AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, static_cast<WORD>(code), 0, 0, AfxSig_reflect, Cmd, memberFxn)
#define ON_CONTROL_REFLECT_EX(code, memberFxn) QV_AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, static_cast<WORD>(code), 0, 0, AfxSig_reflect, CmdReflectEx, memberFxn)
#define ON_NOTIFY_REFLECT(code, memberFxn) QV_AFX_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, static_cast<WORD>(code), 0, 0, AfxSig_reflect, Notify, memberFxn)
#define ON_NOTIFY_REFLECT_EX(code, memberFxn) QV_AFX_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, static_cast<WORD>(code), 0, 0, AfxSig_reflect, NotifyReflectEx, memberFxn)
#define ON_WM_CTLCOLOR_REFLECT() QV_AFX_WM(WM_REFLECT_BASE + WM_CTLCOLOR, CtlColorReflect, CtlColor)
#define ON_WM_DRAWITEM_REFLECT() QV_AFX_WM(WM_REFLECT_BASE + WM_DRAWITEM, DrawItemReflect, DrawItem)
#define ON_WM_HSCROLL_REFLECT() QV_AFX_WM(WM_REFLECT_BASE + WM_HSCROLL, ScrollReflect, HScroll)
#define ON_WM_VSCROLL_REFLECT() QV_AFX_WM(WM_REFLECT_BASE + WM_VSCROLL, ScrollReflect, VScroll)
#define ON_WM_MEASUREITEM_REFLECT() QV_AFX_WM(WM_REFLECT_BASE + WM_MEASUREITEM, MeasureItemReflect, MeasureItem)
#define ON_BN_CLICKED_REFLECT(memberFxn) ON_CONTROL_REFLECT(BN_CLICKED, memberFxn)

// Any message: LRESULT (WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn) QV_AFX_ENTRY(message, 0, 0, 0, AfxSig_msg, Message, memberFxn)

// Window messages, each to the member of the framework's name.
#define ON_WM_CREATE() QV_AFX_WM(WM_CREATE, Create, OnCreate)
#define ON_WM_DESTROY() QV_AFX_WM(WM_DESTROY, Void, OnDestroy)
#define ON_WM_NCDESTROY() QV_AFX_WM(WM_NCDESTROY, Void, OnNcDestroy)
#define ON_WM_CLOSE() QV_AFX_WM(WM_CLOSE, Void, OnClose)
#define ON_WM_PAINT() QV_AFX_WM(WM_PAINT, Void, OnPaint)
#define ON_WM_ERASEBKGND() QV_AFX_WM(WM_ERASEBKGND, EraseBkgnd, OnEraseBkgnd)
#define ON_WM_SIZE() QV_AFX_WM(WM_SIZE, Size, OnSize)
#define ON_WM_MOVE() QV_AFX_WM(WM_MOVE, Move, OnMove)
#define ON_WM_TIMER() QV_AFX_WM(WM_TIMER, Timer, OnTimer)
#define ON_WM_KEYDOWN() QV_AFX_WM(WM_KEYDOWN, Key, OnKeyDown)
#define ON_WM_KEYUP() QV_AFX_WM(WM_KEYUP, Key, OnKeyUp)
#define ON_WM_CHAR() QV_AFX_WM(WM_CHAR, Key, OnChar)
#define ON_WM_LBUTTONDOWN() QV_AFX_WM(WM_LBUTTONDOWN, Mouse, OnLButtonDown)
#define ON_WM_LBUTTONUP() QV_AFX_WM(WM_LBUTTONUP, Mouse, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() QV_AFX_WM(WM_LBUTTONDBLCLK, Mouse, OnLButtonDblClk)
#define ON_WM_MOUSEMOVE() QV_AFX_WM(WM_MOUSEMOVE, Mouse, OnMouseMove)
#define ON_WM_SETFOCUS() QV_AFX_WM(WM_SETFOCUS, Focus, OnSetFocus)
#define ON_WM_KILLFOCUS() QV_AFX_WM(WM_KILLFOCUS, Focus, OnKillFocus)
#define ON_WM_CTLCOLOR() QV_AFX_WM(WM_CTLCOLOR, CtlColor, OnCtlColor)
#define ON_WM_DRAWITEM() QV_AFX_WM(WM_DRAWITEM, DrawItem, OnDrawItem)
#define ON_WM_MEASUREITEM() QV_AFX_WM(WM_MEASUREITEM, MeasureItem, OnMeasureItem)
#define ON_WM_ACTIVATE() QV_AFX_WM(WM_ACTIVATE, Activate, OnActivate)
#define ON_WM_SHOWWINDOW() QV_AFX_WM(WM_SHOWWINDOW, ShowWindow, OnShowWindow)
#define ON_WM_INITMENUPOPUP() QV_AFX_WM(WM_INITMENUPOPUP, InitMenuPopup, OnInitMenuPopup)
#define ON_WM_ENTERIDLE() QV_AFX_WM(WM_ENTERIDLE, EnterIdle, OnEnterIdle)
#define ON_WM_GETDLGCODE() QV_AFX_WM(WM_GETDLGCODE, GetDlgCode, OnGetDlgCode)
#define ON_WM_CONTEXTMENU() QV_AFX_WM(WM_CONTEXTMENU, ContextMenu, OnContextMenu)
#define ON_WM_SETTINGCHANGE() QV_AFX_WM(WM_SETTINGCHANGE, SettingChange, OnSettingChange)
#define ON_WM_ENABLE() QV_AFX_WM(WM_ENABLE, Enable, OnEnable)
#define ON_WM_HSCROLL() QV_AFX_WM(WM_HSCROLL, Scroll, OnHScroll)
#define ON_WM_VSCROLL() QV_AFX_WM(WM_VSCROLL, Scroll, OnVScroll)
#define ON_WM_WINDOWPOSCHANGED() QV_AFX_WM(WM_WINDOWPOSCHANGED, WindowPosChanged, OnWindowPosChanged)
