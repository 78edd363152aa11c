// The service with ticks that do nothing, for measuring what a tick's work costs
// (scripts/bench_service_cpu.sh). Never shipped.
#include "common/win32.h"
#include "engine/service_program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return RunNortavelFreeProgram([](TNortavelFree& module) { module.Timer1.SetOnTimer([](TComponent*) {}); });
}
