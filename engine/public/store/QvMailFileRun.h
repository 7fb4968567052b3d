// What the exporter and the importer share: one run over a list of items on
// the caller's worker thread, its observer, and the cancel flag that another
// thread sets to stop the run between two items.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/public/QvMiddleExport.h"

class QVMIDDLE_API QvMailFileRun {
 public:
  // Called on the thread that runs the worker, in this order: Start (items in
  // the source), Progress (items done so far) after each item, End (1 when
  // the run was cancelled).
  class Notification {
   public:
    virtual void Start(uint32_t total) = 0;
    virtual void Progress(uint32_t done) = 0;
    virtual void End(uint32_t cancelled) = 0;

   protected:
    ~Notification() = default;
  };

  QvMailFileRun(const QvMailFileRun&) = delete;
  QvMailFileRun& operator=(const QvMailFileRun&) = delete;

  // A non-null observer replaces the previous one.
  bool RegisterNotification(Notification* notification);
  // Always true; the run stops before its next item.
  bool Cancel();
  // The library-wide error word.
  uint32_t GetErrorInfo();

 protected:
  QvMailFileRun(uint32_t nullNotificationCode, uint32_t cancelledCode);
  ~QvMailFileRun() = default;

  // Runs `step` over items 0 to count-1 between the start and end calls and
  // leaves the run's code in the error word; true when every item was done.
  bool RunItems(size_t count, const std::function<uint32_t(size_t)>& step);

 private:
  const uint32_t nullNotificationCode_;
  const uint32_t cancelledCode_;
  std::atomic<uint8_t> cancel_{0};
  Notification* notification_ = nullptr;
};
