// The executable's entry point. kelmora.exe links no C runtime, so nothing
// runs before this: no constructors, no command-line parsing, no TLS set-up.
#include "run_launcher.h"

extern "C" void KelmoraStart() {
    // RunLauncher reads neither the command line nor the show command.
    ExitProcess(UINT(RunLauncher(GetModuleHandleA(NULL), NULL, NULL, SW_SHOWDEFAULT)));
}
