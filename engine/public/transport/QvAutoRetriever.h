// Receives the carrier's own mail account automatically: the program's
// automatic-receive thread calls StartWaiting, and StopWaiting from any
// other thread cancels the receive in progress.
#pragma once

#include "engine/public/QvMiddleExport.h"

class QvRASController;
class QvRetriever;

class QVMIDDLE_API QvAutoRetriever {
 public:
  QvAutoRetriever();
  ~QvAutoRetriever();
  QvAutoRetriever(const QvAutoRetriever&) = delete;
  QvAutoRetriever& operator=(const QvAutoRetriever&) = delete;

  // One receive of the carrier account; false without one (0x2000007).
  bool StartWaiting(QvRASController* ras);
  bool StopWaiting();
  // The retriever, for registering the program's observer.
  QvRetriever* Retriever() const { return retriever_; }

 private:
  QvRetriever* retriever_;
};
