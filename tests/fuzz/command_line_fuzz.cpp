// The command-line splitter over arbitrary bytes, with and without a double-byte
// code page: arguments are taken in order from the line, hold no quote of their
// own, never end in a lead byte cut from its trail byte, and a switch is found
// exactly when some argument after the first spells it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/text.h"
#include "svcmgr/command_line.h"

namespace {
bool Cp932Lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(uint8_t) { return false; }

void Check(const std::string& line, TLeadByteTest isLeadByte) {
  const auto isLead = [isLeadByte](char c) { return isLeadByte(static_cast<uint8_t>(c)); };
  const std::vector<std::string> arguments = SplitCommandLine(line, isLeadByte);
  const std::string text = line.substr(0, line.find('\0'));
  size_t at = 0;  // the arguments' bytes must appear in the line in this order
  for (size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    for (size_t i = 0; i < argument.size(); ++i) {
      if (isLead(argument[i]) && i + 1 < argument.size()) {
        ++i;  // the trail byte, whatever it is, belongs to its lead byte
      } else if (isLead(argument[i])) {
        // A lead byte without its trail byte: only where the text itself ends.
        if (k + 1 != arguments.size() || text.empty() || text.back() != argument[i]) abort();
      } else if (argument[i] == '"') {
        abort();
      }
    }
    for (char c : argument) {
      at = text.find(c, at);
      if (at == std::string::npos) abort();
      ++at;
    }
  }
  bool spelled = false;
  for (size_t i = 1; i < arguments.size(); ++i)
    if (arguments[i].size() == 8 && (arguments[i][0] == '/' || arguments[i][0] == '-') &&
        AsciiSameText(arguments[i].substr(1), "INSTALL"))
      spelled = true;
  if (HasCommandLineSwitch(arguments, "INSTALL", &AsciiSameText) != spelled) abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  Check(line, &NoLead);
  Check(line, &Cp932Lead);
  return 0;
}
