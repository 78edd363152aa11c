#include "tests/fakes/fake_accounts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/system_error.h"

namespace {

constexpr uint32_t kErrorNoSuchPrivilege = 1313;
constexpr uint32_t kErrorAccessDenied = 5;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

// Each unit back to one byte: the tests use single-byte names only.
std::string Narrow(const char16_t* wide) {
  std::string text;
  for (; *wide != 0; ++wide) text += static_cast<char>(*wide & 0xFF);
  return text;
}

}  // namespace

int32_t TFakeAccounts::ToWide(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength,
                              char16_t* wide, int32_t wideRoom) {
  Calls.push_back("MultiByteToWideChar(" + std::to_string(codePage) + "," + std::to_string(flags) + "," +
                  std::to_string(textLength) + "," + std::to_string(wideRoom) + ")");
  // -1: the text up to its terminator, which is converted too.
  const size_t units = textLength < 0 ? std::strlen(text) + 1 : static_cast<size_t>(textLength);
  if (units > static_cast<size_t>(wideRoom)) {
    Error = kErrorInsufficientBuffer;
    return 0;
  }
  for (size_t i = 0; i < units; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return static_cast<int32_t>(units);
}

uint32_t TFakeAccounts::SetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                                    const TUserInfo1020* info, uint32_t* parmError) {
  TLogonHoursUpdate update;
  update.ServerNull = serverName == nullptr;
  update.User = Narrow(userName);
  update.Level = level;
  update.ParmErrorNull = parmError == nullptr;
  if (info != nullptr) {
    update.UnitsPerWeek = info->UnitsPerWeek;
    if (info->LogonHours != nullptr) update.Hours.assign(info->LogonHours, info->LogonHours + 21);
  }
  Calls.push_back("NetUserSetInfo(" + std::string(update.ServerNull ? "null" : Narrow(serverName)) + "," +
                  update.User + "," + std::to_string(level) + ")");
  Updates.push_back(update);
  auto status = UserStatus.find(update.User);
  return status == UserStatus.end() ? 0 : status->second;
}

uint32_t TFakeAccounts::GetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                                    uintptr_t& buffer) {
  const std::string user = Narrow(userName);
  Calls.push_back("NetUserGetInfo(" + std::string(serverName == nullptr ? "null" : Narrow(serverName)) + "," + user +
                  "," + std::to_string(level) + ")");
  buffer = 0;
  const auto status = ReadStatus.find(user);
  if (status != ReadStatus.end()) return status->second;

  auto answer = std::make_unique<TUserBuffer>();
  const TListedUser* listed = ListedNamed(user);
  if (level == 24) {
    const std::string principal = listed != nullptr ? listed->MicrosoftAccount : "";
    answer->Names.emplace_back(principal.begin(), principal.end());
    answer->Identity.InternetIdentity = principal.empty() ? 0 : 1;
    answer->Identity.InternetPrincipalName = principal.empty() ? nullptr : answer->Names.back().data();
    const void* address = &answer->Identity;
    buffer = HandOut(std::move(answer), address);
    return 0;
  }
  answer->Info.Privilege = listed != nullptr ? listed->Privilege : 1;
  answer->Info.UnitsPerWeek = 168;
  answer->Hours.assign(21, 0xFF);
  for (const TLogonHoursUpdate& update : Updates) {
    if (update.User != user) continue;
    answer->Info.UnitsPerWeek = update.UnitsPerWeek;
    answer->Hours = update.Hours;
  }
  answer->Info.LogonHours = answer->Hours.empty() ? nullptr : answer->Hours.data();
  buffer = HandOut(std::move(answer), nullptr);
  return 0;
}

const TFakeAccounts::TListedUser* TFakeAccounts::ListedNamed(const std::string& name) const {
  for (const TListedUser& user : Listed)
    if (user.Name == name) return &user;
  return nullptr;
}

uintptr_t TFakeAccounts::HandOut(std::unique_ptr<TUserBuffer> answer, const void* address) {
  const uintptr_t buffer = reinterpret_cast<uintptr_t>(address != nullptr ? address : &answer->Info);
  Buffers[buffer] = std::move(answer);
  return buffer;
}

int32_t TFakeAccounts::ToNarrow(uint32_t codePage, uint32_t flags, const char16_t* wide, int32_t wideLength,
                                char* text, int32_t textRoom) {
  Calls.push_back("WideCharToMultiByte(" + std::to_string(codePage) + "," + std::to_string(flags) + "," +
                  std::to_string(wideLength) + "," + std::to_string(textRoom) + ")");
  // -1: the text up to its terminator, which is converted too.
  const size_t units =
      wideLength < 0 ? std::char_traits<char16_t>::length(wide) + 1 : static_cast<size_t>(wideLength);
  const std::string narrow = Narrow(std::u16string(wide, units).c_str());
  if (units > static_cast<size_t>(textRoom) || (!UnconvertibleName.empty() && narrow == UnconvertibleName)) {
    Error = kErrorInsufficientBuffer;
    return 0;
  }
  for (size_t i = 0; i < units; ++i) text[i] = static_cast<char>(wide[i] & 0xFF);
  return static_cast<int32_t>(units);
}

