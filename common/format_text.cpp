#include "common/format_text.h"

std::string FormatText(const std::string& format, const std::vector<std::string>& values) {
  std::string text;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next < values.size()) {
      text += values[next++];
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}
