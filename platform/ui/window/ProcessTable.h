// Inside the window system: the device's table of top-level windows, shared
// by every process under the device root (one file per window below the
// kernel's folder: class, title, process, thread, module path), and the
// datagrams that carry posted integer messages to another process.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

// With the lock held: lists a top-level window, or updates its title.
void Publish(Window& w);
void ForgetPublished(Window& w);

struct ForeignWindow {
  std::wstring className;
  std::wstring title;
  DWORD process = 0;
  DWORD thread = 0;
  std::wstring module;
};
// A live window of another process (false for a gone one, which is dropped).
bool ReadForeign(HWND hwnd, ForeignWindow* out);
// The first live foreign window that matches (null arguments match anything).
HWND FindForeign(LPCWSTR className, LPCWSTR title);
// Every live top-level window of the other processes under the device root.
std::vector<HWND> ListForeign();
// Posts to a window of another process; only integers travel.
bool PostForeign(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qv::ui
