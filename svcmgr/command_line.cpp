#include "svcmgr/command_line.h"

namespace {

bool IsSeparator(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

bool IsArgumentChar(char c) { return static_cast<unsigned char>(c) > 32; }

// Appends the character at position i (both bytes of a double-byte one) and
// returns the position after it. A lead byte at the very end stands alone.
size_t TakeChar(const std::string& line, size_t i, TLeadByteTest isLeadByte, std::string& argument) {
  argument += line[i];
  if (isLeadByte != nullptr && isLeadByte(static_cast<uint8_t>(line[i])) && i + 1 < line.size() &&
      line[i + 1] != '\0') {
    argument += line[i + 1];
    return i + 2;
  }
  return i + 1;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& text, TLeadByteTest isLeadByte) {
  const std::string line = text.substr(0, text.find('\0'));
  std::vector<std::string> arguments;
  size_t i = 0;
  for (;;) {
    // Blanks, control characters and empty quote pairs only separate arguments.
    for (;;) {
      while (i < line.size() && IsSeparator(line[i])) ++i;
      if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
        i += 2;
        continue;
      }
      break;
    }
    if (i >= line.size()) break;

    std::string argument;
    while (i < line.size() && IsArgumentChar(line[i])) {
      if (line[i] == '"') {
        ++i;
        while (i < line.size() && line[i] != '"') i = TakeChar(line, i, isLeadByte, argument);
        if (i < line.size()) ++i;  // the closing quote
      } else {
        i = TakeChar(line, i, isLeadByte, argument);
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

bool HasCommandLineSwitch(const std::vector<std::string>& arguments, const std::string& name,
                          TSameText sameText) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) continue;
    if (sameText(argument.substr(1), name)) return true;
  }
  return false;
}
