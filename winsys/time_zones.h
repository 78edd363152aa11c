#pragma once
// The Windows time zone database in the registry, and the computer's own zone.

#include <cstdint>
#include <string>

#include "common/registry_api.h"
#include "common/time_zone.h"

// Below HKEY_LOCAL_MACHINE: one key per zone, named by its key name.
inline constexpr char kTimeZonesKeyPath[] = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\";
inline constexpr char kComputerTimeZoneKeyPath[] = "\\SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation\\";

// Reads the zone whose key name is name (the registry ignores case) in the
// registry view viewFlag (KEY_WOW64_* or 0): its TZI and, where present, its
// "Dynamic DST" years. false when there is no such zone or its TZI is not a
// TZI; a year whose value is unusable is left out.
bool ReadTimeZone(TRegistryApi& api, uint32_t viewFlag, const std::string& name, TTimeZone& zone);

// The key name of the computer's time zone (TimeZoneKeyName), or where Windows
// keeps none (XP) its StandardName; empty when neither can be read.
std::string ReadComputerTimeZone(TRegistryApi& api);
