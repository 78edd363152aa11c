// The parent's PIN's cryptography natively: OpenSSL's.
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "winsys/crypto_api.h"

namespace {
class TOpenSslCrypto : public TCryptoApi {
 public:
  bool Random(uint8_t* buffer, size_t size) override { return RAND_bytes(buffer, static_cast<int>(size)) == 1; }

  bool Pbkdf2Sha256(const std::string& password, const uint8_t* salt, size_t saltSize, uint32_t iterations,
                    uint8_t* key, size_t keySize) override {
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt, static_cast<int>(saltSize),
                             static_cast<int>(iterations), EVP_sha256(), static_cast<int>(keySize), key) == 1;
  }
};
}  // namespace

TCryptoApi& PlatformCrypto() {
  static TOpenSslCrypto crypto;
  return crypto;
}
