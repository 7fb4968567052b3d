// The reading side of the message window: a stored message shown read-only,
// header rows only where they have content, the body with its links and the
// attachment list, the reader's commands and the message-window plug-ins.
// Links of a received mail act only as their scheme allows: web links over
// http or https open after the person saw the target and agreed, "mailto:"
// composes, "tel:" dials, "image:" saves only a file of the message's own
// folder; everything else is refused.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "app/message/pages/QvBaseMessagePage.h"

class QvAttachedFileListCtrl;
class QvAddressView;

class QvViewMessagePage : public QvBaseMessagePage {
 public:
  static constexpr int kMaxPlugins = 50;
  static constexpr UINT kFirstPluginCommand = 40001;
  static constexpr int kShownAddressLines = 3;
  static constexpr int kMaxPlainBody = 65535;
  // CurrentBodyLink's kind for an "image:" link (the others are QvLinkRange's).
  static constexpr int kImageLink = 6;

  ~QvViewMessagePage() override;

  // Slots after the base page's.
  // Cursor-key neighbours between the rows that are shown.
  virtual void LinkNeighbours();
  // Reloads the page with a stored message of the same folder.
  virtual void ShowMessage(uint32_t id);
  // Removes the stored message's attachments and shows it again.
  virtual void RemoveAttachments();

  // The page interface.
  BOOL OnInitDialog() override;
  BOOL OnPageActivate() override;
  BOOL OnPageDeactivate() override;
  BOOL StorePage(int isActive, QvToolPage* toolPage) override;
  BOOL CheckBeforeSend(int value, QvToolPage* toolPage) override;
  void LoadPageMenu() override;
  void CustomizePopupMenu(CMenu* popup) override;
  void ReloadPage(int a, int b) override;
  void FocusBody(int a, int b) override;
  // Cuts the record to what the page shows; tells the person when it cut.
  void BeforeFill(int a, int b) override;
  void RefreshAttachments() override;
  void OnOK() override;

  // The plug-ins: library path to menu text, read once at construction.
  const std::map<std::wstring, std::wstring>& Plugins() const { return m_plugins; }
  // Loads the library by its full path, calls "ExecutePlugIn" with the page
  // and the record's subject, body and selection, frees it again. False when
  // the library did not load, lacks the function or failed inside.
  bool RunPlugin(const std::wstring& path);
  int ShowAll() const { return m_showAll; }
  int Collapsible() const { return m_collapsible; }
  int BodyLimit() const { return m_bodyLimit; }

