// Inside the window system: widening update rectangles. With the lock held.
#pragma once

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

// Adds a client-coordinate rectangle to a shown window's update rectangle
// (and its children's, unless it clips them).
void Invalidate(Window* w, const RECT& client, bool erase, bool children);
// A screen area uncovered or drawn over inside `parent`: the parent and the
// windows in it that the area touches repaint it.
void Expose(Window* parent, const RECT& screen);
// After `w` painted `screen`: what lies over it there repaints.
void RepaintAbove(Window* w, const RECT& screen);

}  // namespace qv::ui
