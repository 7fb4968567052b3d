#include "platform/testing/MessageLog.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui/window/Window.h"

namespace qv::testing {
namespace {

struct Named {
  UINT message;
  const char* name;
};

constexpr Named kNames[] = {
    {WM_NULL, "WM_NULL"}, {WM_CREATE, "WM_CREATE"}, {WM_DESTROY, "WM_DESTROY"}, {WM_MOVE, "WM_MOVE"},
    {WM_SIZE, "WM_SIZE"}, {WM_ACTIVATE, "WM_ACTIVATE"}, {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_KILLFOCUS, "WM_KILLFOCUS"}, {WM_ENABLE, "WM_ENABLE"}, {WM_SETREDRAW, "WM_SETREDRAW"},
    {WM_SETTEXT, "WM_SETTEXT"}, {WM_GETTEXT, "WM_GETTEXT"}, {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
    {WM_PAINT, "WM_PAINT"}, {WM_CLOSE, "WM_CLOSE"}, {WM_QUIT, "WM_QUIT"}, {WM_ERASEBKGND, "WM_ERASEBKGND"},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW"}, {WM_SETTINGCHANGE, "WM_SETTINGCHANGE"}, {WM_CANCELMODE, "WM_CANCELMODE"},
    {WM_SETFONT, "WM_SETFONT"}, {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
    {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"}, {WM_NOTIFY, "WM_NOTIFY"}, {WM_STYLECHANGING, "WM_STYLECHANGING"},
    {WM_STYLECHANGED, "WM_STYLECHANGED"}, {WM_NCDESTROY, "WM_NCDESTROY"}, {WM_GETDLGCODE, "WM_GETDLGCODE"},
    {WM_KEYDOWN, "WM_KEYDOWN"}, {WM_KEYUP, "WM_KEYUP"}, {WM_CHAR, "WM_CHAR"}, {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
    {WM_SYSKEYUP, "WM_SYSKEYUP"}, {WM_SYSCHAR, "WM_SYSCHAR"}, {WM_INITDIALOG, "WM_INITDIALOG"},
    {WM_COMMAND, "WM_COMMAND"}, {WM_TIMER, "WM_TIMER"}, {WM_HSCROLL, "WM_HSCROLL"}, {WM_VSCROLL, "WM_VSCROLL"},
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"}, {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
    {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"}, {WM_RBUTTONUP, "WM_RBUTTONUP"},
    {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"}, {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"}, {WM_COPY, "WM_COPY"},
    {WM_PASTE, "WM_PASTE"}, {WM_USER, "WM_USER"}, {WM_APP, "WM_APP"},
    {WM_INITMENU, "WM_INITMENU"}, {WM_INITMENUPOPUP, "WM_INITMENUPOPUP"}, {WM_MENUSELECT, "WM_MENUSELECT"},
    {WM_ENTERIDLE, "WM_ENTERIDLE"}, {WM_ENTERMENULOOP, "WM_ENTERMENULOOP"}, {WM_EXITMENULOOP, "WM_EXITMENULOOP"},
};

std::string Hex(uint64_t v) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(v));
  return b;
}

std::string Describe(UINT message, unsigned flags, WPARAM wParam, LPARAM lParam, bool showParams) {
  std::string s = MessageName(message);
  const std::pair<unsigned, const char*> parts[] = {{seq::sent, "sent"},       {seq::posted, "posted"},
                                                    {seq::parent, "parent"},   {seq::other, "other"},
                                                    {seq::defwinproc, "defwinproc"}, {seq::optional, "optional"}};
  for (auto [bit, name] : parts) {
    if (flags & bit) s += std::string(" ") + name;
  }
  if (showParams || (flags & seq::wparam)) s += " wParam=" + Hex(wParam);
  if (showParams || (flags & seq::lparam)) s += " lParam=" + Hex(static_cast<uint64_t>(lParam));
  return s;
}

}  // namespace

std::string MessageName(UINT message) {
  for (const Named& n : kNames) {
    if (n.message == message) return n.name;
  }
  if (message > WM_USER && message < WM_APP) return "WM_USER+" + std::to_string(message - WM_USER);
  if (message > WM_APP && message < 0xC000u) return "WM_APP+" + std::to_string(message - WM_APP);
  return Hex(message);
}

MessageLog::MessageLog() {
  id_ = qv::ui_seam::AddObserver([this](const qv::ui_seam::Observed& o) {
    HWND parent = GetAncestor(o.hwnd, GA_PARENT);
    std::lock_guard<std::mutex> g(lock_);
    if (std::find(ignored_.begin(), ignored_.end(), o.message) != ignored_.end()) return;
    seen_.push_back({o, parent});
  });
}

MessageLog::~MessageLog() { qv::ui_seam::RemoveObserver(id_); }

void MessageLog::Ignore(std::vector<UINT> messages) {
  std::lock_guard<std::mutex> g(lock_);
  ignored_ = std::move(messages);
}

void MessageLog::Clear() {
  std::lock_guard<std::mutex> g(lock_);
  seen_.clear();
}

std::vector<UINT> MessageLog::MessagesOf(HWND hwnd) const {
  std::lock_guard<std::mutex> g(lock_);
  std::vector<UINT> out;
  for (const Seen& s : seen_) {
    if (s.what.hwnd == hwnd) out.push_back(s.what.message);
  }
  return out;
}

std::string MessageLog::Compare(HWND subject, const std::vector<MsgEntry>& expected) const {
  std::lock_guard<std::mutex> g(lock_);
  HWND subjectParent = nullptr;
  for (const Seen& s : seen_) {
    if (s.what.hwnd == subject) subjectParent = s.parent;
  }
  // Each recorded message as the flags a table would give it.
  std::vector<MsgEntry> actual;
  for (const Seen& s : seen_) {
    unsigned flags = 0;
    if (s.what.how & qv::ui_seam::kObservedSent) flags |= seq::sent;
    if (s.what.how & qv::ui_seam::kObservedPosted) flags |= seq::posted;
    if (s.what.how & qv::ui_seam::kObservedDefWinProc) flags |= seq::defwinproc;
    if (s.what.hwnd != subject) flags |= s.what.hwnd == subjectParent && subjectParent ? seq::parent : seq::other;
    actual.push_back({s.what.message, flags, s.what.wParam, s.what.lParam});
  }
  constexpr unsigned kKind = seq::sent | seq::posted | seq::parent | seq::other | seq::defwinproc;
  auto matches = [](const MsgEntry& want, const MsgEntry& got) {
    return want.message == got.message && (want.flags & kKind) == (got.flags & kKind) &&
           (!(want.flags & seq::wparam) || want.wParam == got.wParam) &&
           (!(want.flags & seq::lparam) || want.lParam == got.lParam);
  };
  size_t a = 0;
  size_t e = 0;
  bool ok = true;
  while (ok && (a < actual.size() || e < expected.size())) {
    if (e < expected.size() && a < actual.size() && matches(expected[e], actual[a])) {
      ++a;
      ++e;
    } else if (e < expected.size() && (expected[e].flags & seq::optional)) {
      ++e;
    } else {
      ok = false;
    }
  }
  if (ok) return "";
  std::string out = "expected:\n";
  for (size_t i = 0; i < expected.size(); ++i) {
    out += (i == e ? "  > " : "    ") +
           Describe(expected[i].message, expected[i].flags, expected[i].wParam, expected[i].lParam, false) + "\n";
  }
  out += "received:\n";
  for (size_t i = 0; i < actual.size(); ++i) {
    out += (i == a ? "  > " : "    ") +
           Describe(actual[i].message, actual[i].flags, actual[i].wParam, actual[i].lParam, true) + "\n";
  }
  return out;
}

}  // namespace qv::testing
