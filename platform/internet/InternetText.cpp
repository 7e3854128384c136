#include "platform/internet/InternetText.h"

#include <arpa/inet.h>

namespace platform::internet_text {

namespace {

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

void AppendEscaped(std::string& out, unsigned char c)
{
    static const char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

} // namespace

bool HasControlCharacters(std::string_view text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

bool IsNumericHost(std::string_view host)
{
    std::string text(host);
    unsigned char buffer[16];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

std::string HostForUrl(std::string_view host)
{
    if (host.find(':') != std::string_view::npos && (host.empty() || host.front() != '['))
        return "[" + std::string(host) + "]";
    return std::string(host);
}

std::string EncodeHttpObject(std::string_view object)
{
    std::string out;
    if (object.empty() || object.front() != '/')
        out += '/';
    for (unsigned char c : object) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' || c == '{'
            || c == '|' || c == '}' || c == '#')
            AppendEscaped(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string EncodeFtpPath(std::string_view path)
{
    std::string out = "/";
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto c = static_cast<unsigned char>(path[i]);
        if (c == '/' && i > 0)
            out += '/';
        else if (IsUnreserved(c))
            out += static_cast<char>(c);
        else
            AppendEscaped(out, c);
    }
    return out;
}

} // namespace platform::internet_text
