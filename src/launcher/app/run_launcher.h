// The whole life of one process, and its zero-sized launch window.
#ifndef ONDRELLE_RUN_LAUNCHER_H
#define ONDRELLE_RUN_LAUNCHER_H

#include "platform.h"

extern HINSTANCE appInstance;

// The program's WinMain; only the instance is used. Always returns 0.
int WINAPI RunLauncher(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
bool RegisterAppWindowClass();
LRESULT CALLBACK AppWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CloseLaunchWindow();

#endif
