#include "runtime/CngCrypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <climits>
#include <vector>

namespace cng {

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

}  // namespace

CSha256::CSha256() {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  failed_ = !Ok(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
  algorithm_ = algorithm;
  if (!failed_) failed_ = !Ok(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  hash_ = hash;
}

CSha256::~CSha256() {
  if (hash_) ::BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
  if (algorithm_) ::BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(algorithm_), 0);
}

bool CSha256::Update(const void* data, size_t length) {
  const UCHAR* bytes = static_cast<const UCHAR*>(data);
  while (!failed_ && length > 0) {
    const ULONG piece = length > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(length);
    failed_ = !Ok(::BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_),
                                   const_cast<UCHAR*>(bytes), piece, 0));
    bytes += piece;
    length -= piece;
  }
  return !failed_;
}

bool CSha256::Finish(Sha256Digest* digest) {
  if (failed_) return false;
  failed_ = !Ok(::BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_), digest->data(),
                                   static_cast<ULONG>(digest->size()), 0));
  // A finished hash takes no more data.
  const bool finished = !failed_;
  failed_ = true;
  return finished;
}

bool CSha256::Of(const void* data, size_t length, Sha256Digest* digest) {
  CSha256 sha;
  return sha.Update(data, length) && sha.Finish(digest);
}

bool VerifyEcdsaP256(const std::array<uint8_t, 64>& publicKey, const std::string& message,
                     const std::array<uint8_t, 64>& signature) {
  Sha256Digest digest;
  if (!CSha256::Of(message.data(), message.size(), &digest)) return false;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!Ok(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + publicKey.size());
  BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  memcpy(blob.data(), &header, sizeof(header));
  memcpy(blob.data() + sizeof(header), publicKey.data(), publicKey.size());
  BCRYPT_KEY_HANDLE key = nullptr;
  bool valid = false;
  if (Ok(::BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob.data(),
                               static_cast<ULONG>(blob.size()), 0))) {
    std::array<uint8_t, 64> copy = signature;
    valid = ::BCryptVerifySignature(key, nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                    copy.data(), static_cast<ULONG>(copy.size()), 0) == 0;
    ::BCryptDestroyKey(key);
  }
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return valid;
}

std::wstring HexText(const Sha256Digest& digest) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (uint8_t byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

}  // namespace cng
