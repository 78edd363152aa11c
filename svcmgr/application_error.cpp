#include "svcmgr/application_error.h"

#include <cstdio>

namespace {
struct TThrowNote {
  const void* Object = nullptr;
  uintptr_t Address = 0;
};
thread_local TThrowNote LastThrow;
}  // namespace

std::string CutText(const std::string& text, size_t limit) { return text.size() > limit ? text.substr(0, limit) : text; }

std::string ApplicationErrorText(const std::string& className, const std::string& moduleName, uintptr_t offset,
                                 const std::string& message) {
  char address[17];
  std::snprintf(address, sizeof address, "%08llX", static_cast<unsigned long long>(offset));
  const bool needsStop = !message.empty() && message.back() != '.';
  const std::string text = "Exception " + className + " in module " + moduleName + " at " + address + ".\r\n" +
                           message + (needsStop ? "." : "") + "\r\n";
  return CutText(text, kApplicationErrorTextLimit);
}

std::string FileNameOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

void NoteThrow(const void* thrownObject, uintptr_t address) { LastThrow = TThrowNote{thrownObject, address}; }

uintptr_t ThrowAddress(const void* thrownObject) {
  if (thrownObject != nullptr && thrownObject != LastThrow.Object) return 0;
  return LastThrow.Address;
}
