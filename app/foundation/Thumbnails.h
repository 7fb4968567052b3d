// Thumbnails of the file browser's pictures, decoded on a thread of their
// own through the Imaging component: the browser queues requests by path,
// the loader posts WM_USER to the browser's window after each attempt, and
// the browser takes the finished thumbnails (and owns their bitmaps).
#pragma once

#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/protocol/WindowMessages.h"
#include "platform/base/ScopedHandle.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/kernel/Sync.h"
#include "platform/ui/WinUser.h"

struct ThumbnailEntry {
  int itemId = 0;
  std::wstring path;
  HBITMAP bitmap = nullptr;  // none when the picture could not be decoded
  int width = 0;
  int height = 0;
};

// Frees an entry's picture (an entry hands its picture on by copy: whoever
// keeps the last copy frees it).
inline void FreeThumbnail(ThumbnailEntry& entry) {
  qv::GdiObjectTraits<HBITMAP>::Free(entry.bitmap);
  entry.bitmap = nullptr;
}

// Entries in the order they came, each path at most once.
class ThumbnailQueue {
 public:
  bool Contains(const std::wstring& path) const { return index_.count(path) != 0; }
  // Nothing when the path is already there.
  void Append(const ThumbnailEntry& entry);
  bool TakeOldest(ThumbnailEntry* out);
  size_t Size() const { return entries_.size(); }

 private:
  std::list<ThumbnailEntry> entries_;
  std::unordered_map<std::wstring, std::list<ThumbnailEntry>::iterator> index_;
};

// The size a picture of w x h takes in a box of `box` pixels: its own when
// it fits, else the longer side becomes `box`.
SIZE ThumbnailSize(UINT w, UINT h, UINT box);

// Decodes a picture file into a white-backed bitmap compatible with `dc`,
// fitted into the box. False when it cannot be opened or drawn.
bool DecodeThumbnail(const std::wstring& path, HDC dc, UINT box, ThumbnailEntry* out);

class ThumbnailLoader {
 public:
  static constexpr size_t kMaxEntries = 32;
  static constexpr DWORD kStopWaitMs = 5000;

  ThumbnailLoader();
  ~ThumbnailLoader();
  ThumbnailLoader(const ThumbnailLoader&) = delete;
  ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

  // False when the events or the thread cannot be made.
  bool Start(HWND window, UINT boxSize);
  bool Request(int itemId, const std::wstring& path);
  // The caller owns the bitmap from then on.
  bool TakeDone(ThumbnailEntry* out);
  // Waits for the thread at most kStopWaitMs.
  void Stop();

 private:
  struct Shared;
  static DWORD ThreadMain(LPVOID parameter);

  // The queues and events live as long as the loader or its thread, whichever
  // ends last: a thread still decoding after Stop gave up waiting keeps them.
  std::shared_ptr<Shared> shared_;
  qv::ScopedHandle thread_;
};
