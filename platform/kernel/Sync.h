// Kernel objects and waits. Named mutexes are recursive for their owning
// thread and shared between processes (through a lock file per name below the
// device root); named events persist under the device root as well, so that
// another process can open and signal them.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/kernel/Files.h"

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu
#define CREATE_SUSPENDED 0x00000004u
#define STILL_ACTIVE 259u
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define SYNCHRONIZE 0x00100000u
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x001F0003u

#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);

struct CRITICAL_SECTION {
  void* impl;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

extern "C" {

// A second create of an existing name returns a handle to it and sets 183.
QV_PLATFORM_API HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCWSTR name);
QV_PLATFORM_API BOOL ReleaseMutex(HANDLE mutex);
QV_PLATFORM_API HANDLE CreateEventW(LPSECURITY_ATTRIBUTES sa, BOOL manualReset, BOOL initialState, LPCWSTR name);
QV_PLATFORM_API BOOL EventModify(HANDLE event, DWORD func);
QV_PLATFORM_API BOOL SetEvent(HANDLE event);
QV_PLATFORM_API BOOL ResetEvent(HANDLE event);
QV_PLATFORM_API BOOL PulseEvent(HANDLE event);
// Opens an event another handle (of any process) holds open; with none open
// the event does not exist: null and error 2.
QV_PLATFORM_API HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);

QV_PLATFORM_API DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
QV_PLATFORM_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds);

QV_PLATFORM_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES sa, size_t stackSize, LPTHREAD_START_ROUTINE start,
                                    LPVOID parameter, DWORD flags, LPDWORD threadId);
QV_PLATFORM_API DWORD ResumeThread(HANDLE thread);
QV_PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// The priority is kept per thread and read back; the host's scheduler is
// not asked (the device's levels have no meaning for it). Both take a
// thread's handle or the pseudo handle of GetCurrentThread.
QV_PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority);
QV_PLATFORM_API int GetThreadPriority(HANDLE thread);
// A pseudo handle that means the calling thread wherever it is used; it
// needs no closing.
QV_PLATFORM_API HANDLE GetCurrentThread();
QV_PLATFORM_API DWORD GetCurrentThreadId();
QV_PLATFORM_API DWORD GetCurrentProcessId();

QV_PLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION cs);
QV_PLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION cs);
QV_PLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION cs);
QV_PLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION cs);

QV_PLATFORM_API LONG InterlockedIncrement(LONG volatile* value);
QV_PLATFORM_API LONG InterlockedDecrement(LONG volatile* value);

QV_PLATFORM_API void Sleep(DWORD milliseconds);
// Milliseconds since the process started (follows the test clock's advance).
QV_PLATFORM_API DWORD GetTickCount();

}  // extern "C"

namespace qv {

// Makes the calling thread one whose wake-ups never take the processor from
// the running thread that woke it: it keeps its share of the processor but
// waits for a free one or the next tick. For helper threads woken once per
// item of a stream (a sync per stored text), whose wake-ups would otherwise
// stall the thread that feeds them. False when the host refuses.
QV_PLATFORM_API bool SetThreadBatchScheduling();

}  // namespace qv
