#pragma once
#include <cstdint>
#include <string>

// ERROR_INSUFFICIENT_BUFFER: the room given was too small.
inline constexpr uint32_t kErrorInsufficientBuffer = 122;

// The system's text for a Windows error code (FormatMessageA, at most 256
// characters), without trailing control characters, blanks and full stops. May be
// empty. The native build answers with a fixed stand-in text.
std::string SystemErrorText(uint32_t code);

// Removes trailing characters of codes 0 to 32 and trailing full stops.
std::string TrimSystemErrorText(std::string text);
