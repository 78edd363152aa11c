#include "tests/fakes/fake_processes.h"

#include <cstdio>
#include <cstring>

#include "common/system_error.h"

namespace {

constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorNoneMapped = 1332;
constexpr uint32_t kErrorPartialCopy = 299;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uintptr_t kSidBase = 0x5100000;  // SIDs are never dereferenced: process index * 16 above this

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

}  // namespace

TFakeProcess& TFakeProcesses::Add(uint32_t id, const std::string& account, const std::string& domain) {
  TFakeProcess process;
  process.Id = id;
  process.Account = account;
  process.Domain = domain;
  Table.push_back(process);
  return Table.back();
}

std::vector<std::string> TFakeProcesses::Outstanding() const {
  std::vector<std::string> names;
  for (const auto& entry : Handles) names.push_back(Name(entry.first));
  for (const auto& entry : Blocks) names.push_back("B" + std::to_string(entry.second.Number));
  return names;
}

std::string TFakeProcesses::Name(uintptr_t handle) const {
  if (handle == 0) return "null";
  auto h = Handles.find(handle);
  if (h != Handles.end()) return h->second.Kind + std::to_string(Table[h->second.Process].Id);
  auto b = Blocks.find(handle);
  if (b != Blocks.end()) return "B" + std::to_string(b->second.Number);
  return "?";
}

const TFakeProcesses::THandle* TFakeProcesses::Find(uintptr_t handle, char kind) const {
  auto h = Handles.find(handle);
  return h != Handles.end() && h->second.Kind == kind ? &h->second : nullptr;
}

bool TFakeProcesses::EnumProcessIds(uint32_t* ids, uint32_t bufferBytes, uint32_t& bytesReturned) {
  Calls.push_back("EnumProcesses(" + std::to_string(bufferBytes) + ")");
  if (EnumFails) {
    Error = kErrorAccessDenied;
    return false;
  }
  // Like Windows, a longer list is cut to the room given, without notice.
  uint32_t written = 0;
  for (const TFakeProcess& process : Table) {
    if ((written + 1) * 4 > bufferBytes) break;
    ids[written++] = process.Id;
  }
  bytesReturned = OverrideBytesReturned ? BytesReturned : written * 4;
  return true;
}

uintptr_t TFakeProcesses::OpenProcessById(uint32_t access, bool inheritHandle, uint32_t processId) {
  Calls.push_back("OpenProcess(" + Hex(access) + "," + (inheritHandle ? "1" : "0") + "," +
                  std::to_string(processId) + ")");
  for (size_t i = 0; i < Table.size(); ++i) {
    if (Table[i].Id != processId) continue;
    if (Fails(i, TProcessStep::Open)) break;
    const uintptr_t handle = NextHandle++;
    Handles[handle] = THandle{'P', i};
    return handle;
  }
  Error = kErrorInvalidParameter;  // what Windows answers for a process that has gone
  return 0;
}

bool TFakeProcesses::EnumModules(uintptr_t process, uintptr_t* modules, uint32_t bufferBytes,
                                 uint32_t& bytesNeeded) {
  Calls.push_back("EnumProcessModules(" + Name(process) + "," + std::to_string(bufferBytes) + ")");
  const THandle* h = Find(process, 'P');
  if (h == nullptr || Fails(h->Process, TProcessStep::Modules)) {
    Error = kErrorPartialCopy;
    return false;
  }
  if (bufferBytes >= sizeof(uintptr_t)) modules[0] = 0x400000;
  bytesNeeded = 5 * sizeof(uintptr_t);  // more modules than room: still a success
  NowMs += Table[h->Process].ExaminationMs;
  if (Clock != nullptr) Clock->Advance(Table[h->Process].ExaminationMs);
  return true;
}

bool TFakeProcesses::CreationTime(uintptr_t process, uint64_t& created) {
  Calls.push_back("GetProcessTimes(" + Name(process) + ")");
  const THandle* h = Find(process, 'P');
  if (h == nullptr) return false;
  created = Table[h->Process].Created;
  return true;
}

std::string TFakeProcesses::ImagePath(uintptr_t process) {
  Calls.push_back("QueryFullProcessImageName(" + Name(process) + ")");
  const THandle* h = Find(process, 'P');
  return h == nullptr ? std::string() : "C:\\Programs\\" + std::to_string(Table[h->Process].Id) + ".exe";
}

bool TFakeProcesses::OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) {
  Calls.push_back("OpenProcessToken(" + Name(process) + "," + Hex(access) + ")");
  const THandle* h = Find(process, 'P');
  if (h == nullptr || Fails(h->Process, TProcessStep::Token)) {
    Error = kErrorAccessDenied;
    return false;
  }
  token = NextHandle++;
  Handles[token] = THandle{'T', h->Process};
  return true;
}

