// Inside the window system: what the layers above the core lend it. The core
// knows no control, look or menu by name: each layer puts its window classes
// and its part of DefWindowProcW and the frame here when the platform loads
// (as the COM class table is filled), long before any window exists.
#pragma once

#include <string>

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

// The layers that register window classes, in the order their classes go
// into the class table.
enum class ClassLayer { Controls, CommonControls, Dialog, Menu, Count };

// Registers a layer's classes with RegisterClassW. Run once, layer by layer,
// the first time any class is looked up, with the lock held.
using ClassRegistrar = void (*)();
void SetClassRegistrar(ClassLayer layer, ClassRegistrar registrar);
// Runs the registrars, once. With the lock held.
void EnsureLayerClasses();

// One class every process has; registered global (CS_GLOBALCLASS).
struct SystemClass {
  LPCWSTR name;
  WNDPROC proc;
  int extra;  // window extra bytes
  UINT style;
};
// For the registrars: the classes in the order given.
void RegisterSystemClasses(const SystemClass* classes, size_t count);
template <size_t N>
void RegisterSystemClasses(const SystemClass (&classes)[N]) {
  RegisterSystemClasses(classes, N);
}

// The frame around a window's client (border, dialog frame, caption, client
// edge, the window's own scroll bars) as the core hands it to the painter.
struct NonClientFrame {
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring text;
  bool active = false;
  bool okPressed = false;
  RECT window{};  // own coordinates
  RECT client{};  // in window coordinates
  RECT bars[2]{};  // SB_HORZ, SB_VERT; empty when the window has none
  ScrollBarState values[2];
};

// Each hook is null until its layer puts it in; the core then does without.
struct LayerHooks {
  // The look (theme): draws the frame on the window's DC, and places the
  // caption's OK button within a caption bar.
  void (*paintFrame)(HDC dc, const NonClientFrame& frame) = nullptr;
  RECT (*captionOkButton)(const RECT& bar) = nullptr;
  // The scroll bars (controls): taps and drags on a window's own bars (true
  // when the message was theirs), and the wheel.
  bool (*scrollBarInput)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
  LRESULT (*wheel)(HWND hwnd, WPARAM wParam, LPARAM lParam) = nullptr;
  // The menus: an open menu of the window closes (WM_CANCELMODE).
  void (*cancelMenu)(HWND hwnd) = nullptr;
};
// Written only while the platform loads, read after.
LayerHooks& Hooks();

}  // namespace qv::ui
