// The base of every page shown inside the message sheet: a child dialog of
// its tool page (QvToolPage, two levels below the sheet) that works on the
// sheet's message record, carries its own command bar with a page menu, and
// answers the page interface (the virtual operations below, in this order)
// that the tool page forwards the sheet's requests through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/framework/CDialog.h"
#include "platform/framework/CMenu.h"
#include "platform/framework/Containers.h"
#include "platform/framework/CString.h"

struct QvMessageRecord;
class CCommandBar;
class CCmdUI;
class QvToolPage;

class QvMessagePage : public CDialog {
 public:
  QvMessagePage(UINT templateId, QvMessageRecord* record);
  ~QvMessagePage() override;

  // The page interface.
  // The tool page became active: make the command bar and show the record.
  virtual BOOL OnPageActivate();
  // The tool page is left; FALSE keeps it.
  virtual BOOL OnPageDeactivate();
  // Loads m_pageMenu from the page's menu resource (CreateCommandBar).
  virtual void LoadPageMenu();
  // Adjusts a popup of the page menu before it shows.
  virtual void CustomizePopupMenu(CMenu* popup);
  // FALSE stops a send.
  virtual BOOL PrepareSend(int value, QvToolPage* toolPage);
  // Writes the page's content into the record; FALSE vetoes.
  virtual BOOL StorePage(int isActive, QvToolPage* toolPage);
  // Shows the record again after the sheet reloaded it.
  virtual void ReloadPage(int a, int b);
  // FALSE stops a send (edit pages also check on leaving).
  virtual BOOL CheckBeforeSend(int value, QvToolPage* toolPage);
  // Puts the focus into the first address field.
  virtual void FocusFirstField(int a, int b);
  // Last chance before the sheet's forced store on a close request.
  virtual void OnSheetClosing(int a, int b);

  // Shared operations.
  // The sheet: the window two levels up (page, tool page, sheet); null when none.
  CWnd* SheetWindow() const;
  LRESULT SendToSheet(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostToSheet(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // True when the sheet's active tool page is this page's tool page.
  bool IsActivePage() const;
  // Replaces the command bar by one made from menu `menuId`; FALSE when a step failed.
  BOOL CreateCommandBar(UINT menuId);
  void DestroyCommandBar();
  CCommandBar* GetCommandBar() const { return m_commandBar; }
  // The contact chooser (kind 0 to 2); the focus goes back where it was.
  bool ChooseAddress(CWnd* owner, CString* text, int kind);
  // The target-folder sheet; true when the messages moved.
  bool MoveToFolder(const CDWordArray& messageIds);

  QvMessageRecord* GetRecord() const { return m_record; }
  bool IsInitialised() const { return m_initialised != 0; }
  uint32_t StatusWord() const { return m_status[0]; }
  uint32_t MessageKind() const { return m_status[1]; }

  BOOL OnInitDialog() override;

 protected:
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg void OnUpdateSheetCommand(CCmdUI* ui);
  afx_msg void OnSheetCommand(UINT id);
  afx_msg void OnSendCommand();

  QvMessageRecord* m_record = nullptr;
  uint32_t m_status[2] = {0, 0};
  CMenu m_pageMenu;
  CCommandBar* m_commandBar = nullptr;
  std::wstring m_title;
  int m_initialised = 0;

  DECLARE_MESSAGE_MAP()
};
