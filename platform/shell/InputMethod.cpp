// The input panel and the input method's contexts. The desktop's text input
// stands in for both: the panel has no height of its own (a test can give
// it one), and a context only says whether a window takes composed text.
#include <map>
#include <mutex>

#include "platform/shell/ShellSeam.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/WinUser.h"

namespace qv::shell {
namespace {

struct Context {
  DWORD conversion = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE | IME_CMODE_ROMAN;
  DWORD sentence = IME_SMODE_NONE;
  bool open = true;
};

struct Contexts {
  std::mutex lock;
  std::map<HIMC, Context> live;
  std::map<HWND, HIMC> ofWindow;  // absent: its thread's context (ImmGetContext)
  uintptr_t next = 1;
  bool panelHidden = false;
};

Contexts& C() {
  static Contexts c;
  return c;
}

HIMC NewContext(Contexts& c) {
  HIMC h = reinterpret_cast<HIMC>(c.next++);
  c.live.emplace(h, Context{});
  return h;
}

HIMC CurrentOf(Contexts& c, HWND hwnd) {
  auto it = c.ofWindow.find(hwnd);
  return it != c.ofWindow.end() ? it->second : ::ImmGetContext(hwnd);
}

// A thread's context (the window system's) gets its settings on first use.
Context* Find(Contexts& c, HIMC h) {
  if (!h) return nullptr;
  return &c.live.try_emplace(h).first->second;
}

}  // namespace

bool CompositionEnabled(HWND hwnd) {
  auto& c = C();
  std::lock_guard g(c.lock);
  auto it = c.ofWindow.find(hwnd);
  if (it == c.ofWindow.end()) {
    HIMC own = ::ImmGetContext(hwnd);
    auto known = c.live.find(own);
    return known == c.live.end() || (known->second.open && known->second.conversion != 0);
  }
  const Context* ctx = Find(c, it->second);
  return ctx && ctx->open && ctx->conversion != 0;
}

void ForgetInputContexts() {
  auto& c = C();
  std::lock_guard g(c.lock);
  c.live.clear();
  for (auto it = c.ofWindow.begin(); it != c.ofWindow.end();) it = IsWindow(it->first) ? std::next(it) : c.ofWindow.erase(it);
  c.panelHidden = false;
}

}  // namespace qv::shell

using qv::shell::C;

HIMC ImmAssociateContext(HWND hwnd, HIMC context) {
  if (!IsWindow(hwnd)) return nullptr;
  auto& c = C();
  std::lock_guard g(c.lock);
  HIMC before = qv::shell::CurrentOf(c, hwnd);
  c.ofWindow[hwnd] = context;
  return before;
}

HIMC ImmCreateContext() {
  auto& c = C();
  std::lock_guard g(c.lock);
  return qv::shell::NewContext(c);
}

BOOL ImmDestroyContext(HIMC context) {
  auto& c = C();
  std::lock_guard g(c.lock);
  return c.live.erase(context) ? TRUE : FALSE;
}

BOOL ImmGetConversionStatus(HIMC context, LPDWORD conversion, LPDWORD sentence) {
  auto& c = C();
  std::lock_guard g(c.lock);
  const auto* ctx = qv::shell::Find(c, context);
  if (!ctx) return FALSE;
  if (conversion) *conversion = ctx->conversion;
  if (sentence) *sentence = ctx->sentence;
  return TRUE;
}

BOOL ImmSetConversionStatus(HIMC context, DWORD conversion, DWORD sentence) {
  auto& c = C();
  std::lock_guard g(c.lock);
  auto* ctx = qv::shell::Find(c, context);
  if (!ctx) return FALSE;
  ctx->conversion = conversion;
  ctx->sentence = sentence;
  return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context) {
  auto& c = C();
  std::lock_guard g(c.lock);
  const auto* ctx = qv::shell::Find(c, context);
  return ctx && ctx->open ? TRUE : FALSE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
  auto& c = C();
  std::lock_guard g(c.lock);
  auto* ctx = qv::shell::Find(c, context);
  if (!ctx) return FALSE;
  ctx->open = open != FALSE;
  return TRUE;
}

BOOL SipGetInfo(SIPINFO* info) {
  if (!info || info->cbSize < sizeof(SIPINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto p = qv::ui::CurrentProfile();
  int height = qv::shell_seam::InputPanelHeight();
  {
    std::lock_guard g(C().lock);
    if (C().panelHidden) height = 0;
  }
  info->fdwFlags = height > 0 ? (SIPF_ON | SIPF_DOCKED) : SIPF_DOCKED;
  info->rcSipRect = RECT{0, p.height - height, p.width, p.height};
  info->rcVisibleDesktop = RECT{0, 0, p.width, p.height - height};
  info->dwImDataSize = 0;
  return TRUE;
}

BOOL SipShowIM(DWORD flags) {
  std::lock_guard g(C().lock);
  C().panelHidden = !(flags & SIPF_ON);
  return TRUE;
}

BOOL SHSipPreference(HWND hwnd, SIPSTATE state) {
  if (!IsWindow(hwnd)) return FALSE;
  if (state == SIP_UP) return SipShowIM(SIPF_ON);
  if (state == SIP_DOWN || state == SIP_FORCEDOWN) return SipShowIM(SIPF_OFF);
  return TRUE;
}
