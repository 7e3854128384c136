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
    // The libcurl result behind it (0 when none), for callers that react to
    // a kind of failure rather than report it.
    int cause = 0;

    explicit operator bool() const { return code != 0; }
};

// The German text of an error number; empty for an unknown number.
std::string InternetErrorText(uint32_t code);

// Turns a libcurl result (its CURLcode as int) into an error: the error
// number and German text for the kinds users meet, libcurl's own text
// otherwise. curlDetail is libcurl's error buffer, serverAnswer the server's
// last reply line (an FTP refusal is shown with it). CURLE_OK gives code 0.
InternetError InternetErrorFromCurl(int curlCode, std::string_view curlDetail, std::string_view serverAnswer);

// The server could not open the data connection of an active-mode FTP
// transfer (refused PORT/EPRT, a 425 answer, or no connection in time).
bool IsActiveModeFailure(const InternetError& error);

// A certificate that failed verification: the German text for the result of
// OpenSSL's check (X509_V_* number; a name mismatch may also come as 0).
std::string CertificateErrorText(long verifyResult);

} // namespace platform
