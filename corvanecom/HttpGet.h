#pragma once

#include <string>

namespace corvane {

// One HTTP GET as the component makes it: no redirects followed, no cache. True
// for status 200 with the body (each line ended by CR LF). On failure errorText
// says why. headers receives the raw response headers (emptied first once the URL
// is usable); serverAddress is replaced only when a response status came.
bool HttpGet(const std::string& url, std::string& errorText, std::string& headers, std::string& body,
             std::string& serverAddress);

} // namespace corvane
