// A property sheet of CPropertyPage objects. DoModal runs the sheet in the
// framework's own loop (so its messages pass through PreTranslateMessage)
// and returns IDOK or IDCANCEL, or the code the sheet was ended with.
// Pages may be added and removed while the sheet is up; the caller keeps
// the page objects.
#pragma once

#include <vector>

#include "platform/framework/CPropertyPage.h"
#include "platform/framework/CWnd.h"

class CTabCtrl;

class QV_PLATFORM_API CPropertySheet : public CWnd {
 public:
  CPropertySheet();
  explicit CPropertySheet(UINT captionId, CWnd* parent = nullptr, UINT selectPage = 0);
  explicit CPropertySheet(LPCTSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);
  ~CPropertySheet() override;

  virtual INT_PTR DoModal();
  void AddPage(CPropertyPage* page);
  void RemovePage(CPropertyPage* page);
  void RemovePage(int index);
  int GetPageCount() const { return static_cast<int>(pages_.size()); }
  CPropertyPage* GetPage(int index) const;
  int GetPageIndex(CPropertyPage* page) const;
  CPropertyPage* GetActivePage() const;
  int GetActiveIndex() const;
  BOOL SetActivePage(int index);
  BOOL SetActivePage(CPropertyPage* page);
  HWND GetTabControl() const;
  void SetTitle(LPCTSTR title);
  void EndDialog(int result);
  BOOL PressButton(int button);

  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL ContinueModal() override;

  PROPSHEETHEADERW m_psh{};

 private:
  CString caption_;
  std::vector<CPropertyPage*> pages_;
  CWnd* parent_ = nullptr;
};

// The framework's sheet callback: joins the sheet's window to the object
// whose DoModal made it. A callback of one's own calls it on.
QV_PLATFORM_API int AfxPropSheetCallback(HWND hwnd, UINT message, LPARAM lParam);
