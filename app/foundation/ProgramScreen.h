// The device screen the program shows its windows on. The entry point
// installs how it is opened, and it is opened when the program first shows
// something: a start that only hands its command line to the running copy
// never opens one. Without an opener (the tests) the screen is always there.
//
// A start may begin the opening early (BeginScreen) and go on with its own
// work, which needs no screen until something is shown; EnsureScreen then
// waits for the opening to end.
#pragma once

#include <functional>

// The opener waits for an opening begun, installs the screen on the calling
// thread and says false when there is no screen to be had (it tells the user
// so itself). The beginner, when given, starts the opening beside the
// caller's own work; false when it is known already that there is no screen.
void SetScreenOpener(std::function<bool()> opener, std::function<bool()> beginner = {});
// Starts opening the screen; false when there will be none (EnsureScreen
// says why). Without a beginner, true: EnsureScreen opens it.
bool BeginScreen();
// True once the screen is open; asks the opener the first time.
bool EnsureScreen();
