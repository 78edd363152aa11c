// Registry value decoding over arbitrary types and data: the string reader never
// reads past the data the call returned and stops at its first zero; the integer
// reader takes up to four little-endian bytes; every other outcome is one of the
// two registry read errors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "winsys/configuration.h"
#include "common/exceptions.h"
#include "tests/fakes/fake_registry.h"
#include "winsys/registry.h"

namespace {
const char kKey[] = "SOFTWARE\\Fuzz";          // as the fake files it
const char kOpenPath[] = "\\SOFTWARE\\Fuzz";  // as the loader spells it

bool IsReadError(const ERegistryException& error, const std::string& name) {
  return error.Message() == "Failed to get data for '" + name + "'" ||
         error.Message() == "Invalid data type for '" + name + "'";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t type = data[0] % 13;
  const bool grow = (data[1] & 1) != 0;
  const std::string value(reinterpret_cast<const char*>(data + 2), size - 2);

  TFakeRegistry fake;
  fake.SetValue(kKey, "V", type, value);
  if (grow) fake.GrowAfterSizeQuery(kKey, "V", value + value);

  TRegistry registry(fake, TRegistryApi::kLocalMachine);
  if (!registry.OpenForReading(kOpenPath)) abort();
  try {
    const std::string text = registry.ReadString("V");
    // No data at all reads as the empty string before the type is looked at.
    if (value.empty()) {
      if (!text.empty()) abort();
      return 0;
    }
    if (type != TRegistryApi::kRegSz && type != TRegistryApi::kRegExpandSz) abort();
    const std::string source = grow ? value + value : value;
    if (text != source.substr(0, source.find('\0'))) abort();
  } catch (const ERegistryException& error) {
    if (!IsReadError(error, "V")) abort();
  }
  registry.Close();

  TFakeRegistry plain;
  plain.SetValue(kKey, "V", type, value);
  TRegistry numbers(plain, TRegistryApi::kLocalMachine);
  if (!numbers.OpenForReading(kOpenPath)) abort();
  try {
    const int32_t number = numbers.ReadInteger("V");
    if (type != TRegistryApi::kRegDword || value.size() > 4) abort();
    uint32_t expected = 0;
    for (size_t i = value.size(); i-- > 0;) expected = (expected << 8) | static_cast<uint8_t>(value[i]);
    if (number != static_cast<int32_t>(expected)) abort();
  } catch (const ERegistryException& error) {
    if (!IsReadError(error, "V")) abort();
  }
  numbers.Close();
  if (fake.BadCloses != 0 || plain.BadCloses != 0) abort();
  return 0;
}
