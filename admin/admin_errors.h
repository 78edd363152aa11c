#pragma once
// What an operation of the administration raises when it cannot do its work.
// A message says what is wrong, where and how to put it right; nortavelctl
// shows it after "nortavelctl: ", the parent's window beside the field or on
// its status line.

#include <cstdint>
#include <string>

#include "common/exceptions.h"
#include "common/system_error.h"

// An operation that could not do its work, or found that it must not: the
// message says what and names the fix. nortavelctl exits with 1.
class ECommandFailed : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "ECommandFailed"; }
};

// What a complaint shows of Windows error code: systemText, or "error 1234"
// when Windows has no text for it (an unknown code, a message table that lacks
// it), so that no complaint ends in "()" or ": " and nothing else.
inline std::string ErrorText(uint32_t code, const std::string& systemText) {
  return systemText.empty() ? "error " + std::to_string(code) : systemText;
}
inline std::string ErrorText(uint32_t code) { return ErrorText(code, SystemErrorText(code)); }
