#include "runtime/HexDigests.h"

void CHexDigests::Reset() {
  md5Digest_.reset(md5_ ? new MD5() : nullptr);
  shaDigest_.reset(sha256_ ? new cng::CSha256() : nullptr);
}

bool CHexDigests::Update(const void* data, size_t length) {
  if (md5Digest_) md5Digest_->update(data, length);
  return !shaDigest_ || shaDigest_->Update(data, length);
}

bool CHexDigests::Finish(std::wstring* md5, std::wstring* sha256) {
  if (md5Digest_) {
    md5Digest_->finalize();
    const std::string hex = md5Digest_->hex_digest();
    if (md5) md5->assign(hex.begin(), hex.end());
  }
  if (!shaDigest_) return true;
  cng::Sha256Digest digest;
  if (!shaDigest_->Finish(&digest)) return false;
  if (sha256) *sha256 = cng::HexText(digest);
  return true;
}
