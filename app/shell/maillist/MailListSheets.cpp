#include "app/shell/maillist/MailListSheets.h"

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/shell/maillist/MailListRunners.h"
#include "app/shell/rules/QvSetClassifyPage.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"

void InstallMailListSheets() {
  MailListRunners& r = MailListScreenRunners();
  // The folder the list shows comes preselected: OK without a choice moves nothing.
  r.chooseMoveTarget = [](CWnd* list, const std::wstring& caption, DWORD folderId, MailMoveTarget* target) {
    QvSinglePropertySheet sheet(caption.c_str(), list);
    auto* page = new QvSetTargetFolderPage;
    page->folderId = folderId;
    page->existingText = L"既存のフォルダに移動する";
    page->newText = L"フォルダを新規作成して移動する";
    sheet.SetupPage(caption, page);
    if (sheet.DoModal() != IDOK) return false;
    target->newFolder = page->mode == QvSetTargetFolderPage::kNewFolder;
    target->folderId = target->newFolder ? page->parentId : page->folderId;
    target->name = page->newName;
    return true;
  };
  r.editRule = [](CWnd* list, const std::wstring& caption, const RuleSourceTexts& texts,
                  const std::vector<std::wstring>& names, QvClassificationRuleRow* rule) {
    QvSinglePropertySheet sheet(caption.c_str(), list);
    const QvSetClassifyPage::MessageTexts given{texts.firstList, texts.sender, texts.secondList, texts.subject,
                                                texts.fifth};
    if (!SetupClassifyPage(sheet, rule, &names, &given)) return false;
    return sheet.DoModal() == IDOK;
  };
}
