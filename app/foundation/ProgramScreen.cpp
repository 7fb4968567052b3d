#include "app/foundation/ProgramScreen.h"

namespace {

std::function<bool()>& Opener() {
  static std::function<bool()> opener;
  return opener;
}

// 0 not asked yet, 1 open, -1 none to be had.
int g_screen = 0;

}  // namespace

void SetScreenOpener(std::function<bool()> opener) {
  Opener() = std::move(opener);
  g_screen = 0;
}

bool EnsureScreen() {
  if (!Opener()) return true;
  if (g_screen == 0) g_screen = Opener()() ? 1 : -1;
  return g_screen == 1;
}
