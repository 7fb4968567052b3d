// One key press or one tap, dispatched before the test goes on.
#pragma once

#include "platform/testing/Seams.h"
#include "platform/ui/WinUser.h"

namespace qv::test {

inline void Key(BYTE vk) {
  qv::testing::InjectKey(vk, true);
  qv::testing::InjectKey(vk, false);
  qv::testing::PumpMessages();
}

inline void Tap(POINT screen) {
  qv::testing::InjectTap(screen);
  qv::testing::PumpMessages();
}

}  // namespace qv::test
