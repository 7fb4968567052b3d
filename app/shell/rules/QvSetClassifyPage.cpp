#include "app/shell/rules/QvSetClassifyPage.h"

#include <algorithm>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/DataExchange.h"

const wchar_t* const QvSetClassifyPage::kHeaders[5] = {L"From", L"To", L"Cc", L"件名", L"X-ML-name"};
const wchar_t* const QvSetClassifyPage::kTargets[3] = {L"受信", L"送信済み", L"受信・送信済み"};

namespace {

constexpr UINT kMenuBar = 151;
constexpr uint32_t kPageNotMadeCode = 20488;
// Which message text each header takes (From the sender, To the recipients...).
constexpr int kTextOfHeader[5] = {1, 0, 2, 3, 4};

}  // namespace

BEGIN_MESSAGE_MAP(QvSetClassifyPage, QvScrollPage)
  ON_CBN_SELCHANGE(QvSetClassifyPage::kHeader, &QvSetClassifyPage::OnHeaderChanged)
  ON_EN_CHANGE(QvSetClassifyPage::kKeyword, &QvSetClassifyPage::OnKeywordChanged)
  ON_BN_CLICKED(QvSetClassifyPage::kChoose, &QvSetClassifyPage::OnChoose)
END_MESSAGE_MAP()

QvSetClassifyPage::QvSetClassifyPage(QvClassificationRuleRow* rule, const std::vector<std::wstring>* otherNames,
                                     const MessageTexts* texts)
    : QvScrollPage(kTemplate), rule_(rule), otherNames_(otherNames) {
  if (texts) {
    hasTexts_ = true;
    texts_ = *texts;
  }
}

void QvSetClassifyPage::DoDataExchange(CDataExchange* dx) {
  QvScrollPage::DoDataExchange(dx);
  DDX_Control(dx, kName, nameField_);
  DDX_Control(dx, kKeyword, keywordField_);
  DDX_Control(dx, kHeader, headerList_);
  DDX_Control(dx, kTarget, targetList_);
  if (!dx->m_bSaveAndValidate) return;
  DDX_Text(dx, kName, name_);
  DDV_MaxChars(dx, name_, kMaxName);
  DDX_Text(dx, kKeyword, keyword_);
  DDV_MaxChars(dx, keyword_, kMaxKeyword);
  DDX_CBIndex(dx, kHeader, header_);
  DDX_CBIndex(dx, kTarget, target_);
}

BOOL QvSetClassifyPage::OnInitDialog() {
  const BOOL result = QvScrollPage::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBar);
  nameField_.SendMessage(EM_LIMITTEXT, kMaxName);
  keywordField_.SendMessage(EM_LIMITTEXT, kMaxKeyword);
  for (const wchar_t* header : kHeaders) headerList_.AddString(header);
  int header = 0;
  for (int i = 0; i < 5; ++i) {
    if (rule_ && rule_->field == kHeaders[i]) header = i;
  }
  headerList_.SetCurSel(header);
  filling_ = true;
  if (rule_ && !rule_->keyword.empty()) keywordField_.SetWindowText(rule_->keyword.c_str());
  filling_ = false;
  if (hasTexts_ && rule_ && rule_->keyword.empty()) FillKeywordFromMessage();
  if (rule_ && !rule_->name.empty()) nameField_.SetWindowText(rule_->name.c_str());
  int target = 0;
  for (int i = 0; i < 3; ++i) {
    targetList_.SetItemData(targetList_.AddString(kTargets[i]), static_cast<DWORD_PTR>(i + 1));
    if (rule_ && rule_->target == i + 1) target = i;
  }
  targetList_.SetCurSel(target);
  destination_ = rule_ ? rule_->folderId : 0;
  ShowDestination();
  return result;
}

void QvSetClassifyPage::FillKeywordFromMessage() {
  const int header = headerList_.GetCurSel();
  if (!hasTexts_ || keywordTyped_ || header < 0 || header > 4) return;
  filling_ = true;
  keywordField_.SetWindowText(texts_[static_cast<size_t>(kTextOfHeader[header])].c_str());
  filling_ = false;
}

