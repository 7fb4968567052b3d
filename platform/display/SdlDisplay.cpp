#include "platform/display/SdlDisplay.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/base/WideText.h"
#include "platform/kernel/Debug.h"
#include "platform/ui/window/Screen.h"

namespace qv::display {
namespace {

constexpr const char* kTitle = "T-VELA4メール";

}  // namespace

std::shared_ptr<SdlDisplay> SdlDisplay::Open() {
  KeepSdlFromLaunchingABus();  // a no-op when OpenAside did it on its caller's thread
  const SdlLibrary* sdl = LoadSdl();
  if (!sdl) {
    OutputDebugStringW((L"display: " + Utf8ToWide(SdlLoadFailure()) + L"\n").c_str());
    return nullptr;
  }
  // The first tap on the window is a tap, not only the click that focuses it.
  sdl->SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The program's signals stay its own (SDL would turn SIGINT into a quit).
  sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // One small bitmap copied whole: a GL driver buys nothing here and brings
  // threads and memory of its own ($SDL_RENDER_DRIVER still chooses).
  sdl->SetHint(SDL_HINT_RENDER_DRIVER, "software");
  // The window's own pixels too: no GL renderer behind the window surface
  // (it costs a start a GL driver's load and its shader compiles).
  sdl->SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The display's modes are never changed (the window is the screen's
  // size, scaled): the mode list's extension costs a start round trips to
  // the X server.
  sdl->SetHint(SDL_HINT_VIDEO_X11_XRANDR, "0");
  // A composition longer than SDL's short event holds comes whole.
  sdl->SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
  if (sdl->Init(SDL_INIT_VIDEO) != 0) {
    OutputDebugStringW((L"display: none (" + Utf8ToWide(sdl->GetError()) + L"), headless\n").c_str());
    return nullptr;
  }
  // With no display at all SDL falls back on drivers that show nothing.
  const char* driver = sdl->GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
    OutputDebugStringW(L"display: none, headless\n");
    sdl->Quit();
    return nullptr;
  }
  std::shared_ptr<SdlDisplay> display(new SdlDisplay(sdl));
  if (!display->Start()) return nullptr;  // the destructor lets SDL go
  return display;
}

std::future<std::shared_ptr<SdlDisplay>> SdlDisplay::OpenAside() {
  KeepSdlFromLaunchingABus();  // here: the environment changes before the thread runs
  return std::async(std::launch::async, [] {
    std::shared_ptr<SdlDisplay> display = Open();
    // SDL keeps what it stores for a thread (its error text) until the
    // thread ends only for threads it made itself: this one of ours ends
    // here, and gives it back.
    if (const SdlLibrary* sdl = LoadSdl()) sdl->TLSCleanup();
    return display;
  });
}

bool SdlDisplay::Start() {
  wakeEvent_ = sdl_->RegisterEvents(1);
  const auto screen = ui::ScreenSurface();
  if (wakeEvent_ == static_cast<Uint32>(-1) || !screen) return false;
  window_ = sdl_->CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, screen->Width(),
                             screen->Height(), SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
  if (window_) renderer_ = sdl_->CreateRenderer(window_, -1, 0);
  SDL_RendererInfo info{};
  textureKeepsPixels_ = renderer_ && sdl_->GetRendererInfo(renderer_, &info) == 0 && info.name &&
                        std::strcmp(info.name, "software") == 0;
  if (!renderer_ || !Fit(screen->Width(), screen->Height())) {
    OutputDebugStringW((L"display: " + Utf8ToWide(sdl_->GetError()) + L"\n").c_str());
    return false;
  }
  sdl_->StartTextInput();
  return true;
}

SdlDisplay::~SdlDisplay() {
  if (texture_) sdl_->DestroyTexture(texture_);
  if (renderer_) sdl_->DestroyRenderer(renderer_);
  if (window_) sdl_->DestroyWindow(window_);
  sdl_->Quit();
}

Uint32 SdlDisplay::WindowId() const { return sdl_->GetWindowID(window_); }

bool SdlDisplay::Fit(int width, int height) {
  if (texture_) sdl_->DestroyTexture(texture_);
  texture_ = sdl_->CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!texture_) return false;
  // The screen's alpha means nothing on a window.
  sdl_->SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  if (width != width_ || height != height_) sdl_->SetWindowSize(window_, width, height);
  sdl_->RenderSetLogicalSize(renderer_, width, height);
  width_ = width;
  height_ = height;
  // A new texture starts cleared, as the copy does (the first present
  // finds every row changed anyway: it is stale).
  if (!textureKeepsPixels_) shown_.assign(static_cast<size_t>(width) * height, 0);
  stale_ = true;
  return true;
}

void SdlDisplay::Pump() {
  if (pumping_) return;  // a window procedure peeking while a turn is sent
  pumping_ = true;
  SDL_Event e;
  while (sdl_->PollEvent(&e)) {
    if (e.type == wakeEvent_) {
      wakePending_ = false;
    } else if (e.type == SDL_QUIT) {
      if (onClose_) onClose_();
      else PostQuitMessage(0);
    } else if (e.type == SDL_WINDOWEVENT) {
      stale_ = stale_ || e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED;
    } else {
      input_.Handle(e);
    }
    if (e.type == SDL_TEXTEDITING_EXT) sdl_->Free(e.editExt.text);  // handed over to us
  }
  input_.DeliverDueHold();
  input_.PlaceCandidates();
  pumping_ = false;
}

// Only what changed since the last present reaches the window; an idle
// thread presents often and costs a compare.
void SdlDisplay::Present() {
  const auto screen = ui::ScreenSurface();
  if (!screen) return;
  if ((screen->Width() != width_ || screen->Height() != height_) && !Fit(screen->Width(), screen->Height())) return;
  const size_t rowBytes = static_cast<size_t>(width_) * sizeof(DWORD);
  // Where the last presented pixels are: in the texture itself (no second
  // copy of the screen to make and keep), or in the copy.
  BYTE* shown = reinterpret_cast<BYTE*>(shown_.data());
  int pitch = static_cast<int>(rowBytes);
  if (textureKeepsPixels_) {
    void* pixels = nullptr;
    if (sdl_->LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
    shown = static_cast<BYTE*>(pixels);
  }
  bool changed = stale_;
  for (int y = 0; y < height_; ++y) {
    BYTE* row = shown + static_cast<size_t>(y) * pitch;
    if (std::memcmp(row, screen->Row(y), rowBytes) == 0) continue;
    std::memcpy(row, screen->Row(y), rowBytes);
    changed = true;
  }
  if (textureKeepsPixels_) sdl_->UnlockTexture(texture_);
  if (!changed) return;
  stale_ = false;
  if (!textureKeepsPixels_) sdl_->UpdateTexture(texture_, nullptr, shown_.data(), pitch);
  sdl_->RenderClear(renderer_);
  sdl_->RenderCopy(renderer_, texture_, nullptr, nullptr);
  sdl_->RenderPresent(renderer_);
}

bool SdlDisplay::Wait(DWORD milliseconds) {
  const DWORD limit = std::min(milliseconds, input_.UntilHold());
  sdl_->WaitEventTimeout(nullptr, limit > static_cast<DWORD>(INT_MAX) ? -1 : static_cast<int>(limit));
  return true;
}

// At most one wake event waits in SDL's queue; Pump takes it, and whatever
// woke the queue is seen by the thread's next look at it.
void SdlDisplay::Wake() {
  if (wakePending_.exchange(true)) return;
  SDL_Event e{};
  e.type = wakeEvent_;
  if (sdl_->PushEvent(&e) != 1) wakePending_ = false;
}

}  // namespace qv::display
