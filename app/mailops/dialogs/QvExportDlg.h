// Asks where to export a set of messages as mail files (template 105) and
// then runs the export with progress. The field starts at the folder last
// exported to; the button beside it opens the folder chooser.
#pragma once

#include <vector>

#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvScrollDlg.h"

class QvExportDlg : public QvScrollDlg {
 public:
  static constexpr UINT kTemplateId = 105;
  static constexpr int kLabel = 1096;
  static constexpr int kDestinationField = 1048;
  static constexpr int kChooseCommand = 1072;

  // IDOK once the export ran (whatever its outcome), IDCANCEL otherwise.
  QvExportDlg(CWnd* parent, std::vector<unsigned long> ids);

  BOOL OnInitDialog() override;

 protected:
  void OnOK() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::wstring FieldText() const;
  void ChooseFolder();

  QvCLREdit destination_;
  std::vector<unsigned long> ids_;
};
