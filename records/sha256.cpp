#include "records/sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

namespace records {
namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string hex(const unsigned char* bytes, unsigned length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

DigestContext startDigest() {
  DigestContext context(EVP_MD_CTX_new());
  if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) context.reset();
  return context;
}

std::optional<std::string> finishDigest(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context, digest, &length) != 1) return std::nullopt;
  return hex(digest, length);
}

}  // namespace

std::optional<FileDigest> sha256OfFile(const std::string& path) {
  std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  DigestContext context = startDigest();
  if (!file || !context) return std::nullopt;
  FileDigest result;
  std::unique_ptr<char[]> buffer(new char[1 << 16]);
  for (;;) {
    const size_t got = std::fread(buffer.get(), 1, 1 << 16, file.get());
    if (got > 0) {
      if (EVP_DigestUpdate(context.get(), buffer.get(), got) != 1) return std::nullopt;
      result.size += got;
    }
    if (got < (1 << 16)) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  auto digest = finishDigest(context.get());
  if (!digest) return std::nullopt;
  result.sha256 = std::move(*digest);
  return result;
}

std::string sha256OfText(const std::string& bytes) {
  DigestContext context = startDigest();
  if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) return {};
  return finishDigest(context.get()).value_or("");
}

}  // namespace records