void QvSetClassifyPage::OnHeaderChanged() { FillKeywordFromMessage(); }

void QvSetClassifyPage::OnKeywordChanged() {
  if (!filling_) keywordTyped_ = true;
}

void QvSetClassifyPage::ShowDestination() {
  QvFolderItem item;
  CString path;
  if (destination_ == 0 || !GetFolderItem(destination_, &item) || !GetFolderDisplayPath(destination_, &path)) {
    destination_ = 0;
    path = L"フォルダを選択してください。";
  }
  SetDlgItemText(kDestination, path);
}

void QvSetClassifyPage::OnChoose() {
  const std::wstring caption =
      qv::FormatW(L"%s：%s", LoadResString(kChooserCaption).GetString(), GetCurrentAccountName().GetString());
  QvSinglePropertySheet sheet(caption.c_str(), this);
  auto* page = new QvSetTargetFolderPage;
  page->existingText = L"既存のフォルダに振り分ける";
  page->newText = L"フォルダを新規作成して振り分ける";
  page->folderId = destination_;
  sheet.SetupPage(caption, page);
  if (sheet.DoModal() == IDOK) {
    if (page->mode == QvSetTargetFolderPage::kExistingFolder) {
      destination_ = page->folderId;
    } else {
      DWORD made = 0;
      // A folder that cannot be made leaves the destination as it was.
      if (CreateSubFolder(page->parentId, page->newName, &made)) destination_ = made;
    }
  }
  ShowDestination();
}

bool QvSetClassifyPage::Refuse(UINT warning, int focus) {
  ShowWarningBoxRes(m_hWnd, warning);
  if (CWnd* control = GetDlgItem(focus)) control->SetFocus();
  return false;
}

BOOL QvSetClassifyPage::OnKillActive() {
  if (!otherNames_) {
    ShowQvMiddleError(kNoNamesCode, m_hWnd, nullptr);
    return FALSE;
  }
  if (!QvScrollPage::OnKillActive()) return FALSE;
  if (name_.IsEmpty()) return Refuse(kMissingWarning, kName);
  if (keyword_.IsEmpty()) return Refuse(kMissingWarning, kKeyword);
  if (header_ < 0) return Refuse(kMissingWarning, kHeader);
  if (destination_ == 0) return Refuse(kMissingWarning, kChoose);
  const std::wstring name = name_.GetString();
  if (std::find(otherNames_->begin(), otherNames_->end(), name) != otherNames_->end()) {
    return Refuse(kSameNameWarning, kName);
  }
  return TRUE;
}

void QvSetClassifyPage::OnOK() {
  if (rule_) {
    rule_->name = name_.GetString();
    rule_->field = kHeaders[std::clamp(header_, 0, 4)];
    rule_->keyword = keyword_.GetString();
    rule_->folderId = destination_;
    rule_->target = target_ >= 0 ? static_cast<int32_t>(targetList_.GetItemData(target_)) : 1;
  }
  QvScrollPage::OnOK();
}

LRESULT QvSetClassifyPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    // Back leaves only an editor that holds nothing yet.
    if (nameField_.GetWindowTextLength() == 0 && keywordField_.GetWindowTextLength() == 0) {
      if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }
    return 0;
  }
  return QvScrollPage::WindowProc(message, wParam, lParam);
}

bool SetupClassifyPage(QvSinglePropertySheet& sheet, QvClassificationRuleRow* rule,
                       const std::vector<std::wstring>* otherNames, const QvSetClassifyPage::MessageTexts* texts) {
  auto* page = new (std::nothrow) QvSetClassifyPage(rule, otherNames, texts);
  if (!page) {
    ShowQvMiddleError(kPageNotMadeCode, nullptr, nullptr);
    return false;
  }
  sheet.Setup(QvSinglePropertySheet::Use::kClassify,
              qv::FormatW(L"振り分け設定：%s", GetCurrentAccountName().GetString()), page);
  return true;
}
