// The user and shell side as a scriptable stand-in: every call is recorded,
// answers come from what a test queued, and the message queue is real
// enough for one window's life: post, get, dispatch, destroy, quit.
#include "win32_subset.h"
#include "standin_control.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <deque>
#include <string>
#include <vector>

namespace {

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

struct Window {
    int id;
    WNDPROC procedure;
    bool alive;
};

std::vector<std::string> calls;
std::vector<WindowClass> classes;
std::vector<Window> windows;
std::deque<MSG> queue;
bool quitPosted = false;
bool loopWouldHang = false;
bool failRegisterClass = false;
bool failCreateWindow = false;
bool failPostMessage = false;
std::deque<INT_PTR> shellResults;
std::deque<int> messageBoxAnswers;

const int kFirstWindow = 0x100;

std::string Quote(const char* text) {
    if (!text) return "NULL";
    return std::string("\"") + text + "\"";
}

std::string Number(long long value) { return std::to_string(value); }

std::string Hex(unsigned long long value) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "0x%llx", value);
    return buffer;
}

std::string Resource(const char* name) {
    if (!name) return "NULL";
    if (IS_INTRESOURCE(name)) return "#" + Number((long long)(UINT_PTR)name);
    return Quote(name);
}

std::string WindowText(HWND window) { return "hwnd:" + Number((long long)(INT_PTR)window); }

void Record(const std::string& name, const std::string& arguments) {
    calls.push_back(name + "(" + arguments + ")");
}

Window* FindWindow(HWND handle) {
    for (size_t i = 0; i < windows.size(); i++) {
        if ((HWND)(INT_PTR)windows[i].id == handle) return &windows[i];
    }
    return NULL;
}

}  // namespace

void Standin_ResetUser() {
    calls.clear();
    classes.clear();
    windows.clear();
    queue.clear();
    quitPosted = false;
    loopWouldHang = false;
    failRegisterClass = false;
    failCreateWindow = false;
    failPostMessage = false;
    shellResults.clear();
    messageBoxAnswers.clear();
}

const std::vector<std::string>& Standin_Calls() { return calls; }

std::vector<std::string> Standin_CallNames() {
    std::vector<std::string> names;
    for (size_t i = 0; i < calls.size(); i++) names.push_back(calls[i].substr(0, calls[i].find('(')));
    return names;
}

void Standin_QueueShellResult(INT_PTR result) { shellResults.push_back(result); }
void Standin_QueueMessageBoxAnswer(int answer) { messageBoxAnswers.push_back(answer); }
void Standin_FailRegisterClass(bool fail) { failRegisterClass = fail; }
void Standin_FailCreateWindow(bool fail) { failCreateWindow = fail; }
void Standin_FailPostMessage(bool fail) { failPostMessage = fail; }
bool Standin_LoopWouldHang() { return loopWouldHang; }

