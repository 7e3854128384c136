#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/StatusLine.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class CRedirectSettings;

struct TARNWICK_EXPORT GeneratedPage
{
    // The bytes to upload: the user's template byte for byte, the built-in
    // texts as Windows-1252.
    std::string page;
    // What generation reports for the status list, in order.
    std::vector<StatusLine> status;
};

// Fills templateText with the redirect address of settings (which also
// updates its LocalUrl) and stamps it with the local time of now and version.
// Without an address placeholder in the template, a page name with an
// extension gets the meta refresh (and, for ".asp", the server-side redirect),
// taking the built-in default page when the template has no head tag.
TARNWICK_EXPORT GeneratedPage GenerateRedirectPage(std::string_view templateText, CRedirectSettings& settings,
                                                   std::time_t now, std::string_view version);

// The same with the template that settings name (UploadFile, taken from
// programDirectory when it holds no "/"), read afresh; the reading's reports
// come first.
TARNWICK_EXPORT GeneratedPage GenerateRedirectPage(CRedirectSettings& settings, std::string_view programDirectory,
                                                   std::time_t now, std::string_view version);

} // namespace tarnwick
