#include "common/string_list.h"

int TStringList::IndexOf(const std::string& text) const {
  for (size_t i = 0; i < Strings.size(); ++i) {
    if (SameText(Strings[i], text)) return static_cast<int>(i);
  }
  return -1;
}
