// A named mutex shared by every process that loads the engine, and the scoped
// hold of it. Waits are infinite; an abandoned mutex (its owner died) is taken
// over, since every file it guards is settled again by the next reader.
#pragma once

#include <string>

#include "platform/kernel/Sync.h"

class QvNamedMutex {
 public:
  explicit QvNamedMutex(const wchar_t* name) : handle_(CreateMutexW(nullptr, FALSE, name)) {}
  ~QvNamedMutex() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  QvNamedMutex(const QvNamedMutex&) = delete;
  QvNamedMutex& operator=(const QvNamedMutex&) = delete;

  HANDLE Handle() const { return handle_; }

  class Hold {
   public:
    explicit Hold(const QvNamedMutex& mutex) : handle_(mutex.handle_) {
      if (handle_ != nullptr) {
        DWORD wait = WaitForSingleObject(handle_, INFINITE);
        held_ = (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED);
      }
    }
    ~Hold() {
      if (held_) ReleaseMutex(handle_);
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    HANDLE handle_;
    bool held_ = false;
  };

 private:
  HANDLE handle_;
};
