#include "common/system_error.h"

std::string TrimSystemErrorText(std::string text) {
  while (!text.empty()) {
    const auto last = static_cast<unsigned char>(text.back());
    if (last > 32 && last != '.') break;
    text.pop_back();
  }
  return text;
}
