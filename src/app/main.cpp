// The start-up code hands over to the launcher at once.
#include "run_launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    return RunLauncher(instance, previous, commandLine, show);
}
