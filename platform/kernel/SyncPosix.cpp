// Kernel objects on POSIX. A named mutex is an in-process recursive owner
// count plus a flock()ed lock file per name, which makes it exclusive between
// processes too. A named event keeps its state in a file per name, changed
// under flock() and polled by waits. For both, an open-file-description lock
// on the file's first byte tells whether another process has the name open
// (a second create then reports 183, as on the device). A mutex left held by
// an ending thread is abandoned (the next wait reports WAIT_ABANDONED); one
// left by an ending process is simply free again, since its lock goes with it.
// PulseEvent sets the event, lets the current waiters run briefly, then
// resets it.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/PosixError.h"
#include "platform/kernel/Sync.h"
#include "platform/kernel/ClockSeam.h"
#include "platform/kernel/WaitHook.h"

namespace qv::kernel {
namespace {

constexpr DWORD kErrorNotOwner = 288;  // ERROR_NOT_OWNER
constexpr auto kPollStep = std::chrono::milliseconds(2);

const auto g_processStart = std::chrono::steady_clock::now();

// Asked for at every take and release of a mutex: kept per thread, and
// forgotten in a forked child, whose only thread has an id of its own.
thread_local DWORD t_threadId = 0;
DWORD ThisThread() {
  if (t_threadId == 0) {
    static const bool registered = ::pthread_atfork(nullptr, nullptr, [] { t_threadId = 0; }) == 0;
    (void)registered;
    t_threadId = static_cast<DWORD>(::syscall(SYS_gettid));
  }
  return t_threadId;
}

std::string NameFile(const char* kind, LPCWSTR name) {
  static const char* hex = "0123456789abcdef";
  std::string file;
  for (unsigned char c : WideToUtf8(name)) {
    file.push_back(hex[c >> 4]);
    file.push_back(hex[c & 15]);
  }
  return KernelDir(kind) + "/" + file;
}

// Opens a name's file and marks this process as holding the name. Returns
// the descriptor and whether the name was new to every process.
int OpenNamed(const std::string& path, bool* isNew) {
  const int fd = OpenOwnHostFile(path, O_RDWR | O_CREAT);
  if (fd < 0) return -1;
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  *isNew = ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
  fl.l_type = F_RDLCK;  // converting an OFD lock is atomic
  ::fcntl(fd, F_OFD_SETLKW, &fl);
  return fd;
}

// ---- mutexes ----

struct MutexState {
  DWORD owner = 0;
  int count = 0;
  int waiters = 0;  // waits of this process on it, under WaitLock()
  bool abandoned = false;
  int fd = -1;  // named: the lock file
  std::wstring name;
  ~MutexState();
};

std::map<std::wstring, std::weak_ptr<MutexState>>& NamedMutexes() {
  static auto* m = new std::map<std::wstring, std::weak_ptr<MutexState>>;
  return *m;
}

MutexState::~MutexState() {
  if (fd >= 0) ::close(fd);
  std::lock_guard<std::mutex> g(WaitLock());
  auto it = NamedMutexes().find(name);
  if (!name.empty() && it != NamedMutexes().end() && it->second.expired()) NamedMutexes().erase(it);
}

// The mutexes a thread has taken. When the thread ends still holding one,
// the mutex is freed and marked abandoned, as on the device.
struct OwnedMutexes {
  std::vector<std::weak_ptr<MutexState>> list;
  ~OwnedMutexes() { Abandon(); }
  void Abandon() {
    const DWORD me = ThisThread();
    bool any = false;
    {
      std::lock_guard<std::mutex> g(WaitLock());
      for (auto& weak : list) {
        auto s = weak.lock();
        if (!s || s->owner != me) continue;
        s->owner = 0;
        s->count = 0;
        s->abandoned = true;
        if (s->fd >= 0) ::flock(s->fd, LOCK_UN);
        any = true;
      }
      list.clear();
    }
    if (any) WakeWaiters();
  }
};

// The records live on the heap behind trivially destructible thread locals:
// objects destroyed at exit run after the main thread's thread locals are
// gone and may still take mutexes; from then on nothing is recorded.
thread_local OwnedMutexes* t_owned = nullptr;
thread_local bool t_ownedGone = false;
struct OwnedReaper {
  ~OwnedReaper() {
    delete std::exchange(t_owned, nullptr);  // abandons what the thread still holds
    t_ownedGone = true;
  }
};
thread_local OwnedReaper t_reaper;

OwnedMutexes* ThreadOwned() {
  if (!t_owned && !t_ownedGone) {
    (void)&t_reaper;  // constructed with the first record, so it runs at thread end
    t_owned = new OwnedMutexes;
  }
  return t_owned;
}

std::atomic<bool (*)()> g_hookPending{nullptr};
std::atomic<void (*)()> g_hookServe{nullptr};
std::atomic<DWORD (*)()> g_hookStep{nullptr};

// With the wait lock held: how often the calling thread's hook serves
// unasked, INFINITE when never.
DWORD HookStep() {
  auto step = g_hookStep.load(std::memory_order_acquire);
  return step ? step() : INFINITE;
}

// The hook's regular turn while a thread waits with a finite step: the first
// comes one step in, so that a wait that ends at once costs nothing more.
struct HookTurns {
  using Clock = std::chrono::steady_clock;
  DWORD step;
  Clock::time_point next;
  explicit HookTurns(DWORD s) : step(s), next(Clock::now() + std::chrono::milliseconds(s == INFINITE ? 0 : s)) {}
  // Serves when the turn is due (the lock let go meanwhile); true when it did.
  bool Take(std::unique_lock<std::mutex>& lk) {
    if (step == INFINITE || Clock::now() < next) return false;
    lk.unlock();
    g_hookServe.load(std::memory_order_acquire)();
    lk.lock();
    next = Clock::now() + std::chrono::milliseconds(step);
    return true;
  }
  Clock::time_point Limit(Clock::time_point until) const { return step == INFINITE ? until : std::min(until, next); }
};

// With `lk` held: serves what the wait hook has pending for this thread, with
// the lock let go meanwhile. True when it served anything.
bool ServeHook(std::unique_lock<std::mutex>& lk) {
  auto pending = g_hookPending.load(std::memory_order_acquire);
  if (!pending || !pending()) return false;
  lk.unlock();
  g_hookServe.load(std::memory_order_acquire)();
  lk.lock();
  return true;
}

class MutexObject : public Waitable {
 public:
  explicit MutexObject(std::shared_ptr<MutexState> s) : s_(std::move(s)) {}
  bool TryAcquire() override {
    const DWORD me = ThisThread();
    if (s_->owner == me) {
      ++s_->count;
      return true;
    }
    if (s_->owner != 0) return false;
    if (s_->fd >= 0 && ::flock(s_->fd, LOCK_EX | LOCK_NB) != 0) return false;
    // Drop what this thread no longer owns before taking ownership, so that
    // earlier holds of this same mutex do not pile up in the list.
    if (OwnedMutexes* records = ThreadOwned()) {
      auto& owned = records->list;
      owned.erase(std::remove_if(owned.begin(), owned.end(),
                                 [me](const auto& w) {
                                   auto s = w.lock();
                                   return !s || s->owner != me;
                                 }),
                  owned.end());
      owned.push_back(s_);
    }
    s_->owner = me;
    s_->count = 1;
    return true;
  }
  void Undo() override { Release(); }
  // With WaitLock() held: taken once more when the calling thread holds it
  // already (it cannot be abandoned then).
  bool TakeAgain() {
    if (s_->owner != ThisThread() || s_->count == 0) return false;
    ++s_->count;
    return true;
  }
  bool TakeAbandoned() override { return std::exchange(s_->abandoned, false); }
  bool Polled() const override { return s_->fd >= 0; }
  // Handles of one name share the state, so its count covers them all.
  int* Waiters() override { return &s_->waiters; }
  // With WaitLock() held.
  bool Release() {
    if (s_->owner != ThisThread() || s_->count == 0) return false;
    if (--s_->count == 0) {
      s_->owner = 0;
      if (s_->fd >= 0) ::flock(s_->fd, LOCK_UN);
    }
    return true;
  }

