// The thread's input context. A context handle is its thread's queue; it
// stays good while the thread has windows.
#include "platform/ui/input/Ime.h"

#include <cstring>

#include "platform/base/WideText.h"
#include "platform/ui/queue/ThreadQueue.h"

using namespace qv::ui;

namespace {

// With the lock held: the queue behind a context handle, null when none is.
ThreadQueue* QueueOf(HIMC context) {
  for (auto& [id, q] : Ui().queues) {
    if (reinterpret_cast<HIMC>(q.get()) == context) return q.get();
  }
  return nullptr;
}

// Copies text as the input method gives it: its size in bytes, 2 a unit.
LONG CopyOut(const std::wstring& text, LPVOID buffer, DWORD bytes) {
  const LONG size = static_cast<LONG>(qv::Utf16Length(text) * 2);
  if (!buffer || bytes == 0) return size;
  const std::wstring fit = qv::TruncateUtf16(text, bytes / 2);
  std::memcpy(buffer, fit.data(), fit.size() * sizeof(wchar_t));
  return static_cast<LONG>(qv::Utf16Length(fit) * 2);
}

}  // namespace

HIMC ImmGetContext(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w || w->queue.get() != CurrentQueueIfAny()) return nullptr;
  return reinterpret_cast<HIMC>(w->queue.get());
}

BOOL ImmReleaseContext(HWND, HIMC context) { return context ? TRUE : FALSE; }

LONG ImmGetCompositionStringW(HIMC context, DWORD index, LPVOID buffer, DWORD bytes) {
  auto lock = LockUi();
  ThreadQueue* q = QueueOf(context);
  if (!q) return IMM_ERROR_GENERAL;
  switch (index) {
    case GCS_COMPSTR: return CopyOut(q->ime.composition, buffer, bytes);
    case GCS_RESULTSTR: return CopyOut(q->ime.result, buffer, bytes);
    case GCS_CURSORPOS: return static_cast<LONG>(qv::Utf16Length(q->ime.composition));
    default: return IMM_ERROR_NODATA;
  }
}

BOOL ImmSetCandidateWindow(HIMC context, const CANDIDATEFORM* form) {
  if (!form || form->dwIndex != 0) return FALSE;
  auto lock = LockUi();
  ThreadQueue* q = QueueOf(context);
  if (!q) return FALSE;
  q->ime.candidate = *form;
  q->ime.formOwner = q->focus;
  return TRUE;
}

BOOL ImmGetCandidateWindow(HIMC context, DWORD index, CANDIDATEFORM* form) {
  if (!form || index != 0) return FALSE;
  auto lock = LockUi();
  ThreadQueue* q = QueueOf(context);
  if (!q || !q->ime.formOwner) return FALSE;
  *form = q->ime.candidate;
  return TRUE;
}

BOOL ImmSetCompositionWindow(HIMC context, const COMPOSITIONFORM* form) {
  if (!form) return FALSE;
  auto lock = LockUi();
  ThreadQueue* q = QueueOf(context);
  if (!q) return FALSE;
  q->ime.form = *form;
  return TRUE;
}

BOOL ImmGetCompositionWindow(HIMC context, COMPOSITIONFORM* form) {
  if (!form) return FALSE;
  auto lock = LockUi();
  ThreadQueue* q = QueueOf(context);
  if (!q) return FALSE;
  *form = q->ime.form;
  return TRUE;
}

namespace qv::ui {

bool CandidateScreenRect(RECT* rect) {
  if (!rect) return false;
  auto lock = LockUi();
  ThreadQueue* q = Ui().foreground.get();
  if (!q || !q->ime.formOwner || q->ime.formOwner != q->focus) return false;
  Window* w = Find(q->ime.formOwner, false);
  if (!w) return false;
  const CANDIDATEFORM& c = q->ime.candidate;
  const POINT o = ClientOrigin(*w);
  RECT r = c.dwStyle & CFS_EXCLUDE ? c.rcArea : RECT{c.ptCurrentPos.x, c.ptCurrentPos.y, c.ptCurrentPos.x, c.ptCurrentPos.y};
  *rect = RECT{r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y};
  return true;
}

}  // namespace qv::ui
