// SDL2, loaded when the screen first opens rather than with the program: a
// start that only hands its command line to the running copy ends before
// it, and never pays for SDL and the desktop's libraries behind it (X,
// audio, D-Bus: most of a process's start). Nothing of SDL is linked; the
// display calls it through this table only.
//
//   const SdlLibrary* sdl = LoadSdl();   // null: no SDL here (SdlLoadFailure says why)
//   sdl->Init(SDL_INIT_VIDEO);
//
// Once loaded SDL stays for the process's life.
#pragma once

#include <SDL2/SDL.h>

#include <string>

namespace qv::display {

// The SDL calls the display makes, as (member, SDL function).
#define QV_SDL_FUNCTIONS(X)                              \
  X(SetHint, SDL_SetHint)                                \
  X(Init, SDL_Init)                                      \
  X(Quit, SDL_Quit)                                      \
  X(GetError, SDL_GetError)                              \
  X(GetCurrentVideoDriver, SDL_GetCurrentVideoDriver)    \
  X(RegisterEvents, SDL_RegisterEvents)                  \
  X(CreateWindow, SDL_CreateWindow)                      \
  X(DestroyWindow, SDL_DestroyWindow)                    \
  X(GetWindowID, SDL_GetWindowID)                        \
  X(SetWindowSize, SDL_SetWindowSize)                    \
  X(CreateRenderer, SDL_CreateRenderer)                  \
  X(DestroyRenderer, SDL_DestroyRenderer)                \
  X(RenderSetLogicalSize, SDL_RenderSetLogicalSize)      \
  X(RenderClear, SDL_RenderClear)                        \
  X(RenderCopy, SDL_RenderCopy)                          \
  X(RenderPresent, SDL_RenderPresent)                    \
  X(CreateTexture, SDL_CreateTexture)                    \
  X(DestroyTexture, SDL_DestroyTexture)                  \
  X(SetTextureBlendMode, SDL_SetTextureBlendMode)        \
  X(UpdateTexture, SDL_UpdateTexture)                    \
  X(LockTexture, SDL_LockTexture)                        \
  X(UnlockTexture, SDL_UnlockTexture)                    \
  X(GetRendererInfo, SDL_GetRendererInfo)                \
  X(PollEvent, SDL_PollEvent)                            \
  X(WaitEventTimeout, SDL_WaitEventTimeout)              \
  X(PushEvent, SDL_PushEvent)                            \
  X(StartTextInput, SDL_StartTextInput)                  \
  X(SetTextInputRect, SDL_SetTextInputRect)              \
  X(TLSCleanup, SDL_TLSCleanup)                          \
  X(Free, SDL_free)

struct SdlLibrary {
#define QV_SDL_MEMBER(member, function) decltype(&::function) member = nullptr;
  QV_SDL_FUNCTIONS(QV_SDL_MEMBER)
#undef QV_SDL_MEMBER
};

// The library's name as the loader knows it (its soname).
inline constexpr const char* kSdlLibraryName = "libSDL2-2.0.so.0";

// SDL, loaded on the first call; null when it cannot be loaded or lacks a
// function (every later call says the same).
const SdlLibrary* LoadSdl();
// Why LoadSdl gives null, in one line; empty when SDL loads.
std::string SdlLoadFailure();

// Called before SDL starts, on the thread that starts the display (it may
// change the environment). Where no session bus can be found, the D-Bus
// library SDL uses would fork a bus launcher (dbus-launch) from within a
// process that already runs threads, and wait for it: the bus address is
// then set to "disabled:", so that it does not try. A session that has a
// bus is left as it is.
void KeepSdlFromLaunchingABus();

}  // namespace qv::display
