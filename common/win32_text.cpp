#include "common/text.h"
#include "common/win32.h"

bool PlatformIsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != FALSE; }

bool PlatformSameText(const std::string& a, const std::string& b) {
  // Lengths are passed explicitly so that embedded zeros and empty texts compare whole.
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}
