#include "platform/url/InternetUrl.h"

#include <curl/curl.h>

#include <memory>

namespace platform {

namespace {

struct SchemeInfo
{
    const char* name;
    uint32_t service;
    uint16_t defaultPort;
};

// The schemes the internet client knows, with their well-known ports.
constexpr SchemeInfo kSchemes[] = {
    {"ftp", INTERNET_SERVICE_FTP, 21},
    {"gopher", INTERNET_SERVICE_GOPHER, 70},
    {"http", INTERNET_SERVICE_HTTP, 80},
    {"https", AFX_INET_SERVICE_HTTPS, 443},
    {"file", AFX_INET_SERVICE_FILE, 0},
    {"mailto", AFX_INET_SERVICE_MAILTO, 0},
    {"mid", AFX_INET_SERVICE_MID, 0},
    {"cid", AFX_INET_SERVICE_CID, 0},
    {"news", AFX_INET_SERVICE_NEWS, 119},
    {"nntp", AFX_INET_SERVICE_NNTP, 119},
    {"prospero", AFX_INET_SERVICE_PROSPERO, 1525},
    {"telnet", AFX_INET_SERVICE_TELNET, 23},
    {"wais", AFX_INET_SERVICE_WAIS, 210},
    {"afs", AFX_INET_SERVICE_AFS, 0},
};

const SchemeInfo* FindScheme(std::string_view scheme)
{
    for (const SchemeInfo& info : kSchemes) {
        if (scheme == info.name)
            return &info;
    }
    return nullptr;
}

struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct CurlTextDeleter
{
    void operator()(char* text) const { curl_free(text); }
};

// One part of the URL; false when curl fails for a reason other than the part
// being absent (absent parts leave value empty and present false).
bool GetPart(CURLU* url, CURLUPart part, unsigned flags, std::string& value, bool* present = nullptr)
{
    char* raw = nullptr;
    CURLUcode code = curl_url_get(url, part, &raw, flags);
    std::unique_ptr<char, CurlTextDeleter> text(raw);
    value.clear();
    if (present)
        *present = (code == CURLUE_OK);
    if (code == CURLUE_OK) {
        value = text.get();
        return true;
    }
    switch (code) {
    case CURLUE_NO_USER:
    case CURLUE_NO_PASSWORD:
    case CURLUE_NO_PORT:
    case CURLUE_NO_QUERY:
    case CURLUE_NO_FRAGMENT:
    case CURLUE_NO_ZONEID:
    case CURLUE_NO_HOST:
    case CURLUE_NO_OPTIONS:
        return true;
    default:
        return false;
    }
}

bool HasControlCharacter(std::string_view text)
{
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

// A bare "scheme:" text without "//" ("mailto:x", "localhost:80") is not taken
// as a URL with a server: the callers all need one.
bool HasSchemeAndAuthority(std::string_view url)
{
    size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = url[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!(letter || (i > 0 && other)))
            return false;
    }
    return true;
}

} // namespace

uint16_t DefaultPortForService(uint32_t serviceType)
{
    for (const SchemeInfo& info : kSchemes) {
        if (info.service == serviceType)
            return info.defaultPort;
    }
    return 0;
}

bool ParseInternetUrl(std::string_view url, InternetUrl& out)
{
    try {
        if (url.empty() || HasControlCharacter(url) || !HasSchemeAndAuthority(url))
            return false;
        std::unique_ptr<CURLU, UrlDeleter> handle(curl_url());
        if (!handle)
            return false;
        std::string text(url);
        // Any scheme is split here and checked against our own table below;
        // the path is kept as written (no dot-segment removal), blanks included.
        unsigned flags = CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE;
        if (curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), flags) != CURLUE_OK)
            return false;

        InternetUrl result;
        std::string port, path, query, zone;
        bool hasPort = false, hasQuery = false, hasZone = false;
        if (!GetPart(handle.get(), CURLUPART_SCHEME, 0, result.scheme)
            || !GetPart(handle.get(), CURLUPART_HOST, 0, result.server)
            || !GetPart(handle.get(), CURLUPART_ZONEID, 0, zone, &hasZone)
            || !GetPart(handle.get(), CURLUPART_PORT, 0, port, &hasPort)
            || !GetPart(handle.get(), CURLUPART_PATH, 0, path)
            || !GetPart(handle.get(), CURLUPART_QUERY, 0, query, &hasQuery)
            || !GetPart(handle.get(), CURLUPART_USER, CURLU_URLDECODE, result.user)
            || !GetPart(handle.get(), CURLUPART_PASSWORD, CURLU_URLDECODE, result.password))
            return false;

        const SchemeInfo* scheme = FindScheme(result.scheme);
        if (scheme == nullptr)
            return false;
        result.serviceType = scheme->service;

        // curl reads "http:///name" as the server "name"; a URL whose server
        // part is empty names no server, except for a file URL.
        size_t authority = url.find("://") + 3;
        bool emptyAuthority = authority >= url.size() || url[authority] == '/' || url[authority] == '?';
        if (emptyAuthority && scheme->service != AFX_INET_SERVICE_FILE)
            return false;

        // Only a file URL may name no server ("file:///path").
        if (result.server.empty() && scheme->service != AFX_INET_SERVICE_FILE)
            return false;

        // Decoded user data goes into protocol commands: a line break there
        // would let a URL smuggle in commands of its own.
        if (HasControlCharacter(result.user) || HasControlCharacter(result.password))
            return false;

        // curl gives an IPv6 literal in brackets; connecting wants it bare.
        if (result.server.size() >= 2 && result.server.front() == '[' && result.server.back() == ']')
            result.server = result.server.substr(1, result.server.size() - 2);
        size_t percent = result.server.find('%');
        if (percent != std::string::npos)
            result.server.erase(percent);
        if (hasZone && !zone.empty())
            result.server += "%" + zone;

        if (hasPort) {
            if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
                return false;
            unsigned long number = std::stoul(port);
            if (number == 0 || number > 65535)
                return false;
            result.port = static_cast<uint16_t>(number);
        } else {
            result.port = scheme->defaultPort;
        }

        result.object = path.empty() ? std::string("/") : path;
        if (hasQuery)
            result.object += "?" + query;
        out = std::move(result);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace platform
