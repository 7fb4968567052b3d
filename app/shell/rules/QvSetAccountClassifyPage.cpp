#include "app/shell/rules/QvSetAccountClassifyPage.h"

#include <array>
#include <iterator>
#include <new>
#include <utility>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/FolderOperations.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/rules/QvSetClassifyPage.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/AfxResource.h"

namespace {

constexpr UINT kMenuBar = 151;
constexpr uint32_t kViewNotMadeCode = 20490;
constexpr uint32_t kCopyFailedCode = 20492;
constexpr int kButtons[] = {QvSetAccountClassifyPage::kNew,  QvSetAccountClassifyPage::kEdit,
                            QvSetAccountClassifyPage::kDelete, QvSetAccountClassifyPage::kUp,
                            QvSetAccountClassifyPage::kDown, QvSetAccountClassifyPage::kDeleteAll};

bool Landscape() { return GetSystemMetrics(SM_CXSCREEN) > GetSystemMetrics(SM_CYSCREEN); }

QvSetAccountClassifyPage::EditorRunner& Editor() {
  static QvSetAccountClassifyPage::EditorRunner runner;
  return runner;
}

bool RunEditorSheet(CWnd* parent, QvClassificationRuleRow* rule, const std::vector<std::wstring>& otherNames) {
  QvSinglePropertySheet sheet(L"振り分け条件設定", parent);
  if (!SetupClassifyPage(sheet, rule, &otherNames)) return false;
  return sheet.DoModal() == IDOK;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvSetAccountClassifyPage, QvScrollPage)
  ON_BN_CLICKED(QvSetAccountClassifyPage::kNew, &QvSetAccountClassifyPage::OnNew)
  ON_BN_CLICKED(QvSetAccountClassifyPage::kEdit, &QvSetAccountClassifyPage::OnEdit)
  ON_BN_CLICKED(QvSetAccountClassifyPage::kDelete, &QvSetAccountClassifyPage::OnDelete)
  ON_BN_CLICKED(QvSetAccountClassifyPage::kDeleteAll, &QvSetAccountClassifyPage::OnDeleteAll)
  ON_BN_CLICKED(QvSetAccountClassifyPage::kUp, &QvSetAccountClassifyPage::OnUp)
  ON_BN_CLICKED(QvSetAccountClassifyPage::kDown, &QvSetAccountClassifyPage::OnDown)
  ON_LBN_SELCHANGE(QvSetAccountClassifyPage::kList, &QvSetAccountClassifyPage::OnSelChange)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

void QvSetAccountClassifyPage::SetEditorRunner(EditorRunner runner) { Editor() = std::move(runner); }

QvSetAccountClassifyPage::QvSetAccountClassifyPage(std::vector<QvClassificationRuleRow>* rules,
                                                   const std::wstring& account)
    : QvScrollPage(Landscape() ? kLandscapeTemplate : kPortraitTemplate),
      rules_(rules),
      account_(account),
      laidOut_(Landscape() ? kLandscapeTemplate : kPortraitTemplate) {}

QvSetAccountClassifyPage::~QvSetAccountClassifyPage() = default;

BOOL QvSetAccountClassifyPage::OnInitDialog() {
  const BOOL result = QvScrollPage::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBar);
  list_.SubclassDlgItem(kList, this);
  if (!view_.Create(this, RECT{30, 300, 450, 465}, kViewId)) ShowQvMiddleError(kViewNotMadeCode, m_hWnd, nullptr);
  if (rules_) {
    for (const QvClassificationRuleRow& rule : *rules_) {
      if (Insert(list_.GetCount(), rule) < 0) {
        ShowQvMiddleError(kCopyFailedCode, m_hWnd, nullptr);
        break;
      }
    }
  }
  Layout();
  Select(list_.GetCount() > 0 ? 0 : -1);
  return result;
}

QvClassificationRuleRow* QvSetAccountClassifyPage::RuleAt(int index) const {
  if (index < 0 || index >= list_.GetCount()) return nullptr;
  return static_cast<QvClassificationRuleRow*>(list_.GetItemDataPtr(index));
}

int QvSetAccountClassifyPage::Insert(int index, const QvClassificationRuleRow& rule) {
  auto* copy = new (std::nothrow) QvClassificationRuleRow(rule);
  if (!copy) return -1;
  const int at = list_.InsertString(index, rule.name.c_str());
  if (at < 0) {
    delete copy;
    return -1;
  }
  list_.SetItemDataPtr(at, copy);
  return at;
}

void QvSetAccountClassifyPage::Remove(int index) {
  delete RuleAt(index);
  list_.DeleteString(static_cast<UINT>(index));
}

void QvSetAccountClassifyPage::Select(int index) {
  list_.SetCurSel(index);
  Update();
}

