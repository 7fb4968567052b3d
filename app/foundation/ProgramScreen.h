// The device screen the program shows its windows on. The entry point
// installs how it is opened, and it is opened when the program first shows
// something: a start that only hands its command line to the running copy
// never opens one. Without an opener (the tests) the screen is always there.
#pragma once

#include <functional>

// The opener says false when there is no screen to be had (it tells the
// user so itself).
void SetScreenOpener(std::function<bool()> opener);
// True once the screen is open; asks the opener the first time.
bool EnsureScreen();
