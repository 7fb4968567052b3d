// Kernel objects behind HANDLE values. Internal to the platform library.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/base/WinTypes.h"

namespace qv::kernel {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // False for objects that only their own close function may close (finds).
  virtual bool ClosedByCloseHandle() const { return true; }
};

// An object a wait can be satisfied by. Waits and every change of a
// waitable's state run under WaitLock(); waits sleep on WaitCondition(), so
// any change wakes them to try again.
class Waitable : public KernelObject {
 public:
  // Satisfies one wait if the object is signalled now (takes a mutex, resets
  // an auto-reset event); false otherwise.
  virtual bool TryAcquire() = 0;
  // Gives back what TryAcquire() took, when a wait for all objects could not
  // take the rest.
  virtual void Undo() {}
  // After a successful TryAcquire(): whether the object was a mutex its
  // owner left behind by ending (the wait then reports WAIT_ABANDONED).
  virtual bool TakeAbandoned() { return false; }
  // True when the state lives outside this process and must be polled.
  virtual bool Polled() const { return false; }
  // How many waits of this process look at the object now (under
  // WaitLock()), for objects whose changes wake only when someone waits;
  // null for the others, whose every change wakes all waits.
  virtual int* Waiters() { return nullptr; }
};

HANDLE AddObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindObject(HANDLE handle);
template <class T>
std::shared_ptr<T> Find(HANDLE handle) {
  // The found reference is handed on rather than copied: one count taken, not three.
  std::shared_ptr<KernelObject> found = FindObject(handle);
  T* object = dynamic_cast<T*>(found.get());
  return object != nullptr ? std::shared_ptr<T>(std::move(found), object) : nullptr;
}
// Removes the handle; false (and error 6) when it is not a handle of `T`.
bool RemoveObject(HANDLE handle, bool (*accept)(KernelObject&));

// The lock every wait and every change of a waitable's state runs under.
std::mutex& WaitLock();
// The wake-up the waits sleep on.
std::condition_variable& WaitCondition();
// Wakes all waits to recheck their objects (call with WaitLock() held or not).
void WakeWaiters();

}  // namespace qv::kernel
