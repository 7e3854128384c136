#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Service types as the internet client reports them.
inline constexpr uint32_t INTERNET_SERVICE_FTP = 1;
inline constexpr uint32_t INTERNET_SERVICE_GOPHER = 2;
inline constexpr uint32_t INTERNET_SERVICE_HTTP = 3;
inline constexpr uint32_t AFX_INET_SERVICE_UNK = 0x1000;
inline constexpr uint32_t AFX_INET_SERVICE_FILE = 0x1001;
inline constexpr uint32_t AFX_INET_SERVICE_MAILTO = 0x1002;
inline constexpr uint32_t AFX_INET_SERVICE_MID = 0x1003;
inline constexpr uint32_t AFX_INET_SERVICE_CID = 0x1004;
inline constexpr uint32_t AFX_INET_SERVICE_NEWS = 0x1005;
inline constexpr uint32_t AFX_INET_SERVICE_NNTP = 0x1006;
inline constexpr uint32_t AFX_INET_SERVICE_PROSPERO = 0x1007;
inline constexpr uint32_t AFX_INET_SERVICE_TELNET = 0x1008;
inline constexpr uint32_t AFX_INET_SERVICE_WAIS = 0x1009;
inline constexpr uint32_t AFX_INET_SERVICE_AFS = 0x100A;
inline constexpr uint32_t AFX_INET_SERVICE_HTTPS = 0x100B;

// The parts of a URL as the programs use them.
struct InternetUrl
{
    uint32_t serviceType = AFX_INET_SERVICE_UNK;
    std::string scheme; // lower case, without "://"
    std::string server; // host name or address; an IPv6 literal without brackets ("::1")
    std::string object; // path with "?query", "/" when the URL has no path; fragment dropped
    std::string user; // percent-decoded
    std::string password; // percent-decoded
    uint16_t port = 0; // as given, else the scheme's default
};

// Splits url. False (out unchanged) when it is empty, has no "scheme://" or an
// unknown scheme, names no server (only file URLs may), holds control
// characters (also percent-encoded ones in user or password), cannot be parsed,
// or names port 0 or one above 65535. The object keeps the path as written:
// no dot segments are removed and blanks stay blanks, so a caller that puts it
// on the wire encodes it. Schemes without "//" (mailto:, mid:, cid:) name no
// server and fail.
bool ParseInternetUrl(std::string_view url, InternetUrl& out);

// The default port of a service type; 0 when it has none.
uint16_t DefaultPortForService(uint32_t serviceType);

} // namespace platform
