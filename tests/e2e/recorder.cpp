// Stands in for the browser and for Internet Explorer in end-to-end runs: appends one
// line, "<own path>\t<command line>\r\n", to the file named by ONDRELLE_E2E_LOG (or to
// recorder.log beside itself), then exits. It shows nothing, so it never needs a display.
#include <windows.h>
#include <string.h>

static bool AppendLine(const char* logPath, const char* line, DWORD size) {
    // Two recorders may finish at the same moment (a help page and a page): retry while
    // the other one holds the file.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE file = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ, NULL,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            bool ok = WriteFile(file, line, size, &written, NULL) && written == size;
            CloseHandle(file);
            return ok;
        }
        Sleep(20);
    }
    return false;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof self);
    if (selfLength == 0 || selfLength >= sizeof self) return 3;

    char logPath[MAX_PATH];
    DWORD logLength = GetEnvironmentVariableA("ONDRELLE_E2E_LOG", logPath, sizeof logPath);
    if (logLength == 0 || logLength >= sizeof logPath) {
        char* slash = strrchr(self, '\\');
        size_t directory = slash ? (size_t)(slash - self) + 1 : 0;
        if (directory + sizeof "recorder.log" > sizeof logPath) return 3;
        memcpy(logPath, self, directory);
        memcpy(logPath + directory, "recorder.log", sizeof "recorder.log");
    }

    const char* commandLine = GetCommandLineA();
    size_t size = selfLength + 1 + strlen(commandLine) + 2;
    char* line = (char*)HeapAlloc(GetProcessHeap(), 0, size);
    if (!line) return 3;
    char* end = line;
    memcpy(end, self, selfLength);
    end += selfLength;
    *end++ = '\t';
    memcpy(end, commandLine, strlen(commandLine));
    end += strlen(commandLine);
    *end++ = '\r';
    *end++ = '\n';
    bool ok = AppendLine(logPath, line, (DWORD)(end - line));
    HeapFree(GetProcessHeap(), 0, line);
    return ok ? 0 : 3;
}