  // What a link's target may do, and doing it: the web after the person
  // agreed to the target shown, mail to the compose entry, a number to the
  // dialler; anything else is refused with a notice. True when it was handed on.
  bool ActOnLink(const CString& target);
  // "image:PATH": PATH must be a file inside the message's own folder (the
  // folder of its parts); it is then saved where the person chooses.
  bool SaveImageLink(const CString& link);
  // Whether `path` names a file inside `folder` (no "..", no other root).
  static bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);
  // The folder the message's parts were written to; empty when it has none.
  std::wstring MessageFolder() const;

  // The sheet's entries the page opens other windows through: compose to an
  // address (`mailto`: the argument of a "mailto:" link, which may carry
  // more than one address), and edit a stored message as a new one. Empty
  // entries put the sheet's own back.
  struct SheetEntries {
    bool (*compose)(CWnd* owner, const CString& to, bool mailto) = nullptr;
    bool (*editAsNew)(CWnd* owner, uint32_t folder, uint32_t messageId) = nullptr;
  };
  static void SetSheetEntries(const SheetEntries& entries);
  static const SheetEntries& GetSheetEntries();
  // The single-page sheet of a message's header text (command 40153).
  static bool ShowHeaderSheet(CWnd* owner, uint32_t messageId);

 protected:
  QvViewMessagePage(UINT templateId, QvMessageRecord* record, CWnd* body, int bodyLimit, UINT plainMenu,
                    UINT kindMenu);

  // The body's current link: its target and what kind it is (QvLinkRange's
  // kinds, 6 an image); 0 when none.
  virtual int CurrentBodyLink(CString& target) = 0;
  // The body's selected text, line ends as "\r\n".
  virtual CString BodySelection();
  // Whether "compose to" on a body link hands the whole "mailto:" request on.
  virtual bool BodyLinksComposeAsMailto() const { return false; }
  // Asks before the attachments are removed; true to go on.
  virtual bool AskRemoveAttachments();
  // Makes `control` in the place of the template's control `id`, with its
  // style changed by `add` and `remove`.
  template <typename Control>
  bool ReplaceTemplateControl(Control& control, UINT id, DWORD add = 0, DWORD remove = 0) {
    HWND placeholder = ::GetDlgItem(m_hWnd, static_cast<int>(id));
    if (!placeholder || control.m_hWnd) return false;
    CRect r;
    ::GetWindowRect(placeholder, &r);
    ScreenToClient(&r);
    const DWORD style = (static_cast<DWORD>(::GetWindowLongW(placeholder, GWL_STYLE)) & ~remove) | add;
    ::DestroyWindow(placeholder);
    return control.Create(style | WS_CHILD, r, this, id) != FALSE;
  }
  // Shows or hides the header rows by content and lays out again.
  void ArrangeRows();
  QvAddressView* AddressField(Row row) const;
  // An address row's whole text as the record gives it.
  CString FieldText(Row row) const;
  QvAttachedFileListCtrl* AttachmentList() const;
  UINT MenuForKind() const;

  afx_msg void OnSheetCommand(UINT id);
  afx_msg void OnDelete();
  afx_msg void OnProtect();
  afx_msg void OnMove();
  afx_msg void OnEditAsNew();
  afx_msg void OnRemoveAttachments();
  afx_msg void OnReceiveRest();
  afx_msg void OnToggleShowAll();
  afx_msg void OnHeader();
  afx_msg void OnRuleFromMessage();
  afx_msg void OnComposeTo();
  afx_msg void OnOpenLink();
  afx_msg void OnBookmark();
  afx_msg void OnDial(UINT id);
  afx_msg void OnShortMail();
  afx_msg void OnSaveImage();
  afx_msg void OnAttachmentCommand(UINT id);
  afx_msg void OnPlugin(UINT id);
  afx_msg void OnFixedPlugin(UINT id);
  afx_msg void OnContextMenu(CWnd* window, CPoint point);
  afx_msg LRESULT OnStepMessage(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnAreaSelect(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnMoveFocus(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnBack(WPARAM wParam, LPARAM lParam);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnUpdateKindCommand(CCmdUI* ui);
  afx_msg void OnUpdateReceiveRest(CCmdUI* ui);
  afx_msg void OnUpdateProtect(CCmdUI* ui);
  afx_msg void OnUpdateShowAll(CCmdUI* ui);
  afx_msg void OnUpdateRemoveAttachments(CCmdUI* ui);
  afx_msg void OnUpdateAttachmentCommand(CCmdUI* ui);
  afx_msg void OnUpdateComposeTo(CCmdUI* ui);
  afx_msg void OnUpdateRule(CCmdUI* ui);
  afx_msg void OnUpdateNoSelection(CCmdUI* ui);
  afx_msg void OnUpdateFixedPlugin(CCmdUI* ui);
  afx_msg void OnUpdateAlways(CCmdUI* ui);
  afx_msg void OnUpdateSendAgain(CCmdUI* ui);

  bool SelectionRunning() const { return m_selecting != 0; }
  bool IsStored() const;

  std::map<std::wstring, std::wstring> m_plugins;
  int m_showAll = 0;
  int m_collapsible = 0;
  int m_bodyLimit = 0;
  int m_selecting = 0;
  UINT m_plainMenu = 0;  // the page menu with message kind 0
  UINT m_kindMenu = 0;   // with a nonzero kind

  DECLARE_MESSAGE_MAP()
};
