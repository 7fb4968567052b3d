#include "app/foundation/MessageBoxes.h"

#include <algorithm>
#include <cwchar>

#include "app/foundation/ProgramScreen.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Memory.h"
#include "platform/kernel/SystemMessage.h"

namespace {

constexpr const wchar_t* kConfirm = L"確認";
constexpr const wchar_t* kNotice = L"お知らせ";
constexpr const wchar_t* kWarning = L"警告";
constexpr const wchar_t* kError = L"エラー";

UINT QuestionType(UINT buttons, bool defaultYes) {
  return buttons | MB_ICONQUESTION | (defaultYes ? 0u : MB_DEFBUTTON2);
}

}  // namespace

CString LoadResString(UINT id) {
  CString text;
  text.LoadString(id);
  return text;
}

int QvMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  // Nobody could see or answer it: the start goes on as if cancelled.
  if (!EnsureScreen()) return IDCANCEL;
  SendMessageW(owner, kSystemBoxMessage, 1, 0);
  const int answer = MessageBoxW(owner, text, caption, type);
  SendMessageW(owner, kSystemBoxMessage, 0, 0);
  return answer;
}

bool ShowConfirmBox(HWND owner, LPCWSTR text, bool defaultYes) {
  return QvMessageBox(owner, text, kConfirm, QuestionType(MB_YESNO, defaultYes)) == IDYES;
}

int ShowNoticeBox(HWND owner, LPCWSTR text) { return QvMessageBox(owner, text, kNotice, MB_ICONINFORMATION); }
int ShowWarningBox(HWND owner, LPCWSTR text) { return QvMessageBox(owner, text, kWarning, MB_ICONWARNING); }
int ShowErrorBox(HWND owner, LPCWSTR text) { return QvMessageBox(owner, text, kError, MB_ICONERROR); }

bool ShowConfirmBoxRes(HWND owner, UINT stringId, bool defaultYes) {
  return ShowConfirmBox(owner, LoadResString(stringId), defaultYes);
}

int ShowConfirmCancelBoxRes(HWND owner, UINT stringId, bool defaultYes) {
  return QvMessageBox(owner, LoadResString(stringId), kConfirm, QuestionType(MB_YESNOCANCEL, defaultYes));
}

void ShowNoticeBoxRes(HWND owner, UINT stringId) { ShowNoticeBox(owner, LoadResString(stringId)); }
void ShowWarningBoxRes(HWND owner, UINT stringId) { ShowWarningBox(owner, LoadResString(stringId)); }
void ShowErrorBoxRes(HWND owner, UINT stringId) { ShowErrorBox(owner, LoadResString(stringId)); }

void ShowSystemErrorBox(HWND owner, UINT formatId, DWORD error) {
  WCHAR reason[256];
  GetSystemErrorText(reason, 256, error);
  CString text;
  text.Format(static_cast<LPCWSTR>(LoadResString(formatId)), reason);
  ShowErrorBox(owner, text);
}

void GetSystemErrorText(LPWSTR buffer, int size, DWORD error) {
  if (!buffer || size <= 0) return;
  buffer[0] = L'\0';
  LPWSTR text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (!text) return;
  // Only a line end goes: a text without one keeps its last characters.
  if (length >= 2 && text[length - 2] == L'\r' && text[length - 1] == L'\n') length -= 2;
  if (length < static_cast<DWORD>(size)) {
    std::wmemcpy(buffer, text, length);
    buffer[length] = L'\0';
  }
  LocalFree(text);
}

void ShowMemoryStatus() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  NKDbgPrintfW(L"=== Memory %d\r\n", static_cast<int>(status.dwAvailPhys));
}

void CentreBoxOverOwner(HWND box) {
  const qv::ui::DeviceProfile screen = qv::ui::CurrentProfile();
  RECT area{0, 0, screen.width, screen.height};
  HWND owner = GetWindow(box, GW_OWNER);
  if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
  RECT self{};
  GetWindowRect(box, &self);
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  LONG x = area.left + (area.right - area.left - width) / 2;
  LONG y = area.top + (area.bottom - area.top - height) / 2;
  x = std::max<LONG>(0, std::min<LONG>(x, screen.width - width));
  y = std::max<LONG>(0, std::min<LONG>(y, screen.height - height));
  SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
