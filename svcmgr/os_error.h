#pragma once
// The failed-system-call error, raised by the service host and by the window
// classes (message loop, timer) alike, so it lives with the latter: a program
// with a window links it without the service host.

#include <cstdint>
#include <string>

#include "common/exceptions.h"

// "System Error.  Code: %d." CR LF "%s" with the code and SystemErrorText(code);
// for code 0, "A call to an OS function failed".
std::string OSErrorMessage(uint32_t code);
// The failed-system-call error for code.
EOSError OSError(uint32_t code);
