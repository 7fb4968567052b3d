#include "app/foundation/Thumbnails.h"

#include <utility>

#include "platform/com/Com.h"
#include "platform/gdi/ImagingFactory.h"

// ---------------------------------------------------------------------------
// The queue

void ThumbnailQueue::Append(const ThumbnailEntry& entry) {
  if (Contains(entry.path)) return;
  entries_.push_back(entry);
  index_.emplace(entry.path, std::prev(entries_.end()));
}

bool ThumbnailQueue::TakeOldest(ThumbnailEntry* out) {
  if (entries_.empty()) return false;
  *out = std::move(entries_.front());
  index_.erase(out->path);
  entries_.pop_front();
  return true;
}

// ---------------------------------------------------------------------------
// Decoding

SIZE ThumbnailSize(UINT w, UINT h, UINT box) {
  if (box >= w && box >= h) return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
  if (w < h) return SIZE{static_cast<LONG>(box * w / h), static_cast<LONG>(box)};
  return SIZE{static_cast<LONG>(box), static_cast<LONG>(box * h / w)};
}

bool DecodeThumbnail(const std::wstring& path, HDC dc, UINT box, ThumbnailEntry* out) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  bool made = false;
  {
    qv::com::ComRef<IImagingFactory> factory;
    qv::com::ComRef<IImage> image;
    ImageInfo info{};
    if (SUCCEEDED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                                   reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateImageFromFile(path.c_str(), &image)) && SUCCEEDED(image->GetImageInfo(&info)) &&
        info.Width > 0 && info.Height > 0) {
      const SIZE size = ThumbnailSize(info.Width, info.Height, box);
      HDC memory = CreateCompatibleDC(dc);
      qv::ScopedGdiObject<HBITMAP> bitmap(memory ? CreateCompatibleBitmap(dc, size.cx, size.cy) : nullptr);
      if (bitmap) {
        {
          const qv::ScopedSelectObject drawing(memory, bitmap.get());
          const RECT whole{0, 0, size.cx, size.cy};
          FillRect(memory, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
          made = SUCCEEDED(image->Draw(memory, &whole, nullptr));
        }
        if (made) {
          out->bitmap = bitmap.release();
          out->width = size.cx;
          out->height = size.cy;
        }
      }
      if (memory != nullptr) DeleteDC(memory);
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return made;
}

// ---------------------------------------------------------------------------
// The loader

struct ThumbnailLoader::Shared {
  HWND window = nullptr;
  UINT box = 0;
  qv::ScopedHandle stop;     // manual reset
  qv::ScopedHandle request;  // manual reset
  CRITICAL_SECTION lock;
  ThumbnailQueue requests;
  ThumbnailQueue done;
  std::wstring decoding;  // the path the thread is decoding now, empty when idle

  Shared() { InitializeCriticalSection(&lock); }
  ~Shared() {
    ThumbnailEntry e;
    while (done.TakeOldest(&e)) FreeThumbnail(e);
    DeleteCriticalSection(&lock);
  }
};

namespace {

class Locked {
 public:
  explicit Locked(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~Locked() { LeaveCriticalSection(cs_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CRITICAL_SECTION* cs_;
};

}  // namespace

ThumbnailLoader::ThumbnailLoader() : shared_(std::make_shared<Shared>()) {}

ThumbnailLoader::~ThumbnailLoader() {
  Stop();  // letting the handle go never ends the thread; it keeps `shared_` alive itself
}

bool ThumbnailLoader::Start(HWND window, UINT boxSize) {
  if (thread_) return true;
  shared_->window = window;
  shared_->box = boxSize;
  if (!shared_->stop) shared_->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!shared_->request) shared_->request.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!shared_->stop || !shared_->request) return false;
  // The thread holds its own reference to the shared state.
  auto* own = new std::shared_ptr<Shared>(shared_);
  thread_.reset(CreateThread(nullptr, 0, ThreadMain, own, 0, nullptr));
  if (!thread_) {
    delete own;
    return false;
  }
  return true;
}

bool ThumbnailLoader::Request(int itemId, const std::wstring& path) {
  Shared& s = *shared_;
  Locked hold(&s.lock);
  // A path being decoded counts as asked for: it would otherwise be decoded
  // twice and told twice.
  if (s.requests.Contains(path) || s.done.Contains(path) || s.decoding == path) return true;
  // Room for the new request: finished thumbnails go first, oldest first,
  // then the oldest requests.
  while (s.requests.Size() + s.done.Size() > kMaxEntries) {
    ThumbnailEntry dropped;
    if (s.done.TakeOldest(&dropped)) {
      FreeThumbnail(dropped);
    } else {
      s.requests.TakeOldest(&dropped);
    }
  }
  ThumbnailEntry entry;
  entry.itemId = itemId;
  entry.path = path;
  s.requests.Append(entry);
  if (s.request) SetEvent(s.request.get());
  return true;
}

bool ThumbnailLoader::TakeDone(ThumbnailEntry* out) {
  Locked hold(&shared_->lock);
  return shared_->done.TakeOldest(out);
}

void ThumbnailLoader::Stop() {
  if (!thread_) return;
  SetEvent(shared_->stop.get());
  WaitForSingleObject(thread_.get(), kStopWaitMs);
}

DWORD ThumbnailLoader::ThreadMain(LPVOID parameter) {
  std::unique_ptr<std::shared_ptr<Shared>> own(static_cast<std::shared_ptr<Shared>*>(parameter));
  Shared& s = **own;
  const HANDLE events[2] = {s.stop.get(), s.request.get()};  // the stop event wins a tie
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) return 0;
    if (woke != WAIT_OBJECT_0 + 1) continue;
    for (;;) {
      if (WaitForSingleObject(s.stop.get(), 0) == WAIT_OBJECT_0) return 0;
      ThumbnailEntry entry;
      {
        Locked hold(&s.lock);
        if (!s.requests.TakeOldest(&entry)) {
          ResetEvent(s.request.get());
          break;
        }
        s.decoding = entry.path;
      }
      HDC dc = GetDC(s.window);
      DecodeThumbnail(entry.path, dc, s.box, &entry);
      {
        Locked hold(&s.lock);
        s.decoding.clear();
        if (!s.done.Contains(entry.path)) {
          s.done.Append(entry);
        } else {
          FreeThumbnail(entry);
        }
      }
      PostMessageW(s.window, kThumbnailReadyMessage, 0, 0);
      if (dc) ReleaseDC(s.window, dc);
    }
  }
}
