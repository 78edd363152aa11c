// The smallest process the scale scenario can start by the thousand: it tells its
// starter it is running, then sleeps until it is ended.
//   idle_process [SEMAPHORE]    releases the named semaphore once, then sleeps
#include <windows.h>

int main(int argc, char** argv) {
  if (argc > 1) {
    // Reaching main means the loader is done, so the module list is readable.
    HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[1]);
    if (ready != nullptr) {
      ReleaseSemaphore(ready, 1, nullptr);
      CloseHandle(ready);
    }
  }
  Sleep(INFINITE);
  return 0;
}
