#pragma once
// The process-level Windows calls of the service application: its command line
// and file name, message boxes, the service control dispatcher, and what the
// last-resort error report needs to know. Method names avoid the A/W macros of
// <windows.h>.

#include <cstdint>
#include <string>

#include "common/callconv.h"

// A service's main entry as the control dispatcher calls it (LPSERVICE_MAIN_FUNCTIONA).
using TServiceMainFunction = void(NF_WINAPI*)(uint32_t argCount, char** args);

// SERVICE_TABLE_ENTRYA: a service name and its main entry. A table ends with an
// entry whose two fields are null.
struct TServiceTableEntry {
  const char* ServiceName = nullptr;
  TServiceMainFunction ServiceProc = nullptr;
};

inline constexpr uint32_t kMbOk = 0x0000;               // MB_OK
inline constexpr uint32_t kMbIconError = 0x0010;        // MB_ICONERROR
inline constexpr uint32_t kMbIconInformation = 0x0040;  // MB_ICONINFORMATION
inline constexpr uint32_t kMbTaskModal = 0x2000;        // MB_TASKMODAL
inline constexpr uint32_t kModuleFileNameRoom = 261;    // MAX_PATH + 1 characters

class TApplicationApi {
 public:
  virtual ~TApplicationApi() = default;

  // GetCommandLineA().
  virtual std::string CommandLine() = 0;

  // GetModuleFileNameA(the executable's module, buffer of room characters, room):
  // the characters copied, empty on failure (the cause in LastError). A result of
  // room characters means the path did not fit.
  virtual std::string ModuleFileName(uint32_t room) = 0;
  // The full path and load address of the module that holds address (for
  // instance GetModuleHandleExA with FROM_ADDRESS, then GetModuleFileNameA);
  // false when no module holds it.
  virtual bool FindModule(uintptr_t address, std::string& modulePath, uintptr_t& moduleBase) = 0;

  // MessageBoxA(no owner window, text, caption, flags): returns once the box has
  // been closed, with the button pressed (0 when no box could be shown).
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags) = 0;
  // Whether the process's window station is visible (WSF_VISIBLE), that is,
  // whether anybody can see and close a box this process shows. False for the
  // non-interactive station of a service and when the station cannot be asked.
  virtual bool InteractiveStation() = 0;

  // StartServiceCtrlDispatcherA(table): blocks while the process is connected to
  // the service control manager; false at once when it cannot connect.
  virtual bool StartDispatcher(const TServiceTableEntry* table) = 0;

  // GetLastError() of the calling thread.
  virtual uint32_t LastError() = 0;
};

// The Windows implementation; not available natively.
TApplicationApi& PlatformApplicationApi();
