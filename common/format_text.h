#pragma once
#include <string>
#include <vector>

// Fills each "%s" of format, in order, with the next of values; a "%s" beyond
// the values stays as it is. No other conversion is known.
std::string FormatText(const std::string& format, const std::vector<std::string>& values);
