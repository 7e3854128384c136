#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The outcome of an internet operation: error number 0 for success, otherwise
// one of the ERROR_* numbers with the German text a user reads.
struct InternetError
{
    uint32_t code = 0;
    std::string text;

    explicit operator bool() const { return code != 0; }
};

// The German text of an error number; empty for an unknown number.
std::string InternetErrorText(uint32_t code);

// Turns a libcurl result (its CURLcode as int) into an error: the error
// number and German text for the kinds users meet, libcurl's own text
// otherwise. curlDetail is libcurl's error buffer, serverAnswer the server's
// last reply line (an FTP refusal is shown with it). CURLE_OK gives code 0.
InternetError InternetErrorFromCurl(int curlCode, std::string_view curlDetail, std::string_view serverAnswer);

} // namespace platform
