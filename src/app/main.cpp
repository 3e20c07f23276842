// The start-up code hands over to the launcher at once.
#include "platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    (void)instance;
    return 0;
}
