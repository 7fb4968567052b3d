#include "app/foundation/ProgramScreen.h"

namespace {

struct Openers {
  std::function<bool()> open;
  std::function<bool()> begin;
};

Openers& Installed() {
  static Openers openers;
  return openers;
}

// 0 not asked yet, 1 open, -1 none to be had.
int g_screen = 0;
bool g_begun = false;

}  // namespace

void SetScreenOpener(std::function<bool()> opener, std::function<bool()> beginner) {
  Installed() = {std::move(opener), std::move(beginner)};
  g_screen = 0;
  g_begun = false;
}

bool BeginScreen() {
  if (g_screen != 0) return g_screen == 1;
  if (g_begun || !Installed().begin) return true;
  g_begun = true;
  return Installed().begin();
}

bool EnsureScreen() {
  if (!Installed().open) return true;
  if (g_screen == 0) g_screen = Installed().open() ? 1 : -1;
  return g_screen == 1;
}