bool TFakeProcesses::QueryToken(uintptr_t token, uint32_t infoClass, void* buffer, uint32_t length,
                                uint32_t& returnLength) {
  auto block = Blocks.find(reinterpret_cast<uintptr_t>(buffer));
  const std::string bufferName = buffer == nullptr ? "null" : block != Blocks.end() ? Name(block->first) : "?";
  Calls.push_back("GetTokenInformation(" + Name(token) + "," + std::to_string(infoClass) + "," + bufferName + "," +
                  std::to_string(length) + ")");
  const THandle* h = Find(token, 'T');
  if (h == nullptr || infoClass != 1) {
    Error = kErrorInvalidParameter;
    return false;
  }
  const TFakeProcess& process = Table[h->Process];
  returnLength = process.TokenUserLength;
  if (buffer == nullptr) {
    Probed = h->Process;
    if (Fails(h->Process, TProcessStep::SizeProbe)) {
      Error = process.ProbeError;
      return false;
    }
    if (process.ProbeSucceeds) return true;
    Error = kErrorInsufficientBuffer;
    return false;
  }
  if (Fails(h->Process, TProcessStep::Read)) {
    Error = kErrorAccessDenied;
    return false;
  }
  // The fake writes only into a block of ours, and never past its size.
  if (block == Blocks.end() || length > block->second.Size || length < process.TokenUserLength) {
    Error = kErrorInsufficientBuffer;
    return false;
  }
  const uintptr_t sid = kSidBase + h->Process * 16;
  if (length >= sizeof sid) std::memcpy(buffer, &sid, sizeof sid);
  return true;
}

uintptr_t TFakeProcesses::AllocateBlock(uint32_t flags, uint32_t bytes) {
  Calls.push_back("GlobalAlloc(" + Hex(flags) + "," + std::to_string(bytes) + ")");
  // The failure is scripted on the process whose token was last asked for its size.
  if (Probed < Table.size() && Fails(Probed, TProcessStep::Allocate)) {
    Error = kErrorNotEnoughMemory;
    return 0;
  }
  TBlock block;
  // Fixed memory that is not zero-filled holds whatever was there before.
  block.Bytes.assign(bytes + 1u, (flags & 0x40) != 0 ? 0x00 : 0xCD);
  block.Size = bytes;
  block.Number = NextBlock++;
  const uintptr_t address = reinterpret_cast<uintptr_t>(block.Bytes.data());
  Blocks.emplace(address, std::move(block));
  return address;
}

void TFakeProcesses::FreeBlock(uintptr_t block) {
  Calls.push_back("GlobalFree(" + Name(block) + ")");
  Blocks.erase(block);
}

bool TFakeProcesses::LookupAccount(const char* systemName, const void* sid, char* name, uint32_t& nameLength,
                                   char* domain, uint32_t& domainLength, uint32_t& sidType) {
  const uintptr_t sidValue = reinterpret_cast<uintptr_t>(sid);
  const size_t index = (sidValue - kSidBase) / 16;
  const bool known = sidValue >= kSidBase && (sidValue - kSidBase) % 16 == 0 && index < Table.size();
  Calls.push_back(std::string("LookupAccountSid(") + (systemName == nullptr ? "null" : systemName) + "," +
                  (known ? "S" + std::to_string(Table[index].Id) : "?") + "," + std::to_string(nameLength) + "," +
                  std::to_string(domainLength) + ")");
  if (!known || Fails(index, TProcessStep::Lookup)) {
    Error = kErrorNoneMapped;
    return false;
  }
  const TFakeProcess& process = Table[index];
  if (process.Account.size() + 1 > nameLength || process.Domain.size() + 1 > domainLength) {
    nameLength = static_cast<uint32_t>(process.Account.size() + 1);
    domainLength = static_cast<uint32_t>(process.Domain.size() + 1);
    Error = kErrorInsufficientBuffer;
    return false;
  }
  std::memcpy(name, process.Account.c_str(), process.Account.size() + 1);
  std::memcpy(domain, process.Domain.c_str(), process.Domain.size() + 1);
  nameLength = static_cast<uint32_t>(process.Account.size());
  domainLength = static_cast<uint32_t>(process.Domain.size());
  sidType = 1;  // SidTypeUser
  return true;
}

void TFakeProcesses::CloseObject(uintptr_t handle) {
  Calls.push_back("CloseHandle(" + Name(handle) + ")");
  Handles.erase(handle);
}