 private:
  std::shared_ptr<MutexState> s_;
};

// ---- events ----

struct EventState {
  bool manual = false;
  bool signaled = false;
  int fd = -1;  // named: the state file, bytes [signaled, manual]
  ~EventState() {
    if (fd >= 0) ::close(fd);
  }
  // Reads or changes the state; for a named event under the file's lock.
  template <class F>
  bool Update(F&& change) {
    if (fd < 0) return change(signaled);
    ::flock(fd, LOCK_EX);
    char bytes[2] = {'0', manual ? '1' : '0'};
    ::pread(fd, bytes, 2, 0);
    bool now = bytes[0] == '1';
    const bool before = now;
    const bool result = change(now);
    if (now != before) {
      bytes[0] = now ? '1' : '0';
      ::pwrite(fd, bytes, 2, 0);
    }
    ::flock(fd, LOCK_UN);
    return result;
  }
};

class EventObject : public Waitable {
 public:
  explicit EventObject(std::shared_ptr<EventState> s) : s_(std::move(s)) {}
  bool TryAcquire() override {
    const bool manual = s_->manual;
    return s_->Update([manual](bool& signaled) {
      if (!signaled) return false;
      if (!manual) signaled = false;
      return true;
    });
  }
  void Undo() override {
    if (!s_->manual) Set(true);
  }
  bool Polled() const override { return s_->fd >= 0; }
  void Set(bool on) {
    s_->Update([on](bool& signaled) {
      signaled = on;
      return true;
    });
  }

