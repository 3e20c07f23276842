// Runs one program the way AutoPlay would, inside a job object with a time limit, and
// reports on stdout what happened, one "key=value" line each:
//   cwd.drive_type=<n>       GetDriveTypeA of the working directory's drive (5: CD-ROM)
//   pid=<hex, as Wine's +pid trace prints it>
//   dialog.caption=, dialog.text=, dialog.buttons=<id:text,...>, dialog.default=<id>
//   answered=<id>            the WM_COMMAND posted to the program's message box
//   exit=0x<code>            the program ended by itself with that code
//   crash=0x<code>           it ended with an exception status (0xC0000000 and up)
//   hang=1                   it was still running at the time limit
//   leftover=<n>             processes of the job (the program's children included) that
//                            were still running after the grace period and were ended
//
// runner [--env NAME=VALUE]... [--cwd DIR] [--answer ok|cancel] [--timeout MS]
//        [--grace MS] COMMAND-LINE
// COMMAND-LINE is one argument, passed to CreateProcessA as it is. --env sets a variable in
// the Windows environment that the program inherits (TMP and TEMP reach it only this way).
// Exit code: 0 when the report is complete, 2 for bad arguments, 3 when the run failed.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct DialogWatch {
    DWORD processId;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    DialogWatch* watch = reinterpret_cast<DialogWatch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != watch->processId || !IsWindowVisible(window)) return TRUE;
    char className[64];
    if (GetClassNameA(window, className, sizeof className) && strcmp(className, "#32770") == 0) {
        watch->dialog = window;
        return FALSE;
    }
    return TRUE;
}

// Prints a window text on one line: CR and LF as \r and \n, backslashes doubled.
void PrintEscaped(const char* key, const char* text) {
    printf("%s=", key);
    for (const char* at = text; *at; ++at) {
        if (*at == '\n') fputs("\\n", stdout);
        else if (*at == '\r') fputs("\\r", stdout);
        else if (*at == '\\') fputs("\\\\", stdout);
        else putchar(*at);
    }
    putchar('\n');
}

struct DialogText {
    char text[1024];
    char buttons[256];
};

BOOL CALLBACK ReadDialogChild(HWND child, LPARAM param) {
    DialogText* found = reinterpret_cast<DialogText*>(param);
    char className[64];
    char text[1024];
    if (!GetClassNameA(child, className, sizeof className)) return TRUE;
    GetWindowTextA(child, text, sizeof text);
    if (lstrcmpiA(className, "Static") == 0) {
        // The message is the longest static text; the icon's static has none.
        if (strlen(text) > strlen(found->text)) lstrcpynA(found->text, text, sizeof found->text);
    } else if (lstrcmpiA(className, "Button") == 0) {
        char entry[96];
        _snprintf(entry, sizeof entry, "%s%d:%s", found->buttons[0] ? "," : "",
                  GetDlgCtrlID(child), text);
        entry[sizeof entry - 1] = 0;
        strncat(found->buttons, entry, sizeof found->buttons - strlen(found->buttons) - 1);
    }
    return TRUE;
}

void ReportDialog(HWND dialog) {
    char caption[256];
    GetWindowTextA(dialog, caption, sizeof caption);
    PrintEscaped("dialog.caption", caption);
    DialogText found;
    found.text[0] = 0;
    found.buttons[0] = 0;
    EnumChildWindows(dialog, ReadDialogChild, reinterpret_cast<LPARAM>(&found));
    PrintEscaped("dialog.text", found.text);
    PrintEscaped("dialog.buttons", found.buttons);
    // MessageBox marks its default button by style; DM_GETDEFID keeps answering IDOK.
    int defaultId = 0;
    for (int id = IDOK; id <= IDCONTINUE; ++id) {
        HWND button = GetDlgItem(dialog, id);
        if (button && (GetWindowLongA(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) defaultId = id;
    }
    printf("dialog.default=%d\n", defaultId);
}

// Names the processes still in the job, comma-separated.
void PrintJobProcesses(HANDLE job) {
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[63];
    } ids;
    printf("leftover.names=");
    if (QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, NULL)) {
        DWORD count = ids.list.NumberOfProcessIdsInList;
        if (count > 64) count = 64;
        for (DWORD i = 0; i < count; ++i) {
            char name[MAX_PATH] = "?";
            DWORD size = sizeof name;
            HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         (DWORD)ids.list.ProcessIdList[i]);
            if (process) {
                if (!QueryFullProcessImageNameA(process, 0, name, &size)) lstrcpyA(name, "?");
                CloseHandle(process);
            }
            printf("%s%s", i ? "," : "", name);
        }
    }
    putchar('\n');
}

