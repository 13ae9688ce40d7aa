// MD5 through OpenSSL's EVP digests.
#include "platform/foundation/Md5.h"

#include "platform/foundation/hexEncoded.h"

#include <openssl/evp.h>

namespace foundation {

struct Md5::Context {
    EVP_MD_CTX* digest = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(digest); }
};

Md5::Md5()
    : m_context(std::make_unique<Context>())
{
    EVP_DigestInit_ex(m_context->digest, EVP_md5(), nullptr);
}

Md5::~Md5() = default;

Md5& Md5::add(std::string_view bytes)
{
    EVP_DigestUpdate(m_context->digest, bytes.data(), bytes.size());
    return *this;
}

std::string Md5::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->digest, digest, &length);
    return hexEncoded(std::string_view(reinterpret_cast<const char*>(digest), length));
}

}
