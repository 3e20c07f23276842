#include "globals.h"

LaunchRecord LaunchState;
char errMsg[kErrMsgSize];
HWND launchWindow;
