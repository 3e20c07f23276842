#include "run_launcher.h"

#include "autorun_reader.h"
#include "browser_launch.h"
#include "globals.h"
#include "help_page.h"
#include "resource.h"

HINSTANCE appInstance;

namespace {
const char kClassName[] = "AppWindow";
}

bool RegisterAppWindowClass() {
    WNDCLASSA wc;
    wc.style = 0;
    wc.lpfnWndProc = AppWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = appInstance;
    wc.hIcon = LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_APPICON));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

LRESULT CALLBACK AppWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_USER:
        LaunchPage(window);
        return 0;
    case WM_CHAR:
    case WM_CLOSE:
        CloseLaunchWindow();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void CloseLaunchWindow() {
    // Without a window (it could not be made) there is nothing to destroy.
    if (launchWindow) DestroyWindow(launchWindow);
}

int WINAPI RunLauncher(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    appInstance = instance;
    errMsg[0] = 0;
    if (!RegisterAppWindowClass()) return 0;

    ReadAutorun();
    if (errMsg[0] == 0) {
        launchWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "Ondrelle", WS_POPUP | WS_VISIBLE, 0, 0,
                                       0, 0, NULL, NULL, appInstance, NULL);
        if (launchWindow && PostMessageA(launchWindow, WM_USER, 0, 0)) {
            // Ends with the WM_QUIT that the window's destruction posts.
            MSG msg;
            while (GetMessageA(&msg, NULL, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            // No window (no display, say) or no message to start the launch:
            // a loop would wait for ever, so launch at once.
            LaunchPage(launchWindow);
        }
    }

    if (errMsg[0] != 0 && !ShowHelp()) MessageBeep(MB_ICONHAND);
    return 0;
}
