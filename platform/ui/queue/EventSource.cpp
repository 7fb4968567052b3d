#include "platform/ui/queue/EventSource.h"

#include "platform/ui/queue/ThreadQueue.h"

namespace qv::ui {

// Never destroyed: queues of threads that outlive static destruction hold it.
std::shared_ptr<EventSource> HeadlessSource() {
  static const auto* headless = new std::shared_ptr<EventSource>(std::make_shared<HeadlessEventSource>());
  return *headless;
}

void SetEventSource(std::shared_ptr<EventSource> source) {
  auto q = CurrentQueue();
  std::shared_ptr<EventSource> old;
  {
    auto lock = LockUi();
    old = std::move(q->source);
    q->source = source ? std::move(source) : HeadlessSource();
    q->outside = q->source != HeadlessSource();
    Touch(*q);
  }
  // `old` goes here, outside the lock: a display closes its window.
}

}  // namespace qv::ui
