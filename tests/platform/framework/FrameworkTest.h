// A fixture for framework tests: the window tests' fixture, a record of the
// handlers that ran (in order), an edit-field stand-in for data exchange
// (text typed with keys, painted as it stands), and clean-up of the
// framework's temporary objects.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/framework/Framework.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {

// What ran, in order.
inline std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}
inline void Called(const std::string& what) { Calls().push_back(what); }

constexpr const wchar_t* kEditClass = L"QvTestEdit";

// Takes characters and Backspace when it has the focus; a tap focuses it.
inline LRESULT TestEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_CHAR: {
      WCHAR text[128] = {};
      GetWindowTextW(hwnd, text, 128);
      std::wstring s = text;
      if (wParam == VK_BACK) {
        if (!s.empty()) s.pop_back();
      } else if (wParam >= L' ') {
        s.push_back(static_cast<wchar_t>(wParam));
      }
      SetWindowTextW(hwnd, s.c_str());
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case EM_SETSEL:
      SetWindowLongW(hwnd, 0, static_cast<LONG_PTR>(lParam));  // the selection's end
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r{};
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
      FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWTEXT));
      WCHAR text[128] = {};
      const int n = GetWindowTextW(hwnd, text, 128);
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0)));
      SetBkMode(dc, TRANSPARENT);
      TextOutW(dc, 6, 4, text, n);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// The steps of a scripted session, taken one at a time whenever the program
// waits for input: in the application's idle time and, while a modal dialog
// or a menu is up, on the owner's WM_ENTERIDLE. A dialog still up when the
// steps run out is cancelled and a menu closed, so that a script gone wrong
// fails, never hangs.
inline std::deque<std::function<void()>>& Script() {
  static std::deque<std::function<void()>> steps;
  return steps;
}

// Runs the next step, then wakes the loop so that it comes back to idle
// even when the step queued nothing.
inline bool TakeStep(HWND wake) {
  if (Script().empty()) return false;
  auto step = std::move(Script().front());
  Script().pop_front();
  step();
  PostMessageW(wake, WM_NULL, 0, 0);
  return true;
}

class ScriptFrame : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      if (!TakeStep(m_hWnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
      if (!TakeStep(m_hWnd)) ::EndMenu();
      return 0;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
};

// Keeps what AfxMessageBox was asked to show and answers OK.
class BoxApp : public CWinApp {
 public:
  int DoMessageBox(LPCTSTR prompt, UINT, UINT) override {
    boxes.push_back(prompt);
    return IDOK;
  }
  std::vector<std::wstring> boxes;
};

class FrameworkTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestEditProc;
    wc.cbWndExtra = static_cast<int>(sizeof(LONG_PTR));
    wc.lpszClassName = kEditClass;
    RegisterClassW(&wc);
    Calls().clear();
  }
  void TearDown() override {
    Script().clear();
    DialogTest::TearDown();
    CWnd::DeleteTempMap();
    Calls().clear();
  }

  static std::wstring TextOf(HWND hwnd) { return qv::seams::ReadWindow(hwnd).text; }
};

}  // namespace qv::test
