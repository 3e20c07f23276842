// Hands the page in LaunchState to the shell: the default browser, or
// Internet Explorer with the question when it is missing.
#ifndef ONDRELLE_BROWSER_LAUNCH_H
#define ONDRELLE_BROWSER_LAUNCH_H

#include "platform.h"

// Writes errMsg when the shell refuses; destroys the launch window on every path.
void LaunchPage(HWND window);
// The full Internet Explorer path when it exists, else the bare name.
const char* GetIEPath();

#endif
