#pragma once
// The parent's PIN: 4 to 12 digits, never kept as they are, but as a salted
// PBKDF2-HMAC-SHA256 hash in the Parent key below the main key, which only
// SYSTEM and the Administrators may read (the main key stays readable by
// users, whose clock reads it). The tool stores it; the service checks a PIN a
// parent types at the child's screen. Any thread.

#include <cstdint>
#include <string>

#include "common/registry_api.h"
#include "winsys/configuration.h"
#include "winsys/crypto_api.h"

// Rounds of PBKDF2 for a new hash: costly enough to make guessing a stolen
// hash slow, cheap enough for one check (about a tenth of a second).
inline constexpr uint32_t kPinIterations = 200000;
// The Parent key's access list: SYSTEM and the Administrators, nobody else,
// nothing inherited from the main key.
inline constexpr char kParentKeyAccess[] = "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)";

// Whether pin is 4 to 12 digits.
bool IsPinWellFormed(const std::string& pin);

// "pbkdf2-sha256:<iterations>:<salt, hex>:<hash, hex>" of pin with a new
// random salt; empty when the system's random source or the derivation fails.
std::string HashPin(TCryptoApi& crypto, const std::string& pin, uint32_t iterations = kPinIterations);

// Whether pin is the one stored hashes. The derivation runs in full and the
// comparison looks at every byte whatever they hold, so that a right and a
// wrong PIN take the same time; false for a stored text that cannot be read.
bool PinMatches(TCryptoApi& crypto, const std::string& stored, const std::string& pin);

// The stored hash at location (empty: no PIN, or it cannot be read).
std::string ReadPinHash(TRegistryApi& registry, const TConfigLocation& location);
