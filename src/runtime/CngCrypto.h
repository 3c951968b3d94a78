// CngCrypto: the digests and signature checks the installer takes from Windows itself (CNG,
// bcrypt.dll), so that nothing of the kind is carried in the executable: SHA-256 over bytes
// fed in pieces, and ECDSA P-256 verification.
//
// Contract: a CSha256 belongs to one thread at a time; VerifyEcdsaP256 may be called from any
// thread. Failures of the system's provider come back as false (a digest that could not be
// made matches nothing); nothing throws.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace cng {

using Sha256Digest = std::array<uint8_t, 32>;

class CSha256 {
 public:
  CSha256();
  ~CSha256();
  CSha256(const CSha256&) = delete;
  CSha256& operator=(const CSha256&) = delete;

  // False once the provider has failed; the digest is then worthless.
  bool Update(const void* data, size_t length);
  // Ends the digest; false when the provider failed at any point.
  bool Finish(Sha256Digest* digest);

  static bool Of(const void* data, size_t length, Sha256Digest* digest);

 private:
  void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
  void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
  bool failed_ = false;
};

// Whether `signature` (r then s, 32 bytes each) is a valid ECDSA P-256 signature by the key
// `publicKey` (X then Y) over the SHA-256 of `message`.
bool VerifyEcdsaP256(const std::array<uint8_t, 64>& publicKey, const std::string& message,
                     const std::array<uint8_t, 64>& signature);

// 64 lower-case hexadecimal digits.
std::wstring HexText(const Sha256Digest& digest);

}  // namespace cng
