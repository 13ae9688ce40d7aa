// MD5, for the document names reading devices derive with it (a sync server's document ids and
// keys). Not for anything secret: MD5 resists no forger.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace foundation {

class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    Md5& add(std::string_view bytes);
    // The digest of everything added, in lower-case hex; the digest is then finished.
    std::string hex();

    // The lower-case hex digest of bytes.
    static std::string hexOf(std::string_view bytes) { return Md5().add(bytes).hex(); }

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

}
