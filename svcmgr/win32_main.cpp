// The program entry of nortavel_free_service.exe.
#include "common/win32.h"
#include "engine/service_program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunNortavelFreeProgram(); }