uint32_t TFakeAccounts::EnumerateUsers(const char16_t* serverName, uint32_t level, uint32_t filter,
                                       uintptr_t& buffer, uint32_t preferredMaximumLength, uint32_t& entriesRead,
                                       uint32_t& totalEntries, uint32_t* resumeHandle) {
  const uint32_t from = resumeHandle != nullptr ? *resumeHandle : 0;
  Calls.push_back("NetUserEnum(" + std::string(serverName == nullptr ? "null" : Narrow(serverName)) + "," +
                  std::to_string(level) + "," + Hex(filter) + "," + Hex(preferredMaximumLength) + "," +
                  (resumeHandle == nullptr ? "null" : std::to_string(from)) + ")");
  buffer = 0;
  entriesRead = totalEntries = 0;
  if (++EnumCalls > 100) return 87;
  auto answer = std::make_unique<TUserBuffer>();
  const auto status = EnumStatus.find(from);
  const size_t end = status != EnumStatus.end() ? from
                     : EnumPage == 0           ? Listed.size()
                                               : std::min(Listed.size(), from + EnumPage);
  for (size_t i = from; i < end; ++i) answer->Names.emplace_back(Listed[i].Name.begin(), Listed[i].Name.end());
  for (size_t i = from; i < end; ++i) answer->Names.emplace_back(Listed[i].FullName.begin(), Listed[i].FullName.end());
  for (size_t i = from; i < end; ++i) {
    TUserInfo2 entry{};
    entry.Name = answer->Names[i - from].data();
    entry.FullName = answer->Names[end - from + i - from].data();
    entry.Privilege = Listed[i].Privilege;
    entry.Flags = Listed[i].Flags;
    answer->Entries.push_back(entry);
  }
  entriesRead = static_cast<uint32_t>(end - from);
  totalEntries = static_cast<uint32_t>(Listed.size() - std::min(Listed.size(), size_t{from}));
  const void* address = answer->Entries.empty() ? nullptr : answer->Entries.data();
  buffer = HandOut(std::move(answer), address);
  if (status != EnumStatus.end()) return status->second;
  if (resumeHandle != nullptr) *resumeHandle = static_cast<uint32_t>(end);
  return end < Listed.size() ? 234 : 0;  // ERROR_MORE_DATA
}

uint32_t TFakeAccounts::FreeNetBuffer(uintptr_t buffer) {
  Calls.push_back(std::string("NetApiBufferFree(") + (Buffers.count(buffer) != 0 ? "BUFFER" : "?") + ")");
  if (Buffers.erase(buffer) != 0) return 0;
  ++BadFrees;
  return 87;  // ERROR_INVALID_PARAMETER
}

uintptr_t TFakeAccounts::CurrentProcess() {
  Calls.push_back("GetCurrentProcess()");
  return kSelf;
}

std::string TFakeAccounts::HandleName(uintptr_t handle) const {
  if (handle == kSelf) return "SELF";
  if (handle == kToken) return "TOKEN";
  return "?";
}

bool TFakeAccounts::OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) {
  Calls.push_back("OpenProcessToken(" + HandleName(process) + "," + Hex(access) + ")");
  if (OpenTokenFails) {
    Error = kErrorAccessDenied;
    return false;
  }
  ++OpenCount;
  token = kToken;
  return true;
}

bool TFakeAccounts::LookupPrivilege(const char* systemName, const char* privilegeName, TPrivilegeId& luid) {
  Calls.push_back(std::string("LookupPrivilegeValue(") + (systemName == nullptr ? "null" : systemName) + "," +
                  privilegeName + ")");
  if (LookupPrivilegeFails) {
    Error = kErrorNoSuchPrivilege;
    return false;
  }
  luid = TPrivilegeId{kShutdownLuid, 0};
  return true;
}

bool TFakeAccounts::AdjustPrivileges(uintptr_t token, bool disableAll, const TOnePrivilege* newState,
                                     uint32_t previousStateLength, TOnePrivilege* previousState,
                                     uint32_t* returnLength) {
  std::string state = "null";
  if (newState != nullptr)
    state = std::to_string(newState->PrivilegeCount) + ",{" + std::to_string(newState->Luid.LowPart) + "," +
            std::to_string(newState->Luid.HighPart) + "}," + Hex(newState->Attributes);
  Calls.push_back("AdjustTokenPrivileges(" + HandleName(token) + "," + (disableAll ? "1" : "0") + "," + state + "," +
                  std::to_string(previousStateLength) + "," + (previousState == nullptr ? "null" : "given") + "," +
                  (returnLength == nullptr ? "null" : "given") + ")");
  Error = AdjustError;
  return AdjustResult;
}

uint32_t TFakeAccounts::LastError() {
  Calls.push_back("GetLastError()");
  return Error;
}

uint32_t TFakeAccounts::InitiateShutdown(const char16_t* machine, const char16_t* message, uint32_t graceSeconds,
                                         uint32_t flags, uint32_t reason) {
  Calls.push_back(std::string("InitiateShutdownW(") + (machine == nullptr ? "null" : "machine") + "," +
                  (message == nullptr ? "null" : "message") + "," + std::to_string(graceSeconds) + "," + Hex(flags) +
                  "," + Hex(reason) + ")");
  if (ShutdownResults.empty()) return 0;
  const uint32_t result = ShutdownResults.front();
  ShutdownResults.erase(ShutdownResults.begin());
  return result;
}

bool TFakeAccounts::ExitSystem(uint32_t flags, uint32_t reason) {
  Calls.push_back("ExitWindowsEx(" + Hex(flags) + "," + Hex(reason) + ")");
  return ExitAccepted;
}

void TFakeAccounts::CloseObject(uintptr_t handle) {
  Calls.push_back("CloseHandle(" + HandleName(handle) + ")");
  if (handle == kToken) --OpenCount;
}
