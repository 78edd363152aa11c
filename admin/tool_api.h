#pragma once
// The Windows calls of the administration (nortavelctl and the parent's window)
// that the seams of winsys and diag do not hold:
// the service control manager, the head of the service's executable, the
// bitness of Windows, an administrators-only folder and its removal, a pause. One method per
// call; the caller passes the documented access masks and control codes. Handles
// are uintptr_t, 0 is "none". Thread: the caller's; not shared.

#include <cstdint>
#include <string>
#include <vector>

#include "common/service_handle.h"

// QUERY_SERVICE_CONFIGA, as far as the tool reads it.
struct TServiceConfig {
  uint32_t ServiceType = 0;
  uint32_t StartType = 0;   // SERVICE_BOOT_START 0 .. SERVICE_DISABLED 4
  std::string BinaryPath;   // as registered, quotes and arguments included
  std::string StartName;    // the account, e.g. "LocalSystem"
};

// CloseEntry (CloseServiceHandle), QueryState and Control come from
// TServiceHandleApi, which the service host's installation shares.
class TToolApi : public virtual TServiceHandleApi {
 public:
  static constexpr uint32_t kManagerConnect = 0x0001;            // SC_MANAGER_CONNECT
  static constexpr uint32_t kServiceQueryConfig = 0x0001;        // SERVICE_QUERY_CONFIG
  static constexpr uint32_t kServiceUserDefinedControl = 0x0100; // SERVICE_USER_DEFINED_CONTROL
  static constexpr uint32_t kAutoStart = 2;                      // SERVICE_AUTO_START

  virtual ~TToolApi() = default;
  // OpenSCManagerA: 0 on failure.
  virtual uintptr_t OpenManager(const char* machineName, const char* databaseName, uint32_t access) = 0;
  // OpenServiceA: 0 on failure.
  virtual uintptr_t OpenEntry(uintptr_t manager, const std::string& name, uint32_t access) = 0;
  // QueryServiceConfigA, asked for the size first and then into a buffer of it.
  virtual bool QueryConfig(uintptr_t service, TServiceConfig& config) = 0;
  // QueryServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, ...), asked for
  // the size first: the reset period (seconds) and the actions.
  virtual bool QueryFailureActions(uintptr_t service, uint32_t& resetPeriod, std::vector<TServiceAction>& actions) = 0;
  // GetLastError.
  virtual uint32_t LastError() = 0;
  // Up to count bytes from the start of the file; empty when it cannot be read.
  virtual std::string ReadFileHead(const std::string& path, uint32_t count) = 0;
  // Whether Windows itself is 64-bit (a 64-bit process, or IsWow64Process).
  virtual bool WindowsIs64Bit() = 0;
  // CreateDirectoryA(path, security) with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorA makes of sddl; false on
  // failure, LastError() tells why.
  virtual bool CreateFolder(const std::string& path, const std::string& sddl) = 0;
  // RemoveDirectoryA: false when the folder is missing, holds anything or
  // cannot be removed; LastError() tells why.
  virtual bool RemoveFolder(const std::string& path) = 0;
  // Sleep.
  virtual void Pause(uint32_t milliseconds) = 0;
  // _setmode(stdout, _O_BINARY): what the tool writes to standard output from
  // then on reaches it byte for byte.
  virtual void BinaryStandardOutput() = 0;
  // Whether standard output is a console window: GetConsoleMode succeeds on
  // GetStdHandle(STD_OUTPUT_HANDLE). False for a file, a pipe and the NUL device.
  virtual bool StandardOutputIsConsole() = 0;
  // One line from standard input, without its line end; false at its end.
  // hidden: a console does not show what is typed (SetConsoleMode without
  // ENABLE_ECHO_INPUT, restored afterwards), for a PIN.
  virtual bool ReadLine(std::string& line, bool hidden) = 0;
};

// The Windows implementation; not available natively.
TToolApi& PlatformTool();
