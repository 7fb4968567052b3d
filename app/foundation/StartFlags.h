// How this run of the program was started, set from the command line before
// the main frame exists: for one automatic receive ("-receiveTmail",
// "-receiveTaccount") or one unattended periodic receive ("-t"). While a
// flag is set the main frame closes itself when that receive ends; the
// user's activating the program clears it. UI thread only.
#pragma once

extern int AutoReceiveStartFlag;
extern int UnattendedStartFlag;
