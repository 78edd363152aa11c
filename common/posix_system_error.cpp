#include "common/system_error.h"

std::string SystemErrorText(uint32_t code) { return "System error " + std::to_string(code); }
