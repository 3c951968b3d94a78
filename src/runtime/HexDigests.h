// CHexDigests: the MD5 and the SHA-256 of bytes fed in pieces, each only when asked for, as
// lower-case hexadecimal text: what the installer compares with a manifest's digests.
//
// Contract: one object per digest run, used by one thread at a time. Update and Finish say
// false once the system's SHA-256 provider has failed (a digest that could not be made
// matches nothing); nothing throws. Reset starts both over.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "runtime/CngCrypto.h"
#include "runtime/MD5.h"

class CHexDigests {
 public:
  CHexDigests(bool md5, bool sha256) : md5_(md5), sha256_(sha256) { Reset(); }

  void Reset();
  bool Update(const void* data, size_t length);
  // Ends the run: the texts of the digests asked for (the other pointers may be null).
  bool Finish(std::wstring* md5, std::wstring* sha256);

 private:
  const bool md5_, sha256_;
  std::unique_ptr<MD5> md5Digest_;
  std::unique_ptr<cng::CSha256> shaDigest_;
};
