#pragma once

#include <cstddef>
#include <string>

namespace corvane {

// The largest body SendHttpRequest returns; a larger one is an error.
inline constexpr std::size_t kMaxHttpBody = 16 * 1024 * 1024;

// One HTTP GET as the component makes it: no redirects followed, no cache. True
// for status 200 with the body (each line ended by CR LF). On failure errorText
// says why. headers receives the raw response headers (emptied first once the URL
// is usable); serverAddress is replaced only when a response status came. The
// whole request, connecting included, ends after timeoutSeconds (0: no bound).
bool HttpGet(const std::string& url, std::string& errorText, std::string& headers, std::string& body,
             std::string& serverAddress, long timeoutSeconds);

} // namespace corvane
