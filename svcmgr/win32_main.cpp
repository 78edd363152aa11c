// Placeholder program entry until the service host exists.
#include "winsys/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
