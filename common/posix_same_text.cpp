#include "common/string_list.h"

bool PlatformSameText(const std::string& a, const std::string& b) { return AsciiSameText(a, b); }
