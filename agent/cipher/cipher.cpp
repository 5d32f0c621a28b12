#include "agent/cipher/cipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

namespace zel::agent {

namespace {

constexpr int kRaise = 7;
constexpr int kLower = 5;
constexpr std::size_t kBlock = 8;

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

std::array<unsigned char, 24> KeyMaterial(std::string_view keyText) {
    std::array<unsigned char, 24> key{};  // third key stays zero
    unsigned int len = 0;
    if (EVP_Digest(keyText.data(), keyText.size(), key.data(), &len, EVP_md5(), nullptr) != 1 ||
        len != 16)
        throw std::runtime_error("MD5 digest failed");
    return key;
}

// Runs whole 8-byte blocks of `in` through 3DES-ECB.
std::string Run(std::string_view in, std::string_view keyText, bool encrypt) {
    std::string out(in.size(), '\0');
    if (in.empty()) return out;
    const auto key = KeyMaterial(keyText);
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_des_ede3_ecb(), nullptr, key.data(), nullptr,
                                  encrypt ? 1 : 0) != 1)
        throw std::runtime_error("Triple DES unavailable");
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    // EVP takes int lengths; go in chunks so any size works.
    constexpr std::size_t kChunk = std::size_t{1} << 24;
    std::size_t done = 0;
    while (done < in.size()) {
        const std::size_t n = std::min(kChunk, in.size() - done);
        int outLen = 0;
        if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data() + done),
                             &outLen, reinterpret_cast<const unsigned char*>(in.data() + done),
                             static_cast<int>(n)) != 1 ||
            static_cast<std::size_t>(outLen) != n)
            throw std::runtime_error("Triple DES failed");
        done += n;
    }
    return out;
}

}  // namespace

std::string BuildCipherKey(std::string_view idText) {
    const std::string r(idText.rbegin(), idText.rend());
    std::string key;
    key.reserve(r.size() * 3);
    for (unsigned char c : r)
        key.push_back(static_cast<char>(static_cast<unsigned char>(c + kRaise)));
    for (unsigned char c : r)
        key.push_back(static_cast<char>(static_cast<unsigned char>(c - kLower)));
    key += r;
    return key;
}

std::string EncryptWithKey(std::string_view plain, std::string_view keyText) {
    std::string padded(plain);
    if (padded.size() % kBlock) padded.append(kBlock - padded.size() % kBlock, ' ');
    return Run(padded, keyText, true);
}

std::string DecryptWithKey(std::string_view cipher, std::string_view keyText) {
    return Run(cipher.substr(0, cipher.size() - cipher.size() % kBlock), keyText, false);
}

std::string EncryptData(std::string_view plain, std::int32_t agentId) {
    return EncryptWithKey(plain, BuildCipherKey(std::to_string(agentId)));
}

std::string DecryptData(std::string_view cipher, std::int32_t agentId) {
    return DecryptWithKey(cipher, BuildCipherKey(std::to_string(agentId)));
}

}  // namespace zel::agent
