// The device screen in an SDL2 desktop window: the UI thread's event source
// when a display is there. Only the program's main (and the display's tests)
// include it:
//
//   auto display = qv::display::SdlDisplay::Open();   // null: stay headless
//   if (display) qv::ui::SetEventSource(display);
//   ... the message loop ...
//   qv::ui::SetEventSource(nullptr);                   // on the same thread
//
// SDL is called by one thread at a time. The display may be opened on a
// thread of its own while the program starts up (OpenAside: loading SDL and
// the desktop's libraries, and the round trips to the X server, are most of
// a start), and is then called only by the thread that installed it; other
// threads only Wake it, through SDL's own queue.
// The window shows the screen pixel for pixel and may be resized (the screen
// is scaled to fit); turning the screen turns the window.
#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "platform/display/DeviceInput.h"
#include "platform/display/SdlLibrary.h"
#include "platform/ui/queue/EventSource.h"

namespace qv::display {

class SdlDisplay final : public ui::EventSource {
 public:
  // Null when SDL cannot be loaded (SdlLoadFailure says why) or cannot open
  // a display (no X server, no Wayland).
  static std::shared_ptr<SdlDisplay> Open();
  // Open on a thread of its own; the future's get() hands the display over
  // (the opening thread has let go of SDL by then).
  static std::future<std::shared_ptr<SdlDisplay>> OpenAside();
  ~SdlDisplay() override;
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  void Pump() override;
  void Present() override;
  bool Wait(DWORD milliseconds) override;
  void Wake() override;

  // The SDL window (events pushed for it carry this id).
  Uint32 WindowId() const;
  // What the desktop's close button on the window does (on the display's
  // thread). Without one, the thread's loop is asked to quit; a program that
  // keeps work in its windows closes them its own way first.
  void SetCloseHandler(std::function<void()> handler) { onClose_ = std::move(handler); }
  // Where the candidate list was last placed (screen pixels).
  RECT CandidateArea() const { return input_.Candidates(); }

 private:
  explicit SdlDisplay(const SdlLibrary* sdl) : sdl_(sdl), input_(sdl) {}
  bool Start();
  // A window, texture and logical size for a screen of this size.
  bool Fit(int width, int height);

  const SdlLibrary* sdl_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  // The pixels last presented: the texture's own where the renderer keeps
  // them (SDL's software renderer hands its pixels out to a lock), else a copy.
  bool textureKeepsPixels_ = false;
  std::vector<DWORD> shown_;
  bool stale_ = true;         // the window lost them (exposed, resized)
  Uint32 wakeEvent_ = 0;
  std::atomic<bool> wakePending_{false};
  bool pumping_ = false;
  std::function<void()> onClose_;
  DeviceInput input_;
};

}  // namespace qv::display
