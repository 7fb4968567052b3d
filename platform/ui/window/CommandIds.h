// The command ids of the standard buttons: what a message box answers, what
// a dialog's Enter and Escape send and the caption's OK button reports, and
// BN_CLICKED, the notification they come with.
#pragma once

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#define BN_CLICKED 0