 private:
  std::shared_ptr<EventState> s_;
};

// ---- threads ----

struct ThreadState {
  std::mutex lock;
  std::condition_variable cv;
  int suspended = 0;
  bool started = false;
  DWORD tid = 0;
  bool done = false;  // under WaitLock()
  DWORD exitCode = STILL_ACTIVE;
};

class ThreadObject : public Waitable {
 public:
  explicit ThreadObject(std::shared_ptr<ThreadState> s) : s(std::move(s)) {}
  bool TryAcquire() override { return s->done; }
  std::shared_ptr<ThreadState> s;
};

DWORD Wait(const std::vector<std::shared_ptr<Waitable>>& objects, bool all, DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  bool polled = false;
  for (const auto& o : objects) polled = polled || o->Polled();
  std::unique_lock<std::mutex> lk(WaitLock());
  // Counted while this wait looks at them; undone on every return, with the
  // lock still held (the guard goes before `lk`).
  struct Counted {
    const std::vector<std::shared_ptr<Waitable>>& objects;
    explicit Counted(const std::vector<std::shared_ptr<Waitable>>& o) : objects(o) { Add(1); }
    ~Counted() { Add(-1); }
    void Add(int step) const {
      for (const auto& o : objects) {
        if (int* n = o->Waiters()) *n += step;
      }
    }
  } counted(objects);
  HookTurns turns(HookStep());
  for (;;) {
    if (all) {
      size_t taken = 0;
      while (taken < objects.size() && objects[taken]->TryAcquire()) ++taken;
      if (taken == objects.size()) {
        DWORD result = WAIT_OBJECT_0;
        for (size_t i = objects.size(); i-- > 0;) {
          if (objects[i]->TakeAbandoned()) result = WAIT_ABANDONED + static_cast<DWORD>(i);
        }
        return result;
      }
      while (taken > 0) objects[--taken]->Undo();
    } else {
      for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->TryAcquire()) {
          return (objects[i]->TakeAbandoned() ? WAIT_ABANDONED : WAIT_OBJECT_0) + static_cast<DWORD>(i);
        }
      }
    }
    if (ServeHook(lk) || turns.Take(lk)) continue;
    const auto now = Clock::now();
    if (milliseconds != INFINITE && now >= deadline) return WAIT_TIMEOUT;
    auto until = milliseconds == INFINITE ? now + std::chrono::hours(1) : deadline;
    if (polled) until = std::min(until, now + kPollStep);
    WaitCondition().wait_until(lk, turns.Limit(until));
  }
}

// GetCurrentThread's answer, as Win32 gives it: -2.
HANDLE const kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

// Priorities set on threads, by thread id (normal ones are not kept).
struct PriorityTable {
  std::mutex lock;
  std::map<DWORD, int> byThread;
};
PriorityTable& Priorities() {
  static auto* t = new PriorityTable;
  return *t;
}

bool ThreadIdOf(HANDLE thread, DWORD* tid) {
  if (thread == kCurrentThreadPseudoHandle) {
    *tid = ThisThread();
    return true;
  }
  auto t = Find<ThreadObject>(thread);
  if (!t) return false;
  std::lock_guard<std::mutex> g(t->s->lock);
  *tid = t->s->tid;
  return true;
}

}  // namespace
}  // namespace qv::kernel

namespace qv {

void SetWaitHook(WaitHook hook) {
  kernel::g_hookServe.store(hook.serve, std::memory_order_release);
  kernel::g_hookStep.store(hook.step, std::memory_order_release);
  kernel::g_hookPending.store(hook.pending, std::memory_order_release);
}

void WakeKernelWaits() {
  // Taking the lock orders the wake-up after a waiter's last look at the hook.
  { std::lock_guard<std::mutex> g(kernel::WaitLock()); }
  kernel::WakeWaiters();
}

bool SetThreadBatchScheduling() {
  // A batch thread is never the one a wake-up preempts for; its nice value,
  // and so its share of the processor, stays as it was.
  sched_param param{};
  return ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &param) == 0;
}

}  // namespace qv

