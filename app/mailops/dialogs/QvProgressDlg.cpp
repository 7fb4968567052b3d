#include "app/mailops/dialogs/QvProgressDlg.h"

#include "app/foundation/CloseRequest.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/AfxResource.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/Debug.h"
#include "platform/shell/DeviceServices.h"
#include "platform/shell/ShellUi.h"

namespace {

constexpr const wchar_t* kAccountLine = L"アカウント名: %s";
constexpr const wchar_t* kImporting = L"インポート中";
constexpr const wchar_t* kExporting = L"エクスポート中";
constexpr const wchar_t* kConnecting = L"接続中";
constexpr const wchar_t* kSending = L"メール送信中";
constexpr const wchar_t* kReceiving = L"メール受信中";
constexpr const wchar_t* kDownloading = L"ダウンロード中";
constexpr const wchar_t* kChangingServer = L"接続先変更中";
constexpr const wchar_t* kAborting = L"中断処理中";
constexpr const wchar_t* kCount = L"%d/%d件";

// The phone-status item that shows the input mode; its low four bits are
// the mode, 7 none while the window is up.
constexpr unsigned int kInputModeItem = 22;
constexpr unsigned int kNoInputMode = 7;

struct Place {
  UINT id;
  RECT r;  // left, top, width, height
};
// Where the controls stand in the 360 x 360 window.
constexpr Place kLayout[] = {
    {QvProgressDlg::kCountId, {55, 35, 250, 30}},
    {QvProgressDlg::kImageId, {30, 65, 300, 220}},
    // Kept clear of the abort button beside it (the longest text needs 150).
    {QvProgressDlg::kOperationId, {25, 315, 200, 30}},
    {QvProgressDlg::kAbortId, {230, 305, 120, 40}},
};

LPCWSTR StartText(int kind) {
  switch (kind) {
    case QvProgressDlg::kImport: return kImporting;
    case QvProgressDlg::kExport: return kExporting;
    case QvProgressDlg::kDownload: return kDownloading;
    default: return kConnecting;
  }
}

// The set a kind starts with: sending and export show a letter leaving.
int StartSet(int kind) { return kind == QvProgressDlg::kExport || kind == QvProgressDlg::kSend ? 0 : 1; }

// The input method's context of a window (none: null), kept associated.
HIMC ContextOf(HWND hwnd) {
  HIMC context = ImmAssociateContext(hwnd, nullptr);
  ImmAssociateContext(hwnd, context);
  return context;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvProgressDlg, CDialog)
  ON_WM_DESTROY()
  ON_WM_ACTIVATE()
  ON_WM_TIMER()
  ON_WM_WINDOWPOSCHANGED()
  ON_COMMAND(QvProgressDlg::kAbortId, &QvProgressDlg::OnCancel)
  ON_COMMAND(kTaskSucceededCommand, &QvProgressDlg::OnTaskSucceeded)
  ON_COMMAND(kTaskFailedCommand, &QvProgressDlg::OnTaskFailed)
  ON_MESSAGE(kConnectionStateMessage, &QvProgressDlg::OnChgTitle)
  ON_MESSAGE(kProgressCountMessage, &QvProgressDlg::OnProgress)
  ON_MESSAGE(kBackMessage, &QvProgressDlg::OnBack)
END_MESSAGE_MAP()

QvProgressDlg::QvProgressDlg(QvTask* task, CWnd* parent, int kind, LPCWSTR account, QvRasHolder* holder)
    : CDialog(kTemplate, parent), task_(task), kind_(kind), account_(account ? account : L""), holder_(holder) {
  set_ = StartSet(kind);
}

QvProgressDlg::~QvProgressDlg() = default;

void QvProgressDlg::SetText(UINT id, LPCWSTR text) {
  if (HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(id))) ::SetWindowTextW(control, text);
}

BOOL QvProgressDlg::OnInitDialog() {
  OutputDebugStringW(L"QvProgressDlg::OnInitDialog\r\n");
  accountLine_ = qv::FormatW(kAccountLine, static_cast<LPCWSTR>(account_)).c_str();
  CDialog::OnInitDialog();
  SetWindowText(kMainWindowTitle);
  CreateMenuBar(m_hWnd, kMenuBar);

  for (UINT id : {kOperationId, kCountId, kExtraTextId, kAccountLineId}) SetText(id, L"");
  SetText(kOperationId, StartText(kind_));
  if (kind_ >= kSend) SetText(kAccountLineId, accountLine_);

  // Progress is shown as a count only.
  if (HWND bar = ::GetDlgItem(m_hWnd, kProgressBarId)) ::ShowWindow(bar, SW_HIDE);
  Centre();

  frame_ = 0;
  ShowFrame();
  for (const Place& p : kLayout) {
    if (HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(p.id))) {
      ::MoveWindow(control, p.r.left, p.r.top, p.r.right, p.r.bottom, TRUE);
    }
  }

  SetTimer(kIdleTimer, kIdleTimerMs, nullptr);
  SetTimer(kAnimationTimer, kAnimationMs, nullptr);
  RegisterSecondWindow(this);
  if (task_ != nullptr) task_->Start(m_hWnd, holder_);
  return TRUE;
}

// Each frame is loaded when it is first shown: all ten at once would keep
// the queue waiting before the window's first turn.
void QvProgressDlg::ShowFrame() {
  auto& set = set_ == 0 ? sending_ : arriving_;
  const auto& ids = set_ == 0 ? kSendingImages : kArrivingImages;
  auto& shown = set[static_cast<size_t>(frame_)];
  if (!shown) shown.reset(LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(ids[static_cast<size_t>(frame_)])));
  if (HWND image = ::GetDlgItem(m_hWnd, kImageId)) {
    ::SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(set[static_cast<size_t>(frame_)].get()));
  }
}

