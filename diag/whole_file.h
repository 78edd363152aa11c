#pragma once
// Files read and written whole through the log's platform, with its refusal of
// links: the usage file, which the service replaces and the tool reads.

#include <string>

#include "diag/log_platform.h"

// A new file's name before it takes the place of another: kTrimFilePrefix and
// 13 base-32 digits of 64 bits from the system's random source, a name in a
// folder that nobody can plant in advance.
inline constexpr char kTrimFilePrefix[] = "~";
inline constexpr size_t kTrimFileNameLength = 14;
std::string UnguessableFileName();

enum class TWholeFile { Done, Missing, Failed, NotPlain };

// The whole text of the file at path (binary: line breaks as stored). Missing
// when there is no such file; NotPlain when it is a link, a reparse point, a
// folder or has more than one name; Failed when it cannot be opened or read.
TWholeFile ReadWholeFile(TLogPlatform& platform, const std::string& path, std::string& text);

// Puts text in folder + name in one step: text goes to a new file of an
// unguessable name in folder, which then takes the place of the old file, so a
// reader sees the old text or the new, never a part. An existing file that is
// not a plain one is refused (NotPlain) and left alone; a failure (Failed) removes the new
// file and leaves the old one as it was.
TWholeFile ReplaceWholeFile(TLogPlatform& platform, const std::string& folder, const std::string& name,
                            const std::string& text);
