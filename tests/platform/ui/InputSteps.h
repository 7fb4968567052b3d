// One key press or one tap, dispatched before the test goes on.
#pragma once

#include "platform/testing/Seams.h"
#include "platform/ui/WinUser.h"

namespace qv::test {

inline void Key(BYTE vk) {
  qv::seams::InjectKey(vk, true);
  qv::seams::InjectKey(vk, false);
  qv::seams::PumpMessages();
}

inline void Tap(POINT screen) {
  qv::seams::InjectTap(screen);
  qv::seams::PumpMessages();
}

}  // namespace qv::test
