// The process-level calls of the service application.
#include <vector>

#include "svcmgr/application_api.h"
#include "common/win32.h"

namespace {

class TWin32ApplicationApi : public TApplicationApi {
 public:
  std::string CommandLine() override {
    const char* line = GetCommandLineA();
    return line != nullptr ? line : "";
  }

  std::string ModuleFileName(uint32_t room) override {
    std::vector<char> buffer(room + 1, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), room);
    return std::string(buffer.data(), length);
  }

  bool FindModule(uintptr_t address, std::string& modulePath, uintptr_t& moduleBase) override {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(address), &module)) return false;
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH + 1);
    modulePath.assign(path, length);
    moduleBase = reinterpret_cast<uintptr_t>(module);
    return true;
  }

  int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    const int pressed = MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
    return pressed < 0 ? 0 : pressed;
  }

  bool InteractiveStation() override {
    const HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS stationFlags = {};
    DWORD needed = 0;
    if (station == nullptr ||
        !GetUserObjectInformationA(station, UOI_FLAGS, &stationFlags, sizeof stationFlags, &needed))
      return false;
    return (stationFlags.dwFlags & WSF_VISIBLE) != 0;
  }

  bool StartDispatcher(const TServiceTableEntry* table) override {
    std::vector<SERVICE_TABLE_ENTRYA> entries;
    for (const TServiceTableEntry* entry = table;; ++entry) {
      // The entry function has the dispatcher's signature; DWORD and uint32_t
      // differ only in name. The detour through void(*)() keeps the cast explicit.
      entries.push_back(SERVICE_TABLE_ENTRYA{
          const_cast<LPSTR>(entry->ServiceName),
          reinterpret_cast<LPSERVICE_MAIN_FUNCTIONA>(reinterpret_cast<void (*)()>(entry->ServiceProc))});
      if (entry->ServiceName == nullptr) break;
    }
    return StartServiceCtrlDispatcherA(entries.data()) != FALSE;
  }

  uint32_t LastError() override { return GetLastError(); }
};

}  // namespace

TApplicationApi& PlatformApplicationApi() {
  static TWin32ApplicationApi api;
  return api;
}
