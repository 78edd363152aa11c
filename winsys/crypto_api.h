#pragma once
// The cryptography behind the parent's PIN, from the operating system (CNG on
// Windows) or a well-kept library (OpenSSL natively): nothing of it is written
// here. Any thread.

#include <cstddef>
#include <cstdint>
#include <string>

class TCryptoApi {
 public:
  virtual ~TCryptoApi() = default;
  // BCryptGenRandom(NULL, buffer, size, BCRYPT_USE_SYSTEM_PREFERRED_RNG): size
  // bytes from the system's random source. False on failure.
  virtual bool Random(uint8_t* buffer, size_t size) = 0;
  // BCryptDeriveKeyPBKDF2 with an HMAC-SHA256 algorithm handle: keySize bytes
  // derived from password and salt in iterations rounds. False on failure.
  virtual bool Pbkdf2Sha256(const std::string& password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                            uint8_t* key, size_t keySize) = 0;
};

// The platform's implementation.
TCryptoApi& PlatformCrypto();
