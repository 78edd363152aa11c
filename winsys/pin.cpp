#include "winsys/pin.h"

#include <algorithm>
#include <vector>

#include "winsys/registry.h"

namespace {
constexpr char kScheme[] = "pbkdf2-sha256";
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;

std::string Hex(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

bool FromHex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int value = 0;
    for (size_t k = i; k < i + 2; ++k) {
      const char c = text[k];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

// The four parts of a stored hash; false unless all are there and readable.
bool Split(const std::string& stored, uint32_t& iterations, std::vector<uint8_t>& salt, std::vector<uint8_t>& hash) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t colon; (colon = stored.find(':', from)) != std::string::npos; from = colon + 1)
    parts.push_back(stored.substr(from, colon - from));
  parts.push_back(stored.substr(from));
  if (parts.size() != 4 || parts[0] != kScheme || parts[1].empty() || parts[1].size() > 9 ||
      !std::all_of(parts[1].begin(), parts[1].end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  iterations = static_cast<uint32_t>(std::stoul(parts[1]));
  return iterations > 0 && FromHex(parts[2], salt) && !salt.empty() && FromHex(parts[3], hash) &&
         hash.size() == kHashBytes;
}
}  // namespace

bool IsPinWellFormed(const std::string& pin) {
  return pin.size() >= kShortestPin && pin.size() <= kLongestPin &&
         std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string HashPin(TCryptoApi& crypto, const std::string& pin, uint32_t iterations) {
  uint8_t salt[kSaltBytes];
  uint8_t hash[kHashBytes];
  if (!crypto.Random(salt, sizeof salt) || !crypto.Pbkdf2Sha256(pin, salt, sizeof salt, iterations, hash, sizeof hash))
    return std::string();
  return std::string(kScheme) + ":" + std::to_string(iterations) + ":" + Hex(salt, sizeof salt) + ":" +
         Hex(hash, sizeof hash);
}

bool PinMatches(TCryptoApi& crypto, const std::string& stored, const std::string& pin) {
  uint32_t iterations = 0;
  std::vector<uint8_t> salt;
  std::vector<uint8_t> hash;
  if (!Split(stored, iterations, salt, hash)) return false;
  uint8_t derived[kHashBytes];
  if (!crypto.Pbkdf2Sha256(pin, salt.data(), salt.size(), iterations, derived, sizeof derived)) return false;
  uint8_t difference = 0;
  for (size_t i = 0; i < kHashBytes; ++i) difference |= static_cast<uint8_t>(derived[i] ^ hash[i]);
  return difference == 0;
}

std::string ReadPinHash(TRegistryApi& registry, const TConfigLocation& location) {
  TRegistry reader(registry, location.RootKey, static_cast<uint32_t>(location.View));
  try {
    if (!reader.OpenForReading(location.MainKeyPath + kParentKeyName + "\\") || !reader.ValueExists(kPinHashValue))
      return std::string();
    return reader.ReadString(kPinHashValue);
  } catch (const Exception&) {
    return std::string();
  }
}
