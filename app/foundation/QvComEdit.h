// The program's text fields with the edit menu (tap-and-hold), and the one
// that closes its page when Backspace is pressed while it is empty.
#pragma once

#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CEdit.h"

constexpr UINT kEditMenuId = 159;

// Tap-and-hold tracks submenu 0 of menu 159: Cut and Paste are left out of
// a read-only field, Cut and Copy need a selection, Paste text on the
// clipboard. The chosen command comes to the field as WM_COMMAND.
class QvComEdit : public CEdit {
 public:
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class QvCLREdit : public QvComEdit {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The edit commands every field answers; false for other commands.
bool RunEditCommand(HWND edit, WPARAM command);
// The tap-and-hold of a field (GN_CONTEXTMENU), from its WM_LBUTTONDOWN.
bool IsTapAndHold(HWND edit, LPARAM point);
