#pragma once
// The process and token calls behind session detection, one method per Windows
// call. The caller passes every documented argument (access masks, sizes, the
// information class), so the values can be checked against a fake.
//
// Handles and memory blocks are uintptr_t; 0 is "none". A block from AllocateBlock
// is fixed memory: its handle is its address. Thread: the tick thread only.

#include <cstdint>
#include <string>

#include "winsys/kernel_api.h"

class TProcessApi : public virtual TKernelApi {
 public:

  // EnumProcesses: fills ids (bufferBytes long) and reports the bytes written.
  virtual bool EnumProcessIds(uint32_t* ids, uint32_t bufferBytes, uint32_t& bytesReturned) = 0;
  // OpenProcess: the handle, or 0.
  virtual uintptr_t OpenProcessById(uint32_t access, bool inheritHandle, uint32_t processId) = 0;
  // EnumProcessModules: modules has room for bufferBytes; reports the bytes needed.
  virtual bool EnumModules(uintptr_t process, uintptr_t* modules, uint32_t bufferBytes, uint32_t& bytesNeeded) = 0;
  // GetTokenInformation: returnLength receives the length written or needed.
  virtual bool QueryToken(uintptr_t token, uint32_t infoClass, void* buffer, uint32_t length,
                          uint32_t& returnLength) = 0;
  // GlobalAlloc / GlobalFree; FreeBlock keeps the caller's last-error code.
  virtual uintptr_t AllocateBlock(uint32_t flags, uint32_t bytes) = 0;
  virtual void FreeBlock(uintptr_t block) = 0;
  // IsWow64Process for the own process: true for a 32-bit process on 64-bit
  // Windows, which cannot read the modules of 64-bit processes.
  virtual bool RunsUnderWow64() = 0;
  // GetTickCount64: milliseconds since the computer started, to time one
  // examination of a process.
  virtual uint64_t ElapsedMs() = 0;
  // GetProcessTimes: when the process was created (its FILETIME as one number),
  // which tells it from a later process of the same id. False on failure.
  virtual bool CreationTime(uintptr_t process, uint64_t& created) = 0;
  // QueryFullProcessImageNameA(process, 0, ...): the path of its program; empty
  // on failure.
  virtual std::string ImagePath(uintptr_t process) = 0;
  // LookupAccountSidA: the lengths are in characters, in as room, out as written
  // (or needed, on failure).
  virtual bool LookupAccount(const char* systemName, const void* sid, char* name, uint32_t& nameLength,
                             char* domain, uint32_t& domainLength, uint32_t& sidType) = 0;
};

using TGlobalBlock = TOwned<TProcessApi, &TProcessApi::FreeBlock>;

// The Windows implementation; not available natively.
TProcessApi& PlatformProcesses();