int Standin_LiveWindows() {
    int live = 0;
    for (size_t i = 0; i < windows.size(); i++) live += windows[i].alive ? 1 : 0;
    return live;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    Record("RegisterClassA",
           "style=" + Number(wc->style) + ", proc=" + (wc->lpfnWndProc ? "set" : "NULL") +
               ", clsExtra=" + Number(wc->cbClsExtra) + ", wndExtra=" + Number(wc->cbWndExtra) +
               ", instance=" + Hex((UINT_PTR)wc->hInstance) + ", icon=" + Hex((UINT_PTR)wc->hIcon) +
               ", cursor=" + Hex((UINT_PTR)wc->hCursor) +
               ", brush=" + Number((long long)(INT_PTR)wc->hbrBackground) +
               ", menu=" + Resource(wc->lpszMenuName) + ", class=" + Quote(wc->lpszClassName));
    if (failRegisterClass || !wc->lpszClassName) return 0;
    for (size_t i = 0; i < classes.size(); i++) {
        if (classes[i].name == wc->lpszClassName) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    WindowClass registered = {wc->lpszClassName, wc->lpfnWndProc};
    classes.push_back(registered);
    return ATOM(0xC000 + classes.size());
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    Record("LoadIconA", Hex((UINT_PTR)instance) + ", " + Resource(name));
    return (HICON)(UINT_PTR)(0x2000 + (IS_INTRESOURCE(name) ? (UINT_PTR)name : 0));
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    Record("LoadCursorA", Hex((UINT_PTR)instance) + ", " + Resource(name));
    return (HCURSOR)(UINT_PTR)0x3000;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    Record("CreateWindowExA", Hex(exStyle) + ", " + Quote(className) + ", " + Quote(title) + ", " +
                                  Hex(style) + ", " + Number(x) + ", " + Number(y) + ", " +
                                  Number(width) + ", " + Number(height) + ", " +
                                  WindowText(parent) + ", " + Hex((UINT_PTR)menu) + ", " +
                                  Hex((UINT_PTR)instance) + ", " + Hex((UINT_PTR)param));
    const WindowClass* wc = NULL;
    for (size_t i = 0; i < classes.size(); i++) {
        if (className && classes[i].name == className) wc = &classes[i];
    }
    if (failCreateWindow || !wc) return NULL;
    Window window = {kFirstWindow + int(windows.size()), wc->procedure, true};
    windows.push_back(window);
    HWND handle = (HWND)(INT_PTR)window.id;
    // The creation messages, as Windows sends them before returning.
    if (!wc->procedure(handle, WM_NCCREATE, 0, 0)) {
        FindWindow(handle)->alive = false;
        return NULL;
    }
    wc->procedure(handle, WM_CREATE, 0, 0);
    return handle;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record("PostMessageA", WindowText(window) + ", " + Hex(message) + ", " + Number((long long)wParam) +
                               ", " + Number(lParam));
    if (failPostMessage) {
        SetLastError(1816);  // ERROR_NOT_ENOUGH_QUOTA
        return FALSE;
    }
    if (window) {
        Window* target = FindWindow(window);
        if (!target || !target->alive) {
            SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
            return FALSE;
        }
    }
    MSG msg;
    memset(&msg, 0, sizeof msg);
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    queue.push_back(msg);
    return TRUE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    Record("GetMessageA", WindowText(window) + ", " + Number(filterMin) + ", " + Number(filterMax));
    memset(msg, 0, sizeof *msg);
    // Posted messages first; WM_QUIT comes when the queue is otherwise empty.
    while (!queue.empty()) {
        *msg = queue.front();
        queue.pop_front();
        if (msg->hwnd) {
            Window* target = FindWindow(msg->hwnd);
            if (!target || !target->alive) continue;  // the window is gone
        }
        return TRUE;
    }
    if (quitPosted) {
        quitPosted = false;
        msg->message = WM_QUIT;
        return FALSE;
    }
    // Windows would wait here for ever; end the loop and let the test see it.
    loopWouldHang = true;
    msg->message = WM_QUIT;
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    Record("TranslateMessage", Hex(msg->message));
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    Record("DispatchMessageA", WindowText(msg->hwnd) + ", " + Hex(msg->message));
    Window* target = FindWindow(msg->hwnd);
    if (!target || !target->alive) return 0;
    return target->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record("DefWindowProcA", WindowText(window) + ", " + Hex(message) + ", " +
                                 Number((long long)wParam) + ", " + Number(lParam));
    if (message == WM_NCCREATE) return TRUE;
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

void PostQuitMessage(int exitCode) {
    Record("PostQuitMessage", Number(exitCode));
    quitPosted = true;
}

BOOL DestroyWindow(HWND window) {
    Record("DestroyWindow", WindowText(window));
    Window* target = FindWindow(window);
    if (!target || !target->alive) {
        SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    target->alive = false;
    // WM_DESTROY is sent, and handled, before DestroyWindow returns.
    target->procedure(window, WM_DESTROY, 0, 0);
    target->procedure(window, WM_NCDESTROY, 0, 0);
    return TRUE;
}

BOOL MessageBeep(UINT type) {
    Record("MessageBeep", Hex(type));
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Record("MessageBoxA", WindowText(owner) + ", " + Quote(text) + ", " + Quote(caption) + ", " + Hex(type));
    if (messageBoxAnswers.empty()) return IDOK;
    int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    // wsprintfA writes at most 1024 bytes, terminator included.
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, 1024, format, args);
    va_end(args);
    return n < 1024 ? n : 1023;
}

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int showCommand) {
    Record("ShellExecuteA", WindowText(owner) + ", " + Quote(verb) + ", " + Quote(file) + ", " +
                                Quote(parameters) + ", " + Quote(directory) + ", " +
                                Number(showCommand));
    INT_PTR result = 42;
    if (!shellResults.empty()) {
        result = shellResults.front();
        shellResults.pop_front();
    }
    return (HINSTANCE)result;
}
