#include "app/mailops/dialogs/QvRoundRecvResultPage.h"

#include "app/protocol/WindowMessages.h"
#include "platform/base/WinFormat.h"

CString RoundRecvResultText(const RoundRecvResult& result) {
  if (result.code == kCodeAborted && result.count < 1) return CString(L":中止");
  if (result.code == kCodeAborted || result.code == 0 || result.code == kCodeNothingLeft) {
    return CString(qv::FormatW(L":%d件", result.count).c_str());
  }
  return CString(L":エラー");
}

QvRoundRecvResultPage::QvRoundRecvResultPage() : QvScrollPage(kTemplate) {}

QvRoundRecvResultPage::~QvRoundRecvResultPage() = default;

BOOL QvRoundRecvResultPage::OnInitDialog() {
  const BOOL r = QvScrollPage::OnInitDialog();
  FillLines();
  relayout_ = true;
  return r;
}

void QvRoundRecvResultPage::FillLines() {
  for (int i = 0; i < kLines; ++i) {
    const UINT id = kFirstLineId + static_cast<UINT>(i);
    if (static_cast<size_t>(i) < results_.size()) {
      const RoundRecvResult& result = results_[static_cast<size_t>(i)];
      const std::wstring name = qv::FormatW(L"・%s", result.account.c_str());
      lines_[static_cast<size_t>(i)].Bind(this, id, name.c_str(), RoundRecvResultText(result));
    } else if (HWND unused = ::GetDlgItem(m_hWnd, static_cast<int>(id))) {
      ::MoveWindow(unused, 0, 0, 0, 0, FALSE);
      ::ShowWindow(unused, SW_HIDE);
    }
  }
}

void QvRoundRecvResultPage::Layout(bool force) {
  const bool portrait = GetSystemMetrics(SM_CXSCREEN) < GetSystemMetrics(SM_CYSCREEN);
  if (!force && !relayout_ && portrait == portrait_) return;
  RECT client{};
  GetClientRect(&client);
  const int b = client.right - client.left;
  const int column = (b - 3 * kMargin) / 2;
  for (int i = 0; i < kLines && static_cast<size_t>(i) < results_.size(); ++i) {
    QvStaticResult& line = lines_[static_cast<size_t>(i)];
    if (!line.m_hWnd) continue;
    const int h = line.LineHeight();
    if (portrait) {
      line.MoveWindow(kMargin, i * h + (i + 1) * kMargin, b - 2 * kMargin, h, TRUE);
    } else {
      const int row = (i + 2) / 2;
      line.MoveWindow(i % 2 == 0 ? kMargin : column + 2 * kMargin, (row - 1) * h + row * kMargin, column, h, TRUE);
    }
  }
  relayout_ = false;
  portrait_ = portrait;
}

LRESULT QvRoundRecvResultPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  // Laid out before the base measures the children for its scroll range.
  if (message == WM_SIZE) Layout(false);
  return QvScrollPage::WindowProc(message, wParam, lParam);
}
