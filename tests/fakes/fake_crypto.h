#pragma once
// Cryptography that is quick and repeatable, for tests of what uses it: the
// "random" bytes count up, and the "derivation" mixes password, salt and
// rounds into bytes that differ for any difference of them. Not secure at all.

#include "winsys/crypto_api.h"

class TFakeCrypto : public TCryptoApi {
 public:
  bool Fails = false;

  bool Random(uint8_t* buffer, size_t size) override {
    for (size_t i = 0; i < size; ++i) buffer[i] = static_cast<uint8_t>(Next++);
    return !Fails;
  }
  bool Pbkdf2Sha256(const std::string& password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                    uint8_t* key, size_t keySize) override {
    uint64_t mix = 1469598103934665603ULL ^ iterations;
    auto take = [&mix](uint8_t byte) { mix = (mix ^ byte) * 1099511628211ULL; };
    for (const char c : password) take(static_cast<uint8_t>(c));
    for (size_t i = 0; i < saltSize; ++i) take(salt[i]);
    for (size_t i = 0; i < keySize; ++i) {
      take(static_cast<uint8_t>(i));
      key[i] = static_cast<uint8_t>(mix >> 56);
    }
    return !Fails;
  }

 private:
  uint8_t Next = 0;
};
