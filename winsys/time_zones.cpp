#include "winsys/time_zones.h"

#include <vector>

#include "winsys/registry.h"

namespace {
// Year values of "Dynamic DST" are named by the year in decimal.
bool YearOf(const std::string& name, int& year) {
  if (name.size() != 4 || name.find_first_not_of("0123456789") != std::string::npos) return false;
  year = std::stoi(name);
  return true;
}

std::string DataOf(const std::vector<TRegistryValue>& values, const std::string& name, uint32_t type) {
  for (const TRegistryValue& value : values)
    if (AsciiSameText(value.Name, name) && value.Type == type) return value.Data;
  return std::string();
}

std::string TextOf(const std::vector<TRegistryValue>& values, const std::string& name) {
  std::string text = DataOf(values, name, TRegistryApi::kRegSz);
  return text.substr(0, text.find('\0'));
}
}  // namespace

bool ReadTimeZone(TRegistryApi& api, uint32_t viewFlag, const std::string& name, TTimeZone& zone) {
  // A name that would reach another key through the path is no zone's name.
  if (name.empty() || name.find('\\') != std::string::npos) return false;
  TRegistry registry(api, TRegistryApi::kLocalMachine, viewFlag);
  const std::string key = kTimeZonesKeyPath + name;
  try {
    if (!registry.OpenForReading(key)) return false;
    TTimeZone read;
    read.Name = name;
    if (!ParseZoneRules(DataOf(registry.ListValues(), "TZI", TRegistryApi::kRegBinary), read.Rules)) return false;
    if (registry.OpenForReading(key + "\\Dynamic DST")) {
      for (const TRegistryValue& value : registry.ListValues()) {
        int year = 0;
        TZoneRules rules;
        if (value.Type == TRegistryApi::kRegBinary && YearOf(value.Name, year) && ParseZoneRules(value.Data, rules))
          read.Years[year] = rules;
      }
    }
    zone = std::move(read);
    return true;
  } catch (const EOSError&) {
    return false;
  }
}

std::string ReadComputerTimeZone(TRegistryApi& api) {
  TRegistry registry(api, TRegistryApi::kLocalMachine);
  try {
    if (!registry.OpenForReading(kComputerTimeZoneKeyPath)) return std::string();
    const std::vector<TRegistryValue> values = registry.ListValues();
    const std::string keyName = TextOf(values, "TimeZoneKeyName");
    return keyName.empty() ? TextOf(values, "StandardName") : keyName;
  } catch (const EOSError&) {
    return std::string();
  }
}
