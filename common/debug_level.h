#pragma once
#include <cstdint>

// Whether a message of level n (1..4) is admitted at the given debug level: the
// magnitude of the level must be at least n. Level 1 asks only for a nonzero
// level; higher levels use the truncating division, so -3 admits what 3 admits.
inline bool LevelAdmits(int32_t debugLevel, int32_t n) {
  return n <= 1 ? debugLevel != 0 : debugLevel / n != 0;
}
