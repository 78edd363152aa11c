#pragma once
// The command line as the program reads it: split into arguments the way the
// service host always has, and searched for "-NAME" or "/NAME" switches.

#include <functional>
#include <string>
#include <vector>

// Whether a byte opens a double-byte character of the system code page.
using TLeadByteTest = std::function<bool(char c)>;
// Whole-text comparison that ignores letter case; true when the texts are equal.
using TSwitchMatch = std::function<bool(const std::string& a, const std::string& b)>;

// Splits a command line into arguments; the first is the program name.
// Characters 1..32 between arguments are skipped, and so is a pair of double
// quotes where an argument would begin. Inside an argument a double quote opens a
// stretch, closed by the next double quote or the end of the line, that may hold
// blanks; the quotes themselves are dropped. A lead byte always takes its trail
// byte with it, so a double-byte character is never cut in two. The line ends at
// its first zero character.
std::vector<std::string> SplitCommandLine(const std::string& line, const TLeadByteTest& isLeadByte);

// Whether any argument after the program name is "-" or "/" followed by exactly
// name, compared as whole texts by sameText (the platform's case-insensitive
// comparison). Its position among the arguments does not matter.
bool HasCommandLineSwitch(const std::vector<std::string>& arguments, const std::string& name,
                          const TSwitchMatch& sameText);

inline constexpr char kSwitchInstall[] = "INSTALL";
inline constexpr char kSwitchUninstall[] = "UNINSTALL";
inline constexpr char kSwitchSilent[] = "SILENT";