DWORD ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info;
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   NULL)) {
        return 0;
    }
    return info.ActiveProcesses;
}

int Usage() {
    fputs("usage: runner [--env NAME=VALUE]... [--cwd DIR] [--answer ok|cancel] "
          "[--timeout MS] [--grace MS] COMMAND-LINE\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* workDir = NULL;
    int answer = 0;
    DWORD timeoutMs = 15000;
    DWORD graceMs = 5000;
    int at = 1;
    for (; at < argc - 1 && strncmp(argv[at], "--", 2) == 0; at += 2) {
        const char* value = argv[at + 1];
        if (strcmp(argv[at], "--env") == 0) {
            char name[128];
            const char* equals = strchr(value, '=');
            if (!equals || equals == value || (size_t)(equals - value) >= sizeof name) {
                return Usage();
            }
            memcpy(name, value, equals - value);
            name[equals - value] = 0;
            if (!SetEnvironmentVariableA(name, equals + 1)) return 3;
        } else if (strcmp(argv[at], "--cwd") == 0) {
            workDir = value;
        } else if (strcmp(argv[at], "--answer") == 0) {
            if (strcmp(value, "ok") == 0) answer = IDOK;
            else if (strcmp(value, "cancel") == 0) answer = IDCANCEL;
            else return Usage();
        } else if (strcmp(argv[at], "--timeout") == 0) {
            timeoutMs = strtoul(value, NULL, 10);
        } else if (strcmp(argv[at], "--grace") == 0) {
            graceMs = strtoul(value, NULL, 10);
        } else {
            return Usage();
        }
    }
    if (at != argc - 1) return Usage();

    // Should Wine have to start its desktop process, it starts here, outside the job, where
    // neither the grace period waits for it nor the end of the job kills it.
    GetDesktopWindow();

    HANDLE job = CreateJobObjectA(NULL, NULL);
    if (!job) {
        fprintf(stderr, "runner: CreateJobObject failed (%lu)\n", GetLastError());
        return 3;
    }
    if (workDir && workDir[0] && workDir[1] == ':') {
        char root[4] = {workDir[0], ':', '\\', 0};
        printf("cwd.drive_type=%u\n", GetDriveTypeA(root));
    }
    char* commandLine = _strdup(argv[at]);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, workDir,
                        &startup, &process)) {
        fprintf(stderr, "runner: cannot start %s (%lu)\n", commandLine, GetLastError());
        return 3;
    }
    if (!AssignProcessToJobObject(job, process.hProcess)) {
        fprintf(stderr, "runner: AssignProcessToJobObject failed (%lu)\n", GetLastError());
        TerminateProcess(process.hProcess, 1);
        return 3;
    }
    printf("pid=%04lx\n", process.dwProcessId);
    fflush(stdout);
    ResumeThread(process.hThread);

    DWORD started = GetTickCount();
    bool dialogSeen = false;
    bool ended = false;
    while (GetTickCount() - started < timeoutMs) {
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        DialogWatch watch = {process.dwProcessId, NULL};
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&watch));
        if (watch.dialog && !dialogSeen) {
            dialogSeen = true;
            ReportDialog(watch.dialog);
            if (answer) {
                PostMessageA(watch.dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(watch.dialog, answer)));
                printf("answered=%d\n", answer);
            }
            fflush(stdout);
        }
    }
    printf("elapsed_ms=%lu\n", GetTickCount() - started);
    if (ended) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        printf(code >= 0xC0000000 ? "crash=0x%08lx\n" : "exit=0x%08lx\n", code);
    } else {
        printf("hang=1\n");
    }
    fflush(stdout);

    // Whatever the program started (a browser stand-in) may still be writing its record.
    DWORD graceStart = GetTickCount();
    while (ended && ActiveProcesses(job) > 0 && GetTickCount() - graceStart < graceMs) Sleep(20);
    printf("leftover=%lu\n", ActiveProcesses(job));
    if (ActiveProcesses(job) > 0) PrintJobProcesses(job);
    TerminateJobObject(job, 1);
    fflush(stdout);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(job);
    free(commandLine);
    return 0;
}
