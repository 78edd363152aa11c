#pragma once
// A scripted process table for session detection. Each process names its owner
// and, if asked, the step at which examining it fails. Every call is recorded as
// one line with its arguments, handles written symbolically:
//   EnumProcesses(4096)                      bytes of room
//   OpenProcess(0x410,0,17)                  access, inherit, id      -> P17
//   EnumProcessModules(P17,8)                bytes of room
//   OpenProcessToken(P17,0x8)                                        -> T17
//   GetTokenInformation(T17,1,null,0)        size probe
//   GlobalAlloc(0x40,44)                                             -> B1, B2, ...
//   GetTokenInformation(T17,1,B1,44)
//   LookupAccountSid(null,S17,128,128)       system, SID of process 17, room
//   CloseHandle(T17)  GlobalFree(B1)
// Handles and blocks still open are listed by Outstanding().

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/fakes/fake_clock.h"
#include "winsys/process_api.h"

enum class TProcessStep { None, Open, Modules, Token, SizeProbe, Allocate, Read, Lookup };

struct TFakeProcess {
  uint32_t Id = 0;
  std::string Account;
  std::string Domain = "HOST";
  TProcessStep FailAt = TProcessStep::None;
  uint32_t ProbeError = 122;  // the size probe's error when it fails as it normally does
  bool ProbeSucceeds = false;  // the size probe succeeds (and still reports the length)
  uint32_t TokenUserLength = 2 * sizeof(void*) + 28;  // TOKEN_USER with a domain SID
  uint64_t Created = 0;          // what GetProcessTimes gives
  uint64_t ExaminationMs = 0;    // how far the elapsed time moves while its modules are read
};

class TFakeProcesses : public TProcessApi {
 public:
  std::vector<TFakeProcess> Table;
  bool EnumFails = false;
  // When set, EnumProcesses reports this byte count whatever it wrote.
  bool OverrideBytesReturned = false;
  uint32_t BytesReturned = 0;

  std::vector<std::string> Calls;

  // Adds a process owned by account; returns it for further scripting.
  TFakeProcess& Add(uint32_t id, const std::string& account, const std::string& domain = "HOST");
  // Handles and blocks not yet released, symbolically ("P17", "T17", "B1").
  std::vector<std::string> Outstanding() const;

  bool EnumProcessIds(uint32_t* ids, uint32_t bufferBytes, uint32_t& bytesReturned) override;
  uintptr_t OpenProcessById(uint32_t access, bool inheritHandle, uint32_t processId) override;
  bool EnumModules(uintptr_t process, uintptr_t* modules, uint32_t bufferBytes, uint32_t& bytesNeeded) override;
  bool OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) override;
  bool QueryToken(uintptr_t token, uint32_t infoClass, void* buffer, uint32_t length,
                  uint32_t& returnLength) override;
  uintptr_t AllocateBlock(uint32_t flags, uint32_t bytes) override;
  void FreeBlock(uintptr_t block) override;
  bool LookupAccount(const char* systemName, const void* sid, char* name, uint32_t& nameLength, char* domain,
                     uint32_t& domainLength, uint32_t& sidType) override;
  void CloseObject(uintptr_t handle) override;
  uint32_t LastError() override { return Error; }
  bool RunsUnderWow64() override { return Wow64; }
  // The elapsed time stands still but while a slow process's modules are read;
  // with a clock, it is the clock's, which moves along with it.
  uint64_t ElapsedMs() override { return Clock != nullptr ? Clock->Elapsed().SinceStartMs : NowMs; }
  bool CreationTime(uintptr_t process, uint64_t& created) override;
  std::string ImagePath(uintptr_t process) override;
  uint64_t NowMs = 0;
  TFakeClock* Clock = nullptr;

  bool Wow64 = false;

 private:
  struct THandle {
    char Kind;  // 'P' process, 'T' token
    size_t Process;  // index into Table
  };
  struct TBlock {
    std::vector<unsigned char> Bytes;  // never empty, so every block has an address
    uint32_t Size;
    int Number;
  };
  std::string Name(uintptr_t handle) const;
  const THandle* Find(uintptr_t handle, char kind) const;
  bool Fails(size_t process, TProcessStep step) const { return Table[process].FailAt == step; }

  std::map<uintptr_t, THandle> Handles;
  std::map<uintptr_t, TBlock> Blocks;
  uintptr_t NextHandle = 0x100;
  int NextBlock = 1;
  uint32_t Error = 0;
  size_t Probed = SIZE_MAX;  // the process whose token was last asked for its size
};