void QvSetAccountClassifyPage::Update() {
  const int count = list_.GetCount();
  const int at = list_.GetCurSel();
  const bool selected = at >= 0 && at < count;
  const bool enable[] = {count < static_cast<int>(kMaxClassificationRules), selected, selected,
                         selected && at > 0, selected && at < count - 1, selected};
  HWND focus = ::GetFocus();
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    HWND button = ::GetDlgItem(m_hWnd, kButtons[i]);
    if (!button) continue;
    // A button losing its use hands the focus to the list.
    if (!enable[i] && focus == button) list_.SetFocus();
    ::EnableWindow(button, enable[i]);
  }
  if (!view_.m_hWnd) return;
  const QvClassificationRuleRow* rule = selected ? RuleAt(at) : nullptr;
  if (!rule) {
    view_.Clear();
    return;
  }
  std::array<CString, QvClassifyItemView::kLines> values;
  const int target = rule->target;
  values[QvClassifyItemView::kTarget] = target >= 1 && target <= 3 ? QvSetClassifyPage::kTargets[target - 1] : L"";
  QvFolderItem item;
  CString path;
  const bool gone = !GetFolderItem(rule->folderId, &item) || !GetFolderDisplayPath(rule->folderId, &path);
  values[QvClassifyItemView::kDestination] = gone ? CString(L"削除されました") : path;
  values[QvClassifyItemView::kHeader] = rule->field.c_str();
  values[QvClassifyItemView::kKeyword] = rule->keyword.c_str();
  view_.SetValues(values, gone);
}

std::vector<std::wstring> QvSetAccountClassifyPage::NamesExcept(int index) const {
  std::vector<std::wstring> names;
  for (int i = 0; i < list_.GetCount(); ++i) {
    if (i != index) names.push_back(RuleAt(i)->name);
  }
  return names;
}

void QvSetAccountClassifyPage::OnNew() {
  if (list_.GetCount() >= static_cast<int>(kMaxClassificationRules)) return;
  const std::vector<std::wstring> names = NamesExcept(-1);
  QvClassificationRuleRow rule;
  const bool ok = Editor() ? Editor()(this, &rule, names) : RunEditorSheet(this, &rule, names);
  if (!ok) return;
  Select(Insert(list_.GetCount(), rule));
}

void QvSetAccountClassifyPage::OnEdit() {
  const int at = list_.GetCurSel();
  QvClassificationRuleRow* rule = RuleAt(at);
  if (!rule) return;
  const std::vector<std::wstring> names = NamesExcept(at);
  const bool ok = Editor() ? Editor()(this, rule, names) : RunEditorSheet(this, rule, names);
  if (!ok) return;
  // The entry shows the rule's name, which the editor may have changed.
  const QvClassificationRuleRow edited = *rule;
  Remove(at);
  Select(Insert(at, edited));
}

void QvSetAccountClassifyPage::OnDelete() {
  const int at = list_.GetCurSel();
  const QvClassificationRuleRow* rule = RuleAt(at);
  if (!rule) return;
  const std::wstring question = qv::FormatW(LoadResString(kDeleteQuestion).GetString(), rule->name.c_str());
  if (!ShowConfirmBox(m_hWnd, question.c_str(), false)) return;
  Remove(at);
  const int count = list_.GetCount();
  Select(count == 0 ? -1 : (at < count ? at : count - 1));
}

void QvSetAccountClassifyPage::OnDeleteAll() {
  if (list_.GetCurSel() < 0) return;
  if (!ShowConfirmBoxRes(m_hWnd, kDeleteAllQuestion, false)) return;
  while (list_.GetCount() > 0) Remove(list_.GetCount() - 1);
  Select(-1);
}

void QvSetAccountClassifyPage::OnUp() {
  const int at = list_.GetCurSel();
  const QvClassificationRuleRow* rule = RuleAt(at);
  if (!rule || at == 0) return;
  const QvClassificationRuleRow moved = *rule;
  Remove(at);
  Select(Insert(at - 1, moved));
}

void QvSetAccountClassifyPage::OnDown() {
  const int at = list_.GetCurSel();
  const QvClassificationRuleRow* rule = RuleAt(at);
  if (!rule || at >= list_.GetCount() - 1) return;
  const QvClassificationRuleRow moved = *rule;
  Remove(at);
  Select(Insert(at + 1, moved));
}

void QvSetAccountClassifyPage::OnSelChange() { Update(); }

void QvSetAccountClassifyPage::Layout() {
  const UINT wanted = Landscape() ? kLandscapeTemplate : kPortraitTemplate;
  if (wanted != laidOut_) {
    // The template's places are the unscrolled ones: back to the top first.
    SendMessage(WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    if (qv::RelayoutDialog(AfxGetResourceHandle(), m_hWnd, MAKEINTRESOURCEW(wanted))) laidOut_ = wanted;
  }
  if (!view_.m_hWnd) return;
  const int offset = ScrollOffset();
  if (laidOut_ == kLandscapeTemplate) {
    view_.SetWindowPos(nullptr, 210, 48 + offset, 390, 155, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    view_.SetWindowPos(nullptr, 25, 295 + offset, 425, 150, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void QvSetAccountClassifyPage::GiveBack() {
  if (!rules_ || !list_.m_hWnd) return;
  rules_->clear();
  for (int i = 0; i < list_.GetCount(); ++i) rules_->push_back(*RuleAt(i));
}

void QvSetAccountClassifyPage::OnOK() {
  GiveBack();
  QvScrollPage::OnOK();
}

void QvSetAccountClassifyPage::OnDestroy() {
  GiveBack();
  while (list_.m_hWnd && list_.GetCount() > 0) Remove(list_.GetCount() - 1);
  QvScrollPage::OnDestroy();
}

LRESULT QvSetAccountClassifyPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  // Laid out before the base measures the children for its scroll range.
  if (message == WM_SIZE && list_.m_hWnd) Layout();
  return QvScrollPage::WindowProc(message, wParam, lParam);
}
