#pragma once
// What lets a restricted user escape the restrictions on this computer, found
// once at start: 64-bit programs that a 32-bit service cannot see, a log folder
// that others may write. Portable; keeps no state.

#include <string>
#include <vector>

#include "diag/log_platform.h"
#include "winsys/process_api.h"

// The warning texts, without the level-1 prefix; empty when there is none.
std::vector<std::string> FindWeakSpots(TProcessApi& processes, TLogPlatform& files, const std::string& logFolder);