using namespace qv::kernel;

extern "C" {

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  std::shared_ptr<MutexState> state;
  bool existed = false;
  if (name && *name) {
    std::lock_guard<std::mutex> g(WaitLock());
    auto& slot = NamedMutexes()[name];
    state = slot.lock();
    existed = state != nullptr;
    if (!state) {
      state = std::make_shared<MutexState>();
      state->name = name;
      bool isNew = true;
      state->fd = OpenNamed(NameFile("mutex", name), &isNew);
      if (state->fd < 0) {
        NamedMutexes().erase(name);
        FailErrno();
        return nullptr;
      }
      existed = !isNew;
      slot = state;
    }
  } else {
    state = std::make_shared<MutexState>();
  }
  auto object = std::make_shared<MutexObject>(state);
  if (initialOwner && !existed) {
    std::lock_guard<std::mutex> g(WaitLock());
    object->TryAcquire();
  }
  HANDLE h = AddObject(object);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
  return h;
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto m = Find<MutexObject>(mutex);
  if (!m) return Fail(ERROR_INVALID_HANDLE);
  bool waited = false;
  {
    std::lock_guard<std::mutex> g(WaitLock());
    if (!m->Release()) return Fail(kErrorNotOwner);
    waited = *m->Waiters() > 0;
  }
  // The store takes and frees its mutexes many times per message: waking
  // every wait of the process for each would make them fight for the lock.
  if (waited) WakeWaiters();
  return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  auto state = std::make_shared<EventState>();
  state->manual = manualReset != FALSE;
  state->signaled = initialState != FALSE;
  bool existed = false;
  if (name && *name) {
    bool isNew = true;
    state->fd = OpenNamed(NameFile("event", name), &isNew);
    if (state->fd < 0) {
      FailErrno();
      return nullptr;
    }
    ::flock(state->fd, LOCK_EX);
    char bytes[2] = {0, 0};
    if (isNew || ::pread(state->fd, bytes, 2, 0) != 2) {
      bytes[0] = initialState ? '1' : '0';
      bytes[1] = manualReset ? '1' : '0';
      ::pwrite(state->fd, bytes, 2, 0);
    }
    state->manual = bytes[1] == '1';  // an existing event keeps its kind
    ::flock(state->fd, LOCK_UN);
    existed = !isNew;
  }
  HANDLE h = AddObject(std::make_shared<EventObject>(state));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
  return h;
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // An event lives while some handle holds its file open (each holder keeps
  // a read lock on its first byte); a file nobody holds is a leftover.
  const int probe = ::open(NameFile("event", name).c_str(), O_RDWR | O_CLOEXEC);
  bool held = false;
  if (probe >= 0) {
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_len = 1;
    held = ::fcntl(probe, F_OFD_SETLK, &fl) != 0;
    ::close(probe);
  }
  if (!held) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  HANDLE h = CreateEventW(nullptr, FALSE, FALSE, name);
  if (h) SetLastError(0);
  return h;
}

