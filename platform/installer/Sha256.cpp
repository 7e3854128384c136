#include "platform/installer/Sha256.h"

#include <openssl/evp.h>

#include <cctype>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace platform::installer {

std::string Sha256OfFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        ok = EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(count)) == 1;
    }
    ::close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok || EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

bool Sha256Matches(std::string_view expected, std::string_view digest)
{
    while (!expected.empty() && std::isspace(static_cast<unsigned char>(expected.front())))
        expected.remove_prefix(1);
    while (!expected.empty() && std::isspace(static_cast<unsigned char>(expected.back())))
        expected.remove_suffix(1);
    if (expected.size() != 64 || digest.size() != 64)
        return false;
    for (size_t i = 0; i < 64; ++i) {
        if (std::tolower(static_cast<unsigned char>(expected[i])) != digest[i])
            return false;
    }
    return true;
}

} // namespace platform::installer
