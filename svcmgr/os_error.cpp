#include "svcmgr/os_error.h"

#include "common/system_error.h"

std::string OSErrorMessage(uint32_t code) {
  if (code == 0) return "A call to an OS function failed";
  // The code is shown as the signed integer it is stored in.
  return "System Error.  Code: " + std::to_string(static_cast<int32_t>(code)) + ".\r\n" + SystemErrorText(code);
}

EOSError OSError(uint32_t code) { return EOSError(code, OSErrorMessage(code)); }
