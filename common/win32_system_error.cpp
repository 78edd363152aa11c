#include "common/system_error.h"
#include "common/win32.h"

std::string SystemErrorText(uint32_t code) {
  char buffer[256] = {};
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                      FORMAT_MESSAGE_ARGUMENT_ARRAY;
  const DWORD length = FormatMessageA(flags, nullptr, code, 0, buffer, sizeof buffer, nullptr);
  return TrimSystemErrorText(std::string(buffer, length));
}
