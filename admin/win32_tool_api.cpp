// The Windows calls of the administration.
#include "admin/tool_api.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <vector>

#include "common/win32.h"
// After <windows.h>, on which it builds.
#include <sddl.h>

namespace {

SC_HANDLE AsHandle(uintptr_t handle) { return reinterpret_cast<SC_HANDLE>(handle); }
uintptr_t AsValue(SC_HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }
std::string TextOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }

class TWin32ToolApi : public TToolApi, public TWin32ServiceHandleApi {
 public:
  uintptr_t OpenManager(const char* machineName, const char* databaseName, uint32_t access) override {
    return AsValue(OpenSCManagerA(machineName, databaseName, access));
  }

  uintptr_t OpenEntry(uintptr_t manager, const std::string& name, uint32_t access) override {
    return AsValue(OpenServiceA(AsHandle(manager), name.c_str(), access));
  }

  bool QueryConfig(uintptr_t service, TServiceConfig& config) override {
    DWORD needed = 0;
    if (QueryServiceConfigA(AsHandle(service), nullptr, 0, &needed) == FALSE &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return false;
    // DWORD-sized elements keep the structure aligned.
    std::vector<DWORD> buffer(needed / sizeof(DWORD) + 1);
    auto* answer = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (QueryServiceConfigA(AsHandle(service), answer, static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &needed) ==
        FALSE)
      return false;
    config.ServiceType = answer->dwServiceType;
    config.StartType = answer->dwStartType;
    config.BinaryPath = TextOf(answer->lpBinaryPathName);
    config.StartName = TextOf(answer->lpServiceStartName);
    return true;
  }

  bool QueryFailureActions(uintptr_t service, uint32_t& resetPeriod, std::vector<TServiceAction>& actions) override {
    DWORD needed = 0;
    if (QueryServiceConfig2A(AsHandle(service), SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed) == FALSE &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return false;
    std::vector<DWORD> buffer(needed / sizeof(DWORD) + 1);
    auto* answer = reinterpret_cast<SERVICE_FAILURE_ACTIONSA*>(buffer.data());
    if (QueryServiceConfig2A(AsHandle(service), SERVICE_CONFIG_FAILURE_ACTIONS, reinterpret_cast<BYTE*>(answer),
                             static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &needed) == FALSE)
      return false;
    resetPeriod = answer->dwResetPeriod;
    actions.clear();
    for (DWORD i = 0; answer->lpsaActions != nullptr && i < answer->cActions; ++i)
      actions.push_back(TServiceAction{static_cast<uint32_t>(answer->lpsaActions[i].Type), answer->lpsaActions[i].Delay});
    return true;
  }

  uint32_t LastError() override { return GetLastError(); }

  std::string ReadFileHead(const std::string& path, uint32_t count) override {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::string();
    std::string head(count, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), file));
    std::fclose(file);
    return head;
  }

  bool WindowsIs64Bit() override {
    if (sizeof(void*) == 8) return true;
    // IsWow64Process is missing from the first Windows XP: looked up, not imported.
    using TIsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = reinterpret_cast<TIsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) != FALSE && wow64 != FALSE;
  }

  bool CreateFolder(const std::string& path, const std::string& sddl) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                             nullptr) == FALSE)
      return false;
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    const BOOL created = CreateDirectoryA(path.c_str(), &security);
    KeepingLastError([&] { return LocalFree(descriptor); });
    return created != FALSE;
  }

  bool RemoveFolder(const std::string& path) override { return RemoveDirectoryA(path.c_str()) != FALSE; }

  void Pause(uint32_t milliseconds) override { Sleep(milliseconds); }

  void BinaryStandardOutput() override {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
  }

  // Not GetFileType's FILE_TYPE_CHAR: NUL and serial ports answer that too.
  bool StandardOutputIsConsole() override {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
  }

  bool ReadLine(std::string& line, bool hidden) override {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = hidden && GetConsoleMode(input, &mode) != FALSE;
    if (console) SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (console) {
      SetConsoleMode(input, mode);
      // The Enter typed was not shown either.
      std::fputs("\n", stderr);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return read;
  }
};

}  // namespace

TToolApi& PlatformTool() {
  static TWin32ToolApi api;
  return api;
}
