// A device program as far as QvMail meets it. Each writes what it was given
// to "\Windows\<name>.log" (one UTF-8 line each) and sets the named event
// "<name>.Logged" after every line:
//   swiftnote  the carrier's short-mail program: a window titled
//              "スウィフトノート " that, on message 0x1402, reads the number
//              left under HKCU "Software\NORVALE\PhoneApp" "Swiftnote";
//              started with "-n <number>" it logs that number first
//   opera      the browser: its main window of class "Opera_MainWndClass"
//   peghelp    the help viewer: logs its argument and ends
// The windowed ones set "<name>.Ready" once their window is up and end on
// WM_CLOSE, or after a minute of the real clock if no one closes them.
#include <string>

#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "platform/registry/Registry.h"
#include "platform/ui/WinUser.h"

namespace {

#if defined(QV_DEVICE_PROGRAM_SWIFTNOTE)
constexpr const wchar_t* kName = L"swiftnote";
constexpr const wchar_t* kClass = L"Swiftnote";
constexpr const wchar_t* kTitle = L"スウィフトノート ";
#elif defined(QV_DEVICE_PROGRAM_OPERA)
constexpr const wchar_t* kName = L"opera";
constexpr const wchar_t* kClass = L"Opera_MainWndClass";
constexpr const wchar_t* kTitle = L"Opera";
#else
constexpr const wchar_t* kName = L"peghelp";
constexpr const wchar_t* kClass = nullptr;
constexpr const wchar_t* kTitle = nullptr;
#endif

constexpr UINT kNumberLeft = 0x1402;
constexpr UINT_PTR kGuard = 1;

// Kept open for the program's life: a named event goes with its last handle.
HANDLE LoggedEvent() {
  static HANDLE logged = CreateEventW(nullptr, FALSE, FALSE, (std::wstring(kName) + L".Logged").c_str());
  return logged;
}

void Log(const std::wstring& line) {
  const std::wstring path = std::wstring(L"\\Windows\\") + kName + L".log";
  {
    const qv::ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    const std::string bytes = qv::WideToUtf8(line) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  SetEvent(LoggedEvent());
}

std::wstring NumberLeft() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\NORVALE\\PhoneApp", 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
  WCHAR number[128] = {};
  DWORD size = 2 * (std::size(number) - 1);
  DWORD type = 0;
  const LONG read = RegQueryValueExW(key, L"Swiftnote", nullptr, &type, reinterpret_cast<LPBYTE>(number), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS && type == REG_SZ ? number : L"";
}

LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kNumberLeft && wParam == kNumberLeft) {
    Log(L"message " + NumberLeft());
    return 0;
  }
  if (message == WM_TIMER && wParam == kGuard) DestroyWindow(hwnd);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  std::wstring arguments;
  for (int i = 1; i < argc; ++i) arguments += (i > 1 ? L" " : L"") + qv::Utf8ToWide(argv[i]);
  Log(L"start " + arguments);
  if (!kClass) return 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, kClass, kTitle, WS_POPUP, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
  if (!window) return 1;
  SetTimer(window, kGuard, 60000, nullptr);
  const qv::ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, (std::wstring(kName) + L".Ready").c_str()));
  SetEvent(ready.get());
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
  ResetEvent(ready.get());
  return 0;
}
