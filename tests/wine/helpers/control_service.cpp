// Sends a control code to a service, or queries it, and prints the status the
// control manager answers with. Wine's sc has neither "interrogate" nor "control".
//   control_service NAME query
//   control_service NAME CODE      (4 = interrogate, 128..255 user-defined)
// Output: "state=S accepted=A exit=E specific=X checkpoint=C waithint=W" or
// "failed error=N"; exit code 0 on success, 1 on failure.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: control_service NAME query|CODE\n");
    return 2;
  }
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    std::printf("failed error=%lu\n", GetLastError());
    return 1;
  }
  SC_HANDLE service = OpenServiceA(manager, argv[1], SERVICE_ALL_ACCESS);
  SERVICE_STATUS status{};
  BOOL ok = FALSE;
  if (service != nullptr) {
    if (std::strcmp(argv[2], "query") == 0)
      ok = QueryServiceStatus(service, &status);
    else
      ok = ControlService(service, static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)), &status);
  }
  const DWORD error = ok ? 0 : GetLastError();
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  if (!ok) {
    std::printf("failed error=%lu\n", error);
    return 1;
  }
  std::printf("state=%lu accepted=%lu exit=%lu specific=%lu checkpoint=%lu waithint=%lu\n", status.dwCurrentState,
              status.dwControlsAccepted, status.dwWin32ExitCode, status.dwServiceSpecificExitCode,
              status.dwCheckPoint, status.dwWaitHint);
  return 0;
}
