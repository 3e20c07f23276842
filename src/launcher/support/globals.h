// The few globals that the parts of a run share. They live for the whole
// process; everything else is local to one operation.
#ifndef ONDRELLE_GLOBALS_H
#define ONDRELLE_GLOBALS_H

#include "platform.h"

const int kErrMsgSize = 512;

struct LaunchRecord {
    char pagePath[MAX_PATH];  // absolute path of the page; empty: none yet
    BYTE useIE;               // non-zero: open the page with Internet Explorer
};

// What to open; all zero whenever the autorun reader fails.
extern LaunchRecord LaunchState;
// HTML fragment explaining a failure; empty means none.
extern char errMsg[kErrMsgSize];
// The launch window; null until made, and never reset after it is destroyed.
extern HWND launchWindow;

#endif
