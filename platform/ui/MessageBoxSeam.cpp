#include "platform/ui/MessageBoxSeam.h"

#include <atomic>
#include <mutex>

#include "platform/ui/MessageBox.h"

namespace qv::msgbox_seam {
namespace {

struct State {
  std::mutex lock;
  Handler handler;
  ShownHandler shown;
  int answer = IDNO;
};

State& S() {
  static State* s = new State;  // outlives threads still running at exit
  return *s;
}

std::atomic<int> g_questions{0};

}  // namespace

void SetAnswer(int answer) {
  std::lock_guard<std::mutex> g(S().lock);
  S().answer = answer;
}

void SetHandler(Handler h) {
  std::lock_guard<std::mutex> g(S().lock);
  S().handler = std::move(h);
}

void SetShownHandler(ShownHandler h) {
  std::lock_guard<std::mutex> g(S().lock);
  S().shown = std::move(h);
}

int QuestionCount() { return g_questions; }

void Reset() {
  std::lock_guard<std::mutex> g(S().lock);
  S().handler = nullptr;
  S().shown = nullptr;
  S().answer = IDNO;
  g_questions = 0;
}

int Decide(const std::wstring& text, const std::wstring& caption, bool question) {
  Handler handler;
  int answer;
  {
    std::lock_guard<std::mutex> g(S().lock);
    handler = S().handler;
    answer = S().answer;
  }
  if (!question) return answer == kShowBox ? kShowBox : IDOK;
  ++g_questions;
  return handler ? handler(text, caption) : answer;  // outside the lock: it may set seams
}

void BoxShown(HWND box) {
  ShownHandler shown;
  {
    std::lock_guard<std::mutex> g(S().lock);
    shown = S().shown;
  }
  if (shown) shown(box);
}

}  // namespace qv::msgbox_seam
