#include "common/text.h"

bool PlatformIsLeadByte(uint8_t) { return false; }

bool PlatformSameText(const std::string& a, const std::string& b) { return AsciiSameText(a, b); }
