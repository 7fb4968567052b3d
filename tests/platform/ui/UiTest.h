// A fixture for window tests: its own device root, the UI clock fixed, one
// test class whose procedure a test can take over message by message, and a
// log of every message any window receives.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "platform/gdi/Gdi.h"
#include "platform/testing/MessageLog.h"
#include "platform/testing/Seams.h"
#include "platform/ui/WinUser.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {

using qv::seams::MsgEntry;
namespace seq = qv::seams::seq;

// Answers a message in place of DefWindowProcW when it returns a value.
using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

inline Handler& CurrentHandler() {
  static Handler h;
  return h;
}

inline LRESULT TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Handler& h = CurrentHandler()) {
    if (auto r = h(hwnd, message, wParam, lParam)) return *r;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr const wchar_t* kTestClass = L"WCE_QvTestWindow";

class UiTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    qv::seams::FixUiClock(1000);
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestProc;
    wc.cbWndExtra = 16;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    wc.lpszClassName = kTestClass;
    RegisterClassW(&wc);  // once per process; later calls find it there
    CurrentHandler() = nullptr;
  }
  void TearDown() override {
    CurrentHandler() = nullptr;
    DeviceRootTest::TearDown();
  }

  static HWND Make(DWORD style = WS_POPUP, HWND parent = nullptr, RECT r = {0, 0, 480, 800}, int id = 0,
                   const wchar_t* title = L"") {
    return CreateWindowExW(0, kTestClass, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }
  static int Pump() { return qv::seams::PumpMessages(); }
  static WPARAM W(HWND h) { return reinterpret_cast<WPARAM>(h); }
  static LPARAM L(HWND h) { return reinterpret_cast<LPARAM>(h); }

  qv::seams::MessageLog log_;
};

}  // namespace qv::test
