// Helpers for dialog and control tests: templates built in memory, a dialog
// procedure a test takes over, a loop that passes messages through
// IsDialogMessageW, and a trace of chosen messages across several windows,
// each named by its role, compared with a table.
#pragma once

#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/kernel/Library.h"
#include "platform/ui/commctrl/Tab.h"
#include "platform/ui/dialog/DialogTemplate.h"
#include "tests/platform/ui/UiTest.h"

namespace qv::test {

using qv::ui::DialogControl;
using qv::ui::DialogTemplate;

using DlgHandler = std::function<std::optional<INT_PTR>(HWND, UINT, WPARAM, LPARAM)>;

inline DlgHandler& CurrentDlgHandler() {
  static DlgHandler h;
  return h;
}

// TRUE for WM_INITDIALOG and FALSE for the rest unless the test answers.
inline INT_PTR TestDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (DlgHandler& h = CurrentDlgHandler()) {
    if (auto r = h(hwnd, message, wParam, lParam)) return *r;
  }
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Forgets the test's dialog procedure before the windows go.
class DialogTest : public UiTest {
 protected:
  void TearDown() override {
    CurrentDlgHandler() = nullptr;
    UiTest::TearDown();
  }
};

inline DialogControl Control(int id, const wchar_t* cls, DWORD style, RECT box = {4, 4, 64, 18},
                             const wchar_t* text = L"") {
  return DialogControl{style | WS_VISIBLE, 0, box, id, cls, text};
}

// A dialog of 160 x 200 units with the device's 9-point font.
inline std::vector<DWORD> Units(std::vector<DialogControl> controls,
                                DWORD style = WS_POPUP | WS_CAPTION | DS_SETFONT | WS_VISIBLE) {
  DialogTemplate t;
  t.style = style;
  t.box = {0, 0, 160, 200};
  t.caption = L"テスト";
  t.controls = std::move(controls);
  return t.Build();
}

inline LPCDLGTEMPLATEW AsTemplate(const std::vector<DWORD>& units) {
  return reinterpret_cast<LPCDLGTEMPLATEW>(units.data());
}

// Takes the calling thread's messages through the dialog until none is left.
inline void PumpDialog(HWND dialog) {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageW(dialog, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
}

inline void PressKey(BYTE vk, bool shift = false) {
  if (shift) qv::seams::InjectKey(VK_SHIFT, true);
  qv::seams::InjectKey(vk, true);
  qv::seams::InjectKey(vk, false);
  if (shift) qv::seams::InjectKey(VK_SHIFT, false);
}

// The tests' resource library (tests/platform/kernel/resources/Sample.qvrc),
// from the build folder; null when the build folder is not known.
inline HMODULE LoadSampleResources() {
  const char* bin = std::getenv("QV_BINARY_DIR");
  if (!bin) return nullptr;
  ::setenv("QVMAIL_LIBRARY_PATH", (std::string(bin) + "/tests").c_str(), 1);
  return LoadLibraryW(L"QvResSample.dll");
}

inline POINT CentreOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A tap on the middle of a tab control's tab.
inline void TapTab(HWND tab, int index) {
  RECT r{};
  SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&r), 2);
  qv::seams::InjectTap({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// One expected entry: which window (by role), the message and, when given, wParam.
struct Step {
  std::string who;
  UINT message;
  std::optional<WPARAM> wParam = std::nullopt;
};

// Records the watched messages any window receives, in order.
class Trace {
 public:
  explicit Trace(std::vector<UINT> watched) : watched_(std::move(watched)) {
    id_ = qv::ui_seam::AddObserver([this](const qv::ui_seam::Observed& o) {
      std::lock_guard<std::mutex> g(lock_);
      if (std::find(watched_.begin(), watched_.end(), o.message) != watched_.end()) seen_.push_back(o);
    });
  }
  ~Trace() { qv::ui_seam::RemoveObserver(id_); }
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  void Name(HWND hwnd, const std::string& role) {
    std::lock_guard<std::mutex> g(lock_);
    names_[hwnd] = role;
  }
  void Clear() {
    std::lock_guard<std::mutex> g(lock_);
    seen_.clear();
  }
  // Empty when the trace is the table; otherwise both, by name.
  std::string Compare(const std::vector<Step>& expected) const {
    std::lock_guard<std::mutex> g(lock_);
    bool same = expected.size() == seen_.size();
    for (size_t i = 0; same && i < expected.size(); ++i) {
      same = expected[i].who == NameOf(seen_[i].hwnd) && expected[i].message == seen_[i].message &&
             (!expected[i].wParam || *expected[i].wParam == seen_[i].wParam);
    }
    if (same) return "";
    std::string out = "expected:\n";
    for (const Step& s : expected) {
      out += "  " + s.who + " " + qv::seams::MessageName(s.message) +
             (s.wParam ? " wParam=" + std::to_string(*s.wParam) : "") + "\n";
    }
    out += "received:\n";
    for (const auto& o : seen_) {
      out += "  " + NameOf(o.hwnd) + " " + qv::seams::MessageName(o.message) + " wParam=" + std::to_string(o.wParam) + "\n";
    }
    return out;
  }

 private:
  std::string NameOf(HWND hwnd) const {
    auto it = names_.find(hwnd);
    return it != names_.end() ? it->second : "?";
  }

  std::vector<UINT> watched_;
  mutable std::mutex lock_;
  std::vector<qv::ui_seam::Observed> seen_;
  std::map<HWND, std::string> names_;
  int id_ = 0;
};

}  // namespace qv::test
