#pragma once
// The command line as the program reads it: split into arguments the way the
// service host always has, and searched for "-NAME" or "/NAME" switches.

#include <string>
#include <vector>

#include "common/text.h"

// Splits a command line into arguments; the first is the program name.
// Characters 1..32 between arguments are skipped, and so is a pair of double
// quotes where an argument would begin. Inside an argument a double quote opens a
// stretch, closed by the next double quote or the end of the line, that may hold
// blanks; the quotes themselves are dropped. A lead byte always takes its trail
// byte with it, so a double-byte character is never cut in two; a null isLeadByte
// knows no lead bytes. The line ends at its first zero character.
std::vector<std::string> SplitCommandLine(const std::string& line, TLeadByteTest isLeadByte);

// Whether any argument after the program name is "-" or "/" followed by exactly
// name, compared as whole texts by sameText (the platform's case-insensitive
// comparison). Its position among the arguments does not matter.
bool HasCommandLineSwitch(const std::vector<std::string>& arguments, const std::string& name,
                          TSameText sameText);

inline constexpr char kSwitchInstall[] = "INSTALL";
inline constexpr char kSwitchUninstall[] = "UNINSTALL";
inline constexpr char kSwitchSilent[] = "SILENT";
