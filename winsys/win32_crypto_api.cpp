// The parent's PIN's cryptography from Windows' own CNG.
#include "common/win32.h"

#include <bcrypt.h>

#include "winsys/crypto_api.h"

namespace {
class TWin32Crypto : public TCryptoApi {
 public:
  bool Random(uint8_t* buffer, size_t size) override {
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, buffer, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
  }

  bool Pbkdf2Sha256(const std::string& password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                    uint8_t* key, size_t keySize) override {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
      return false;
    std::string secret = password;
    std::basic_string<UCHAR> salted(salt, salt + saltSize);
    const NTSTATUS status =
        BCryptDeriveKeyPBKDF2(algorithm, reinterpret_cast<PUCHAR>(&secret[0]), static_cast<ULONG>(secret.size()),
                              &salted[0], static_cast<ULONG>(salted.size()), iterations, key,
                              static_cast<ULONG>(keySize), 0);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return BCRYPT_SUCCESS(status);
  }
};
}  // namespace

TCryptoApi& PlatformCrypto() {
  static TWin32Crypto crypto;
  return crypto;
}
