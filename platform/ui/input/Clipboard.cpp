// The clipboard, text only: one owner at a time opens it; what is set is
// copied in, and the handle given back stays valid until it is emptied.
#include "platform/ui/input/Clipboard.h"

#include <mutex>
#include <string>

#include "platform/kernel/Sync.h"
#include "platform/ui/queue/SeamHooks.h"

namespace {

struct Board {
  std::mutex lock;
  DWORD openBy = 0;  // thread
  HWND openOwner = nullptr;
  HWND owner = nullptr;
  bool hasText = false;
  std::wstring text;
};

Board& B() {
  static Board* b = new Board;
  return *b;
}

// With the board's lock: whether the calling thread has it open.
bool OpenHere(Board& b) {
  if (b.openBy == GetCurrentThreadId()) return true;
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

}  // namespace

BOOL OpenClipboard(HWND owner) {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  if (b.openBy && b.openBy != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  b.openBy = GetCurrentThreadId();
  b.openOwner = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  if (!OpenHere(b)) return FALSE;
  b.openBy = 0;
  b.openOwner = nullptr;
  return TRUE;
}

BOOL EmptyClipboard() {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  if (!OpenHere(b)) return FALSE;
  b.hasText = false;
  b.text.clear();
  b.text.shrink_to_fit();
  b.owner = b.openOwner;
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  if (!OpenHere(b)) return nullptr;
  if (format != CF_UNICODETEXT || !data) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  b.text = static_cast<const WCHAR*>(data);
  b.hasText = true;
  return b.text.data();
}

HANDLE GetClipboardData(UINT format) {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  if (!OpenHere(b)) return nullptr;
  if (format != CF_UNICODETEXT || !b.hasText) return nullptr;
  return b.text.data();
}

BOOL IsClipboardFormatAvailable(UINT format) {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  return format == CF_UNICODETEXT && b.hasText ? TRUE : FALSE;
}

HWND GetClipboardOwner() {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  return b.owner;
}

namespace qv::ui {

// Empties and closes the clipboard (UiSeam's Reset).
void ForgetClipboard() {
  Board& b = B();
  std::lock_guard<std::mutex> g(b.lock);
  b.openBy = 0;
  b.openOwner = b.owner = nullptr;
  b.hasText = false;
  b.text.clear();
}

}  // namespace qv::ui
