#pragma once

#include <string>
#include <string_view>

// Text helpers of the session layer: what may reach the wire and how names
// and paths are written into a URL for libcurl.
namespace platform::internet_text {

// True when text holds a byte below 0x20 or 0x7F: such a name, path or
// header would let one request smuggle a second one onto the wire.
bool HasControlCharacters(std::string_view text);

// True for a numeric IPv4 or IPv6 address (no name resolution needed).
bool IsNumericHost(std::string_view host);

// The host as it stands in a URL: IPv6 addresses in brackets.
std::string HostForUrl(std::string_view host);

// An HTTP object (path and query) for a URL: bytes that cannot stand in a URL
// are percent-encoded, '%' escapes the caller wrote are kept.
std::string EncodeHttpObject(std::string_view object);

// An FTP path for a URL whose path libcurl sends verbatim: every reserved
// byte but '/' is percent-encoded, a leading '/' becomes "%2F" so that the
// path stays absolute.
std::string EncodeFtpPath(std::string_view path);

} // namespace platform::internet_text
