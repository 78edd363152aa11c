#pragma once
// The platform's rules for single-byte text: which bytes open a double-byte
// character, and which texts are equal when letter case is ignored. Every
// subsystem asks here; nothing else wraps the Windows calls behind them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Whether byte opens a double-byte character in the system's ANSI code page
// (IsDBCSLeadByte). Never natively.
bool PlatformIsLeadByte(uint8_t byte);
using TLeadByteTest = bool (*)(uint8_t byte);

// Whether the last character of text is a backslash. In a double-byte code page
// the byte 0x5C may be the second half of a character, and a trail byte cannot
// be told from a single-byte character by itself, so the text is walked from
// its start. A lead byte as the very last byte stands alone.
bool EndsWithBackslash(const std::string& text, TLeadByteTest isLeadByte);

// The lines of a file's text, LF or CR LF ended, without their ends; the last
// one may lack its end.
std::vector<std::string> TextLines(const std::string& text);

// Whole-text comparison that ignores letter case; true when the texts are equal.
using TSameText = bool (*)(const std::string& a, const std::string& b);

// ASCII-only case folding: the stand-in for the platform comparison off Windows.
bool AsciiSameText(const std::string& a, const std::string& b);

// text with its ASCII capitals made small, for comparisons that ignore letter
// case beyond equality (edit distance, prefixes, searches).
std::string AsciiLower(std::string_view text);

// CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE) on Windows, AsciiSameText
// in the native build.
bool PlatformSameText(const std::string& a, const std::string& b);
