// Inside the window system: the classes every process has, registered the
// first time any class is looked up. With the lock held.
#pragma once

namespace qv::ui {

void EnsureSystemClasses();

}  // namespace qv::ui