void QvProgressDlg::Centre() {
  centring_ = true;
  HWND parent = ::GetParent(m_hWnd);
  RECT area{};
  if (parent != nullptr) {
    ::GetWindowRect(parent, &area);
  } else {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  ::SetWindowPos(m_hWnd, nullptr, area.left + (area.right - area.left - kSide) / 2,
                 area.top + (area.bottom - area.top - kSide) / 2, kSide, kSide, SWP_NOZORDER | SWP_NOACTIVATE);
  centring_ = false;
}

LRESULT QvProgressDlg::OnChgTitle(WPARAM wParam, LPARAM) {
  if (kind_ < kSend) return 0;
  int state = static_cast<int>(wParam);
  const LPCWSTR operation = kind_ == kSend ? kSending : kind_ == kDownload ? kDownloading : kReceiving;
  if (!firstStateSeen_) {
    changePending_ = state == 2;
    firstStateSeen_ = true;
    // A run that starts by letting an earlier connection go is changing
    // servers: when that release is already queued behind this first state,
    // say so at once rather than flash "connecting".
    MSG queued{};
    if (state != 2 &&
        ::PeekMessageW(&queued, m_hWnd, kConnectionStateMessage, kConnectionStateMessage, PM_NOREMOVE) &&
        queued.wParam == 2) {
      changePending_ = true;
      if (state == 0) state = 2;
    }
  }
  LPCWSTR text = nullptr;
  switch (state) {
    case 0:
      text = changePending_ ? kChangingServer : kConnecting;
      changePending_ = false;
      break;
    case 1:
      text = operation;
      break;
    case 2:
      if (changePending_) text = kChangingServer;
      break;
    default:
      text = L"";
      break;
  }
  if (text != nullptr && !aborting_) SetText(kOperationId, text);
  OutputDebugStringW(qv::FormatW(L"QvProgressDlg::OnChgTitle:%d\r\n", state).c_str());
  return 0;
}

LRESULT QvProgressDlg::OnProgress(WPARAM wParam, LPARAM lParam) {
  const int count = static_cast<int>(wParam);
  const int total = static_cast<int>(lParam);
  lastCount_ = count;
  if (!aborting_) SetText(kCountId, qv::FormatW(kCount, count != total ? count + 1 : count, total).c_str());
  return 0;
}

void QvProgressDlg::OnTimer(UINT_PTR id) {
  if (id == kIdleTimer) {
    SystemIdleTimerReset();
    return;
  }
  if (id != kAnimationTimer) {
    CDialog::OnTimer(id);
    return;
  }
  WCHAR text[64] = {};
  ::GetDlgItemTextW(m_hWnd, kOperationId, text, 64);
  const std::wstring shown(text);
  if (shown == kReceiving || shown == kImporting || shown == kDownloading) {
    set_ = 1;
  } else if (shown == kSending || shown == kExporting) {
    set_ = 0;
  } else {
    return;
  }
  frame_ = (frame_ + 1) % kFrames;
  ShowFrame();
}

void QvProgressDlg::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CDialog::OnActivate(state, other, minimized);
  HIMC context = ContextOf(m_hWnd);
  if (!saved_) {
    savedStatus_ = GetPhoneStatus(kInputModeItem);
    DWORD sentence = 0;
    if (context) ImmGetConversionStatus(context, &savedConversion_, &sentence);
    saved_ = true;
  }
  SetPhoneStatus(kInputModeItem, (GetPhoneStatus(kInputModeItem) & ~0xFu) | kNoInputMode);
  if (context) ImmSetConversionStatus(context, 0, 0);
}

void QvProgressDlg::OnDestroy() {
  KillTimer(kIdleTimer);
  KillTimer(kAnimationTimer);
  CDialog::OnDestroy();
  if (saved_) {
    SetPhoneStatus(kInputModeItem, (savedStatus_ & 0xFu) | (GetPhoneStatus(kInputModeItem) & ~0xFu));
    if (HIMC context = ContextOf(m_hWnd)) ImmSetConversionStatus(context, savedConversion_, 0);
  }
  RegisterSecondWindow(nullptr);
}

void QvProgressDlg::OnWindowPosChanged(WINDOWPOS* pos) {
  CDialog::OnWindowPosChanged(pos);
  if (centring_ || (pos->flags & SWP_NOMOVE && pos->flags & SWP_NOSIZE)) return;
  RECT r{};
  ::GetWindowRect(m_hWnd, &r);
  if (r.right - r.left == kSide && r.bottom - r.top == kSide) return;
  Centre();
}

void QvProgressDlg::OnCancel() {
  aborting_ = true;
  if (task_ == nullptr) return;
  task_->Cancel();
  SetText(kOperationId, kAborting);
}

LRESULT QvProgressDlg::OnBack(WPARAM, LPARAM) {
  OnCancel();
  return 0;
}

void QvProgressDlg::EndWithResult(int result) {
  if (closePending_) {
    closePending_ = false;
    ForwardPendingClose();
  }
  EndDialog(result);
}

void QvProgressDlg::OnTaskSucceeded() { EndWithResult(IDOK); }
void QvProgressDlg::OnTaskFailed() { EndWithResult(IDCANCEL); }

LRESULT QvProgressDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The close request: the running operation is stopped first, and the
  // close goes on to the main window when the task has ended.
  if (IsCloseRequestMessage(message)) {
    closePending_ = true;
    ClosePendingFlag = true;
    ::PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
    return kCloseTakenOver;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}