BOOL EventModify(HANDLE event, DWORD func) {
  auto e = Find<EventObject>(event);
  if (!e) return Fail(ERROR_INVALID_HANDLE);
  switch (func) {
    case EVENT_SET:
    case EVENT_RESET: {
      std::lock_guard<std::mutex> g(WaitLock());
      e->Set(func == EVENT_SET);
      break;
    }
    case EVENT_PULSE: {
      // Signals, lets the waiters that are waiting now run, then resets.
      {
        std::lock_guard<std::mutex> g(WaitLock());
        e->Set(true);
      }
      WakeWaiters();
      std::this_thread::sleep_for(kPollStep * 2);
      std::lock_guard<std::mutex> g(WaitLock());
      e->Set(false);
      return TRUE;
    }
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  WakeWaiters();
  return TRUE;
}

BOOL SetEvent(HANDLE event) { return EventModify(event, EVENT_SET); }
BOOL ResetEvent(HANDLE event) { return EventModify(event, EVENT_RESET); }
BOOL PulseEvent(HANDLE event) { return EventModify(event, EVENT_PULSE); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > 64 || !objects) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> waitables;
  for (DWORD i = 0; i < count; ++i) {
    auto w = Find<Waitable>(objects[i]);
    if (!w) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    waitables.push_back(std::move(w));
  }
  return Wait(waitables, waitAll != FALSE, milliseconds);
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  auto w = Find<Waitable>(object);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  // A mutex the thread holds already is taken again at once, without the
  // wait's set-up: the store takes its mutexes anew for every record it
  // writes under a batch that holds them all.
  if (auto* mutex = dynamic_cast<MutexObject*>(w.get())) {
    std::lock_guard<std::mutex> g(WaitLock());
    if (mutex->TakeAgain()) return WAIT_OBJECT_0;
  }
  std::vector<std::shared_ptr<Waitable>> waitables;
  waitables.push_back(std::move(w));
  return Wait(waitables, false, milliseconds);
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<ThreadState>();
  state->suspended = (flags & CREATE_SUSPENDED) ? 1 : 0;
  try {
    std::thread([state, start, parameter] {
      {
        std::unique_lock<std::mutex> lk(state->lock);
        state->tid = ThisThread();
        state->started = true;
        state->cv.notify_all();
        state->cv.wait(lk, [&] { return state->suspended == 0; });
      }
      const DWORD code = start(parameter);
      if (t_owned) t_owned->Abandon();  // before the thread counts as ended
      {
        // A later thread given the same id starts at the normal priority.
        std::lock_guard<std::mutex> g(Priorities().lock);
        Priorities().byThread.erase(state->tid);
      }
      {
        std::lock_guard<std::mutex> g(WaitLock());
        state->exitCode = code;
        state->done = true;
      }
      WakeWaiters();
    }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  {
    std::unique_lock<std::mutex> lk(state->lock);
    state->cv.wait(lk, [&] { return state->started; });
    if (threadId) *threadId = state->tid;
  }
  return AddObject(std::make_shared<ThreadObject>(state));
}

DWORD ResumeThread(HANDLE thread) {
  auto t = Find<ThreadObject>(thread);
  if (!t) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFFu;
  }
  std::lock_guard<std::mutex> g(t->s->lock);
  const DWORD previous = static_cast<DWORD>(t->s->suspended);
  if (t->s->suspended > 0 && --t->s->suspended == 0) t->s->cv.notify_all();
  return previous;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto t = Find<ThreadObject>(thread);
  if (!t) return Fail(ERROR_INVALID_HANDLE);
  std::lock_guard<std::mutex> g(WaitLock());
  if (exitCode) *exitCode = t->s->exitCode;
  return TRUE;
}

HANDLE GetCurrentThread() { return kCurrentThreadPseudoHandle; }

BOOL SetThreadPriority(HANDLE thread, int priority) {
  DWORD tid = 0;
  if (!ThreadIdOf(thread, &tid)) return Fail(ERROR_INVALID_HANDLE);
  if (priority < THREAD_PRIORITY_IDLE || priority > THREAD_PRIORITY_TIME_CRITICAL) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  std::lock_guard<std::mutex> g(Priorities().lock);
  if (priority == THREAD_PRIORITY_NORMAL) Priorities().byThread.erase(tid);
  else Priorities().byThread[tid] = priority;
  return TRUE;
}

int GetThreadPriority(HANDLE thread) {
  DWORD tid = 0;
  if (!ThreadIdOf(thread, &tid)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return THREAD_PRIORITY_ERROR_RETURN;
  }
  std::lock_guard<std::mutex> g(Priorities().lock);
  const auto it = Priorities().byThread.find(tid);
  return it == Priorities().byThread.end() ? THREAD_PRIORITY_NORMAL : it->second;
}

DWORD GetCurrentThreadId() { return ThisThread(); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

void InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->impl = new std::recursive_mutex; }

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  delete static_cast<std::recursive_mutex*>(cs->impl);
  cs->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->lock(); }
void LeaveCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->unlock(); }

LONG InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

void Sleep(DWORD milliseconds) {
  if (g_hookPending.load(std::memory_order_relaxed)) {
    // A sleeping UI thread still serves what is sent to its windows.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lk(WaitLock());
    HookTurns turns(HookStep());
    for (;;) {
      if (ServeHook(lk)) continue;
      if (Clock::now() >= deadline) break;
      if (turns.Take(lk)) continue;
      WaitCondition().wait_until(lk, turns.Limit(deadline));
    }
    if (milliseconds != 0) return;
  }
  if (milliseconds == 0) {
    ::sched_yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
  const auto real =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_processStart)
          .count();
  return static_cast<DWORD>(real + qv::clock_seam::Advanced());
}

}  // extern "C"
