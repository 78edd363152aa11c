#include "common/string_list.h"

#include <cctype>

bool AsciiSameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y && std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

int TStringList::IndexOf(const std::string& text) const {
  for (size_t i = 0; i < Strings.size(); ++i) {
    if (SameText(Strings[i], text)) return static_cast<int>(i);
  }
  return -1;
}
