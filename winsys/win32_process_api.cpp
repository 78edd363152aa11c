// The process and token calls of session detection, forwarded to Windows.
#include "common/win32.h"

#include <psapi.h>

#include "winsys/process_api.h"

namespace {

static_assert(sizeof(DWORD) == sizeof(uint32_t), "process ids are 32-bit");
static_assert(sizeof(HMODULE) == sizeof(uintptr_t), "the caller's module room is one HMODULE");

HANDLE AsHandle(uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

class TWin32Processes : public TProcessApi, public TWin32KernelApi {
 public:
  bool EnumProcessIds(uint32_t* ids, uint32_t bufferBytes, uint32_t& bytesReturned) override {
    DWORD returned = 0;
    const BOOL ok = ::EnumProcesses(reinterpret_cast<DWORD*>(ids), bufferBytes, &returned);
    bytesReturned = returned;
    return ok != FALSE;
  }

  uintptr_t OpenProcessById(uint32_t access, bool inheritHandle, uint32_t processId) override {
    return reinterpret_cast<uintptr_t>(::OpenProcess(access, inheritHandle ? TRUE : FALSE, processId));
  }

  bool EnumModules(uintptr_t process, uintptr_t* modules, uint32_t bufferBytes, uint32_t& bytesNeeded) override {
    DWORD needed = 0;
    const BOOL ok =
        ::EnumProcessModules(AsHandle(process), reinterpret_cast<HMODULE*>(modules), bufferBytes, &needed);
    bytesNeeded = needed;
    return ok != FALSE;
  }

  bool QueryToken(uintptr_t token, uint32_t infoClass, void* buffer, uint32_t length,
                  uint32_t& returnLength) override {
    DWORD returned = 0;
    const BOOL ok = ::GetTokenInformation(AsHandle(token), static_cast<TOKEN_INFORMATION_CLASS>(infoClass), buffer,
                                          length, &returned);
    returnLength = returned;
    return ok != FALSE;
  }

  uintptr_t AllocateBlock(uint32_t flags, uint32_t bytes) override {
    return reinterpret_cast<uintptr_t>(::GlobalAlloc(flags, bytes));
  }

  void FreeBlock(uintptr_t block) override {
    KeepingLastError([&] { return ::GlobalFree(reinterpret_cast<HGLOBAL>(block)); });
  }

  bool RunsUnderWow64() override {
    // Looked up at run time: the call is missing from the oldest 32-bit systems,
    // which are never 64-bit ones.
    using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = reinterpret_cast<TIsWow64Process>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
  }

  uint64_t ElapsedMs() override { return ::GetTickCount64(); }

  bool CreationTime(uintptr_t process, uint64_t& created) override {
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!::GetProcessTimes(AsHandle(process), &creation, &exit, &kernel, &user)) return false;
    created = (static_cast<uint64_t>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
    return true;
  }

  std::string ImagePath(uintptr_t process) override {
    char path[MAX_PATH] = {};
    DWORD size = sizeof path;
    if (!::QueryFullProcessImageNameA(AsHandle(process), 0, path, &size)) return std::string();
    return std::string(path, size);
  }

  bool LookupAccount(const char* systemName, const void* sid, char* name, uint32_t& nameLength, char* domain,
                     uint32_t& domainLength, uint32_t& sidType) override {
    DWORD nameChars = nameLength;
    DWORD domainChars = domainLength;
    SID_NAME_USE use = SidTypeUnknown;
    const BOOL ok = ::LookupAccountSidA(systemName, const_cast<void*>(sid), name, &nameChars, domain,
                                        &domainChars, &use);
    nameLength = nameChars;
    domainLength = domainChars;
    sidType = static_cast<uint32_t>(use);
    return ok != FALSE;
  }
};

}  // namespace

TProcessApi& PlatformProcesses() {
  static TWin32Processes api;
  return api;
}
