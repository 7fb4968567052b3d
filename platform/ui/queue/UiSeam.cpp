#include "platform/ui/queue/UiSeam.h"

#include <atomic>
#include <map>
#include <mutex>

#include "platform/ui/queue/SeamHooks.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/Observers.h"
#include "platform/ui/queue/ThreadQueue.h"

namespace qv::ui {
namespace {

struct Observers {
  std::mutex lock;
  std::map<int, ui_seam::Observer> list;
  int next = 1;
};

Observers& O() {
  static Observers* o = new Observers;
  return *o;
}

std::atomic<int> g_observerCount{0};

}  // namespace

void Observe(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, unsigned how) {
  if (g_observerCount.load(std::memory_order_relaxed) == 0) return;
  std::vector<ui_seam::Observer> copy;
  {
    std::lock_guard<std::mutex> g(O().lock);
    for (auto& [id, o] : O().list) copy.push_back(o);
  }
  const ui_seam::Observed seen{hwnd, message, wParam, lParam, how};
  for (auto& o : copy) o(seen);
}

}  // namespace qv::ui

namespace qv::ui_seam {

using namespace qv::ui;

int AddObserver(Observer observer) {
  std::lock_guard<std::mutex> g(O().lock);
  const int id = O().next++;
  O().list.emplace(id, std::move(observer));
  g_observerCount = static_cast<int>(O().list.size());
  return id;
}

void RemoveObserver(int id) {
  std::lock_guard<std::mutex> g(O().lock);
  O().list.erase(id);
  g_observerCount = static_cast<int>(O().list.size());
}

void InjectPointer(UINT message, POINT screen) {
  DWORD flags = MOUSEEVENTF_ABSOLUTE;
  switch (message) {
    case WM_MOUSEMOVE: flags |= MOUSEEVENTF_MOVE; break;
    case WM_LBUTTONDOWN: flags |= MOUSEEVENTF_LEFTDOWN; break;
    case WM_LBUTTONUP: flags |= MOUSEEVENTF_LEFTUP; break;
    case WM_RBUTTONDOWN: flags |= MOUSEEVENTF_RIGHTDOWN; break;
    case WM_RBUTTONUP: flags |= MOUSEEVENTF_RIGHTUP; break;
    default: return;
  }
  mouse_event(flags, static_cast<DWORD>(screen.x), static_cast<DWORD>(screen.y), 0, 0);
}

void InjectTap(POINT screen) {
  InjectPointer(WM_LBUTTONDOWN, screen);
  InjectPointer(WM_LBUTTONUP, screen);
}

void InjectWheel(POINT screen, int delta) {
  mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_WHEEL, static_cast<DWORD>(screen.x), static_cast<DWORD>(screen.y),
              static_cast<DWORD>(delta), 0);
}

WindowState ReadWindow(HWND hwnd) {
  auto lock = LockUi();
  WindowState s;
  Window* w = Find(hwnd, false);
  if (!w) return s;
  ThreadQueue& q = *w->queue;
  s.exists = true;
  s.className = w->cls->name;
  s.text = w->text;
  s.style = w->style;
  s.exStyle = w->exStyle;
  s.window = ScreenRect(*w);
  s.client = ScreenClient(*w);
  s.parent = w->parent && !IsDesktop(w->parent) ? w->parent->hwnd : nullptr;
  s.owner = w->owner ? w->owner->hwnd : nullptr;
  s.visible = ShownOnScreen(*w);
  s.enabled = EnabledChain(*w);
  s.redraw = w->redraw;
  s.update = w->update;
  s.erase = w->erase;
  s.thread = q.thread;
  s.timers = static_cast<int>(std::count_if(q.timers.begin(), q.timers.end(), [hwnd](const Timer& t) { return t.hwnd == hwnd; }));
  s.focused = q.focus == hwnd;
  s.active = q.active == hwnd;
  s.captured = q.capture == hwnd;
  s.caretShown = q.caret.owner == hwnd && q.caret.hidden == 0 && q.caret.paintHidden == 0;
  s.caret = q.caret.owner == hwnd ? q.caret.pos : POINT{};
  return s;
}

void Reset() {
  std::vector<HWND> mine;
  if (ThreadQueue* q = CurrentQueueIfAny()) {
    auto lock = LockUi();
    for (Window* w : Desktop()->children) {
      if (w->queue.get() == q) mine.push_back(w->hwnd);
    }
  }
  for (HWND h : mine) DestroyWindow(h);
  if (ThreadQueue* q = CurrentQueueIfAny()) {
    auto lock = LockUi();
    q->posted.clear();
    q->input.clear();
    q->timers.clear();
    q->quit = false;
    std::fill(std::begin(q->keys), std::end(q->keys), BYTE{0});
    q->caret = Caret{};
  }
  ForgetAsyncKeys();
  ForgetClipboard();
  SetOrientation(Orientation::Portrait);
  SetPlatformType(L"");
  UnfixClock();
}

}  // namespace qv::ui_seam
